// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LINKRECONNECTOR_H
#define LINKRECONNECTOR_H

#include <QModbusDevice>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QModbusClient;

// Brings a dropped link back while a window works over it: once the client
// falls unconnected on its own (the unit restarted, a cable or a USB adapter
// was pulled), it is connected again, at most every IntervalMs, until it is.
class LinkReconnector : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 2000;

    // The client is not owned; it is connected when the window takes it.
    explicit LinkReconnector(QModbusClient *client, QObject *parent = nullptr);

    // The window lets the link go (it closes): no more attempts.
    void stop();
    // The link dropped and is not back yet.
    bool isReconnecting() const { return m_reconnecting; }

signals:
    void reconnectingChanged(bool reconnecting);

private:
    void onStateChanged(QModbusDevice::State state);
    void onError(QModbusDevice::Error error);
    void tryConnect();
    void setReconnecting(bool reconnecting);

    QPointer<QModbusClient> m_client;
    QTimer m_timer;
    bool m_reconnecting = false;
    bool m_stopped = false;
    bool m_closing = false; // a close is queued
};

#endif // LINKRECONNECTOR_H
