// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkreconnector.h"

#include "modbuslogging.h"

#include <QModbusClient>

LinkReconnector::LinkReconnector(QModbusClient *client, QObject *parent)
    : QObject(parent)
    , m_client(client)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &LinkReconnector::tryConnect);
    if (!client)
        return;
    connect(client, &QModbusClient::stateChanged, this, &LinkReconnector::onStateChanged);
    connect(client, &QModbusClient::errorOccurred, this, &LinkReconnector::onError);
}

void LinkReconnector::onError(QModbusDevice::Error error)
{
    // A serial port that vanished (a USB adapter pulled) leaves the client
    // connected to nothing, reporting a read error on every turn of the event
    // loop: closed, it is opened again below. Closed from the event loop, not
    // from inside the port's own notification.
    const bool linkFailed = error == QModbusDevice::ConnectionError
                            || error == QModbusDevice::ReadError
                            || error == QModbusDevice::WriteError;
    if (!linkFailed || m_stopped || m_closing || !m_client
        || m_client->state() != QModbusDevice::ConnectedState)
        return;
    m_closing = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_closing = false;
            if (!m_stopped && m_client && m_client->state() == QModbusDevice::ConnectedState)
                m_client->disconnectDevice();
        },
        Qt::QueuedConnection);
}

void LinkReconnector::stop()
{
    m_stopped = true;
    m_timer.stop();
    setReconnecting(false);
}

void LinkReconnector::onStateChanged(QModbusDevice::State state)
{
    if (m_stopped)
        return;
    if (state == QModbusDevice::ConnectedState) {
        m_timer.stop();
        setReconnecting(false);
    } else if (state == QModbusDevice::UnconnectedState) {
        // Counted from the end of the last attempt, so a refused connection
        // is not retried at once.
        setReconnecting(true);
        m_timer.start();
    }
}

void LinkReconnector::tryConnect()
{
    if (m_stopped || !m_client || m_client->state() != QModbusDevice::UnconnectedState)
        return;
    qCDebug(lcModbus) << "LinkReconnector: connecting again";
    // A port that is still missing fails at once, without a state change.
    if (!m_client->connectDevice())
        m_timer.start();
}

void LinkReconnector::setReconnecting(bool reconnecting)
{
    if (reconnecting == m_reconnecting)
        return;
    m_reconnecting = reconnecting;
    emit reconnectingChanged(reconnecting);
}
