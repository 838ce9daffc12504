// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef KEEPALIVE_H
#define KEEPALIVE_H

#include <QObject>
#include <QPointer>
#include <QTimer>

class QModbusClient;
class QModbusReply;

// Keeps a Modbus TCP connection busy: reads one holding register at 2000 from
// one unit (address 1 unless told otherwise) on every tick, and drops the answer. A tick while its
// previous read is still on the line sends nothing (the line is busy already).
//
// A window sets the client, calls start() once connected and stop() (or
// setClient()) when the client goes away; the reads go on while another
// window uses the same client.
class KeepAlive : public QObject
{
    Q_OBJECT

public:
    explicit KeepAlive(QObject *parent = nullptr);
    ~KeepAlive() override;

    // The client to keep busy (not owned). Changing it forgets the read on the line.
    void setClient(QModbusClient *client);

    // Behind a gateway: the unit identifier of the unit to ask.
    void setServerAddress(int serverAddress) { m_serverAddress = serverAddress; }
    int serverAddress() const { return m_serverAddress; }

    void start(int intervalMs = IntervalMs);
    void stop();
    bool isActive() const { return m_timer.isActive(); }

    // One read now (the timer's tick).
    void sendRead();

    static constexpr int IntervalMs = 1000;
    static constexpr int DefaultServerAddress = 1;
    static constexpr int Register = 2000;

signals:
    // A read could not be sent; the text is ready for the user.
    void sendFailed(const QString &text);

private:
    void forgetPending();

    QPointer<QModbusClient> m_client;
    QPointer<QModbusReply> m_pending;
    QTimer m_timer;
    int m_serverAddress = DefaultServerAddress;
};

#endif // KEEPALIVE_H
