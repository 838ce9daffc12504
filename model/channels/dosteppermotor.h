// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef DOSTEPPERMOTOR_H
#define DOSTEPPERMOTOR_H

#include "channel.h"

// Pulse-frequency register a DO6 board offers on two outputs for stepper
// drives: a live 32-bit value, no settings.
class DOStepperMotor : public Channel
{
    Q_OBJECT

public:
    DOStepperMotor(int globalNumber, QObject *parent);

    void fromJson(const QJsonObject &) override {}
    void fromTables(ModuleTables) override {}
    ModuleTables toTables(ModuleTables dataModule) const override { return dataModule; }
};

#endif // DOSTEPPERMOTOR_H
