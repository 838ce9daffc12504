// SPDX-License-Identifier: GPL-3.0-or-later
#include "analoginput.h"

#include "codes.h"
#include "property.h"

AnalogInput::AnalogInput(int kind, int globalNumber, QObject *parent)
    : AnalogChannel(globalNumber, parent)
{
    setValue(ChannelParam::Type, kind);
    setValue(ChannelParam::Value, 0);
    setValue(ChannelParam::RawValue, QString());
}

AnalogInput::AnalogInput(int globalNumber, QObject *parent)
    : AnalogInput(TypeAnalogInput, globalNumber, parent)
{
    QMap<int, QString> signalNames;
    for (int code = 0; code <= 3; ++code)
        signalNames.insert(code, signalTypeName(code));
    property(ChannelParam::SignalType)->setEnumNames(signalNames);
    describe(ChannelParam::SignalType, ValueEnum, RegisterHoldingRegisters, 1200, 1, true);
    describe(ChannelParam::Value, ValueInt16, RegisterInputRegisters, 0, 2, false);
    describe(ChannelParam::RawValue, ValueInt16, RegisterInputRegisters, 10004, 1, false);
    connect(property(ChannelParam::DataFormat), &Property::valueChange, this,
            &AnalogChannel::updateType);
}

void AnalogInput::fromTables(ModuleTables dataModule)
{
    const Tables tables{dataModule.typesValueAITable(), dataModule.limitsAITable(),
                        dataModule.flagsAITable()};
    decodeSettings(tables,
                   {"dataModule.typesValueAITable().isEmpty()",
                    "dataModule.limitsAITable().isEmpty()", "dataModule.flagsAITable().isEmpty()",
                    "typesAITable().at(): ", "limitsAITable().at(): ", "flagsAITable().at(): "});
}

ModuleTables AnalogInput::toTables(ModuleTables dataModule) const
{
    dataModule = Device::toTables(dataModule);
    Tables tables{dataModule.typesValueAITable(), dataModule.limitsAITable(),
                  dataModule.flagsAITable()};
    encodeSettings(&tables);
    dataModule.setTypesValueAITable(tables.types);
    dataModule.setLimitsAITable(tables.limits);
    dataModule.setFlagsAITable(tables.flags);
    return dataModule;
}
