// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CALIBRATIONRIG_H
#define CALIBRATIONRIG_H

// A simulated unit with AIO, TMP, DI and DO6 boards, a TCP client connected to
// it as the start window leaves it, and the module read from the unit: what
// calibration mode starts from.

#include "modbuscall.h"
#include "unitimage.h"
#include "unitsimfixture.h"

#include <channel.h>
#include <module.h>
#include <moduletables.h>
#include <property.h>
#include <submodule.h>

#include <QDateTime>
#include <QStringList>
#include <QtTest>

#include <memory>

// A register set in the unit before the module is read from it.
struct Poke
{
    int type;
    int address;
    quint16 value;
};
using Pokes = QVector<Poke>;
Q_DECLARE_METATYPE(Pokes)

namespace calibration {

constexpr auto H = QModbusDataUnit::HoldingRegisters;
constexpr auto I = QModbusDataUnit::InputRegisters;

// Parameters with a register of their own on these boards.
constexpr int PolledCount = 32;

// "function:address:count" of reads or "function:address:value" of writes,
// each once, in the order they first came: a client with a 50 ms timeout may
// send a request again on a busy machine.
inline QStringList calls(const UnitSimFixture &sim, bool writes,
                         QVector<QDateTime> *times = nullptr)
{
    QStringList list;
    for (const SimRequestRecord &r : sim.requests()) {
        if (r.function < 1 || (r.function >= 5) != writes)
            continue;
        const QString text = QStringLiteral("%1:%2:%3")
                                 .arg(r.function)
                                 .arg(r.address)
                                 .arg(writes ? r.values.value(0) : r.count);
        if (list.contains(text))
            continue;
        list << text;
        if (times)
            *times << r.time;
    }
    return list;
}

inline bool passDone(const UnitSimFixture &sim)
{
    return calls(sim, false).size() >= PolledCount;
}

// The module as the main window gets it: decoded from the unit's registers.
inline std::unique_ptr<Module> readModule(const UnitSimFixture &sim)
{
    auto module = std::make_unique<Module>(1);
    module->fromTables(unitImage(sim, 1));
    return module;
}

inline UnitSimFixture::Options unitOptions(bool frozen, int delayMs)
{
    UnitSimFixture::Options options;
    // Slots A..D: AIO (inputs g 0-1, outputs g 0-1), TMP (inputs g 2-3), DI, DO6.
    options.units = {UnitSimFixture::unit(1, {5, 7, 6, 8, 0, 0})};
    options.frozen = frozen;
    options.faults.delayMs = delayMs;
    return options;
}

struct Rig
{
    UnitSimFixture sim;
    std::unique_ptr<QModbusTcpClient> client;
    std::unique_ptr<Module> module;

    explicit Rig(bool frozen = true, int delayMs = 0)
        : sim(unitOptions(frozen, delayMs))
    {}

    bool start(const Pokes &pokes = {})
    {
        if (!sim.start())
            return false;
        for (const Poke &p : pokes)
            sim.setReg(1, QModbusDataUnit::RegisterType(p.type), p.address, p.value);
        module = readModule(sim);
        client = ModbusCall::tcpClient(sim.port(), 500, 3);
        return client->state() == QModbusDevice::ConnectedState;
    }

    Property *parameter(int board, int channel, const QString &name) const
    {
        return module->submodules().at(board)->channels().at(channel)->property(name);
    }
};

} // namespace calibration

#endif // CALIBRATIONRIG_H
