#include "registerblocks.h"

namespace {

using RegisterType = QModbusDataUnit::RegisterType;
using Table = QVector<quint16> (ModuleTables::*)() const;
using Store = void (ModuleTables::*)(const QVector<quint16> &);

// What a block's length follows: the module block is fixed, a channel table
// holds `perChannel` registers per channel of one kind (the antibounce table
// one bit per input).
enum class Length { ModuleBlock, PerAI, PerAO, DIBits, PerDO };

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
};

// Every block the unit has, the channel blocks in the order they are read
// and written, the module block last (written after the channels).
const Block blocks[] = {
    {rT300, wT300, QModbusDataUnit::HoldingRegisters, 300, Length::DIBits, 1,
     &ModuleTables::antibounceDITable, &ModuleTables::setAntibounceDITable},
    {rT400, wT400, QModbusDataUnit::HoldingRegisters, 400, Length::PerAI, 2,
     &ModuleTables::flagsAITable, &ModuleTables::setFlagsAITable},
    {rT800, wT800, QModbusDataUnit::HoldingRegisters, 800, Length::PerAI, 4,
     &ModuleTables::limitsAITable, &ModuleTables::setLimitsAITable},
    {rT1200AI, wT1200, QModbusDataUnit::HoldingRegisters, 1200, Length::PerAI, 1,
     &ModuleTables::typesValueAITable, &ModuleTables::setTypesValueAITable},
    {rT600AO, wT600, QModbusDataUnit::HoldingRegisters, 600, Length::PerAO, 2,
     &ModuleTables::flagsAOTable, &ModuleTables::setFlagsAOTable},
    {rT1000AO, wT1000AO, QModbusDataUnit::HoldingRegisters, 1000, Length::PerAO, 4,
     &ModuleTables::limitsAOTable, &ModuleTables::setLimitsAOTable},
    {rT1000DO, wT1000DO, QModbusDataUnit::Coils, 1000, Length::PerDO, 1,
     &ModuleTables::blockValuesDOTable, &ModuleTables::setBlockValuesDOTable},
    {rT1300, wT1300, QModbusDataUnit::HoldingRegisters, 1300, Length::PerDO, 1,
     &ModuleTables::pwmDOTable, &ModuleTables::setPwmDOTable},
    {rT1400, wT1400, QModbusDataUnit::HoldingRegisters, 1400, Length::PerAO, 1,
     &ModuleTables::typesValueAOTable, &ModuleTables::setTypesValueAOTable},
    {rT1600, wT1600, QModbusDataUnit::HoldingRegisters, 1600, Length::PerAO, 2,
     &ModuleTables::blockValuesAOTable, &ModuleTables::setBlockValuesAOTable},
    {rT2000, wT2000, QModbusDataUnit::HoldingRegisters, RegisterBlocks::ModuleBlockStart,
     Length::ModuleBlock, 1, &ModuleTables::moduleTable, &ModuleTables::setModuleTable},
};

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

int channelCount(Length length, const ModuleTables &tables)
{
    switch (length) {
    case Length::ModuleBlock:
        return ModuleTables::ModuleBlockSize;
    case Length::PerAI:
        return tables.countAI();
    case Length::PerAO:
        return tables.countAO();
    case Length::DIBits:
        return (tables.countDI() + 15) / 16; // one antibounce bit per input
    case Length::PerDO:
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
        if (block.length == Length::ModuleBlock)
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
