#include "simtcpserver.h"

#include "simbus.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

Q_LOGGING_CATEGORY(lcSimTcp, "brk.sim.tcp")

namespace {
constexpr int kHeaderSize = 7;  // transaction, protocol, length, unit identifier
constexpr int kMaxLength = 254; // unit identifier plus the largest PDU
constexpr char kGatewayTargetFailed = 0x0B;
} // namespace

SimTcpServer::SimTcpServer(SimBus *bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    connect(&m_server, &QTcpServer::newConnection, this, &SimTcpServer::onNewConnection);
    connect(bus, &SimBus::resumed, this, [this] {
        for (QTcpSocket *socket : findChildren<QTcpSocket *>(QString(), Qt::FindDirectChildrenOnly))
            onReadyRead(socket);
    });
}

bool SimTcpServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (!m_server.listen(address, port)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(address.toString())
                     .arg(port)
                     .arg(m_server.errorString());
        return false;
    }
    return true;
}

void SimTcpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void SimTcpServer::onReadyRead(QTcpSocket *socket)
{
    // Unparsed bytes stay in the socket until a whole frame has arrived.
    while (!m_bus->paused() && socket->state() == QAbstractSocket::ConnectedState
           && socket->bytesAvailable() >= kHeaderSize) {
        const QByteArray header = socket->peek(kHeaderSize);
        const int protocol = quint8(header.at(2)) << 8 | quint8(header.at(3));
        const int length = quint8(header.at(4)) << 8 | quint8(header.at(5));
        if (length < 2 || length > kMaxLength) {
            qCWarning(lcSimTcp) << "bad MBAP length" << length << "- closing the connection";
            socket->abort();
            return;
        }
        if (socket->bytesAvailable() < 6 + length)
            return;
        const QByteArray frame = socket->read(6 + length);
        if (protocol != 0)
            continue; // not Modbus
        const int unitId = quint8(frame.at(6));
        QByteArray pdu;
        const SimBus::Reply outcome = m_bus->handle(unitId, frame.mid(kHeaderSize), &pdu);
        if (outcome == SimBus::Reply::Close) {
            socket->disconnectFromHost();
            return;
        }
        if (outcome == SimBus::Reply::Send) {
            sendReply(socket, frame, pdu, m_bus->replyDelayMs(unitId));
        } else if (m_gatewayDelayMs >= 0) {
            QByteArray exception(1, char(quint8(frame.at(kHeaderSize)) | 0x80));
            exception.append(kGatewayTargetFailed);
            sendReply(socket, frame, exception, m_gatewayDelayMs);
        }
    }
}

void SimTcpServer::sendReply(QTcpSocket *socket, const QByteArray &frame, const QByteArray &pdu,
                             int delayMs)
{
    QByteArray reply = frame.left(4);
    const int replyLength = pdu.size() + 1;
    reply.append(char(replyLength >> 8));
    reply.append(char(replyLength & 0xFF));
    reply.append(frame.at(6));
    reply.append(pdu);
    if (delayMs <= 0) {
        socket->write(reply);
        return;
    }
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(delayMs, this, [guard, reply] {
        if (guard && guard->state() == QAbstractSocket::ConnectedState)
            guard->write(reply);
    });
}
