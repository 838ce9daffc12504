// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TYPERESPONSE_H
#define TYPERESPONSE_H

#include <QMetaType>
#include <QString>

// Name of every register block the configurator asks for. The value travels
// with a request and comes back with its reply; 13, 24 and 26 are unused and
// queue nothing. Discovery reuses 0 and 1 as scan markers.
enum TypeResponse {
    rT2000 = 2,
    rT300 = 3,
    rT400 = 4,
    rT800 = 5,
    rT1200AI = 6,
    rT600AO = 7,
    rT1000AO = 8,
    rT1000DO = 9,
    rT1300 = 10,
    rT1400 = 11,
    rT1600 = 12,
    wT300 = 14,
    wT400 = 15,
    wT800 = 16,
    wT1200 = 17,
    wT600 = 18,
    wT1000AO = 19,
    wT1000DO = 20,
    wT1300 = 21,
    wT1400 = 22,
    wT1600 = 23,
    wT2000 = 25,
    EnableWriteEeprom = 27,
    EepromWriteFlag = 28,
    ResetConfig = 29,
    RebootModule = 30
};

Q_DECLARE_METATYPE(TypeResponse)

// The enumerator's name of a block ("rT800"), "UnknownTypeResponse" for other values.
QString typeResponseName(int value);

// Registers TypeResponse under the name "TypeResponse" (for queued signals
// and QVariant); safe to call more than once.
void registerTypeResponseMetaType();

#endif // TYPERESPONSE_H
