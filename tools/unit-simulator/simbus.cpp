// SPDX-License-Identifier: GPL-3.0-or-later
#include "simbus.h"

#include "simstatefile.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSimBus, "brk.sim.bus")

namespace {

quint16 wordAt(const QByteArray &data, int offset)
{
    return quint16(quint8(data.at(offset)) << 8 | quint8(data.at(offset + 1)));
}

void appendWord(QByteArray *data, quint16 word)
{
    data->append(char(word >> 8));
    data->append(char(word & 0xFF));
}

QModbusDataUnit::RegisterType readType(int function)
{
    switch (function) {
    case 1:
        return QModbusDataUnit::Coils;
    case 2:
        return QModbusDataUnit::DiscreteInputs;
    case 3:
        return QModbusDataUnit::HoldingRegisters;
    default:
        return QModbusDataUnit::InputRegisters;
    }
}

// Number of registers (or coils) a request covers, as far as its words tell.
int coveredCount(int function, const QByteArray &request)
{
    if (function == 5 || function == 6)
        return 1;
    return request.size() >= 5 ? wordAt(request, 3) : 0;
}

bool covers(const QSet<int> &addresses, int address, int count)
{
    for (int fault : addresses) {
        if (fault >= address && fault < address + count)
            return true;
    }
    return false;
}

} // namespace

SimBus::SimBus(QObject *parent)
    : QObject(parent)
{
    m_pauseTimer.setSingleShot(true);
    m_pauseTimer.setTimerType(Qt::PreciseTimer); // a coarse timer may end the pause early
    connect(&m_pauseTimer, &QTimer::timeout, this, [this] {
        logEvent(0, QStringLiteral("resumed"));
        emit resumed();
    });
}

SimUnit *SimBus::addUnit(const SimUnitConfig &config, bool frozen)
{
    auto *unit = new SimUnit(config, frozen, this);
    unit->setLenient(m_lenient);
    m_units.append(unit);
    connect(unit, &SimUnit::configurationChanged, this, &SimBus::saveState);
    connect(unit, &SimUnit::event, this,
            [this, unit](const QString &text) { logEvent(unit->activeAddress(), text); });
    return unit;
}

void SimBus::logEvent(int slave, const QString &text)
{
    SimRequestRecord record;
    record.time = QDateTime::currentDateTime();
    record.slave = slave;
    record.result = SimRequestRecord::Event;
    record.note = text;
    m_log.add(record);
}

SimUnit *SimBus::unitAt(int slave) const
{
    for (SimUnit *unit : m_units) {
        if (unit->activeAddress() == slave)
            return unit;
    }
    return nullptr;
}

void SimBus::setLenient(bool lenient)
{
    m_lenient = lenient;
    for (SimUnit *unit : qAsConst(m_units))
        unit->setLenient(lenient);
}

bool SimBus::setStateFile(const QString &path, QString *error)
{
    m_statePath = path;
    return SimStateFile::load(path, m_units, error);
}

void SimBus::saveState()
{
    if (m_statePath.isEmpty())
        return;
    QString error;
    if (!SimStateFile::save(m_statePath, m_units, &error))
        qCWarning(lcSimBus) << error;
}

int SimBus::replyDelayMs(int slave) const
{
    return faultsApply(slave) ? m_faults.delayMs : 0;
}

bool SimBus::faultsApply(int slave) const
{
    return m_faults.units.isEmpty() || m_faults.units.contains(slave);
}

SimBus::Reply SimBus::handle(int slave, const QByteArray &request, QByteArray *response)
{
    response->clear();
    SimRequestRecord record;
    record.time = QDateTime::currentDateTime();
    record.slave = slave;
    record.function = request.isEmpty() ? 0 : quint8(request.at(0));
    if (request.size() >= 3)
        record.address = wordAt(request, 1);

    SimUnit *unit = unitAt(slave);
    if (!unit || request.isEmpty()) {
        record.result = SimRequestRecord::NoUnit;
        m_log.add(record);
        return Reply::None;
    }
    const bool faulty = faultsApply(slave);
    if (faulty) {
        ++m_requestCount;
        if (m_faults.pauseAt > 0 && m_requestCount == quint64(m_faults.pauseAt)) {
            // This request is still handled; the next ones wait in the socket or port.
            logEvent(0, QStringLiteral("paused for %1 ms").arg(m_faults.pauseForMs));
            m_pauseTimer.start(m_faults.pauseForMs);
        }
        Reply unanswered = Reply::Send;
        const int count = coveredCount(record.function, request);
        const bool silentNow
            = m_faults.silent
              || (m_faults.silentAfter > 0 && m_requestCount > quint64(m_faults.silentAfter));
        if (silentNow || covers(m_faults.silentAt, record.address, count)) {
            record.fault = QStringLiteral("silent");
            unanswered = Reply::None;
        } else if (covers(m_faults.closeAt, record.address, count)) {
            record.fault = QStringLiteral("closed");
            unanswered = Reply::Close;
        } else if (m_faults.dropEvery > 0 && m_requestCount % quint64(m_faults.dropEvery) == 0) {
            unanswered = Reply::None;
        }
        if (unanswered != Reply::Send) {
            record.result = SimRequestRecord::Dropped;
            m_log.add(record);
            return unanswered;
        }
    }

    const int exception = execute(unit, record.function, request, response, &record, faulty);
    if (exception != SimException::None) {
        response->clear();
        response->append(char(record.function | 0x80));
        response->append(char(exception));
        record.result = SimRequestRecord::Exception;
        record.exception = exception;
    } else if (faulty) {
        distortReply(record.function, record.address, record.count, response, &record);
    }
    m_log.add(record);
    return Reply::Send;
}

void SimBus::distortReply(int function, int address, int count, QByteArray *response,
                          SimRequestRecord *record) const
{
    if (function <= 4) {
        // Values travel as words, bits as bytes; the byte count follows the change.
        const int size = function <= 2 ? 1 : 2;
        const int bytes = quint8(response->at(1));
        int change = 0;
        for (auto it = m_faults.shortReplyAt.constBegin(); it != m_faults.shortReplyAt.constEnd();
             ++it) {
            if (it.key() >= address && it.key() < address + count) {
                change = -qMin(bytes, it.value() * size);
                record->fault = QStringLiteral("short reply");
                break;
            }
        }
        if (change == 0 && covers(m_faults.wrongReplyAt, address, count)) {
            change = size;
            record->fault = QStringLiteral("wrong reply");
        }
        if (change < 0)
            response->chop(-change);
        else
            response->append(QByteArray(change, 0));
        (*response)[1] = char(bytes + change);
    } else if (covers(m_faults.wrongReplyAt, address, count)) {
        const quint16 wrong = quint16(address + 1);
        (*response)[1] = char(wrong >> 8);
        (*response)[2] = char(wrong & 0xFF);
        record->fault = QStringLiteral("wrong reply");
    }
}

int SimBus::execute(SimUnit *unit, int function, const QByteArray &request, QByteArray *response,
                    SimRequestRecord *record, bool faulty)
{
    if (function < 1 || (function > 6 && function != 15 && function != 16))
        return SimException::IllegalFunction;
    if (request.size() < 5)
        return SimException::IllegalValue;
    const int address = wordAt(request, 1);
    const int quantity = wordAt(request, 3);
    const bool single = function == 5 || function == 6;
    const int count = single ? 1 : quantity;

    if (function <= 4) {
        const int limit = function <= 2 ? 2000 : 125;
        if (request.size() != 5 || quantity < 1 || quantity > limit)
            return SimException::IllegalValue;
    } else if (function == 5 || function == 6) {
        if (request.size() != 5 || (function == 5 && quantity != 0xFF00 && quantity != 0x0000))
            return SimException::IllegalValue;
    } else {
        const int limit = function == 15 ? 1968 : 123;
        const int bytes = function == 15 ? (quantity + 7) / 8 : quantity * 2;
        if (request.size() < 6 || quantity < 1 || quantity > limit || quint8(request.at(5)) != bytes
            || request.size() != 6 + bytes)
            return SimException::IllegalValue;
    }
    record->count = count;
    if (address + count > 0x10000)
        return SimException::IllegalAddress;
    for (auto it = m_faults.exceptionAt.constBegin();
         faulty && it != m_faults.exceptionAt.constEnd(); ++it) {
        if (it.key() >= address && it.key() < address + count)
            return it.value();
    }

    if (function <= 4) {
        QVector<quint16> values;
        const int error = unit->read(readType(function), address, count, &values);
        if (error != SimException::None)
            return error;
        response->append(char(function));
        if (function <= 2) {
            QByteArray bits((count + 7) / 8, 0);
            for (int i = 0; i < count; ++i) {
                if (values.at(i))
                    bits[i / 8] = char(quint8(bits.at(i / 8)) | (1 << (i % 8)));
            }
            response->append(char(bits.size()));
            response->append(bits);
        } else {
            response->append(char(2 * count));
            for (quint16 value : qAsConst(values))
                appendWord(response, value);
        }
        return SimException::None;
    }

    QVector<quint16> values;
    QModbusDataUnit::RegisterType type = QModbusDataUnit::HoldingRegisters;
    if (function == 5) {
        type = QModbusDataUnit::Coils;
        values.append(quantity == 0xFF00 ? 1 : 0);
    } else if (function == 6) {
        values.append(quantity);
    } else if (function == 15) {
        type = QModbusDataUnit::Coils;
        for (int i = 0; i < count; ++i)
            values.append((quint8(request.at(6 + i / 8)) >> (i % 8)) & 1);
    } else {
        for (int i = 0; i < count; ++i)
            values.append(wordAt(request, 6 + 2 * i));
    }
    record->values = values;
    // An ignored write runs as any other (arming, checks, answer); then the old value returns.
    QMap<int, quint16> kept;
    for (int ignored : qAsConst(m_faults.ignoreWrite)) {
        quint16 old = 0;
        if (faulty && ignored >= address && ignored < address + count
            && unit->peek(type, ignored, &old))
            kept.insert(ignored, old);
    }
    const int error = unit->write(type, address, values);
    if (error != SimException::None)
        return error;
    if (!kept.isEmpty()) {
        for (auto it = kept.constBegin(); it != kept.constEnd(); ++it)
            unit->poke(type, it.key(), it.value());
        record->fault = QStringLiteral("ignored write");
        saveState();
    }
    // Single writes echo the request; multiple writes answer address and quantity.
    *response = single ? request : request.left(5);
    return SimException::None;
}
