// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef REGISTERBLOCKS_H
#define REGISTERBLOCKS_H

#include "modbusrequest.h"
#include "typeresponse.h"

#include <moduletables.h>

#include <QModbusDataUnit>
#include <QSet>
#include <QVector>

// The unit's register blocks: where every read and write block lives, how
// big it is for a given register image, which table it fills or comes from,
// and the service registers with their command values.
class RegisterBlocks
{
public:
    // First register of the module block (holding registers).
    static constexpr int ModuleBlockStart = 2000;
    // Service registers (holding registers).
    static constexpr int CommandRegister = 2016;
    static constexpr int EepromFlagRegister = 2023;
    // Values of the command register.
    static constexpr quint16 WriteEnableCommand = 0x6C31;       // before a channel register
    static constexpr quint16 WriteEnableModuleCommand = 0x6C5B; // before a module-block register
    static constexpr quint16 ResetCommand = 0x6C45;
    static constexpr quint16 RebootCommand = 0x7D4C;
    // Single-coil write values.
    static constexpr quint16 CoilOn = 0xFF00;
    static constexpr quint16 CoilOff = 0x0000;
    // The writable slice of the module block: words 4..15 at registers 2004..2015.
    static constexpr int ModuleWriteFirstWord = ModuleTables::WordLockTimeout;
    static constexpr int ModuleWriteWordCount
        = ModuleTables::EncodedBlockSize - ModuleTables::WordLockTimeout;

    // rT2000..rT1600.
    static bool isReadBlock(int type);
    // wT300..wT2000 (24 is not a block).
    static bool isWriteBlock(int type);
    // The read block over the registers of a write block; -1 for anything else.
    static int readBlockOf(int writeType);

    // Register type and first register of a read or write block; Invalid and
    // -1 for anything else.
    static QModbusDataUnit::RegisterType registerType(int type);
    static int startAddress(int type);

    // What a read or write block holds and the registers it may cover, for
    // the user: "пределы аналоговых входов, регистры 800–895". The name of
    // any other type as it is.
    static QString description(int type);
    // The same for a block's name ("rT800").
    static QString description(const QString &blockName);

    // Number of registers a read block covers for the channel counts of
    // `tables`; 0 for a block the unit does not have (and for non-read types).
    static int readCount(int type, const ModuleTables &tables);

    // The read request of one block; its unit is invalid (no registers) when
    // the block has a count below 1 and is not to be queued.
    static ModbusRequest readRequest(int type, const ModuleTables &tables, int serverAddress);
    // The channel blocks rT300..rT1600 in order, blocks without registers left out.
    static QVector<ModbusRequest> channelReadRequests(const ModuleTables &tables,
                                                      int serverAddress);

    // Stores the values of a read block's reply into its table of `tables`
    // (the module block through setModuleTable). False for non-read types.
    static bool storeReadValues(int type, const QVector<quint16> &values, ModuleTables *tables);

    // Channel read blocks the unit has whose table in `tables` holds fewer
    // registers than the block: never read from the unit.
    static QVector<int> unreadBlocks(const ModuleTables &tables);
    // `tables` with the tables of its unread blocks filled with `value`.
    static ModuleTables withUnreadFilled(const ModuleTables &tables, quint16 value);
    // Stores one register's value into the table that holds it (a coil as 0
    // or 1). False for a register no table of `tables` holds.
    static bool storeRegister(QModbusDataUnit::RegisterType type, int address, quint16 value,
                              ModuleTables *tables);
    // The values a write block sends, in register order: its source table
    // (words 4..15 of the module block for wT2000), coils encoded as
    // CoilOn for 1 and CoilOff for anything else.
    static QVector<quint16> writeValues(int type, const ModuleTables &tables);

    // The requests of one write block: for every register a command write
    // (2016) and then the single-register or single-coil data write. With
    // `changedOnly`, a register whose value equals the snapshot's is skipped;
    // one beyond the end of the snapshot's table counts as changed.
    static QVector<ModbusRequest> writeRequests(int type, const ModuleTables &image,
                                                const ModuleTables &snapshot, bool changedOnly,
                                                int serverAddress);
    // All write blocks wT300..wT2000 in order, the module block last.
    static QVector<ModbusRequest> allWriteRequests(const ModuleTables &image,
                                                   const ModuleTables &snapshot, bool changedOnly,
                                                   int serverAddress);

    // `requests` without the data writes to the given holding registers and
    // the write-enable command sent before each of them.
    static QVector<ModbusRequest> withoutRegisters(const QVector<ModbusRequest> &requests,
                                                   const QSet<int> &holdingRegisters);

    // The holding registers of the module block's link words
    // (ModuleTables::LinkWords), for a write that keeps how the unit is reached.
    static QSet<int> linkRegisters();

    // True when writing `encoded` changes the unit's address word or port word
    // as they stand in `before` (the image before encoding). A word that
    // `before` lacks but `encoded` holds counts as changed.
    static bool linkChanged(const ModuleTables &before, const ModuleTables &encoded);

    // Single service writes.
    static ModbusRequest commandRequest(quint16 command, TypeResponse type, int serverAddress);
    static ModbusRequest eepromFlagRequest(bool on, int serverAddress);

    // A reply's result may be used only when it answers this request: same
    // start address, same register type (when the result names one) and as
    // many values as asked for.
    static bool resultMatches(const QModbusDataUnit &request, const QModbusDataUnit &result);
};

#endif // REGISTERBLOCKS_H
