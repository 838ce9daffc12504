// SPDX-License-Identifier: GPL-3.0-or-later
#include "digitalinputcounting.h"

#include "codes.h"

DigitalInputCounting::DigitalInputCounting(int globalNumber, QObject *parent)
    : Channel(globalNumber, parent)
{
    setValue(ChannelParam::Type, TypeCountingInput);
    setValue(ChannelParam::Value, 0);
    describe(ChannelParam::Value, ValueUInt16, RegisterInputRegisters, 202, 1, false);
}
