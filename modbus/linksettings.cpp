#include "linksettings.h"

#include <codes.h>
#include <modeflags.h>

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

} // namespace

int LinkSettings::responseTimeoutMs(int replyRegisters) const
{
    Q_UNUSED(replyRegisters)
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
    client->setTimeout(responseTimeoutMs());
    client->setNumberOfRetries(retries());
}
