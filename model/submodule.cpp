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
{
    setValue(SubmoduleParam::Slot, 0);
    setValue(SubmoduleParam::Type, type);
}

int Submodule::counter(int family) const
{
    return m_module ? m_module->counter(Module::Family(family)) : 0;
}

void Submodule::advance(int family, int count)
{
    if (m_module)
        m_module->advanceCounter(Module::Family(family), count);
}

void Submodule::reserve(int analogInputs, int analogOutputs, int discreteInputs,
                        int discreteOutputs, int countingDI, int countingDI6, int stepperOutputs)
{
    m_analogInputs = analogInputs;
    m_analogOutputs = analogOutputs;
    m_discreteInputs = discreteInputs;
    m_discreteOutputs = discreteOutputs;
    m_countingDI = countingDI;
    m_countingDI6 = countingDI6;
    m_stepperOutputs = stepperOutputs;
    advance(Module::AnalogInputs, analogInputs);
    advance(Module::AnalogOutputs, analogOutputs);
    advance(Module::DiscreteInputs, discreteInputs);
    advance(Module::DiscreteOutputs, discreteOutputs);
    advance(Module::CountingDI, countingDI);
    advance(Module::CountingDI6, countingDI6);
    advance(Module::StepperOutputs, stepperOutputs);
}

int Submodule::firstNumber(int family, int count) const
{
    // Without a module there is nothing to share numbers with.
    if (!m_module)
        return 0;
    return counter(family) - count;
}

void Submodule::addChannel(Channel *channel, int number)
{
    channel->setValue(ChannelParam::Number, number);
    m_channels.append(channel);
}

void Submodule::createChannels()
{
    const int ai = firstNumber(Module::AnalogInputs, m_analogInputs);
    for (int i = 0; i < m_analogInputs; ++i)
        addChannel(new AnalogInput(ai + i, this), i);

    const int ao = firstNumber(Module::AnalogOutputs, m_analogOutputs);
    for (int i = 0; i < m_analogOutputs; ++i)
        addChannel(new AnalogOutput(ao + i, this), i);

    const int di = firstNumber(Module::DiscreteInputs, m_discreteInputs);
    for (int i = 0; i < m_discreteInputs; ++i) {
        auto *input = new DigitalInput(di + i, this);
        addChannel(input, i);
        if (i == 2 || i == 3)
            input->addAntibounce();
    }

    const int dout = firstNumber(Module::DiscreteOutputs, m_discreteOutputs);
    for (int i = 0; i < m_discreteOutputs; ++i)
        addChannel(new DigitalOutput(dout + i, this), i);

    // DI and DI6 boards share one numbering of counting registers.
    const int counting = m_module ? counter(Module::CountingDI) + counter(Module::CountingDI6) : 0;
    for (int i = 0; i < m_countingDI; ++i)
        addChannel(new DigitalInputCounting(counting - (m_module ? m_countingDI : 0) + i, this),
                   2 + i);
    for (int i = 0; i < m_countingDI6; ++i)
        addChannel(new DigitalInputCounting(counting - (m_module ? m_countingDI6 : 0) + i, this),
                   2 + i);

    const int stepper = firstNumber(Module::StepperOutputs, m_stepperOutputs);
    static const int stepperNumbers[] = {1, 4};
    for (int i = 0; i < m_stepperOutputs; ++i)
        addChannel(new DOStepperMotor(stepper + i, this), stepperNumbers[i % 2]);

    if (m_countingDI > 0)
        advance(Module::CountingDI, SpareCountingDI);
    if (m_countingDI6 > 0)
        advance(Module::CountingDI6, SpareCountingDI6);
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
    take(Module::AnalogInputs, m_analogInputs, m_analogInputs);
    take(Module::AnalogOutputs, m_analogOutputs, m_analogOutputs);
    take(Module::DiscreteInputs, m_discreteInputs, m_discreteInputs);
    take(Module::DiscreteOutputs, m_discreteOutputs, m_discreteOutputs);
    // DI and DI6 boards share one numbering of counting registers.
    take(Module::CountingDI, m_countingDI, m_countingDI > 0 ? m_countingDI + SpareCountingDI : 0);
    take(Module::CountingDI, m_countingDI6,
         m_countingDI6 > 0 ? m_countingDI6 + SpareCountingDI6 : 0);
    take(Module::StepperOutputs, m_stepperOutputs, m_stepperOutputs);
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

ModuleTables Submodule::toTables(ModuleTables dataModule)
{
    dataModule = Device::toTables(dataModule);
    for (Device *child : childDevices())
        dataModule = child->toTables(dataModule);
    return dataModule;
}

QJsonObject Submodule::toJson()
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

int Submodule::compare(Device *other)
{
    auto *submodule = qobject_cast<Submodule *>(other);
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
        auto *channel = qobject_cast<Device *>(ours.at(i));
        if (!channel)
            return CompareNotChannel;
        const int result = channel->compare(qobject_cast<Device *>(others.at(i)));
        if (result != CompareMatch)
            return result;
    }
    return CompareMatch;
}

OK4Submodule::OK4Submodule(Module *parent)
    : Submodule(SubmoduleDO4, parent)
{
    reserve(0, 0, 0, 4, 0, 0, 0);
    createChannels();
}

SM2Submodule::SM2Submodule(Module *parent)
    : Submodule(SubmoduleSIM, parent)
{
    reserve(0, 0, 0, 2, 0, 0, 0);
    createChannels();
}

RL2Submodule::RL2Submodule(Module *parent)
    : Submodule(SubmoduleR, parent)
{
    reserve(0, 0, 0, 2, 0, 0, 0);
    createChannels();
}

A2_4Submodule::A2_4Submodule(Module *parent)
    : Submodule(SubmoduleAI, parent)
{
    reserve(4, 0, 0, 0, 0, 0, 0);
    createChannels();
}

A1_2_2Submodule::A1_2_2Submodule(Module *parent)
    : Submodule(SubmoduleAIO, parent)
{
    reserve(2, 2, 0, 0, 0, 0, 0);
    createChannels();
}

U1_4Submodule::U1_4Submodule(Module *parent)
    : Submodule(SubmoduleDI, parent)
{
    reserve(0, 0, 4, 0, 2, 0, 0);
    createChannels();
}

TM_2Submodule::TM_2Submodule(Module *parent)
    : Submodule(SubmoduleTMP, parent)
{
    reserve(2, 0, 0, 0, 0, 0, 0);
    createChannels();
}

void TM_2Submodule::createChannels()
{
    const int first = firstNumber(Module::AnalogInputs, 2);
    for (int i = 0; i < 2; ++i)
        addChannel(new TemperatureInput(first + i, this), i);
}

OK_6Submodule::OK_6Submodule(Module *parent)
    : Submodule(SubmoduleDO6, parent)
{
    reserve(0, 0, 0, 6, 0, 0, 2);
    createChannels();
}

ENI2Submodule::ENI2Submodule(Module *parent)
    : Submodule(SubmoduleENI2, parent)
{}

DI_6Submodule::DI_6Submodule(Module *parent)
    : Submodule(SubmoduleDI6, parent)
{
    reserve(0, 0, 6, 0, 0, 2, 0);
    createChannels();
}
