// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ANALOGINPUT_H
#define ANALOGINPUT_H

#include "analogchannel.h"

// Analog input of an AI or AIO board; its settings live in the analog-input
// tables of the register image.
class AnalogInput : public AnalogChannel
{
    Q_OBJECT

public:
    AnalogInput(int globalNumber, QObject *parent);

    void fromTables(ModuleTables dataModule) override;
    ModuleTables toTables(ModuleTables dataModule) const override;

protected:
    // For subclasses: the parameters without their register attributes.
    AnalogInput(int kind, int globalNumber, QObject *parent);
};

#endif // ANALOGINPUT_H
