// SPDX-License-Identifier: GPL-3.0-or-later
#include "registerblocks.h"

namespace {

using RegisterType = QModbusDataUnit::RegisterType;
using T = ModuleTables;
using Table = QVector<quint16> (T::*)() const;
using Store = void (T::*)(const QVector<quint16> &);
constexpr RegisterType Holding = QModbusDataUnit::HoldingRegisters;
constexpr RegisterType Coils = QModbusDataUnit::Coils;
constexpr int ModuleStart = RegisterBlocks::ModuleBlockStart;

// What a block's length follows: the module block is fixed, a channel table
// holds `perChannel` registers per channel of one kind (the antibounce table
// one bit per input).
enum Length { ModuleBlock, PerAI, PerAO, DIBits, PerDO };

struct Block
{
    TypeResponse read;
    TypeResponse write;
    RegisterType registerType;
    int start;
    Length length;
    int perChannel;
    Table table;
    Store store;
    const char *what; // what it holds, for the user
};

// Every block the unit has, the channel blocks in the order they are read
// and written, the module block last (written after the channels).
// clang-format off
const Block blocks[] = {
    {rT300, wT300, Holding, 300, DIBits, 1, &T::antibounceDITable, &T::setAntibounceDITable,
     "антидребезг дискретных входов"},
    {rT400, wT400, Holding, 400, PerAI, 2, &T::flagsAITable, &T::setFlagsAITable,
     "флаги аналоговых входов"},
    {rT800, wT800, Holding, 800, PerAI, 4, &T::limitsAITable, &T::setLimitsAITable,
     "пределы аналоговых входов"},
    {rT1200AI, wT1200, Holding, 1200, PerAI, 1, &T::typesValueAITable, &T::setTypesValueAITable,
     "типы сигналов аналоговых входов"},
    {rT600AO, wT600, Holding, 600, PerAO, 2, &T::flagsAOTable, &T::setFlagsAOTable,
     "флаги аналоговых выходов"},
    {rT1000AO, wT1000AO, Holding, 1000, PerAO, 4, &T::limitsAOTable, &T::setLimitsAOTable,
     "пределы аналоговых выходов"},
    {rT1000DO, wT1000DO, Coils, 1000, PerDO, 1, &T::blockValuesDOTable, &T::setBlockValuesDOTable,
     "значения дискретных выходов при блокировке"},
    {rT1300, wT1300, Holding, 1300, PerDO, 1, &T::pwmDOTable, &T::setPwmDOTable,
     "ШИМ дискретных выходов"},
    {rT1400, wT1400, Holding, 1400, PerAO, 1, &T::typesValueAOTable, &T::setTypesValueAOTable,
     "типы сигналов аналоговых выходов"},
    {rT1600, wT1600, Holding, 1600, PerAO, 2, &T::blockValuesAOTable, &T::setBlockValuesAOTable,
     "значения аналоговых выходов при блокировке"},
    {rT2000, wT2000, Holding, ModuleStart, ModuleBlock, 1, &T::moduleTable, &T::setModuleTable,
     "параметры модуля"},
};
// clang-format on

const Block *readBlock(int type)
{
    for (const Block &block : blocks) {
        if (block.read == type)
            return &block;
    }
    return nullptr;
}

const Block *writeBlock(int type)
{
    for (const Block &block : blocks) {
        if (block.write == type)
            return &block;
    }
    return nullptr;
}

const Block *blockOf(int type)
{
    const Block *block = readBlock(type);
    return block ? block : writeBlock(type);
}

// Only a slice of the module block is written: the words before it are the
// unit's own, the ones after it are service registers.
bool isModuleWrite(int type)
{
    return type == wT2000;
}

// Channels of a kind with every slot holding the board that has most of them
// (AI 4, AIO 2 outputs, DI6 and DO6 6).
int mostChannels(Length length)
{
    constexpr int Slots = ModuleTables::SlotCount;
    switch (length) {
    case ModuleBlock:
        return ModuleTables::ModuleBlockSize;
    case PerAI:
        return Slots * 4;
    case PerAO:
        return Slots * 2;
    case DIBits:
        return (Slots * 6 + 15) / 16;
    case PerDO:
        return Slots * 6;
    }
    return 0;
}

int channelCount(Length length, const ModuleTables &tables)
{
    switch (length) {
    case ModuleBlock:
        return ModuleTables::ModuleBlockSize;
    case PerAI:
        return tables.countAI();
    case PerAO:
        return tables.countAO();
    case DIBits:
        return (tables.countDI() + 15) / 16; // one antibounce bit per input
    case PerDO:
        return tables.countDO();
    }
    return 0;
}

quint16 commandBefore(int type)
{
    return isModuleWrite(type) ? RegisterBlocks::WriteEnableModuleCommand
                               : RegisterBlocks::WriteEnableCommand;
}

} // namespace

bool RegisterBlocks::isReadBlock(int type)
{
    return readBlock(type) != nullptr;
}

bool RegisterBlocks::isWriteBlock(int type)
{
    return writeBlock(type) != nullptr;
}

int RegisterBlocks::readBlockOf(int writeType)
{
    const Block *block = writeBlock(writeType);
    return block ? block->read : -1;
}

QModbusDataUnit::RegisterType RegisterBlocks::registerType(int type)
{
    const Block *block = blockOf(type);
    return block ? block->registerType : QModbusDataUnit::Invalid;
}

int RegisterBlocks::startAddress(int type)
{
    const Block *block = blockOf(type);
    if (!block)
        return -1;
    return isModuleWrite(type) ? block->start + ModuleWriteFirstWord : block->start;
}

int RegisterBlocks::readCount(int type, const ModuleTables &tables)
{
    const Block *block = readBlock(type);
    return block ? channelCount(block->length, tables) * block->perChannel : 0;
}

ModbusRequest RegisterBlocks::readRequest(int type, const ModuleTables &tables, int serverAddress)
{
    ModbusRequest request;
    request.type = static_cast<TypeResponse>(type);
    request.serverAddress = serverAddress;
    const int count = readCount(type, tables);
    if (count >= 1)
        request.unit = QModbusDataUnit(registerType(type), startAddress(type), quint16(count));
    return request;
}

QVector<ModbusRequest> RegisterBlocks::channelReadRequests(const ModuleTables &tables,
                                                           int serverAddress)
{
    QVector<ModbusRequest> requests;
    for (const Block &block : blocks) {
        if (block.length == ModuleBlock)
            continue;
        const ModbusRequest request = readRequest(block.read, tables, serverAddress);
        if (request.unit.isValid())
            requests.append(request);
    }
    return requests;
}

bool RegisterBlocks::storeReadValues(int type, const QVector<quint16> &values, ModuleTables *tables)
{
    const Block *block = readBlock(type);
    if (!block)
        return false;
    (tables->*block->store)(values);
    return true;
}

QVector<int> RegisterBlocks::unreadBlocks(const ModuleTables &tables)
{
    QVector<int> unread;
    for (const Block &block : blocks) {
        const int count = readCount(block.read, tables);
        if (block.read != rT2000 && count > 0 && (tables.*block.table)().size() < count)
            unread.append(block.read);
    }
    return unread;
}

ModuleTables RegisterBlocks::withUnreadFilled(const ModuleTables &tables, quint16 value)
{
    ModuleTables filled = tables;
    for (const int type : unreadBlocks(tables))
        storeReadValues(type, QVector<quint16>(readCount(type, tables), value), &filled);
    return filled;
}

bool RegisterBlocks::storeRegister(QModbusDataUnit::RegisterType type, int address, quint16 value,
                                   ModuleTables *tables)
{
    for (const Block &block : blocks) {
        QVector<quint16> values = (tables->*block.table)();
        const int index = address - block.start;
        if (block.registerType != type || index < 0 || index >= values.size())
            continue;
        // Any non-zero coil is on, as the unit reads it back.
        values[index] = type == QModbusDataUnit::Coils ? quint16(value != 0) : value;
        (tables->*block.store)(values);
        return true;
    }
    return false;
}

QVector<quint16> RegisterBlocks::writeValues(int type, const ModuleTables &tables)
{
    const Block *block = writeBlock(type);
    if (!block)
        return {};
    QVector<quint16> values = (tables.*block->table)();
    if (isModuleWrite(type))
        values = values.mid(ModuleWriteFirstWord, ModuleWriteWordCount);
    if (block->registerType == QModbusDataUnit::Coils) {
        for (quint16 &value : values)
            value = value == 1 ? CoilOn : CoilOff;
    }
    return values;
}

QVector<ModbusRequest> RegisterBlocks::writeRequests(int type, const ModuleTables &image,
                                                     const ModuleTables &snapshot, bool changedOnly,
                                                     int serverAddress)
{
    QVector<ModbusRequest> requests;
    if (!isWriteBlock(type))
        return requests;

    const QVector<quint16> values = writeValues(type, image);
    const QVector<quint16> old = changedOnly ? writeValues(type, snapshot) : QVector<quint16>();
    const RegisterType regType = registerType(type);
    const int start = startAddress(type);
    for (int i = 0; i < values.size(); ++i) {
        if (changedOnly && i < old.size() && old.at(i) == values.at(i))
            continue;
        requests.append(commandRequest(commandBefore(type), EnableWriteEeprom, serverAddress));
        ModbusRequest data;
        data.unit = QModbusDataUnit(regType, start + i, QVector<quint16>{values.at(i)});
        data.type = static_cast<TypeResponse>(type);
        data.serverAddress = serverAddress;
        requests.append(data);
    }
    return requests;
}

QVector<ModbusRequest> RegisterBlocks::allWriteRequests(const ModuleTables &image,
                                                        const ModuleTables &snapshot,
                                                        bool changedOnly, int serverAddress)
{
    QVector<ModbusRequest> requests;
    for (const Block &block : blocks)
        requests += writeRequests(block.write, image, snapshot, changedOnly, serverAddress);
    return requests;
}

QVector<ModbusRequest> RegisterBlocks::withoutRegisters(const QVector<ModbusRequest> &requests,
                                                        const QSet<int> &holdingRegisters)
{
    QVector<ModbusRequest> kept;
    for (const ModbusRequest &request : requests) {
        const bool left = request.type != EnableWriteEeprom && isWriteBlock(request.type)
                          && request.unit.registerType() == QModbusDataUnit::HoldingRegisters
                          && holdingRegisters.contains(request.unit.startAddress());
        if (!left) {
            kept.append(request);
            continue;
        }
        if (!kept.isEmpty() && kept.constLast().type == EnableWriteEeprom)
            kept.removeLast(); // its write-enable command
    }
    return kept;
}

bool RegisterBlocks::linkChanged(const ModuleTables &before, const ModuleTables &encoded)
{
    const QVector<quint16> oldWords = before.moduleTable();
    const QVector<quint16> newWords = encoded.moduleTable();
    for (const int word : {ModuleTables::WordAddress, ModuleTables::WordPort}) {
        if (word >= newWords.size())
            continue; // not written at all
        if (word >= oldWords.size() || oldWords.at(word) != newWords.at(word))
            return true;
    }
    return false;
}

QSet<int> RegisterBlocks::linkRegisters()
{
    QSet<int> registers;
    for (const int word : ModuleTables::LinkWords)
        registers.insert(ModuleBlockStart + word);
    return registers;
}

ModbusRequest RegisterBlocks::commandRequest(quint16 command, TypeResponse type, int serverAddress)
{
    ModbusRequest request;
    request.unit = QModbusDataUnit(QModbusDataUnit::HoldingRegisters, CommandRegister,
                                   QVector<quint16>{command});
    request.type = type;
    request.serverAddress = serverAddress;
    return request;
}

ModbusRequest RegisterBlocks::eepromFlagRequest(bool on, int serverAddress)
{
    ModbusRequest request;
    request.unit = QModbusDataUnit(QModbusDataUnit::HoldingRegisters, EepromFlagRegister,
                                   QVector<quint16>{quint16(on ? 1 : 0)});
    request.type = EepromWriteFlag;
    request.serverAddress = serverAddress;
    return request;
}

bool RegisterBlocks::resultMatches(const QModbusDataUnit &request, const QModbusDataUnit &result)
{
    if (result.startAddress() != request.startAddress())
        return false;
    if (result.registerType() != QModbusDataUnit::Invalid
        && result.registerType() != request.registerType())
        return false;
    return result.valueCount() == request.valueCount()
           && result.values().size() >= int(request.valueCount());
}

QString RegisterBlocks::description(int type)
{
    const Block *block = blockOf(type);
    if (!block)
        return typeResponseName(type);
    const int first = startAddress(type);
    const int last = isModuleWrite(type)
                         ? first + ModuleWriteWordCount - 1
                         : block->start + mostChannels(block->length) * block->perChannel - 1;
    return QStringLiteral("%1, %2 %3–%4")
        .arg(QString::fromUtf8(block->what),
             block->registerType == Coils ? QStringLiteral("катушки") : QStringLiteral("регистры"))
        .arg(first)
        .arg(last);
}

QString RegisterBlocks::description(const QString &blockName)
{
    for (const Block &block : blocks) {
        for (const TypeResponse type : {block.read, block.write}) {
            if (typeResponseName(type) == blockName)
                return description(type);
        }
    }
    return blockName;
}
