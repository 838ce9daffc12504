// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef DIGITALINPUTCOUNTING_H
#define DIGITALINPUTCOUNTING_H

#include "channel.h"

// Counting register of a DI or DI6 board: a live counter, no settings. It
// keeps the numbers its board gave it, whatever a file says.
class DigitalInputCounting : public Channel
{
    Q_OBJECT

public:
    DigitalInputCounting(int globalNumber, QObject *parent);

    void fromJson(const QJsonObject &) override {}
    void fromTables(ModuleTables) override {}
    ModuleTables toTables(ModuleTables dataModule) const override { return dataModule; }
};

#endif // DIGITALINPUTCOUNTING_H
