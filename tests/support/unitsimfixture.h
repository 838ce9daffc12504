// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef UNITSIMFIXTURE_H
#define UNITSIMFIXTURE_H

#include "simbus.h"
#include "simrtuline.h"
#include "simunit.h"

#include <QList>
#include <QModbusDataUnit>
#include <QString>
#include <QVector>

#include <memory>

class SimTcpServer;

// Runs simulated units in the test's own process, on a free loopback TCP port
// (and, if asked, on a serial line), so tests talk to them with a real Modbus
// client and can look into the units' registers and request log directly.
// Everything runs on the test's event loop: let it spin (QTRY_*, QSignalSpy::wait).
//
//     UnitSimFixture sim({ UnitSimFixture::unit(1, { 4, 5, 0, 0, 0, 0 }) });
//     QVERIFY(sim.start());
//     client.setConnectionParameter(QModbusDevice::NetworkPortParameter, sim.port());
class UnitSimFixture
{
public:
    struct Options
    {
        QList<SimUnitConfig> units{
            SimUnitConfig()};        // default: address 1, AIO AI DI TMP DO6 DO4, firmware 22
        bool frozen = true;          // live values hold still
        bool lenient = false;        // accept unarmed configuration writes
        SimFaults faults;            // dropped requests, delays, exceptions, bad replies, silence
        QString statePath;           // load from and save to this file (empty: none)
        int gatewayDelayMs = -1;     // TCP answers unanswered requests with 0x0B this late (-1: no)
        SimRtuLine::Settings serial; // speed, framing and pacing for openSerial()
    };

    // Options from the simulator's command line, e.g. "--gateway-delay-ms 200 --pause-at 2":
    // units, faults, gateway mode, leniency, the line's settings. False (and a warning
    // with the reason) for a bad line.
    static bool parseOptions(const QString &arguments, Options *options);

    // A unit description: slot codes of slots A..F (0 = empty), firmware in tenths.
    static SimUnitConfig unit(int address, const QVector<int> &slotCodes, int firmware = 22,
                              bool jumper = false);

    UnitSimFixture();
    explicit UnitSimFixture(const QList<SimUnitConfig> &units);
    explicit UnitSimFixture(const Options &options);
    ~UnitSimFixture();

    // Listens on 127.0.0.1 at a free port. False (with a reason) when it cannot.
    bool start(QString *error = nullptr);
    // Closes the TCP port and every connection to it, as a unit that restarts.
    void stop();
    // Listens again on the port of the last start().
    bool restart();
    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const;

    // Also serves Modbus RTU on a serial port, e.g. PtyPair::unitEnd().
    bool openSerial(const QString &path, QString *error = nullptr);

    // The unit that answers at this slave address now (null if none).
    SimUnit *unitAt(int slave) const;
    SimBus *bus() const { return m_bus.get(); }

    // Faults can change at any time; the next request meets the new ones.
    void setFaults(const SimFaults &faults) { m_bus->setFaults(faults); }
    const SimFaults &faults() const { return m_bus->faults(); }
    // Every unit stops answering (true) or answers again (false); other faults stay.
    void setSilent(bool silent);

    // A register of the simulated state, read or set directly: no service code, no
    // value checks. reg() gives -1 for a register the unit does not hold. A live
    // value set with setReg() stays pinned at that value.
    int reg(int slave, QModbusDataUnit::RegisterType type, int address) const;
    bool setReg(int slave, QModbusDataUnit::RegisterType type, int address, quint16 value);

    // Every request and unit event since start (or the last clearRequests()).
    QVector<SimRequestRecord> requests() const;
    // One request as "<function> <address> <count>" for reads and
    // "<function> <address> <hex value>" for writes, with " dropped" or
    // " refused" when the unit did not answer it normally, and the injected
    // fault in brackets, e.g. "3 800 32 (short reply)".
    static QString describe(const SimRequestRecord &record);
    // The requests of `records` so described, unit events left out.
    static QStringList describe(const QVector<SimRequestRecord> &records);
    void clearRequests();

private:
    Options m_options;
    std::unique_ptr<SimBus> m_bus;
    std::unique_ptr<SimTcpServer> m_tcp;
    std::unique_ptr<SimRtuLine> m_rtu;
    quint16 m_port = 0;
};

#endif // UNITSIMFIXTURE_H
