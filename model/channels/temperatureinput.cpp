// SPDX-License-Identifier: GPL-3.0-or-later
#include "temperatureinput.h"

#include "codes.h"
#include "property.h"

#include <climits>

TemperatureInput::TemperatureInput(int globalNumber, QObject *parent)
    : AnalogInput(TypeTemperatureInput, globalNumber, parent)
{
    QMap<int, QString> signalNames;
    for (int code = FirstTemperatureSignalType; code <= 22; ++code)
        signalNames.insert(code, signalTypeName(code));
    property(ChannelParam::SignalType)->setEnumNames(signalNames);
    // Code 0 of an analog input is no temperature signal: an input added by
    // hand starts at the first one its list offers.
    setValue(ChannelParam::SignalType, FirstTemperatureSignalType);
    describe(ChannelParam::SignalType, ValueEnum, RegisterHoldingRegisters, 1200, 1, true);
    connect(property(ChannelParam::DataFormat), &Property::valueChange, this,
            &TemperatureInput::updateProperty);
    connect(property(ChannelParam::SignalType), &Property::valueChange, this,
            &TemperatureInput::updateProperty);
    updateProperty();
}

void TemperatureInput::placeRegisters()
{
    AnalogInput::placeRegisters();
    updateProperty();
}

void TemperatureInput::updateProperty()
{
    // Channel numbers are small; an absurd one gives no register at all.
    const qint64 g = globalNumber();
    const auto address = [](qint64 a) {
        return a <= INT_MAX ? int(a) : -1;
    };
    Property *engineering = property(ChannelParam::Value);
    Property *raw = property(ChannelParam::RawValue);
    engineering->setRegisterType(RegisterInputRegisters);
    raw->setRegisterType(RegisterInputRegisters);

    const int type = valueTypeOfFormat(value(ChannelParam::DataFormat));
    if (type >= 0)
        engineering->setValueType(type);
    engineering->setAddress(address(2 * g));
    engineering->setScale(1);

    const int signal = value(ChannelParam::SignalType).toInt();
    raw->setValueType(signal >= 9 && signal <= 22 ? ValueInt16 : ValueUInt16);
    raw->setAddress(address(10004 + g));
    raw->setScale(1);
}
