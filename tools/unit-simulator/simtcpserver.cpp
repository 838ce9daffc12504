// SPDX-License-Identifier: GPL-3.0-or-later
#include "simtcpserver.h"

#include "simbus.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

Q_LOGGING_CATEGORY(lcSimTcp, "brk.sim.tcp")

namespace {
constexpr int kHeaderSize = 7;  // transaction, protocol, length, unit identifier
constexpr int kMaxLength = 254; // unit identifier plus the largest PDU
constexpr char kGatewayTargetFailed = 0x0B;
// Qt 5 listens with a backlog of 50: many clients connecting at once (brkctl
// with --jobs 64 against the units of one port) would lose their SYNs and
// retry only a second later.
constexpr int kBacklog = 1024;

// A listening socket bound to the address, or -1.
int listeningSocket(const QHostAddress &address, quint16 port)
{
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto *in = reinterpret_cast<sockaddr_in *>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof(sockaddr_in);
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        memcpy(&in6->sin6_addr, bytes.c, sizeof(bytes.c));
        length = sizeof(sockaddr_in6);
    } else {
        return -1;
    }
    const int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0
        || ::bind(fd, reinterpret_cast<sockaddr *>(&storage), length) != 0
        || ::listen(fd, kBacklog) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}
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
    const int fd = listeningSocket(address, port);
    if (fd >= 0 && m_server.setSocketDescriptor(fd))
        return true;
    if (fd >= 0)
        ::close(fd);
    // The same bind again, for Qt's own text of what went wrong.
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
