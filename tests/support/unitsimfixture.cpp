// SPDX-License-Identifier: GPL-3.0-or-later
#include "unitsimfixture.h"

#include "simoptions.h"
#include "simrtuline.h"
#include "simtcpserver.h"

#include <QDebug>

SimUnitConfig UnitSimFixture::unit(int address, const QVector<int> &slotCodes, int firmware,
                                   bool jumper)
{
    SimUnitConfig config;
    config.address = address;
    config.slotCodes = slotCodes;
    config.firmware = firmware;
    config.jumper = jumper;
    return config;
}

bool UnitSimFixture::parseOptions(const QString &arguments, Options *options)
{
    SimOptions parsed;
    QString error;
    if (!SimOptions::parse(QStringList{"brk-unit-sim"} + arguments.split(' ', Qt::SkipEmptyParts),
                           &parsed, &error, &error)) {
        qWarning() << "UnitSimFixture:" << error;
        return false;
    }
    *options = {parsed.units,         true,      parsed.lenient,
                parsed.faults,        QString(), parsed.gatewayDelayMs,
                parsed.serialSettings};
    return true;
}

UnitSimFixture::UnitSimFixture()
    : UnitSimFixture(Options())
{}

UnitSimFixture::UnitSimFixture(const QList<SimUnitConfig> &units)
    : UnitSimFixture([&units] {
        Options options;
        options.units = units;
        return options;
    }())
{}

UnitSimFixture::UnitSimFixture(const Options &options)
    : m_options(options)
    , m_bus(new SimBus)
{
    for (const SimUnitConfig &config : qAsConst(m_options.units))
        m_bus->addUnit(config, m_options.frozen);
    m_bus->setLenient(m_options.lenient);
    m_bus->setFaults(m_options.faults);
    m_bus->log().setKeepInMemory(true);
    if (!m_options.statePath.isEmpty()) {
        QString error;
        if (!m_bus->setStateFile(m_options.statePath, &error))
            qWarning() << "UnitSimFixture:" << error;
    }
}

UnitSimFixture::~UnitSimFixture() = default;

bool UnitSimFixture::start(QString *error)
{
    QString reason;
    m_tcp.reset(new SimTcpServer(m_bus.get()));
    m_tcp->setGatewayDelayMs(m_options.gatewayDelayMs);
    if (!m_tcp->listen(QHostAddress::LocalHost, m_port, &reason)) {
        qWarning() << "UnitSimFixture:" << reason;
        if (error)
            *error = reason;
        m_tcp.reset();
        return false;
    }
    m_port = m_tcp->serverPort();
    return true;
}

void UnitSimFixture::stop()
{
    m_tcp.reset();
}

bool UnitSimFixture::restart()
{
    return m_port != 0 && start();
}

quint16 UnitSimFixture::port() const
{
    return m_tcp ? m_tcp->serverPort() : 0;
}

bool UnitSimFixture::openSerial(const QString &path, QString *error)
{
    QString reason;
    SimRtuLine::Settings settings = m_options.serial;
    settings.portName = path;
    m_rtu.reset(new SimRtuLine(m_bus.get()));
    if (!m_rtu->open(settings, &reason)) {
        qWarning() << "UnitSimFixture:" << reason;
        if (error)
            *error = reason;
        m_rtu.reset();
        return false;
    }
    return true;
}

SimUnit *UnitSimFixture::unitAt(int slave) const
{
    return m_bus->unitAt(slave);
}

int UnitSimFixture::reg(int slave, QModbusDataUnit::RegisterType type, int address) const
{
    const SimUnit *unit = unitAt(slave);
    quint16 value = 0;
    if (!unit || !unit->peek(type, address, &value))
        return -1;
    return value;
}

bool UnitSimFixture::setReg(int slave, QModbusDataUnit::RegisterType type, int address,
                            quint16 value)
{
    SimUnit *unit = unitAt(slave);
    return unit && unit->poke(type, address, value);
}

void UnitSimFixture::setSilent(bool silent)
{
    SimFaults faults = m_bus->faults();
    faults.silent = silent;
    m_bus->setFaults(faults);
}

QVector<SimRequestRecord> UnitSimFixture::requests() const
{
    return m_bus->log().records();
}

void UnitSimFixture::clearRequests()
{
    m_bus->log().clear();
}

QString UnitSimFixture::describe(const SimRequestRecord &record)
{
    QString line = QString("%1 %2 ").arg(record.function).arg(record.address);
    if (record.function <= 4)
        line += QString::number(record.count);
    else
        line += record.values.isEmpty() ? QString("-") : QString::number(record.values.first(), 16);
    if (record.result == SimRequestRecord::Dropped)
        line += " dropped";
    else if (record.result == SimRequestRecord::Exception)
        line += " refused";
    if (!record.fault.isEmpty())
        line += QString(" (%1)").arg(record.fault);
    return line;
}

QStringList UnitSimFixture::describe(const QVector<SimRequestRecord> &records)
{
    QStringList lines;
    for (const SimRequestRecord &record : records) {
        if (record.function != 0)
            lines << describe(record);
    }
    return lines;
}
