// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LINKSTATUS_H
#define LINKSTATUS_H

#include <QDateTime>
#include <QObject>
#include <QPointer>

class QModbusClient;
class TrafficRecorder;
struct TrafficExchange;

// The link to one unit as a status line shows it: the connection
// ("TCP 127.0.0.1:1502, адрес 1", "ttyUSB0, 19200 8N1, адрес 5") and whether
// the unit answers. Follows the client's state and the outcomes the traffic
// recorder reports for the unit's address; a request that times out starts
// "not answering", any answer (an exception reply too) ends it.
class LinkStatus : public QObject
{
    Q_OBJECT

public:
    enum class State { Offline, Answering, NotAnswering };

    // A null client is an offline window. Neither pointer is owned.
    LinkStatus(QModbusClient *client, int serverAddress, TrafficRecorder *recorder,
               QObject *parent = nullptr);

    // The unit's address (its identifier behind a gateway) changed.
    void setServerAddress(int serverAddress);

    // The link dropped and is being brought back: an offline state says so.
    void setReconnecting(bool reconnecting);

    State state() const { return m_state; }
    // When the first unanswered request of the present silence was sent.
    QDateTime silentSince() const { return m_silentSince; }

    QString connectionText() const;
    QString stateText() const;
    QString text() const;

signals:
    void changed();

private:
    void onExchange(const TrafficExchange &exchange);
    void setState(State state);

    QPointer<QModbusClient> m_client;
    int m_serverAddress = 0;
    QPointer<TrafficRecorder> m_recorder;
    State m_state = State::Offline;
    bool m_reconnecting = false;
    QDateTime m_silentSince;
};

#endif // LINKSTATUS_H
