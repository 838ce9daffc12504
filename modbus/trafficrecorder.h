// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TRAFFICRECORDER_H
#define TRAFFICRECORDER_H

#include "trafficexchange.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QVector>

class QModbusClient;
class QModbusDataUnit;
class QModbusReply;

// Records every request sent to a unit and its outcome, the last Capacity
// of them (a ring: memory stays bounded however long a session runs).
//
// Every request of the program goes out through sendRead()/sendWrite(); when
// a recorder is attached to the client, the request and its reply are
// recorded on the way. Windows (the traffic monitor, the link state) only
// listen to the recorder; it has no widgets and works in a QCoreApplication.
//
//     TrafficRecorder recorder;
//     recorder.attach(client);
//     QModbusReply *reply = TrafficRecorder::sendRead(client, unit, address);
class TrafficRecorder : public QObject
{
    Q_OBJECT

public:
    static constexpr int Capacity = 10000;

    explicit TrafficRecorder(QObject *parent = nullptr);
    ~TrafficRecorder() override;

    // Records the requests sent through this client from now on (not owned;
    // one recorder per client, the last attached wins).
    void attach(QModbusClient *client);
    static TrafficRecorder *of(const QModbusClient *client);

    // QModbusClient::sendReadRequest / sendWriteRequest, recorded when the
    // client has a recorder. Null when the client refuses (or is null).
    static QModbusReply *sendRead(QModbusClient *client, const QModbusDataUnit &unit,
                                  int serverAddress);
    static QModbusReply *sendWrite(QModbusClient *client, const QModbusDataUnit &unit,
                                   int serverAddress);

    // The exchanges kept: ids firstId() .. endId() - 1, oldest first.
    quint64 firstId() const { return m_firstId; }
    quint64 endId() const { return m_endId; }
    int count() const { return int(m_endId - m_firstId); }
    // Null when the id was dropped (ring full, cleared) or is not yet used.
    const TrafficExchange *exchange(quint64 id) const;

    // Wall-clock time at which an exchange was sent.
    QDateTime sentAt(const TrafficExchange &exchange) const;

    // Forgets every exchange kept; ids go on counting.
    void clear();

signals:
    void recorded(quint64 id);
    void finished(const TrafficExchange &exchange);
    void cleared();

private:
    enum class Direction { Read, Write };
    static QModbusReply *send(QModbusClient *client, const QModbusDataUnit &unit, int serverAddress,
                              Direction direction);
    quint64 begin(const QModbusDataUnit &unit, int serverAddress, Direction direction);
    void watch(quint64 id, QModbusReply *reply, QModbusClient *client);
    void finish(quint64 id, const QModbusReply &reply);
    void end(quint64 id, TrafficExchange::Outcome outcome, const QString &error = QString());
    TrafficExchange *find(quint64 id);

    QVector<TrafficExchange> m_ring; // slot (id - m_base) % Capacity
    quint64 m_base = 0;
    quint64 m_firstId = 0;
    quint64 m_endId = 0;
    QElapsedTimer m_clock;
    QDateTime m_startedAt;
    QList<QPointer<QModbusClient>> m_clients;
};

#endif // TRAFFICRECORDER_H
