// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkstatus.h"

#include "trafficrecorder.h"

#include <QModbusClient>
#include <QModbusTcpClient>
#include <QVariant>
#include <QSerialPort>

namespace {

QString parityLetter(int parity)
{
    switch (parity) {
    case QSerialPort::EvenParity:
        return QStringLiteral("E");
    case QSerialPort::OddParity:
        return QStringLiteral("O");
    case QSerialPort::MarkParity:
        return QStringLiteral("M");
    case QSerialPort::SpaceParity:
        return QStringLiteral("S");
    default:
        return QStringLiteral("N");
    }
}

QString stopBitsText(int stopBits)
{
    switch (stopBits) {
    case QSerialPort::OneAndHalfStop:
        return QStringLiteral("1.5");
    case QSerialPort::TwoStop:
        return QStringLiteral("2");
    default:
        return QStringLiteral("1");
    }
}

bool isConnected(const QModbusClient *client)
{
    return client && client->state() == QModbusDevice::ConnectedState;
}

} // namespace

LinkStatus::LinkStatus(QModbusClient *client, int serverAddress, TrafficRecorder *recorder,
                       QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_serverAddress(serverAddress)
    , m_recorder(recorder)
    // A unit is opened right after it answered discovery.
    , m_state(isConnected(client) ? State::Answering : State::Offline)
{
    if (client) {
        connect(client, &QModbusClient::stateChanged, this, [this](QModbusDevice::State state) {
            setState(state == QModbusDevice::ConnectedState ? State::Answering : State::Offline);
        });
        connect(client, &QObject::destroyed, this, [this]() { setState(State::Offline); });
    }
    if (recorder)
        connect(recorder, &TrafficRecorder::finished, this, &LinkStatus::onExchange);
}

void LinkStatus::setServerAddress(int serverAddress)
{
    if (serverAddress == m_serverAddress)
        return;
    m_serverAddress = serverAddress;
    emit changed();
}

void LinkStatus::setReconnecting(bool reconnecting)
{
    if (reconnecting == m_reconnecting)
        return;
    m_reconnecting = reconnecting;
    emit changed();
}

void LinkStatus::onExchange(const TrafficExchange &exchange)
{
    if (exchange.serverAddress != m_serverAddress || !isConnected(m_client))
        return;
    using Outcome = TrafficExchange::Outcome;
    switch (exchange.outcome) {
    case Outcome::Timeout:
        if (m_state != State::NotAnswering) {
            m_silentSince
                = m_recorder ? m_recorder->sentAt(exchange) : QDateTime::currentDateTime();
            setState(State::NotAnswering);
        }
        return;
    case Outcome::Answered:
    case Outcome::Mismatch:
    case Outcome::Exception:
    case Outcome::Failed:
        setState(State::Answering);
        return;
    default:
        return; // aborted, refused or broadcast: says nothing about the unit
    }
}

void LinkStatus::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    if (state != State::NotAnswering)
        m_silentSince = QDateTime();
    emit changed();
}

QString LinkStatus::connectionText() const
{
    if (!m_client)
        return QString();
    const auto parameter = [this](QModbusDevice::ConnectionParameter which) {
        return m_client->connectionParameter(which);
    };
    QString text;
    if (qobject_cast<const QModbusTcpClient *>(m_client.data())) {
        text = QStringLiteral("TCP %1:%2")
                   .arg(parameter(QModbusDevice::NetworkAddressParameter).toString())
                   .arg(parameter(QModbusDevice::NetworkPortParameter).toInt());
    } else {
        text = QStringLiteral("%1, %2 %3%4%5")
                   .arg(parameter(QModbusDevice::SerialPortNameParameter).toString())
                   .arg(parameter(QModbusDevice::SerialBaudRateParameter).toInt())
                   .arg(parameter(QModbusDevice::SerialDataBitsParameter).toInt())
                   .arg(parityLetter(parameter(QModbusDevice::SerialParityParameter).toInt()))
                   .arg(stopBitsText(parameter(QModbusDevice::SerialStopBitsParameter).toInt()));
    }
    return text + QStringLiteral(", адрес %1").arg(m_serverAddress);
}

QString LinkStatus::stateText() const
{
    switch (m_state) {
    case State::Answering:
        return QStringLiteral("отвечает");
    case State::NotAnswering:
        return QStringLiteral("не отвечает с %1")
            .arg(m_silentSince.toString(QStringLiteral("HH:mm:ss")));
    case State::Offline:
        break;
    }
    return m_reconnecting ? QStringLiteral("нет связи, переподключение")
                          : QStringLiteral("оффлайн");
}

QString LinkStatus::text() const
{
    const QString connection = connectionText();
    return connection.isEmpty() ? stateText() : connection + QStringLiteral(" — ") + stateText();
}
