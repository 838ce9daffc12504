// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef UNITIMAGE_H
#define UNITIMAGE_H

// The simulated unit's registers as a read gives them, taken straight from the
// unit: no requests, no pauses.

#include "unitsimfixture.h"

#include <moduletables.h>
#include <registerblocks.h>

inline QVector<quint16> unitBlock(const UnitSimFixture &sim, int slave,
                                  QModbusDataUnit::RegisterType type, int start, int count)
{
    QVector<quint16> values;
    for (int i = 0; i < count; ++i)
        values << quint16(sim.reg(slave, type, start + i));
    return values;
}

// The module block alone, as discovery hands it over.
inline ModuleTables moduleImage(const UnitSimFixture &sim, int slave)
{
    ModuleTables tables;
    tables.setModuleTable(unitBlock(sim, slave, RegisterBlocks::registerType(rT2000),
                                    RegisterBlocks::startAddress(rT2000),
                                    ModuleTables::ModuleBlockSize));
    return tables;
}

// The module block and every channel block it calls for, as a full read stores them.
inline ModuleTables unitImage(const UnitSimFixture &sim, int slave)
{
    ModuleTables tables = moduleImage(sim, slave);
    for (const ModbusRequest &request : RegisterBlocks::channelReadRequests(tables, slave)) {
        const QModbusDataUnit &unit = request.unit;
        RegisterBlocks::storeReadValues(
            request.type,
            unitBlock(sim, slave, unit.registerType(), unit.startAddress(), int(unit.valueCount())),
            &tables);
    }
    return tables;
}

#endif // UNITIMAGE_H
