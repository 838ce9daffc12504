// SPDX-License-Identifier: GPL-3.0-or-later
#include "submodule.h"
#include "codes.h"
#include "modellogging.h"

#include "analoginput.h"
#include "analogoutput.h"
#include "digitalinput.h"
#include "digitalinputcounting.h"
#include "digitaloutput.h"
#include "dosteppermotor.h"
#include "module.h"
#include "temperatureinput.h"

#include <QDebug>
#include <QJsonArray>

namespace {
const QString keyType = QStringLiteral("TYPE_SUBMODULE");
const QString keyPosition = QStringLiteral("POSITION_SUBMODULE");
const QString keyChannels = QStringLiteral("channels");
} // namespace

Submodule::Submodule(int type, Module *parent)
    : Device(parent)
    , m_module(parent)
    , m_type(type)
    , m_layout(boardLayout(type))
{
    Q_ASSERT(isSubmoduleType(type));
    setValue(SubmoduleParam::Slot, 0);
    setValue(SubmoduleParam::Type, type);
    createChannels();
}

int Submodule::reserve(int family, int reserved)
{
    // Without a module there is nothing to share numbers with.
    if (!m_module)
        return 0;
    const int first = m_module->counter(Module::Family(family));
    m_module->advanceCounter(Module::Family(family), reserved);
    return first;
}

void Submodule::addChannel(Channel *channel, int number)
{
    channel->setValue(ChannelParam::Number, number);
    m_channels.append(channel);
}

void Submodule::createChannels()
{
    const int ai = reserve(Module::AnalogInputs, m_layout.analogInputs);
    for (int i = 0; i < m_layout.analogInputs; ++i) {
        if (m_layout.temperatureInputs)
            addChannel(new TemperatureInput(ai + i, this), i);
        else
            addChannel(new AnalogInput(ai + i, this), i);
    }

    const int ao = reserve(Module::AnalogOutputs, m_layout.analogOutputs);
    for (int i = 0; i < m_layout.analogOutputs; ++i)
        addChannel(new AnalogOutput(ao + i, this), i);

    const int di = reserve(Module::DiscreteInputs, m_layout.discreteInputs);
    for (int i = 0; i < m_layout.discreteInputs; ++i) {
        auto *input = new DigitalInput(di + i, this);
        addChannel(input, i);
        if (i == 2 || i == 3)
            input->addAntibounce();
    }

    const int dout = reserve(Module::DiscreteOutputs, m_layout.discreteOutputs);
    for (int i = 0; i < m_layout.discreteOutputs; ++i)
        addChannel(new DigitalOutput(dout + i, this), i);

    // The counting inputs are the third and fourth discrete input.
    const int counting = reserve(Module::CountingInputs, m_layout.countingReserved);
    for (int i = 0; i < m_layout.countingInputs; ++i)
        addChannel(new DigitalInputCounting(counting + i, this), 2 + i);

    const int stepper = reserve(Module::StepperOutputs, m_layout.stepperOutputs);
    static const int stepperNumbers[] = {1, 4};
    for (int i = 0; i < m_layout.stepperOutputs; ++i)
        addChannel(new DOStepperMotor(stepper + i, this), stepperNumbers[i % 2]);
}

int Submodule::renumber(int *next)
{
    // The channels lie in the order createChannels() makes them: family by
    // family, in the order below.
    int changed = 0;
    auto channel = m_channels.cbegin();
    const auto take = [&](int family, int count, int reserved) {
        for (int i = 0; i < count && channel != m_channels.cend(); ++i, ++channel) {
            if ((*channel)->setGlobalNumber(next[family] + i))
                ++changed;
        }
        next[family] += reserved;
    };
    take(Module::AnalogInputs, m_layout.analogInputs, m_layout.analogInputs);
    take(Module::AnalogOutputs, m_layout.analogOutputs, m_layout.analogOutputs);
    take(Module::DiscreteInputs, m_layout.discreteInputs, m_layout.discreteInputs);
    take(Module::DiscreteOutputs, m_layout.discreteOutputs, m_layout.discreteOutputs);
    take(Module::CountingInputs, m_layout.countingInputs, m_layout.countingReserved);
    take(Module::StepperOutputs, m_layout.stepperOutputs, m_layout.stepperOutputs);
    Q_ASSERT(channel == m_channels.cend());
    return changed;
}

void Submodule::fromJson(const QJsonObject &obj)
{
    const QJsonArray channels = obj.value(keyChannels).toArray();
    int i = 0;
    for (Device *child : childDevices()) {
        child->fromJson(i < channels.size() ? channels.at(i).toObject() : QJsonObject());
        ++i;
    }
}

void Submodule::fromTables(ModuleTables dataModule)
{
    for (Device *child : childDevices())
        child->fromTables(dataModule);
}

ModuleTables Submodule::toTables(ModuleTables dataModule) const
{
    dataModule = Device::toTables(dataModule);
    for (Device *child : childDevices())
        dataModule = child->toTables(dataModule);
    return dataModule;
}

QJsonObject Submodule::toJson() const
{
    QJsonArray channels;
    for (Device *child : childDevices())
        channels.append(child->toJson());
    QJsonObject obj;
    obj.insert(keyType, value(SubmoduleParam::Type).toString());
    obj.insert(keyPosition, value(SubmoduleParam::Slot).toString());
    obj.insert(keyChannels, channels);
    return obj;
}

CompareResult Submodule::compare(const Device *other) const
{
    const auto *submodule = qobject_cast<const Submodule *>(other);
    if (!submodule)
        return CompareNotSubmodule;
    const QVariant mine = value(SubmoduleParam::Type);
    const QVariant theirs = submodule->value(SubmoduleParam::Type);
    if (mine != theirs) {
        qCDebug(lcModel) << "Type submodule does not match " << mine << theirs;
        return CompareSubmoduleType;
    }
    const QObjectList ours = children();
    const QObjectList others = submodule->children();
    if (ours.size() != others.size()) {
        qCDebug(lcModel) << "Different number of channels";
        return CompareChannelCount;
    }
    // Every channel is compared, pairwise in creation order.
    for (int i = 0; i < ours.size(); ++i) {
        const auto *channel = qobject_cast<const Device *>(ours.at(i));
        if (!channel)
            return CompareNotChannel;
        const CompareResult result = channel->compare(qobject_cast<const Device *>(others.at(i)));
        if (result != CompareMatch)
            return result;
    }
    return CompareMatch;
}
