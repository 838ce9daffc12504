// SPDX-License-Identifier: GPL-3.0-or-later
#include "typeresponse.h"

void registerTypeResponseMetaType()
{
    qRegisterMetaType<TypeResponse>("TypeResponse");
}

QString typeResponseName(int value)
{
    static const struct
    {
        TypeResponse type;
        const char *name;
    } names[] = {
        {rT2000, "rT2000"},
        {rT300, "rT300"},
        {rT400, "rT400"},
        {rT800, "rT800"},
        {rT1200AI, "rT1200AI"},
        {rT600AO, "rT600AO"},
        {rT1000AO, "rT1000AO"},
        {rT1000DO, "rT1000DO"},
        {rT1300, "rT1300"},
        {rT1400, "rT1400"},
        {rT1600, "rT1600"},
        {wT300, "wT300"},
        {wT400, "wT400"},
        {wT800, "wT800"},
        {wT1200, "wT1200"},
        {wT600, "wT600"},
        {wT1000AO, "wT1000AO"},
        {wT1000DO, "wT1000DO"},
        {wT1300, "wT1300"},
        {wT1400, "wT1400"},
        {wT1600, "wT1600"},
        {wT2000, "wT2000"},
        {EnableWriteEeprom, "EnableWriteEeprom"},
        {EepromWriteFlag, "EepromWriteFlag"},
        {ResetConfig, "ResetConfig"},
        {RebootModule, "RebootModule"},
    };
    for (const auto &entry : names) {
        if (entry.type == value)
            return QString::fromLatin1(entry.name);
    }
    return QStringLiteral("UnknownTypeResponse");
}
