// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef DIGITALINPUT_H
#define DIGITALINPUT_H

#include "channel.h"

// Discrete input of a DI or DI6 board. Inputs numbered 2 and 3 carry the
// contact-bounce filter, one bit per input in the antibounce table.
class DigitalInput : public Channel
{
    Q_OBJECT

public:
    DigitalInput(int globalNumber, QObject *parent);

    void fromJson(const QJsonObject &obj) override;
    QJsonObject toJson() const override;
    void fromTables(ModuleTables dataModule) override;
    ModuleTables toTables(ModuleTables dataModule) const override;

    // Gives an input numbered 2 or 3 its contact-bounce filter, off.
    void addAntibounce();

private:
    bool hasAntibounce() const;
    void attachAntibounceNames();
};

#endif // DIGITALINPUT_H
