// SPDX-License-Identifier: GPL-3.0-or-later
#include "analogoutput.h"
#include "modellogging.h"

#include "codes.h"
#include "property.h"
#include "tableaccess.h"

#include <QDebug>

namespace {
const QString keyBlockValue = QStringLiteral("BLOCK_VALUE");
}

AnalogOutput::AnalogOutput(int globalNumber, QObject *parent)
    : AnalogChannel(globalNumber, parent)
{
    setValue(ChannelParam::Type, TypeAnalogOutput);
    setValue(ChannelParam::Value, 0);
    setValue(ChannelParam::BlockValue, 0);
    setValue(ChannelParam::RawValue, 0);

    QMap<int, QString> signalNames;
    for (int code = 0; code <= 3; ++code)
        signalNames.insert(code, signalTypeName(code));
    property(ChannelParam::SignalType)->setEnumNames(signalNames);
    describe(ChannelParam::SignalType, ValueEnum, RegisterHoldingRegisters, 1400, 1, true);
    describe(ChannelParam::Value, ValueInt16, RegisterHoldingRegisters, 0, 2, true);
    describe(ChannelParam::RawValue, ValueInt16, RegisterHoldingRegisters, 10004, 1, true);
    connect(property(ChannelParam::DataFormat), &Property::valueChange, this,
            &AnalogChannel::updateType);
}

void AnalogOutput::fromJson(const QJsonObject &obj)
{
    AnalogChannel::fromJson(obj);
    if (obj.contains(keyBlockValue))
        setValue(ChannelParam::BlockValue, QVariant(obj.value(keyBlockValue).toString()));
}

QJsonObject AnalogOutput::toJson() const
{
    QJsonObject obj = AnalogChannel::toJson();
    obj.insert(keyBlockValue, value(ChannelParam::BlockValue).toString());
    return obj;
}

void AnalogOutput::fromTables(ModuleTables dataModule)
{
    const Tables tables{dataModule.typesValueAOTable(), dataModule.limitsAOTable(),
                        dataModule.flagsAOTable()};
    decodeSettings(tables,
                   {"dataModule.typesValueAOTable().isEmpty()",
                    "dataModule.limitsAOTable().isEmpty()", "dataModule.flagsAOTable().isEmpty()",
                    "typesAOTable().at(): ", "limitsAOTable().at(): ", "flagsAOTable().at(): "});

    const QVector<quint16> block = dataModule.blockValuesAOTable();
    const qint64 g = globalNumber();
    if (block.isEmpty())
        qCDebug(lcModel) << "dataModule.blockValuesAOTable().isEmpty()";
    else if (!TableAccess::holds(block, 2 * g, 2))
        qCDebug(lcModel) << "blockValuesAOTable().at()";
    else
        setFloatValue(ChannelParam::BlockValue, {block.at(int(2 * g)), block.at(int(2 * g + 1))});
}

ModuleTables AnalogOutput::toTables(ModuleTables dataModule) const
{
    Tables tables{dataModule.typesValueAOTable(), dataModule.limitsAOTable(),
                  dataModule.flagsAOTable()};
    encodeSettings(&tables);
    dataModule.setTypesValueAOTable(tables.types);
    dataModule.setLimitsAOTable(tables.limits);
    dataModule.setFlagsAOTable(tables.flags);

    QVector<quint16> block = dataModule.blockValuesAOTable();
    const qint64 g = globalNumber();
    if (TableAccess::holds(block, 2 * g, 2)) {
        const int i = int(2 * g);
        floatToWords(value(ChannelParam::BlockValue).toFloat(), &block[i], &block[i + 1]);
        dataModule.setBlockValuesAOTable(block);
    }
    return dataModule;
}
