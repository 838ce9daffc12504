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

} // namespace

SimBus::SimBus(QObject *parent)
    : QObject(parent)
{}

SimUnit *SimBus::addUnit(const SimUnitConfig &config, bool frozen)
{
    auto *unit = new SimUnit(config, frozen, this);
    unit->setLenient(m_lenient);
    m_units.append(unit);
    connect(unit, &SimUnit::configurationChanged, this, &SimBus::saveState);
    connect(unit, &SimUnit::event, this, [this, unit](const QString &text) {
        SimRequestRecord record;
        record.time = QDateTime::currentDateTime();
        record.slave = unit->activeAddress();
        record.result = SimRequestRecord::Event;
        record.note = text;
        m_log.add(record);
    });
    return unit;
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

bool SimBus::handle(int slave, const QByteArray &request, QByteArray *response)
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
        return false;
    }
    ++m_requestCount;
    if (m_faults.dropEvery > 0 && m_requestCount % quint64(m_faults.dropEvery) == 0) {
        record.result = SimRequestRecord::Dropped;
        m_log.add(record);
        return false;
    }

    const int exception = execute(unit, record.function, request, response, &record);
    if (exception != SimException::None) {
        response->clear();
        response->append(char(record.function | 0x80));
        response->append(char(exception));
        record.result = SimRequestRecord::Exception;
        record.exception = exception;
    }
    m_log.add(record);
    return true;
}

int SimBus::execute(SimUnit *unit, int function, const QByteArray &request, QByteArray *response,
                    SimRequestRecord *record)
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
    for (auto it = m_faults.exceptionAt.constBegin(); it != m_faults.exceptionAt.constEnd(); ++it) {
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
    const int error = unit->write(type, address, values);
    if (error != SimException::None)
        return error;
    // Single writes echo the request; multiple writes answer address and quantity.
    *response = single ? request : request.left(5);
    return SimException::None;
}
