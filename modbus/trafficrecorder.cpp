// SPDX-License-Identifier: GPL-3.0-or-later
#include "trafficrecorder.h"

#include "requesterror.h"

#include <QModbusClient>
#include <QModbusDataUnit>
#include <QModbusReply>
#include <QVariant>

namespace {

const char RecorderProperty[] = "brkTrafficRecorder";

int functionCode(const QModbusDataUnit &unit, bool write)
{
    const bool single = unit.valueCount() == 1;
    switch (unit.registerType()) {
    case QModbusDataUnit::Coils:
        return write ? (single ? 5 : 15) : 1;
    case QModbusDataUnit::DiscreteInputs:
        return 2;
    case QModbusDataUnit::InputRegisters:
        return 4;
    case QModbusDataUnit::HoldingRegisters:
        return write ? (single ? 6 : 16) : 3;
    default:
        return 0;
    }
}

} // namespace

TrafficRecorder::TrafficRecorder(QObject *parent)
    : QObject(parent)
    , m_startedAt(QDateTime::currentDateTime())
{
    m_clock.start();
}

TrafficRecorder::~TrafficRecorder()
{
    for (const QPointer<QModbusClient> &client : qAsConst(m_clients)) {
        if (client && of(client) == this)
            client->setProperty(RecorderProperty, QVariant());
    }
}

void TrafficRecorder::attach(QModbusClient *client)
{
    if (!client)
        return;
    client->setProperty(RecorderProperty, QVariant::fromValue<QObject *>(this));
    m_clients.removeAll(nullptr);
    m_clients.append(client);
}

TrafficRecorder *TrafficRecorder::of(const QModbusClient *client)
{
    if (!client)
        return nullptr;
    return qobject_cast<TrafficRecorder *>(client->property(RecorderProperty).value<QObject *>());
}

QModbusReply *TrafficRecorder::sendRead(QModbusClient *client, const QModbusDataUnit &unit,
                                        int serverAddress)
{
    return send(client, unit, serverAddress, Direction::Read);
}

QModbusReply *TrafficRecorder::sendWrite(QModbusClient *client, const QModbusDataUnit &unit,
                                         int serverAddress)
{
    return send(client, unit, serverAddress, Direction::Write);
}

QModbusReply *TrafficRecorder::send(QModbusClient *client, const QModbusDataUnit &unit,
                                    int serverAddress, Direction direction)
{
    if (!client)
        return nullptr;
    TrafficRecorder *recorder = of(client);
    const quint64 id = recorder ? recorder->begin(unit, serverAddress, direction) : 0;
    QModbusReply *reply = direction == Direction::Read
                              ? client->sendReadRequest(unit, serverAddress)
                              : client->sendWriteRequest(unit, serverAddress);
    // Looked up again: a slot run while sending may have replaced the recorder.
    if (recorder && of(client) == recorder)
        recorder->watch(id, reply, client);
    return reply;
}

quint64 TrafficRecorder::begin(const QModbusDataUnit &unit, int serverAddress, Direction direction)
{
    const bool write = direction == Direction::Write;
    TrafficExchange exchange;
    exchange.id = m_endId;
    exchange.sentUs = m_clock.nsecsElapsed() / 1000;
    exchange.serverAddress = serverAddress;
    exchange.function = functionCode(unit, write);
    exchange.start = unit.startAddress();
    exchange.count = int(unit.valueCount());
    if (write)
        exchange.values = unit.values();

    const int slot = int((m_endId - m_base) % Capacity);
    if (slot < m_ring.size())
        m_ring[slot] = std::move(exchange);
    else
        m_ring.append(std::move(exchange));
    ++m_endId;
    if (m_endId - m_firstId > quint64(Capacity))
        ++m_firstId;
    emit recorded(m_endId - 1);
    return m_endId - 1;
}

void TrafficRecorder::watch(quint64 id, QModbusReply *reply, QModbusClient *client)
{
    if (!reply) {
        end(id, TrafficExchange::Outcome::NotSent, client->errorString());
        return;
    }
    if (reply->isFinished()) {
        // Finished on the spot: a broadcast, or refused with an error.
        if (reply->error() == QModbusDevice::NoError && reply->serverAddress() == 0)
            end(id, TrafficExchange::Outcome::Broadcast);
        else
            finish(id, *reply);
        return;
    }
    connect(reply, &QModbusReply::finished, this, [this, id, reply]() { finish(id, *reply); });
    // A reply deleted unanswered (its client went) ends the exchange too.
    connect(reply, &QObject::destroyed, this,
            [this, id]() { end(id, TrafficExchange::Outcome::Aborted); });
}

TrafficExchange *TrafficRecorder::find(quint64 id)
{
    if (id < m_firstId || id >= m_endId)
        return nullptr;
    return &m_ring[int((id - m_base) % Capacity)];
}

const TrafficExchange *TrafficRecorder::exchange(quint64 id) const
{
    return const_cast<TrafficRecorder *>(this)->find(id);
}

void TrafficRecorder::finish(quint64 id, const QModbusReply &reply)
{
    TrafficExchange *exchange = find(id);
    if (!exchange || exchange->outcome != TrafficExchange::Outcome::Pending)
        return;
    using Outcome = TrafficExchange::Outcome;
    switch (reply.error()) {
    case QModbusDevice::NoError: {
        const QModbusDataUnit result = reply.result();
        const bool fits = result.startAddress() == exchange->start
                          && int(result.valueCount()) == exchange->count;
        if (!exchange->isWrite())
            exchange->values = result.values();
        end(id, fits ? Outcome::Answered : Outcome::Mismatch);
        return;
    }
    case QModbusDevice::ProtocolError:
        exchange->exceptionCode = exceptionCodeOf(reply.rawResult());
        end(id, Outcome::Exception);
        return;
    case QModbusDevice::TimeoutError:
        end(id, Outcome::Timeout);
        return;
    case QModbusDevice::ReplyAbortedError:
        end(id, Outcome::Aborted);
        return;
    default:
        end(id, Outcome::Failed, reply.errorString());
        return;
    }
}

void TrafficRecorder::end(quint64 id, TrafficExchange::Outcome outcome, const QString &error)
{
    TrafficExchange *exchange = find(id);
    if (!exchange || exchange->outcome != TrafficExchange::Outcome::Pending)
        return;
    exchange->outcome = outcome;
    exchange->error = error;
    if (outcome != TrafficExchange::Outcome::NotSent)
        exchange->roundTripUs = m_clock.nsecsElapsed() / 1000 - exchange->sentUs;
    emit finished(*exchange);
}

QDateTime TrafficRecorder::sentAt(const TrafficExchange &exchange) const
{
    return m_startedAt.addMSecs(exchange.sentUs / 1000);
}

void TrafficRecorder::clear()
{
    m_ring.clear();
    m_base = m_endId;
    m_firstId = m_endId;
    emit cleared();
}
