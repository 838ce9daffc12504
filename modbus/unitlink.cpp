// SPDX-License-Identifier: GPL-3.0-or-later
#include "unitlink.h"

#include <QAbstractSocket>
#include <QSerialPort>

#include <QModbusRtuSerialMaster>
#include <QModbusTcpClient>
#include <QNetworkProxy>
#include <QTcpSocket>

namespace {

// A connection that has not come up by then is not coming.
constexpr int MinConnectWaitMs = 3000;

} // namespace

LinkSettings LinkOptions::settingsFor(const Target &target) const
{
    LinkSettings settings;
    settings.kind = target.isTcp() ? LinkSettings::Kind::Tcp : LinkSettings::Kind::Serial;
    settings.host = target.host;
    settings.port = target.port;
    settings.unitId = target.unit;
    settings.serialPort = target.device;
    settings.baud = target.baud;
    settings.parity = target.parity;
    settings.stopBits = target.stopBits;
    settings.extraDelay = extraDelay;
    settings.timeoutOverrideMs = timeoutMs;
    settings.retriesOverride = retries;
    return settings;
}

UnitLink::UnitLink(const LinkSettings &settings, QObject *parent)
    : QObject(parent)
{
    if (settings.isTcp()) {
        auto *tcp = new QModbusTcpClient(this);
        // A system proxy must never stand between the PC and the unit.
        if (auto *socket = tcp->findChild<QTcpSocket *>())
            socket->setProxy(QNetworkProxy::NoProxy);
        m_client = tcp;
    } else {
        m_client = new QModbusRtuSerialMaster(this);
    }
    settings.applyTo(m_client);

    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(
        qMax(MinConnectWaitMs, m_client->timeout() * (m_client->numberOfRetries() + 1)));
    connect(&m_connectTimer, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("подключение не установлено за отведённое время")); });
    connect(m_client, &QModbusDevice::stateChanged, this, [this](QModbusDevice::State state) {
        if (state == QModbusDevice::ConnectedState && !m_reported) {
            m_reported = true;
            m_connectTimer.stop();
            emit opened();
        }
    });
    connect(m_client, &QModbusDevice::errorOccurred, this, [this](QModbusDevice::Error error) {
        if (error == QModbusDevice::ConnectionError
            && m_client->state() != QModbusDevice::ConnectedState)
            fail(m_client->errorString());
    });
}

UnitLink::~UnitLink()
{
    disconnect(m_client, nullptr, this, nullptr);
    close();
}

void UnitLink::open()
{
    m_reported = false;
    m_connectTimer.start();
    if (!m_client->connectDevice())
        fail(m_client->errorString());
}

void UnitLink::close()
{
    m_connectTimer.stop();
    // A request just queued (the EEPROM flag off after a stopped write) goes out
    // now: the process may end before the event loop would send it.
    if (auto *socket = m_client->findChild<QAbstractSocket *>())
        socket->flush();
    if (auto *port = m_client->findChild<QSerialPort *>())
        port->flush();
    if (m_client->state() != QModbusDevice::UnconnectedState)
        m_client->disconnectDevice();
}

void UnitLink::fail(const QString &text)
{
    if (m_reported)
        return;
    m_reported = true;
    m_connectTimer.stop();
    close();
    emit failed(text.isEmpty() ? QStringLiteral("нет подключения") : text);
}
