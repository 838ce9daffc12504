// SPDX-License-Identifier: GPL-3.0-or-later
#include "discoveryscanner.h"
#include "trafficrecorder.h"

#include "modbuslogging.h"
#include "registerblocks.h"
#include "requesterror.h"

#include <QModbusClient>
#include <QModbusReply>
#include <QModbusTcpClient>
#include <QMutexLocker>

DiscoveryScanner::DiscoveryScanner(QObject *parent)
    : QObject(parent)
{
    m_pacing.setSingleShot(true);
    m_pacing.setTimerType(Qt::PreciseTimer);
    m_pacing.setInterval(PacingMs);
    connect(&m_pacing, &QTimer::timeout, this, &DiscoveryScanner::sendRequest);
}

DiscoveryScanner::~DiscoveryScanner()
{
    clear();
}

void DiscoveryScanner::setClient(QModbusClient *client)
{
    clear();
    m_client = client;
}

int DiscoveryScanner::start(int first, int last)
{
    for (int address = first; address <= last; ++address)
        findModule(address, address == last);
    scheduleNext();
    return first <= last ? last - first + 1 : 0;
}

void DiscoveryScanner::findModule(int serverAddress, bool last, int count)
{
    if (m_client)
        m_requests.append(moduleBlockRead(serverAddress, last, count));
}

DiscoveryScanner::Entry DiscoveryScanner::moduleBlockRead(int serverAddress, bool last, int count)
{
    Entry entry;
    entry.request.unit
        = QModbusDataUnit(QModbusDataUnit::HoldingRegisters, ModuleBlockStart, quint16(count));
    entry.request.type = rT2000;
    entry.request.serverAddress = serverAddress;
    entry.last = last;
    return entry;
}

void DiscoveryScanner::watch(QModbusReply *reply, const Entry &entry)
{
    m_pending = reply;
    m_pendingEntry = entry;
    if (reply->isFinished())
        onReplyFinished(reply);
    else
        connect(reply, &QModbusReply::finished, this, [this, reply]() { onReplyFinished(reply); });
}

void DiscoveryScanner::sendRequest()
{
    if (m_pending || m_requests.isEmpty())
        return;
    if (takeStopFlag()) {
        m_requests.clear();
        emit stopped();
        return;
    }
    if (!m_client) {
        m_requests.clear();
        return;
    }

    const Entry entry = m_requests.takeFirst();
    QModbusReply *reply = sendScanRead(entry);
    if (!reply) {
        const QString text = sendErrorText(SendKind::Read, m_client->errorString());
        qCDebug(lcModbus) << text;
        // The address counts as silent, so the scan still reaches its end.
        emit addressDone(entry.request.serverAddress, entry.last);
        emit sendFailed(text);
        scheduleNext();
        return;
    }
    watch(reply, entry);
}

QModbusReply *DiscoveryScanner::sendScanRead(const Entry &entry)
{
    // Behind a gateway a silent identifier is asked once: a scan is not a
    // read, and retries would make 1..247 take minutes. The client takes its
    // retries when the request is queued, so the others keep theirs.
    const bool once = qobject_cast<QModbusTcpClient *>(m_client.data()) != nullptr;
    const int retries = m_client->numberOfRetries();
    if (once)
        m_client->setNumberOfRetries(0);
    QModbusReply *reply
        = TrafficRecorder::sendRead(m_client, entry.request.unit, entry.request.serverAddress);
    if (once)
        m_client->setNumberOfRetries(retries);
    return reply;
}

bool DiscoveryScanner::probe(int serverAddress, int count)
{
    clear();
    Entry entry = moduleBlockRead(serverAddress, true, count);
    entry.probe = true;
    QModbusReply *reply = TrafficRecorder::sendRead(m_client, entry.request.unit, serverAddress);
    if (!reply) {
        const QString text
            = sendErrorText(SendKind::Read, m_client ? m_client->errorString() : QString());
        qCDebug(lcModbus) << text;
        emit sendFailed(text);
        return false;
    }
    watch(reply, entry);
    return true;
}

void DiscoveryScanner::probeReplied(QModbusReply *reply)
{
    reply->deleteLater();
    const QModbusDataUnit request = m_pendingEntry.request.unit;
    const int serverAddress = m_pendingEntry.request.serverAddress;
    if (reply == m_pending)
        m_pending = nullptr;
    // Replies of a connection that is going away are not answers.
    if (!m_client || m_client->state() != QModbusDevice::ConnectedState
        || reply->error() == QModbusDevice::ReplyAbortedError)
        return;

    QString text;
    const QModbusDataUnit result = reply->result();
    if (reply->error() != QModbusDevice::NoError)
        text = requestErrorText(rT2000, *reply);
    else if (!RegisterBlocks::resultMatches(request, result))
        text = mismatchErrorText(rT2000, request, result);
    if (!text.isEmpty()) {
        qCDebug(lcModbus) << text;
        emit probeFailed(text);
        return;
    }
    emit unitProbed(result.values(), serverAddress);
}

void DiscoveryScanner::onReplyFinished(QModbusReply *reply)
{
    if (reply == m_pending && m_pendingEntry.probe) {
        probeReplied(reply);
        return;
    }
    reply->deleteLater();
    if (reply != m_pending)
        return; // forgotten by clear()
    m_pending = nullptr;
    const Entry entry = m_pendingEntry;

    // An aborted reply, or any reply while the connection goes down, says
    // nothing about the unit: the scan is over without a report.
    if (reply->error() == QModbusDevice::ReplyAbortedError || !m_client
        || m_client->state() != QModbusDevice::ConnectedState) {
        m_requests.clear();
        return;
    }

    if (reply->error() == QModbusDevice::NoError) {
        const QModbusDataUnit result = reply->result();
        if (RegisterBlocks::resultMatches(entry.request.unit, result)
            && result.valueCount() >= uint(ModuleTables::ModuleBlockSize)) {
            emit unitFound(result.values(), entry.request.serverAddress);
        } else {
            qCDebug(lcModbus) << mismatchErrorText(entry.request.type, entry.request.unit, result);
        }
    } else if (reply->error() == QModbusDevice::ProtocolError) {
        // A gateway's own exceptions say that no unit answered behind it.
        const int code = exceptionCodeOf(reply->rawResult());
        if (code != QModbusPdu::GatewayPathUnavailable
            && code != QModbusPdu::GatewayTargetDeviceFailedToRespond)
            emit unitRefused(entry.request.serverAddress, code);
    }
    emit addressDone(entry.request.serverAddress, entry.last);
    scheduleNext();
}

void DiscoveryScanner::scheduleNext()
{
    if (!m_requests.isEmpty() && !m_pending)
        m_pacing.start();
}

void DiscoveryScanner::requestStop()
{
    QMutexLocker locker(&m_mutex);
    m_stopFlag = 1;
}

void DiscoveryScanner::clearStopFlag()
{
    QMutexLocker locker(&m_mutex);
    m_stopFlag = 0;
}

bool DiscoveryScanner::stopRequested() const
{
    QMutexLocker locker(&m_mutex);
    return m_stopFlag != 0;
}

bool DiscoveryScanner::takeStopFlag()
{
    QMutexLocker locker(&m_mutex);
    const bool set = m_stopFlag != 0;
    m_stopFlag = 0;
    return set;
}

void DiscoveryScanner::clear()
{
    m_requests.clear();
    m_pacing.stop();
    if (m_pending) {
        disconnect(m_pending, nullptr, this, nullptr);
        m_pending->deleteLater();
        m_pending = nullptr;
    }
}
