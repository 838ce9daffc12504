// SPDX-License-Identifier: GPL-3.0-or-later
#include "simunit.h"

#include <QJsonArray>
#include <QStringList>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Service codes of register 2016.
constexpr quint16 kArmConfig = 0x6C31;
constexpr quint16 kArmModule = 0x6C5B;
constexpr quint16 kReset = 0x6C45;
constexpr quint16 kReboot = 0x7D4C;

constexpr int kModuleStart = 2000;
constexpr int kRawStart = 10004;
constexpr int kCounterStart = 202;
constexpr int kStepperStart = 550;

// Board codes in the slot words.
enum Board {
    DO4 = 1,
    SIM = 2,
    R = 3,
    AI = 4,
    AIO = 5,
    DI = 6,
    TMP = 7,
    DO6 = 8,
    ENI2 = 9,
    DI6 = 10
};

bool inRange(int address, int start, int count)
{
    return address >= start && address < start + count;
}

// Floats travel low word first.
void floatToWords(float value, quint16 *low, quint16 *high)
{
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    *low = quint16(bits & 0xFFFF);
    *high = quint16(bits >> 16);
}

float wordsToFloat(quint16 low, quint16 high)
{
    const quint32 bits = quint32(high) << 16 | low;
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

int pinKey(QModbusDataUnit::RegisterType type, int address)
{
    return int(type) << 16 | (address & 0xFFFF);
}

} // namespace

bool SimUnitConfig::parse(const QString &text, SimUnitConfig *config, QString *error)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() < 3 || parts.size() > 4) {
        *error = QStringLiteral("expected ADDR:SLOTS:FIRMWARE[:jumper], got \"%1\"").arg(text);
        return false;
    }
    bool ok = false;
    SimUnitConfig result;
    result.address = parts.at(0).toInt(&ok);
    if (!ok || result.address < 1 || result.address > 247) {
        *error = QStringLiteral("unit address must be 1..247: \"%1\"").arg(parts.at(0));
        return false;
    }
    const QStringList codes = parts.at(1).split(QLatin1Char(','));
    if (codes.size() > 6) {
        *error = QStringLiteral("at most six slots: \"%1\"").arg(parts.at(1));
        return false;
    }
    result.slotCodes.clear();
    for (const QString &code : codes) {
        const int value = code.toInt(&ok);
        if (!ok || value < 0 || value > 255) {
            *error = QStringLiteral("slot code must be 0..255: \"%1\"").arg(code);
            return false;
        }
        result.slotCodes.append(value);
    }
    while (result.slotCodes.size() < 6)
        result.slotCodes.append(0);
    result.firmware = parts.at(2).toInt(&ok);
    if (!ok || result.firmware < 0 || result.firmware > 0xFFFF) {
        *error = QStringLiteral("firmware must be a word in tenths: \"%1\"").arg(parts.at(2));
        return false;
    }
    if (parts.size() == 4) {
        if (parts.at(3) != QLatin1String("jumper")) {
            *error = QStringLiteral("the fourth field may only be \"jumper\": \"%1\"")
                         .arg(parts.at(3));
            return false;
        }
        result.jumper = true;
    }
    *config = result;
    return true;
}

SimUnit::SimUnit(const SimUnitConfig &config, bool frozen, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_frozen(frozen)
{
    while (m_config.slotCodes.size() < 6)
        m_config.slotCodes.append(0);
    m_clock.start();
    m_linkTimer.setSingleShot(true);
    connect(&m_linkTimer, &QTimer::timeout, this, &SimUnit::applyLinkChange);
    buildLayout();
    m_module.fill(0, 25);
    setLenient(false);
    setFactoryConfiguration(false);
    m_activeAddress = m_module.at(5);
    m_activePortWord = m_module.at(6);
}

void SimUnit::buildLayout()
{
    for (int code : qAsConst(m_config.slotCodes)) {
        switch (code) {
        case DO4:
            m_countDO += 4;
            break;
        case SIM:
        case R:
            m_countDO += 2;
            break;
        case AI:
            m_aiIsTemperature.append({false, false, false, false});
            break;
        case AIO:
            m_aiIsTemperature.append({false, false});
            m_countAO += 2;
            break;
        case DI:
            m_countDI += 4;
            // A DI board takes four counting numbers and uses the first two.
            m_counterUsed << m_counterSpan << m_counterSpan + 1;
            m_counterSpan += 4;
            break;
        case TMP:
            m_aiIsTemperature.append({true, true});
            break;
        case DO6:
            m_countDO += 6;
            m_countStepper += 2;
            break;
        case DI6:
            m_countDI += 6;
            // A DI6 board takes six counting numbers and uses the first two.
            m_counterUsed << m_counterSpan << m_counterSpan + 1;
            m_counterSpan += 6;
            break;
        default:
            break; // empty slot, ENI2 or an unknown board: no channels
        }
    }
}

void SimUnit::setFactoryConfiguration(bool keepLink)
{
    static const quint16 network[6] = {0xC0A8, 0x000A, 0xFFFF, 0xFF00, 0xC0A8, 0x0001};
    m_module[0] = quint16(m_config.moduleType);
    m_module[1] = 0;
    m_module[2] = quint16(m_config.firmware);
    m_module[3] = 0;
    m_module[4] = 0;
    m_module[7] = 0;
    m_module[8] = 0;
    m_module[9] = 0;
    if (!keepLink) {
        m_module[5] = quint16(m_config.address);
        m_module[6] = 6; // 9600 bit/s, no parity, 1 stop bit
        for (int i = 0; i < 6; ++i)
            m_module[10 + i] = network[i];
        m_module[23] = 0;
    }
    m_module[16] = 0;
    for (int s = 0; s < 6; ++s)
        m_module[17 + s] = quint16(m_config.slotCodes.at(s));
    m_module[24] = m_config.jumper ? 1 : 0;

    quint16 low = 0;
    quint16 high = 0;
    floatToWords(100.0f, &low, &high);
    const int ai = countAI();
    for (int w = 0; w < (m_countDI + 15) / 16; ++w)
        m_holding[300 + w] = 0;
    for (int g = 0; g < ai; ++g) {
        m_holding[400 + 2 * g] = 0; // INT16, x1
        m_holding[401 + 2 * g] = 0;
        m_holding[800 + 4 * g] = 0;
        m_holding[801 + 4 * g] = 0;
        m_holding[802 + 4 * g] = low;
        m_holding[803 + 4 * g] = high;
        m_holding[1200 + g] = m_aiIsTemperature.at(g) ? 5 : 1; // Pt100 or 4-20 mA
    }
    for (int g = 0; g < m_countAO; ++g) {
        m_holding[600 + 2 * g] = 0;
        m_holding[601 + 2 * g] = 0;
        m_holding[1000 + 4 * g] = 0;
        m_holding[1001 + 4 * g] = 0;
        m_holding[1002 + 4 * g] = low;
        m_holding[1003 + 4 * g] = high;
        m_holding[1400 + g] = 1;
        m_holding[1600 + 2 * g] = 0;
        m_holding[1601 + 2 * g] = 0;
    }
    for (int g = 0; g < m_countDO; ++g) {
        m_holding[1300 + g] = 0;
        m_coils[1000 + g] = 0;
    }
    if (!keepLink) {
        // Output values are live state, not configuration: only set at power-up.
        for (int g = 0; g < 2 * m_countAO; ++g)
            m_holding[g] = 0;
        for (int g = 0; g < m_countAO; ++g)
            m_holding[kRawStart + g] = 0;
        for (int g = 0; g < 2 * m_countStepper; ++g)
            m_holding[kStepperStart + g] = 0;
    }
}

SimUnit::Cell SimUnit::classify(Type type, int address) const
{
    const int ai = countAI();
    switch (type) {
    case QModbusDataUnit::HoldingRegisters:
        if (inRange(address, kModuleStart, moduleWords())) {
            const int word = address - kModuleStart;
            if (word >= 4 && word <= 15)
                return {Kind::ModuleWritable, word};
            if (word == 16)
                return {Kind::Service, word};
            if (word == 23)
                return {Kind::EepromFlag, word};
            return {Kind::ModuleFixed, word};
        }
        if (inRange(address, 300, (m_countDI + 15) / 16) || inRange(address, 400, 2 * ai)
            || inRange(address, 800, 4 * ai) || inRange(address, 600, 2 * m_countAO)
            || inRange(address, 1000, 4 * m_countAO) || inRange(address, 1300, m_countDO)
            || inRange(address, 1600, 2 * m_countAO))
            return {Kind::Config, -1};
        if (inRange(address, 1200, ai))
            return {Kind::SignalType, address - 1200};
        if (inRange(address, 1400, m_countAO))
            return {Kind::SignalType, address - 1400};
        if (inRange(address, 0, 2 * m_countAO))
            return {Kind::AoValue, address / 2};
        if (inRange(address, kRawStart, m_countAO))
            return {Kind::AoValue, address - kRawStart};
        if (inRange(address, kStepperStart, 2 * m_countStepper))
            return {Kind::Stepper, (address - kStepperStart) / 2};
        return {};
    case QModbusDataUnit::InputRegisters:
        if (inRange(address, 0, 2 * ai))
            return {Kind::LiveInput, address / 2};
        if (inRange(address, kRawStart, ai))
            return {Kind::LiveInput, address - kRawStart};
        if (inRange(address, kCounterStart, m_counterSpan))
            return {Kind::LiveInput, address - kCounterStart};
        return {};
    case QModbusDataUnit::Coils:
        if (inRange(address, 0, m_countDI))
            return {Kind::LiveInput, address};
        if (inRange(address, 1000, m_countDO))
            return {Kind::Config, address - 1000};
        return {};
    case QModbusDataUnit::DiscreteInputs:
        if (inRange(address, 0, m_countDO))
            return {Kind::LiveInput, address};
        return {};
    default:
        return {};
    }
}

int SimUnit::read(Type type, int address, int count, QVector<quint16> *values) const
{
    values->clear();
    for (int i = 0; i < count; ++i) {
        quint16 value = 0;
        if (!peek(type, address + i, &value)) {
            values->clear();
            return SimException::IllegalAddress;
        }
        values->append(value);
    }
    return SimException::None;
}

bool SimUnit::peek(Type type, int address, quint16 *value) const
{
    const Cell cell = classify(type, address);
    if (cell.kind == Kind::None)
        return false;
    const auto pinned = m_pinned.constFind(pinKey(type, address));
    if (pinned != m_pinned.constEnd()) {
        *value = pinned.value();
        return true;
    }
    switch (cell.kind) {
    case Kind::ModuleFixed:
    case Kind::ModuleWritable:
    case Kind::Service:
    case Kind::EepromFlag:
        *value = m_module.at(address - kModuleStart);
        return true;
    case Kind::LiveInput:
        *value = liveValue(type, address, cell);
        return true;
    default:
        *value = type == QModbusDataUnit::Coils ? m_coils.value(address) : m_holding.value(address);
        return true;
    }
}

bool SimUnit::poke(Type type, int address, quint16 value)
{
    const Cell cell = classify(type, address);
    switch (cell.kind) {
    case Kind::None:
        return false;
    case Kind::LiveInput:
    case Kind::Stepper:
        m_pinned[pinKey(type, address)] = value;
        return true;
    case Kind::ModuleFixed:
    case Kind::ModuleWritable:
    case Kind::Service:
    case Kind::EepromFlag:
        m_module[address - kModuleStart] = value;
        return true;
    default:
        if (type == QModbusDataUnit::Coils)
            m_coils[address] = value ? 1 : 0;
        else
            m_holding[address] = value;
        return true;
    }
}

int SimUnit::write(Type type, int address, const QVector<quint16> &values)
{
    if (values.isEmpty())
        return SimException::IllegalValue;

    QVector<Cell> cells;
    bool needsModuleArm = false;
    bool needsConfigArm = false;
    bool touchesArm = false;
    bool command = false;
    for (int i = 0; i < values.size(); ++i) {
        const Cell cell = classify(type, address + i);
        cells.append(cell);
        switch (cell.kind) {
        case Kind::ModuleWritable:
            needsModuleArm = true;
            touchesArm = true;
            break;
        case Kind::Config:
            needsConfigArm = true;
            touchesArm = true;
            break;
        case Kind::SignalType:
            touchesArm = true;
            break;
        case Kind::Service:
            command = true;
            break;
        case Kind::AoValue:
        case Kind::Stepper:
        case Kind::EepromFlag:
            break;
        default:
            touchesArm = true;
            break;
        }
    }

    if (command) {
        // The command register takes one word at a time.
        if (values.size() != 1)
            return SimException::IllegalAddress;
        return runCommand(values.first());
    }

    // An armed code covers the next write that could use it, whatever its outcome.
    const quint16 armed = m_armed;
    if (touchesArm)
        m_armed = 0;

    for (const Cell &cell : qAsConst(cells)) {
        if (cell.kind == Kind::None || cell.kind == Kind::ModuleFixed
            || cell.kind == Kind::LiveInput)
            return SimException::IllegalAddress;
    }
    if (needsModuleArm && needsConfigArm)
        return SimException::DeviceFailure; // no single code arms both
    const quint16 needed = needsModuleArm ? kArmModule : needsConfigArm ? kArmConfig : 0;
    if (needed != 0 && armed != needed && !(m_lenient && armed == 0))
        return SimException::DeviceFailure;

    for (int i = 0; i < values.size(); ++i) {
        const int error = checkValue(type, address + i, cells.at(i), values.at(i));
        if (error != SimException::None)
            return error;
    }

    bool configuration = false;
    for (int i = 0; i < values.size(); ++i) {
        storeValue(type, address + i, cells.at(i), values.at(i));
        const Kind kind = cells.at(i).kind;
        configuration
            |= kind == Kind::Config || kind == Kind::SignalType || kind == Kind::ModuleWritable;
        if (kind == Kind::ModuleWritable)
            scheduleLinkChange();
    }
    if (configuration)
        emit configurationChanged();
    return SimException::None;
}

int SimUnit::checkValue(Type type, int address, const Cell &cell, quint16 value) const
{
    switch (cell.kind) {
    case Kind::ModuleWritable:
        if (cell.channel == 5 && (value < 1 || value > 247))
            return SimException::IllegalValue;
        if (cell.channel == 6 && ((value & 31) < 3 || (value & 31) > 10))
            return SimException::IllegalValue;
        return SimException::None;
    case Kind::EepromFlag:
        return value <= 1 ? SimException::None : SimException::IllegalValue;
    case Kind::SignalType: {
        const bool temperature = address < 1400 && m_aiIsTemperature.at(cell.channel);
        const int low = temperature ? 4 : 0;
        const int high = temperature ? 22 : 3;
        return value >= low && value <= high ? SimException::None : SimException::IllegalValue;
    }
    case Kind::Config:
        if (type == QModbusDataUnit::Coils)
            return value <= 1 ? SimException::None : SimException::IllegalValue;
        // Format and multiplier words: format 3 does not exist.
        if ((inRange(address, 400, 2 * countAI()) && (address - 400) % 2 == 0)
            || (inRange(address, 600, 2 * m_countAO) && (address - 600) % 2 == 0)) {
            if (((value >> 4) & 3) == 3)
                return SimException::IllegalValue;
        }
        return SimException::None;
    default:
        return SimException::None;
    }
}

void SimUnit::storeValue(Type type, int address, const Cell &cell, quint16 value)
{
    m_pinned.remove(pinKey(type, address));
    switch (cell.kind) {
    case Kind::ModuleWritable:
    case Kind::EepromFlag:
        m_module[address - kModuleStart] = value;
        break;
    default:
        if (type == QModbusDataUnit::Coils)
            m_coils[address] = value;
        else
            m_holding[address] = value;
        break;
    }
}

int SimUnit::runCommand(quint16 code)
{
    switch (code) {
    case kArmConfig:
    case kArmModule:
        m_armed = code;
        return SimException::None;
    case kReset:
        m_armed = 0;
        setFactoryConfiguration(true);
        emit event(QStringLiteral("reset"));
        emit configurationChanged();
        return SimException::None;
    case kReboot:
        m_armed = 0;
        m_linkTimer.stop();
        emit event(QStringLiteral("restart"));
        applyLinkChange();
        return SimException::None;
    default:
        return SimException::IllegalValue;
    }
}

void SimUnit::setLenient(bool lenient)
{
    // A foreign device knows nothing of service codes: its registers take any write.
    m_lenient = lenient || m_config.moduleType != 1;
}

void SimUnit::scheduleLinkChange()
{
    m_linkTimer.start(kLinkChangeDelayMs);
}

void SimUnit::applyLinkChange()
{
    const int address = m_module.at(5);
    const int port = m_module.at(6);
    if (address != m_activeAddress)
        emit event(QStringLiteral("address %1 -> %2").arg(m_activeAddress).arg(address));
    if (port != m_activePortWord)
        emit event(QStringLiteral("port word %1 -> %2").arg(m_activePortWord).arg(port));
    m_activeAddress = address;
    m_activePortWord = port;
}

double SimUnit::seconds() const
{
    return m_frozen ? 0.0 : m_clock.elapsed() / 1000.0;
}

quint16 SimUnit::liveValue(Type type, int address, const Cell &cell) const
{
    const double t = seconds();
    const int g = cell.channel;
    if (type == QModbusDataUnit::Coils)
        return quint16((int(t / (2 + g)) + g) % 2);
    if (type == QModbusDataUnit::DiscreteInputs)
        return quint16((int(t / (3 + g)) + g + 1) % 2);
    if (address < 2 * countAI())
        return analogInputWord(g, address % 2, false);
    if (address >= kRawStart)
        return analogInputWord(g, 0, true);
    if (m_counterUsed.contains(g))
        return quint16(qint64(t * (g + 1)) & 0xFFFF);
    return 0;
}

// A slow sine between the channel's limits, encoded by its data format.
quint16 SimUnit::analogInputWord(int g, int offset, bool raw) const
{
    const double phase = 2.0 * M_PI * seconds() / (20.0 + 4.0 * g);
    const double fraction = 0.5 + 0.5 * std::sin(phase);
    if (raw)
        return quint16(std::lround(fraction * 10000.0));

    const double low = wordsToFloat(m_holding.value(800 + 4 * g), m_holding.value(801 + 4 * g));
    const double high = wordsToFloat(m_holding.value(802 + 4 * g), m_holding.value(803 + 4 * g));
    double value = low + (high - low) * fraction;
    if (!std::isfinite(value))
        value = 0.0;
    const quint16 flags = m_holding.value(400 + 2 * g);
    const int format = (flags >> 4) & 3;
    const int multiplier = (flags >> 6) & 3;
    if (format == 1) { // FLOAT32 carries its own decimals
        quint16 low16 = 0;
        quint16 high16 = 0;
        floatToWords(float(value), &low16, &high16);
        return offset == 0 ? low16 : high16;
    }
    const double scaled = value * std::pow(10.0, multiplier);
    if (format == 2) {
        const double bounded
            = qBound(double(std::numeric_limits<qint32>::min()), std::round(scaled),
                     double(std::numeric_limits<qint32>::max()));
        const quint32 bits = quint32(qint32(bounded));
        return offset == 0 ? quint16(bits & 0xFFFF) : quint16(bits >> 16);
    }
    if (offset != 0)
        return 0;
    const double bounded = qBound(-32768.0, std::round(scaled), 32767.0);
    return quint16(qint16(bounded));
}

QJsonObject SimUnit::saveConfiguration() const
{
    QJsonArray slotArray;
    for (int code : m_config.slotCodes)
        slotArray.append(code);
    QJsonArray module;
    for (quint16 word : m_module)
        module.append(word);
    QJsonObject holding;
    for (auto it = m_holding.constBegin(); it != m_holding.constEnd(); ++it) {
        const Kind kind = classify(QModbusDataUnit::HoldingRegisters, it.key()).kind;
        if (kind == Kind::Config || kind == Kind::SignalType)
            holding.insert(QString::number(it.key()), it.value());
    }
    QJsonObject coils;
    for (auto it = m_coils.constBegin(); it != m_coils.constEnd(); ++it)
        coils.insert(QString::number(it.key()), it.value());
    return QJsonObject{{QStringLiteral("slots"), slotArray},
                       {QStringLiteral("firmware"), m_config.firmware},
                       {QStringLiteral("module"), module},
                       {QStringLiteral("holding"), holding},
                       {QStringLiteral("coils"), coils}};
}

bool SimUnit::loadConfiguration(const QJsonObject &object, QString *error)
{
    const QJsonArray slotArray = object.value(QStringLiteral("slots")).toArray();
    QVector<int> codes;
    for (const QJsonValue &value : slotArray)
        codes.append(value.toInt(-1));
    if (codes != m_config.slotCodes
        || object.value(QStringLiteral("firmware")).toInt(-1) != m_config.firmware) {
        *error = QStringLiteral("saved slots or firmware differ from this unit");
        return false;
    }
    const QJsonArray module = object.value(QStringLiteral("module")).toArray();
    if (module.size() != m_module.size()) {
        *error = QStringLiteral("saved module block has %1 words, expected %2")
                     .arg(module.size())
                     .arg(m_module.size());
        return false;
    }
    const int address = module.at(5).toInt();
    const int baud = module.at(6).toInt() & 31;
    if (address < 1 || address > 247 || baud < 3 || baud > 10) {
        *error = QStringLiteral("saved address %1 or port word %2 is out of range")
                     .arg(address)
                     .arg(module.at(6).toInt());
        return false;
    }
    const QJsonObject holding = object.value(QStringLiteral("holding")).toObject();
    const QJsonObject coils = object.value(QStringLiteral("coils")).toObject();
    for (auto it = holding.constBegin(); it != holding.constEnd(); ++it) {
        if (!m_holding.contains(it.key().toInt())) {
            *error = QStringLiteral("saved register %1 is not held by this unit").arg(it.key());
            return false;
        }
    }
    for (auto it = coils.constBegin(); it != coils.constEnd(); ++it) {
        if (!m_coils.contains(it.key().toInt())) {
            *error = QStringLiteral("saved coil %1 is not held by this unit").arg(it.key());
            return false;
        }
    }
    // Only the writable words come from the file; type, slots and firmware are the hardware's.
    for (int word = 4; word <= 15; ++word)
        m_module[word] = quint16(module.at(word).toInt());
    for (auto it = holding.constBegin(); it != holding.constEnd(); ++it)
        m_holding[it.key().toInt()] = quint16(it.value().toInt());
    for (auto it = coils.constBegin(); it != coils.constEnd(); ++it)
        m_coils[it.key().toInt()] = it.value().toInt() ? 1 : 0;
    m_activeAddress = m_module.at(5);
    m_activePortWord = m_module.at(6);
    return true;
}
