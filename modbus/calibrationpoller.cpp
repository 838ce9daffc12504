// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibrationpoller.h"
#include "linksettings.h"
#include "trafficrecorder.h"

#include "modbuslogging.h"
#include "requesterror.h"

#include <channel.h>
#include <codes.h>
#include <module.h>
#include <property.h>
#include <submodule.h>

#include <QModbusClient>
#include <QModbusReply>
#include <QSerialPort>

namespace {

// A register read converted by the parameter's value type; invalid for
// types whose reads are not stored (Bool, enumerations).
QVariant convertRead(int valueType, const QVector<quint16> &values)
{
    switch (valueType) {
    case ValueInt16:
        return QVariant(int(qint16(values.at(0))));
    case ValueUInt16:
        return QVariant(int(values.at(0)));
    case ValueInt32:
        return QVariant(qint32(quint32(values.at(1)) << 16 | values.at(0)));
    case ValueFloat32:
        return QVariant(wordsToFloat(values.at(0), values.at(1)));
    default:
        return QVariant();
    }
}

QString channelLabel(const Property *p)
{
    const Device *channel = p->device();
    if (!channel)
        return QString();
    return channelTypeName(channel->value(ChannelParam::Type).toInt()) + QLatin1Char(' ')
           + QString::number(channel->value(ChannelParam::Number).toInt() + 1);
}

} // namespace

CalibrationPoller::CalibrationPoller(Module *module, QModbusClient *client, int serverAddress,
                                     QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_serverAddress(serverAddress)
{
    // Queued connections and signal spies carry the parameter of valueStored.
    qRegisterMetaType<Property *>();
    if (m_client) {
        m_savedTimeout = m_client->timeout();
        m_savedRetries = m_client->numberOfRetries();
        m_client->setTimeout(ClientTimeoutMs);
        m_client->setNumberOfRetries(ClientRetries);
    } else {
        qCDebug(lcModbus) << "calibration without a Modbus client: nothing is polled";
    }
    collectParameters(module);
    fitClientTimeout(module);
    watchLine();

    m_stepTimer.setSingleShot(true);
    m_stepTimer.setInterval(StepMs);
    connect(&m_stepTimer, &QTimer::timeout, this, &CalibrationPoller::sendNextRead);
    m_pollTimer.setInterval(PollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &CalibrationPoller::readProperty);
}

CalibrationPoller::~CalibrationPoller()
{
    finish();
}

void CalibrationPoller::collectParameters(Module *module)
{
    if (!module)
        return;
    for (Submodule *submodule : module->submodules()) {
        for (Channel *channel : submodule->channels()) {
            for (Property *p : channel->properties()) {
                if (p->address() < 0)
                    continue;
                connect(p, &Property::valueChange, this, [this, p] { onValueChange(p); });
                m_polled.append(p);
                m_markAtOpen.insert(p, p->isChanged());
            }
        }
    }
}

// On a serial line the base time-out grows by the wire time of the longest
// read or write of a parameter and by the unit's response delay.
void CalibrationPoller::fitClientTimeout(Module *module)
{
    LinkSettings settings;
    if (!LinkSettings::settingsOf(m_client, &settings) || settings.isTcp())
        return;
    m_serial = true;
    if (module)
        settings.responseDelayMs = module->value(ModuleParam::ResponseDelay).toInt();
    int timeout = ClientTimeoutMs;
    for (const Property *p : qAsConst(m_polled)) {
        const auto type = QModbusDataUnit::RegisterType(p->registerType());
        const int count = registerCountOfValueType(p->valueType());
        timeout = qMax(timeout, settings.requestTimeoutMs(QModbusDataUnit(type, 0, quint16(count)),
                                                          false, ClientTimeoutMs));
        timeout = qMax(
            timeout, settings.requestTimeoutMs(QModbusDataUnit(type, 0, 1), true, ClientTimeoutMs));
    }
    m_client->setTimeout(timeout);
}

void CalibrationPoller::watchLine()
{
    m_quietTimer.setSingleShot(true);
    connect(&m_quietTimer, &QTimer::timeout, this, &CalibrationPoller::resumeAfterQuiet);
    QSerialPort *port = m_serial ? m_client->findChild<QSerialPort *>() : nullptr;
    if (!port)
        return;
    // Bytes of a late reply keep the line from being quiet.
    connect(port, &QSerialPort::readyRead, this, [this] {
        if (m_quietTimer.isActive())
            m_quietTimer.start();
    });
}

bool CalibrationPoller::lineBusy() const
{
    return m_serial && (!m_pendingReads.isEmpty() || m_quietTimer.isActive());
}

void CalibrationPoller::resumeAfterQuiet()
{
    if (m_finished)
        return;
    if (isPassRunning() && !m_stepTimer.isActive())
        sendNextRead();
}

void CalibrationPoller::start()
{
    if (!m_finished)
        m_pollTimer.start();
}

void CalibrationPoller::readProperty()
{
    // Replies are slower than the timer: let the running pass end first.
    if (m_finished || isPassRunning() || m_polled.isEmpty())
        return;
    if (m_stale) {
        // Each parameter in turn: one register the unit leaves unanswered
        // must not hide that it answers the others.
        if (!m_probe && !lineBusy()) {
            m_probeIndex = (m_probeIndex + 1) % m_polled.size();
            sendRead(m_polled.at(m_probeIndex), true);
        }
        return;
    }
    m_passIndex = 0;
    sendNextRead();
}

void CalibrationPoller::sendNextRead()
{
    if (m_passIndex < 0)
        return;
    if (m_passIndex >= m_polled.size()) {
        m_passIndex = -1;
        return;
    }
    if (lineBusy())
        return; // the reply or the quiet time sends the next read
    Property *p = m_polled.at(m_passIndex++);
    m_stepTimer.start();
    sendRead(p, false);
}

bool CalibrationPoller::sendRead(Property *p, bool probe)
{
    if (!m_client)
        return false;
    const QModbusDataUnit unit(QModbusDataUnit::RegisterType(p->registerType()), p->address(),
                               quint16(registerCountOfValueType(p->valueType())));
    m_readClock.start();
    QModbusReply *reply = TrafficRecorder::sendRead(m_client, unit, m_serverAddress);
    if (!reply) {
        readUnanswered(m_client->errorString(), probe);
        return false;
    }
    if (probe && !reply->isFinished())
        m_probe = reply;
    watch(reply, p, false);
    return true;
}

void CalibrationPoller::sendWrite(Property *p)
{
    if (!m_client)
        return;
    const QModbusDataUnit unit(QModbusDataUnit::RegisterType(p->registerType()), p->address(),
                               QVector<quint16>{quint16(p->value().toInt())});
    QModbusReply *reply = TrafficRecorder::sendWrite(m_client, unit, m_serverAddress);
    if (!reply) {
        qCDebug(lcModbus) << m_client->errorString();
        return;
    }
    emit writeSent(p, m_held.value(p), reply);
    m_held.insert(p, p->value());
    watch(reply, p, true);
}

void CalibrationPoller::watch(QModbusReply *reply, Property *p, bool write)
{
    if (reply->isFinished()) {
        delete reply;
        return;
    }
    connect(reply, &QModbusReply::finished, this,
            [this, reply, p, write] { handleReply(reply, p, write); });
    // The reply goes when it ends, even when the poller is gone by then.
    connect(reply, &QModbusReply::finished, reply, &QObject::deleteLater);
    if (!write)
        m_pendingReads.append(reply);
}

void CalibrationPoller::handleReply(QModbusReply *reply, Property *p, bool write)
{
    if (m_finished)
        return;
    m_pendingReads.removeOne(reply);
    const bool probe = reply == m_probe;
    if (probe)
        m_probe = nullptr;

    const QModbusDevice::Error error = reply->error();
    if (m_serial && !write && m_client && m_readClock.elapsed() > m_client->timeout())
        m_quietTimer.start(m_client->timeout() * LateReplyQuietFactor);
    if (error != QModbusDevice::NoError && error != QModbusDevice::ProtocolError) {
        // No answer: a timeout, a lost connection.
        if (write)
            qCDebug(lcModbus).noquote() << parameterRequestErrorText(*reply);
        else
            readUnanswered(parameterRequestErrorText(*reply), probe);
    } else {
        if (!write)
            readAnswered();
        if (error == QModbusDevice::ProtocolError) {
            qCDebug(lcModbus).noquote() << parameterRequestErrorText(*reply);
        } else if (write) {
            qCDebug(lcModbus) << "write success";
        } else {
            const QModbusDataUnit result = reply->result();
            const int count = registerCountOfValueType(p->valueType());
            // A reply too short for the value (on a serial line, a late answer
            // to another read of the same function) is not stored.
            if (result.startAddress() == p->address() && int(result.valueCount()) >= count)
                storeRead(p, result.values());
            else
                qCDebug(lcModbus) << "reply does not answer the read of" << p->name()
                                  << p->address();
        }
    }
    restartPollTimer();
    if (m_serial && !write && !m_stepTimer.isActive())
        sendNextRead(); // a serial pass waited for this reply
}

void CalibrationPoller::readAnswered()
{
    m_unansweredReads = 0;
    if (!m_stale)
        return;
    m_stale = false;
    m_pollTimer.setInterval(PollIntervalMs);
    qCDebug(lcModbus) << "calibration: the unit answers again";
    emit staleChanged(false);
}

void CalibrationPoller::readUnanswered(const QString &text, bool probe)
{
    ++m_unansweredReads;
    if (m_stale) {
        // One line said so already; each silent probe only waits longer.
        if (probe)
            m_pollTimer.setInterval(qMin(m_pollTimer.interval() * 2, int(MaxBackoffMs)));
        return;
    }
    qCDebug(lcModbus).noquote() << text;
    if (m_unansweredReads < StaleAfterReads)
        return;
    m_stale = true;
    m_passIndex = -1;
    m_stepTimer.stop();
    m_pollTimer.setInterval(PollIntervalMs * 2);
    qCWarning(lcModbus) << "calibration: no answer from the unit, polling backs off";
    emit staleChanged(true);
}

void CalibrationPoller::restartPollTimer()
{
    if (!m_finished)
        m_pollTimer.start();
}

void CalibrationPoller::storeRead(Property *p, const QVector<quint16> &values)
{
    const QVariant value = convertRead(p->valueType(), values);
    const QVariant held = value.isValid() ? value : QVariant(int(values.at(0)));
    if (!m_baseline.contains(p))
        m_baseline.insert(p, held);
    m_held.insert(p, held);
    if (!value.isValid())
        return;

    // What the unit holds is no edit: no signal, the edit mark stays as it was.
    const bool wasChanged = p->isChanged();
    const bool wasBlocked = p->blockSignals(true);
    p->setValue(value);
    p->setChanged(wasChanged);
    p->blockSignals(wasBlocked);
    emit valueStored(p, value, QDateTime::currentDateTime());
}

void CalibrationPoller::onValueChange(Property *p)
{
    if (m_finished && !m_restoring)
        return;
    if (!m_restoring && !m_edited.contains(p))
        m_edited.append(p);
    if (p->valueType() == ValueInt32 || p->valueType() == ValueFloat32) {
        qCDebug(lcModbus) << "Проверить!";
        return;
    }
    sendWrite(p);
}

void CalibrationPoller::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_pollTimer.stop();
    m_stepTimer.stop();
    m_quietTimer.stop();
    m_passIndex = -1;
    for (const QPointer<QModbusReply> &reply : qAsConst(m_pendingReads))
        delete reply.data();
    m_pendingReads.clear();

    // The client's own settings first, so the restoring writes get its usual patience.
    if (m_client) {
        m_client->setTimeout(m_savedTimeout);
        m_client->setNumberOfRetries(m_savedRetries);
    }
    restoreEdits();
}

void CalibrationPoller::restoreEdits()
{
    m_restoring = true;
    for (Property *p : qAsConst(m_polled)) {
        if (!m_edited.contains(p))
            continue;
        const auto baseline = m_baseline.constFind(p);
        if (baseline == m_baseline.constEnd()) {
            const QString text
                = QStringLiteral("Параметр \"%1\" (%2) изменен до первого чтения из модуля: "
                                 "исходное значение неизвестно, оно не восстановлено")
                      .arg(p->name(), channelLabel(p));
            qCWarning(lcModbus).noquote() << text;
            emit notice(text);
            continue;
        }
        // A value that differs is written back through onValueChange().
        p->setValue(*baseline);
        p->setChanged(m_markAtOpen.value(p));
    }
    m_restoring = false;
}
