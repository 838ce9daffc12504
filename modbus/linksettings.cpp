// SPDX-License-Identifier: GPL-3.0-or-later
#include "linksettings.h"

#include <codes.h>
#include <modeflags.h>
#include <moduletables.h>

#include <QModbusClient>
#include <QVariant>

namespace {

// 100 ms per step of the speed list below the fastest: 800 ms at 1200 bit/s,
// 100 ms at 115200; a speed below the list gets one step more.
int serialTimeoutMs(int baud)
{
    int steps = baudRateList.size() + 1;
    for (int i = 0; i < baudRateList.size(); ++i) {
        if (baud >= baudRateList.at(i).toInt())
            steps = baudRateList.size() - i;
    }
    return steps * LinkSettings::SerialStepMs;
}

const char *const SettingsProperty = "brkLinkSettings";

int dataBytes(const QModbusDataUnit &unit)
{
    const int count = int(unit.valueCount());
    const bool bits = unit.registerType() == QModbusDataUnit::Coils
                      || unit.registerType() == QModbusDataUnit::DiscreteInputs;
    return bits ? (count + 7) / 8 : 2 * count;
}

} // namespace

int LinkSettings::requestBytes(const QModbusDataUnit &unit, bool write)
{
    // Address, function, start, count or the one value written (functions 5
    // and 6), CRC; a write of more values adds a byte count and the data.
    return write && unit.valueCount() > 1 ? 9 + dataBytes(unit) : 8;
}

int LinkSettings::replyBytes(const QModbusDataUnit &unit, bool write)
{
    // A write's reply echoes start and count; a read's carries the data.
    return write ? 8 : 5 + dataBytes(unit);
}

qint64 LinkSettings::characterUs() const
{
    // In half bits, for one and a half stop bits.
    int halfBits = 2 * (1 + 8) + (parity == QSerialPort::NoParity ? 0 : 2);
    halfBits += stopBits == QSerialPort::TwoStop          ? 4
                : stopBits == QSerialPort::OneAndHalfStop ? 3
                                                          : 2;
    return (qint64(halfBits) * 1000000 / qMax(1, baud) + 1) / 2;
}

int LinkSettings::requestTimeoutMs(const QModbusDataUnit &unit, bool write, int baseMs) const
{
    if (isTcp())
        return baseMs;
    const qint64 wireUs = (requestBytes(unit, write) + replyBytes(unit, write)) * characterUs();
    return baseMs + int((wireUs + 999) / 1000) + qMax(0, responseDelayMs);
}

int LinkSettings::responseTimeoutMs() const
{
    if (timeoutOverrideMs > 0)
        return timeoutOverrideMs;
    if (isTcp())
        return TcpTimeoutMs;
    return extraDelay ? ExtraDelayTimeoutMs : serialTimeoutMs(baud);
}

int LinkSettings::retries() const
{
    if (retriesOverride >= 0)
        return retriesOverride;
    if (isTcp())
        return TcpRetries;
    return extraDelay ? ExtraDelayRetries : SerialRetries;
}

int LinkSettings::modeFlags() const
{
    return (isTcp() ? ModeTcp : ModeRtu) | (extraDelay ? ModeExtraDelay : 0);
}

void LinkSettings::applyTo(QModbusClient *client) const
{
    if (isTcp()) {
        client->setConnectionParameter(QModbusDevice::NetworkAddressParameter, host);
        client->setConnectionParameter(QModbusDevice::NetworkPortParameter, port);
    } else {
        client->setConnectionParameter(QModbusDevice::SerialPortNameParameter, serialPort);
        client->setConnectionParameter(QModbusDevice::SerialParityParameter, int(parity));
        client->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, baud);
        client->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
        client->setConnectionParameter(QModbusDevice::SerialStopBitsParameter, int(stopBits));
    }
    // The longest request before a unit is opened is its module block read.
    const QModbusDataUnit moduleBlock(QModbusDataUnit::HoldingRegisters, 0,
                                      quint16(ModuleTables::JumperBlockSize));
    client->setTimeout(requestTimeoutMs(moduleBlock, false));
    client->setNumberOfRetries(retries());
    client->setProperty(SettingsProperty, QVariant::fromValue(*this));
}

bool LinkSettings::settingsOf(const QModbusClient *client, LinkSettings *settings)
{
    const QVariant stored = client ? client->property(SettingsProperty) : QVariant();
    if (!stored.canConvert<LinkSettings>())
        return false;
    *settings = stored.value<LinkSettings>();
    return true;
}

bool LinkSettings::fitTimeout(QModbusClient *client, const QVector<QModbusDataUnit> &units,
                              bool write, int responseDelayMs, int baseMs)
{
    LinkSettings settings;
    if (units.isEmpty() || !settingsOf(client, &settings) || settings.isTcp())
        return false;
    settings.responseDelayMs = responseDelayMs;
    const int base = baseMs < 0 ? settings.responseTimeoutMs() : baseMs;
    int timeout = base;
    for (const QModbusDataUnit &unit : units)
        timeout = qMax(timeout, settings.requestTimeoutMs(unit, write, base));
    client->setTimeout(timeout);
    return true;
}
