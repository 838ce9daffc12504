// SPDX-License-Identifier: GPL-3.0-or-later
#include "digitaloutput.h"
#include "modellogging.h"

#include "codes.h"
#include "property.h"
#include "tableaccess.h"

#include <QDebug>

namespace {
const QString keyPwm = QStringLiteral("PWM");
const QString keyBlockValue = QStringLiteral("BLOCK_VALUE");
} // namespace

DigitalOutput::DigitalOutput(int globalNumber, QObject *parent)
    : Channel(globalNumber, parent)
{
    setValue(ChannelParam::Type, TypeDigitalOutput);
    setValue(ChannelParam::BlockValue, 0);
    setValue(ChannelParam::Value, 0);
    describe(ChannelParam::Value, ValueBool, RegisterDiscreteInputs, 0, 1, false);
    property(ChannelParam::BlockValue)
        ->setEnumNames({{0, QStringLiteral("Выкл")}, {1, QStringLiteral("Вкл")}});
    setValue(ChannelParam::Pwm, 0);
}

void DigitalOutput::fromJson(const QJsonObject &obj)
{
    Channel::fromJson(obj);
    if (obj.contains(keyBlockValue))
        setValue(ChannelParam::BlockValue, QVariant(obj.value(keyBlockValue).toBool()));
    if (obj.contains(keyPwm))
        setValue(ChannelParam::Pwm, QVariant(obj.value(keyPwm).toString()));
}

QJsonObject DigitalOutput::toJson() const
{
    QJsonObject obj;
    obj.insert(keyPwm, value(ChannelParam::Pwm).toString());
    obj.insert(keyBlockValue, value(ChannelParam::BlockValue).toBool());
    return obj;
}

void DigitalOutput::fromTables(ModuleTables dataModule)
{
    const qint64 g = globalNumber();
    const QVector<quint16> pwm = dataModule.pwmDOTable();
    if (pwm.isEmpty())
        qCDebug(lcModel) << "dataModule.pwmDOTable().isEmpty()";
    else if (!TableAccess::holds(pwm, g))
        qCDebug(lcModel) << "pwmDOTable().at()" << g + 1;
    else
        setValue(ChannelParam::Pwm, int(pwm.at(int(g))));

    const QVector<quint16> block = dataModule.blockValuesDOTable();
    if (block.isEmpty())
        return;
    if (!TableAccess::holds(block, g))
        qCDebug(lcModel) << "blockValuesDOTable().at()" << g + 1;
    else
        setValue(ChannelParam::BlockValue, block.at(int(g)) != 0);
}

ModuleTables DigitalOutput::toTables(ModuleTables dataModule) const
{
    const qint64 g = globalNumber();
    QVector<quint16> pwm = dataModule.pwmDOTable();
    quint16 word = 0;
    if (TableAccess::holds(pwm, g) && TableAccess::toWord(value(ChannelParam::Pwm), "PWM", &word)) {
        pwm[int(g)] = word;
        dataModule.setPwmDOTable(pwm);
    }
    QVector<quint16> block = dataModule.blockValuesDOTable();
    if (TableAccess::holds(block, g)) {
        block[int(g)] = value(ChannelParam::BlockValue).toBool() ? 1 : 0;
        dataModule.setBlockValuesDOTable(block);
    }
    return dataModule;
}
