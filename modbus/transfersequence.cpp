// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfersequence.h"
#include "linksettings.h"
#include "trafficrecorder.h"

#include "modbuslogging.h"
#include "registerblocks.h"
#include "requesterror.h"

#include <codes.h>

#include <QModbusClient>
#include <QModbusReply>

namespace {

const char *const FailedBlocksText = "Не считаны блоки: %1";
const char *const UnreadText = "Проверка записи: не считаны блоки: %1";
const char *const NoReplyText = "Нет ответа от модуля.";
const char *const UnconfirmedText
    = "Не удалось подтвердить запись: не на все запросы получен ответ модуля.";

} // namespace

// Signals go out queued, after the state they report is settled, so a slot
// may start the next sequence or open a modal box without re-entering a
// half-done step. Those of an earlier sequence are dropped.
template<typename F>
void TransferSequence::notify(F &&emitter)
{
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, emitter = std::forward<F>(emitter)] {
            if (generation == m_generation)
                emitter();
        },
        Qt::QueuedConnection);
}

TransferSequence::TransferSequence(QModbusClient *client, QObject *parent)
    : QObject(parent)
    , m_client(client)
{
    registerTypeResponseMetaType();
    qRegisterMetaType<TransferSequence::Kind>("TransferSequence::Kind");
    qRegisterMetaType<TransferSequence::Result>("TransferSequence::Result");

    // Pauses are what the firmware needs between requests and add up over a
    // few hundred requests: keep them to the millisecond.
    m_pauseTimer.setSingleShot(true);
    m_pauseTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pauseTimer, &QTimer::timeout, this, &TransferSequence::sendNext);

    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &TransferSequence::onWatchdog);
}

TransferSequence::~TransferSequence()
{
    releasePending();
}

int TransferSequence::writePauseMs(int firmwareVersion, int mode)
{
    if (mode & ModeExtraDelay)
        return SlowPauseMs;
    if (firmwareVersion > LastOldFirmware)
        return (mode & ModeTcp) ? TcpPauseMs : 0;
    return SlowPauseMs;
}

TransferSequence::Start TransferSequence::startRead(const ModuleTables &tables)
{
    if (isRunning())
        return Start::Busy;
    if (!m_client)
        return Start::NoClient;
    m_tables = tables;
    m_responseDelayMs = tables.moduleWord(ModuleTables::WordResponseDelay);
    m_failedBlocks.clear();
    m_pauseMs = ReadPauseMs;
    return begin(Kind::Read, RegisterBlocks::channelReadRequests(tables, m_serverAddress), false);
}

TransferSequence::Start TransferSequence::startWrite(const ModuleTables &encoded,
                                                     const ModuleTables &before, WriteMode mode)
{
    if (isRunning())
        return Start::Busy;
    if (!m_client)
        return Start::NoClient;
    m_readBack.clear();
    QVector<ModbusRequest> requests = RegisterBlocks::withoutRegisters(
        RegisterBlocks::allWriteRequests(encoded, before, mode == WriteMode::ChangedOnly,
                                         m_serverAddress),
        m_keptRegisters);
    m_linkChanged = false;
    if (requests.isEmpty())
        return Start::Empty;

    m_tables = encoded;
    // The unit answers with its old delay until the new one is written.
    m_responseDelayMs = qMax(encoded.moduleWord(ModuleTables::WordResponseDelay),
                             before.moduleWord(ModuleTables::WordResponseDelay));
    m_readBack.setWrites(requests);
    m_linkChanged = RegisterBlocks::linkChanged(before, encoded);
    m_pauseMs = writePauseMs(m_version, m_mode);
    const bool flag = m_version > LastOldFirmware;
    if (flag)
        requests.prepend(RegisterBlocks::eepromFlagRequest(true, m_serverAddress));
    return begin(Kind::Write, requests, flag);
}

TransferSequence::Start TransferSequence::startVerify()
{
    if (isRunning())
        return Start::Busy;
    if (!m_client)
        return Start::NoClient;
    if (m_readBack.isEmpty())
        return Start::Empty;
    m_failedBlocks.clear();
    m_pauseMs = ReadPauseMs;
    return begin(Kind::Verify, m_readBack.readRequests(m_serverAddress), false);
}

QString TransferSequence::verifyReport(int maxLines) const
{
    QString text = WriteReadBack::reportText(m_readBack.differences(), maxLines);
    if (!m_failedBlocks.isEmpty())
        text += QLatin1Char('\n') + QString::fromUtf8(UnreadText).arg(m_failedBlocks.join(", "));
    return text;
}

TransferSequence::Start TransferSequence::startReset()
{
    if (isRunning())
        return Start::Busy;
    if (!m_client)
        return Start::NoClient;
    m_pauseMs = 0;
    return begin(Kind::Reset,
                 {RegisterBlocks::commandRequest(RegisterBlocks::ResetCommand, ResetConfig,
                                                 m_serverAddress)},
                 false);
}

TransferSequence::Start TransferSequence::startReboot()
{
    if (isRunning())
        return Start::Busy;
    if (!m_client)
        return Start::NoClient;
    m_pauseMs = 0;
    return begin(Kind::Reboot,
                 {RegisterBlocks::commandRequest(RegisterBlocks::RebootCommand, RebootModule,
                                                 m_serverAddress)},
                 false);
}

TransferSequence::Start TransferSequence::begin(Kind kind, const QVector<ModbusRequest> &requests,
                                                bool leadingFlag)
{
    ++m_generation;
    m_kind = kind;
    m_stopped = false;
    m_requests = requests;
    m_confirmed = QVector<bool>(requests.size(), false);
    m_failureError = QModbusDevice::NoError;
    m_failureException = 0;
    m_failedRequest = ModbusRequest();
    m_next = 0;
    m_sendClock.invalidate();
    m_leadingFlag = leadingFlag;
    m_outstanding = 0;
    m_unconfirmed = false;
    m_interrupted = false;
    m_readWarned = false;
    fitClientTimeout();
    // Everything, even the first send, happens from the timer, so no signal
    // reaches the caller before start…() has returned.
    m_pauseTimer.start(requests.isEmpty() ? 0 : pauseBefore(0));
    return Start::Started;
}

void TransferSequence::cancel()
{
    if (!isRunning())
        return;
    const Kind kind = m_kind;
    m_stopped = true;
    m_pauseTimer.stop();
    m_watchdog.stop();
    releasePending();
    restoreClientTimeout();
    ++m_generation; // drops notifications not yet delivered
    m_kind = Kind::None;
    notify([this, kind] { emit finished(kind, Result::Cancelled); });
}

void TransferSequence::interrupt()
{
    if (m_kind != Kind::Write) {
        cancel();
        return;
    }
    if (m_stopped)
        return;
    m_interrupted = true;
    m_pauseTimer.stop();
    finishIfDone();
}

int TransferSequence::pauseBefore(int index) const
{
    return (m_leadingFlag && index == 0) ? 0 : m_pauseMs;
}

void TransferSequence::sendNext()
{
    if (m_stopped || m_interrupted)
        return;
    if (m_next < m_requests.size()) {
        if (!waitOutPause())
            return;
        const int index = m_next++;
        send(index);
        // The next pause runs from the end of this send: however long the
        // send took under load, the line never sees a shorter pause.
        m_sendClock.start();
        if (m_stopped)
            return;
        if (m_outstanding > 0) {
            armWatchdog();
            return;
        }
    }
    goOn();
}

// One request at a time: a unit that stops answering gets nothing more, and
// nothing is left in a socket or queue to reach it later.
void TransferSequence::goOn()
{
    if (m_stopped)
        return;
    // An interrupted write ends once the request on the line is answered.
    if (m_next >= m_requests.size() || m_interrupted) {
        finishIfDone();
        return;
    }
    const qint64 elapsed = m_sendClock.isValid() ? m_sendClock.elapsed() : 0;
    m_pauseTimer.start(int(qMax<qint64>(0, pauseBefore(m_next) - EarlyWakeMs - elapsed)));
}

bool TransferSequence::waitOutPause()
{
    if (m_next == 0 || !m_sendClock.isValid())
        return true;
    const qint64 pauseNs = qint64(pauseBefore(m_next)) * 1000000;
    qint64 remainingNs = pauseNs - m_sendClock.nsecsElapsed();
    if (remainingNs > qint64(EarlyWakeMs) * 1000000) {
        m_pauseTimer.start(int(remainingNs / 1000000)); // woken far too early
        return false;
    }
    // Qt's event loop wakes a timer on whole milliseconds, late by up to one;
    // over a few hundred requests that adds up. The timer wakes a millisecond
    // early and the rest is waited out here, so no pause is ever shorter.
    while (remainingNs > 0)
        remainingNs = pauseNs - m_sendClock.nsecsElapsed();
    return true;
}

void TransferSequence::send(int index)
{
    const ModbusRequest &request = m_requests.at(index);
    QModbusReply *reply = nullptr;
    if (m_client) {
        reply = (m_kind == Kind::Read || m_kind == Kind::Verify)
                    ? TrafficRecorder::sendRead(m_client, request.unit, request.serverAddress)
                    : TrafficRecorder::sendWrite(m_client, request.unit, request.serverAddress);
    }
    if (!reply) {
        const QString clientError = m_client ? m_client->errorString() : QString();
        const bool reading = m_kind == Kind::Read || m_kind == Kind::Verify;
        const SendKind sendKind = reading                 ? SendKind::Read
                                  : m_kind == Kind::Write ? SendKind::Write
                                                          : SendKind::WriteAccept;
        const QString text = sendErrorText(sendKind, clientError);
        qCWarning(lcTransfer).noquote() << text;
        noteFailure(index, QModbusDevice::ConnectionError, 0);
        if (reading) {
            m_failedBlocks << typeResponseName(request.type);
            notify([this, text] { emit errorMessage(text); });
        } else {
            // A write that cannot be sent is not gone on with half done.
            stopWithFailure(text, m_kind == Kind::Write);
        }
        return;
    }
    if (reply->isFinished()) { // a broadcast: no answer comes
        reply->deleteLater();
        return;
    }
    ++m_outstanding;
    m_pending.append(reply);
    const quint64 generation = m_generation;
    connect(reply, &QModbusReply::finished, this,
            [this, reply, index, generation] { onReplyFinished(reply, index, generation); });
}

void TransferSequence::onReplyFinished(QModbusReply *reply, int index, quint64 generation)
{
    m_pending.removeAll(reply);
    reply->deleteLater();
    if (generation != m_generation || m_stopped)
        return;

    --m_outstanding;
    const ModbusRequest &request = m_requests.at(index);
    const int type = request.type;
    if (RegisterBlocks::isReadBlock(type) || RegisterBlocks::isWriteBlock(type))
        notify([this, type] { emit progress(type); });

    const QModbusDevice::Error error = reply->error();
    if (error != QModbusDevice::NoError) {
        noteFailure(index, error,
                    error == QModbusDevice::ProtocolError ? exceptionCodeOf(reply->rawResult())
                                                          : 0);
        handleFailure(index, requestErrorText(type, *reply), error);
    } else if (!RegisterBlocks::resultMatches(request.unit, reply->result())) {
        // A late answer to an earlier request can pose as this one.
        noteFailure(index, QModbusDevice::UnknownError, 0);
        handleFailure(index, mismatchErrorText(type, request.unit, reply->result()),
                      QModbusDevice::UnknownError);
    } else {
        m_confirmed[index] = true;
        handleSuccess(request, reply->result().values());
    }
    m_watchdog.stop();
    goOn();
}

void TransferSequence::noteFailure(int index, QModbusDevice::Error error, int exception)
{
    if (m_failureError != QModbusDevice::NoError)
        return; // the first one is the cause
    m_failureError = error;
    m_failureException = exception;
    m_failedRequest = m_requests.at(index);
}

bool TransferSequence::lastConfirmedWrite(ModbusRequest *request) const
{
    bool found = false;
    for (int i = 0; i < m_confirmed.size() && m_confirmed.at(i); ++i) {
        if (RegisterBlocks::isWriteBlock(m_requests.at(i).type)) {
            *request = m_requests.at(i);
            found = true;
        }
    }
    return found;
}

int TransferSequence::dataWriteCount() const
{
    int count = 0;
    for (const ModbusRequest &request : m_requests)
        count += RegisterBlocks::isWriteBlock(request.type) ? 1 : 0;
    return count;
}

QVector<ModbusRequest> TransferSequence::confirmedWrites() const
{
    QVector<ModbusRequest> confirmed;
    for (int i = 0; i < m_requests.size(); ++i) {
        if (m_confirmed.at(i) && RegisterBlocks::isWriteBlock(m_requests.at(i).type))
            confirmed.append(m_requests.at(i));
    }
    return confirmed;
}

void TransferSequence::handleSuccess(const ModbusRequest &request, const QVector<quint16> &values)
{
    const TypeResponse type = request.type;
    if (m_kind == Kind::Read
        && RegisterBlocks::storeReadValues(type, values.mid(0, request.unit.valueCount()),
                                           &m_tables)) {
        notify([this, type] { emit blockRead(type); });
    }
    if (m_kind == Kind::Verify) {
        m_readBack.store(request.unit, values); // the report says what came back
        return;
    }
    const QString text = QStringLiteral("TypeResponse: ") + typeResponseName(type);
    qCDebug(lcTransfer).noquote() << text;
    notify([this, text] { emit message(text); });
}

void TransferSequence::handleFailure(int index, const QString &text, QModbusDevice::Error error)
{
    qCWarning(lcTransfer).noquote() << text;
    const bool aborted = error == QModbusDevice::ReplyAbortedError;
    switch (m_kind) {
    case Kind::Read: {
        m_failedBlocks << typeResponseName(m_requests.at(index).type);
        if (error == QModbusDevice::TimeoutError)
            skipRest();
        notify([this, text] { emit errorMessage(text); });
        // One box per read is enough; every failure is in the output pane.
        if (!aborted && !m_readWarned) {
            m_readWarned = true;
            notify([this, text] { emit warning(text); });
        }
        return;
    }
    case Kind::Verify:
        // The write is done; a block not read back is named in the report.
        m_failedBlocks << typeResponseName(m_requests.at(index).type);
        if (error == QModbusDevice::TimeoutError)
            skipRest();
        notify([this, text] { emit errorMessage(text); });
        return;
    case Kind::Write:
        // An aborted reply, or a completing reply that timed out, may still
        // have been carried out: that is unconfirmed, not refused.
        if (aborted || (error == QModbusDevice::TimeoutError && isLastRequest(index))) {
            m_unconfirmed = true;
            notify([this, text] { emit errorMessage(text); });
            return;
        }
        stopWithFailure(text, true);
        return;
    case Kind::Reset:
    case Kind::Reboot:
        stopWithFailure(text, !aborted);
        return;
    case Kind::None:
        return;
    }
}

void TransferSequence::stopWithFailure(const QString &text, bool warn)
{
    notify([this, text] { emit errorMessage(text); });
    if (warn)
        notify([this, text] { emit warning(text); });
    finish(Result::Failed);
}

void TransferSequence::finishIfDone()
{
    if (m_stopped || (m_next < m_requests.size() && !m_interrupted) || m_outstanding > 0)
        return;
    switch (m_kind) {
    case Kind::Read:
        if (m_failedBlocks.isEmpty()) {
            finish(Result::Completed);
        } else {
            const QString text = QString::fromUtf8(FailedBlocksText).arg(m_failedBlocks.join(", "));
            notify([this, text] { emit message(text); });
            finish(Result::Failed);
        }
        return;
    case Kind::Write:
        if (m_unconfirmed || m_interrupted) {
            const QString text = QString::fromUtf8(UnconfirmedText);
            notify([this, text] {
                emit message(text);
                emit warning(text);
            });
            finish(Result::Unconfirmed);
        } else {
            finish(Result::Completed);
        }
        return;
    case Kind::Verify: {
        const QString text = verifyReport();
        notify([this, text] { emit message(text); });
        finish(m_failedBlocks.isEmpty() && m_readBack.differences().isEmpty() ? Result::Completed
                                                                              : Result::Failed);
        return;
    }
    case Kind::Reset:
    case Kind::Reboot:
        finish(Result::Completed);
        return;
    case Kind::None:
        return;
    }
}

void TransferSequence::onWatchdog()
{
    if (m_stopped || m_next == 0)
        return;
    qCWarning(lcTransfer) << "no reply within the client's time-out";
    const int index = m_next - 1; // the one request in flight
    releasePending();
    noteFailure(index, QModbusDevice::TimeoutError, 0);
    if (m_kind == Kind::Reset || m_kind == Kind::Reboot) {
        const QString text = QString::fromUtf8(UnconfirmedText);
        notify([this, text] {
            emit message(text);
            emit warning(text);
        });
        finish(Result::Unconfirmed);
        return;
    }
    const QString text = QString::fromUtf8(NoReplyText);
    handleFailure(index, text, QModbusDevice::TimeoutError);
    goOn();
}

// The unit stopped answering: the blocks still to read are not asked for.
void TransferSequence::skipRest()
{
    for (; m_next < m_requests.size(); ++m_next)
        m_failedBlocks << typeResponseName(m_requests.at(m_next).type);
}

void TransferSequence::finish(Result result)
{
    const Kind kind = m_kind;
    m_stopped = true;
    m_pauseTimer.stop();
    m_watchdog.stop();
    releasePending();
    // The flag is cleared after the sequence's own last reply, also after a
    // refused write; a unit that stopped answering mid-write is sent nothing
    // more (the next complete write clears it).
    const bool answering
        = result != Result::Failed || m_failureError == QModbusDevice::ProtocolError;
    if (kind == Kind::Write && m_version > LastOldFirmware && answering)
        sendEepromFlagOff();
    restoreClientTimeout();
    // Only a confirmed write is worth reading back.
    if (kind == Kind::Write && result != Result::Completed)
        m_readBack.clear();
    notify([this, kind, result] {
        m_kind = Kind::None;
        emit finished(kind, result);
    });
}

void TransferSequence::sendEepromFlagOff()
{
    if (!m_client)
        return;
    const ModbusRequest request = RegisterBlocks::eepromFlagRequest(false, m_serverAddress);
    QModbusReply *reply = TrafficRecorder::sendWrite(m_client, request.unit, request.serverAddress);
    if (!reply) {
        const QString text = sendErrorText(SendKind::Write, m_client->errorString());
        qCWarning(lcTransfer).noquote() << text;
        notify([this, text] { emit errorMessage(text); });
        return;
    }
    // Its answer is not awaited; it only has to be released.
    if (reply->isFinished())
        reply->deleteLater();
    else
        connect(reply, &QModbusReply::finished, reply, &QObject::deleteLater);
}

void TransferSequence::armWatchdog()
{
    if (!m_client)
        return;
    const int perRequest = m_client->timeout() * (m_client->numberOfRetries() + 1);
    m_watchdog.start(perRequest + m_watchdogMarginMs);
}

// On a serial line a long block takes long on the wire: the client waits for
// the longest request of the sequence, and gets its own time-out back after.
void TransferSequence::fitClientTimeout()
{
    if (!m_client)
        return;
    QVector<QModbusDataUnit> units;
    for (const ModbusRequest &request : qAsConst(m_requests))
        units.append(request.unit);
    const bool write = m_kind != Kind::Read && m_kind != Kind::Verify;
    const int own = m_client->timeout();
    if (LinkSettings::fitTimeout(m_client, units, write, m_responseDelayMs) && m_savedTimeoutMs < 0)
        m_savedTimeoutMs = own;
}

void TransferSequence::restoreClientTimeout()
{
    if (m_client && m_savedTimeoutMs >= 0)
        m_client->setTimeout(m_savedTimeoutMs);
    m_savedTimeoutMs = -1;
}

void TransferSequence::releasePending()
{
    // Replies still on the line are no longer ours to handle, but must
    // still be freed once the client is done with them.
    for (const QPointer<QModbusReply> &reply : qAsConst(m_pending)) {
        if (!reply)
            continue;
        disconnect(reply, nullptr, this, nullptr);
        if (reply->isFinished())
            reply->deleteLater();
        else
            connect(reply, &QModbusReply::finished, reply, &QObject::deleteLater);
    }
    m_pending.clear();
    m_outstanding = 0;
}
