// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ANALOGOUTPUT_H
#define ANALOGOUTPUT_H

#include "analogchannel.h"

// Analog output of an AIO board, with the value it holds while the unit
// blocks its outputs. Settings live in the analog-output tables.
class AnalogOutput : public AnalogChannel
{
    Q_OBJECT

public:
    AnalogOutput(int globalNumber, QObject *parent);

    void fromJson(const QJsonObject &obj) override;
    QJsonObject toJson() const override;
    void fromTables(ModuleTables dataModule) override;
    ModuleTables toTables(ModuleTables dataModule) const override;
};

#endif // ANALOGOUTPUT_H
