// SPDX-License-Identifier: GPL-3.0-or-later
#include "digitalinput.h"
#include "modellogging.h"

#include "codes.h"
#include "property.h"
#include "tableaccess.h"

#include <QDebug>

namespace {
const QString keyAntibounce = QStringLiteral("ANTIBOUNCE");
}

DigitalInput::DigitalInput(int globalNumber, QObject *parent)
    : Channel(globalNumber, parent)
{
    setValue(ChannelParam::Type, TypeDigitalInput);
    setValue(ChannelParam::Value, 0);
    describe(ChannelParam::Value, ValueBool, RegisterCoils, 0, 1, false);
}

bool DigitalInput::hasAntibounce() const
{
    const int number = channelNumber();
    return number == 2 || number == 3;
}

void DigitalInput::addAntibounce()
{
    setValue(ChannelParam::Antibounce, false);
    attachAntibounceNames();
}

void DigitalInput::attachAntibounceNames()
{
    if (Property *p = property(ChannelParam::Antibounce))
        p->setEnumNames({{0, QStringLiteral("Выкл")}, {1, QStringLiteral("Вкл")}});
}

void DigitalInput::fromJson(const QJsonObject &obj)
{
    Channel::fromJson(obj);
    if (obj.contains(keyAntibounce) && hasAntibounce()) {
        setValue(ChannelParam::Antibounce, QVariant(obj.value(keyAntibounce).toString()));
        attachAntibounceNames();
    }
}

QJsonObject DigitalInput::toJson() const
{
    QJsonObject obj = Channel::toJson();
    if (hasAntibounce())
        obj.insert(keyAntibounce, value(ChannelParam::Antibounce).toString());
    return obj;
}

void DigitalInput::fromTables(ModuleTables dataModule)
{
    const QVector<quint16> table = dataModule.antibounceDITable();
    if (table.isEmpty()) {
        qCDebug(lcModel) << "dataModule.antibounceDITable().isEmpty()";
        return;
    }
    if (!hasAntibounce())
        return;
    const int g = globalNumber();
    if (g < 0 || !TableAccess::holds(table, g / 16))
        return;
    const int bit = (table.at(g / 16) >> (g % 16)) & 1;
    setValue(ChannelParam::Antibounce, bit);
    attachAntibounceNames();
}

ModuleTables DigitalInput::toTables(ModuleTables dataModule) const
{
    if (!hasAntibounce())
        return dataModule;
    QVector<quint16> table = dataModule.antibounceDITable();
    const int g = globalNumber();
    if (g < 0 || !TableAccess::holds(table, g / 16)) {
        qCDebug(lcModel) << "Error value ANTIBOUNCE";
        return dataModule;
    }
    const quint16 mask = quint16(1u << (g % 16));
    if (value(ChannelParam::Antibounce).toBool())
        table[g / 16] |= mask;
    else
        table[g / 16] &= quint16(~mask);
    dataModule.setAntibounceDITable(table);
    return dataModule;
}
