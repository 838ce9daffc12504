// SPDX-License-Identifier: GPL-3.0-or-later
#include "dosteppermotor.h"

#include "codes.h"

DOStepperMotor::DOStepperMotor(int globalNumber, QObject *parent)
    : Channel(globalNumber, parent)
{
    setValue(ChannelParam::Type, TypeStepperMotor);
    setValue(ChannelParam::Value, 0);
    describe(ChannelParam::Value, ValueInt32, RegisterHoldingRegisters, 550, 2, false);
}
