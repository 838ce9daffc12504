#include "registerblocks.h"

namespace {

using RegisterType = QModbusDataUnit::RegisterType;

// Source table of a write block and of the read block it mirrors.
QVector<quint16> tableOf(int type, const ModuleTables &tables)
{
    switch (type) {
    case rT2000:
        return tables.moduleTable();
    case rT300:
    case wT300:
        return tables.antibounceDITable();
    case rT400:
    case wT400:
        return tables.flagsAITable();
    case rT800:
    case wT800:
        return tables.limitsAITable();
    case rT1200AI:
    case wT1200:
        return tables.typesValueAITable();
    case rT600AO:
    case wT600:
        return tables.flagsAOTable();
    case rT1000AO:
    case wT1000AO:
        return tables.limitsAOTable();
    case rT1000DO:
    case wT1000DO:
        return tables.blockValuesDOTable();
    case rT1300:
    case wT1300:
        return tables.pwmDOTable();
    case rT1400:
    case wT1400:
        return tables.typesValueAOTable();
    case rT1600:
    case wT1600:
        return tables.blockValuesAOTable();
    case wT2000:
        return tables.moduleTable().mid(RegisterBlocks::ModuleWriteFirstWord,
                                        RegisterBlocks::ModuleWriteWordCount);
    default:
        return {};
    }
}

quint16 commandBefore(int type)
{
    return type == wT2000 ? RegisterBlocks::WriteEnableModuleCommand
                          : RegisterBlocks::WriteEnableCommand;
}

} // namespace

bool RegisterBlocks::isReadBlock(int type)
{
    return type >= rT2000 && type <= rT1600;
}

bool RegisterBlocks::isWriteBlock(int type)
{
    return (type >= wT300 && type <= wT1600) || type == wT2000;
}

int RegisterBlocks::readBlockOf(int writeType)
{
    if (writeType == wT2000)
        return rT2000;
    // wT300..wT1600 lie in the order of rT300..rT1600.
    if (writeType >= wT300 && writeType <= wT1600)
        return writeType - wT300 + rT300;
    return -1;
}

QModbusDataUnit::RegisterType RegisterBlocks::registerType(int type)
{
    if (type == rT1000DO || type == wT1000DO)
        return QModbusDataUnit::Coils;
    if (isReadBlock(type) || isWriteBlock(type))
        return QModbusDataUnit::HoldingRegisters;
    return QModbusDataUnit::Invalid;
}

int RegisterBlocks::startAddress(int type)
{
    switch (type) {
    case rT2000:
        return 2000;
    case rT300:
    case wT300:
        return 300;
    case rT400:
    case wT400:
        return 400;
    case rT800:
    case wT800:
        return 800;
    case rT1200AI:
    case wT1200:
        return 1200;
    case rT600AO:
    case wT600:
        return 600;
    case rT1000AO:
    case wT1000AO:
        return 1000;
    case rT1000DO:
    case wT1000DO:
        return 1000;
    case rT1300:
    case wT1300:
        return 1300;
    case rT1400:
    case wT1400:
        return 1400;
    case rT1600:
    case wT1600:
        return 1600;
    case wT2000:
        return 2000 + ModuleWriteFirstWord;
    default:
        return -1;
    }
}

int RegisterBlocks::readCount(int type, const ModuleTables &tables)
{
    switch (type) {
    case rT2000:
        return ModuleTables::ModuleBlockSize;
    case rT300:
        return (tables.countDI() + 15) / 16; // one antibounce bit per input
    case rT400:
        return tables.countAI() * 2;
    case rT800:
        return tables.countAI() * 4;
    case rT1200AI:
        return tables.countAI();
    case rT600AO:
        return tables.countAO() * 2;
    case rT1000AO:
        return tables.countAO() * 4;
    case rT1000DO:
        return tables.countDO();
    case rT1300:
        return tables.countDO();
    case rT1400:
        return tables.countAO();
    case rT1600:
        return tables.countAO() * 2;
    default:
        return 0;
    }
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
    for (int type = rT300; type <= rT1600; ++type) {
        const ModbusRequest request = readRequest(type, tables, serverAddress);
        if (request.unit.isValid())
            requests.append(request);
    }
    return requests;
}

bool RegisterBlocks::storeReadValues(int type, const QVector<quint16> &values, ModuleTables *tables)
{
    switch (type) {
    case rT2000:
        tables->setModuleTable(values);
        return true;
    case rT300:
        tables->setAntibounceDITable(values);
        return true;
    case rT400:
        tables->setFlagsAITable(values);
        return true;
    case rT800:
        tables->setLimitsAITable(values);
        return true;
    case rT1200AI:
        tables->setTypesValueAITable(values);
        return true;
    case rT600AO:
        tables->setFlagsAOTable(values);
        return true;
    case rT1000AO:
        tables->setLimitsAOTable(values);
        return true;
    case rT1000DO:
        tables->setBlockValuesDOTable(values);
        return true;
    case rT1300:
        tables->setPwmDOTable(values);
        return true;
    case rT1400:
        tables->setTypesValueAOTable(values);
        return true;
    case rT1600:
        tables->setBlockValuesAOTable(values);
        return true;
    default:
        return false;
    }
}

QVector<quint16> RegisterBlocks::writeValues(int type, const ModuleTables &tables)
{
    if (!isWriteBlock(type))
        return {};
    QVector<quint16> values = tableOf(type, tables);
    if (registerType(type) == QModbusDataUnit::Coils) {
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
    for (int type = wT300; type <= wT2000; ++type)
        requests += writeRequests(type, image, snapshot, changedOnly, serverAddress);
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
