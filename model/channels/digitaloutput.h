// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef DIGITALOUTPUT_H
#define DIGITALOUTPUT_H

#include "channel.h"

// Discrete output of a DO4, SIM, R or DO6 board: PWM value and the state the
// unit gives the output while it blocks its outputs.
class DigitalOutput : public Channel
{
    Q_OBJECT

public:
    DigitalOutput(int globalNumber, QObject *parent);

    void fromJson(const QJsonObject &obj) override;
    // Only PWM and BLOCK_VALUE: stored files have no channel numbers here.
    QJsonObject toJson() const override;
    void fromTables(ModuleTables dataModule) override;
    ModuleTables toTables(ModuleTables dataModule) const override;
};

#endif // DIGITALOUTPUT_H
