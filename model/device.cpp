// SPDX-License-Identifier: GPL-3.0-or-later
#include "device.h"
#include "modellogging.h"

#include "codes.h"
#include "property.h"

#include <QDebug>

Device::Device(QObject *parent)
    : QObject(parent)
{}

Device::~Device() = default;

Property *Device::property(const QString &name) const
{
    for (const auto &p : m_properties) {
        if (p->name() == name)
            return p.get();
    }
    return nullptr;
}

QVariant Device::value(const QString &name) const
{
    const Property *p = property(name);
    return p ? p->value() : QVariant();
}

void Device::setValue(const QString &name, const QVariant &v)
{
    if (Property *p = property(name)) {
        p->setValue(v);
        p->setChanged(false);
        return;
    }
    m_properties.push_back(std::make_unique<Property>(name, this, v));
}

void Device::setBitsValue(const QString &name, quint16 word, int firstBit, int bitCount)
{
    setValue(name, QVariant(int(bitsToValue(wordToBits(word).mid(firstBit, bitCount)))));
}

void Device::setFloatValue(const QString &name, const QVector<quint16> &words)
{
    if (words.isEmpty()) {
        qCDebug(lcModel) << "setFloatValue: no words for" << name;
        return;
    }
    setValue(name, QVariant(wordsToFloat(words.first(), words.last())));
}

QList<Property *> Device::properties() const
{
    QList<Property *> list;
    list.reserve(int(m_properties.size()));
    for (const auto &p : m_properties)
        list.append(p.get());
    return list;
}

bool Device::isChanged() const
{
    for (const auto &p : m_properties) {
        if (p->isChanged())
            return true;
    }
    for (const Device *child : childDevices()) {
        if (child->isChanged())
            return true;
    }
    return false;
}

void Device::setChanged(bool on)
{
    for (const auto &p : m_properties)
        p->setChanged(on);
    for (Device *child : childDevices())
        child->setChanged(on);
}

// Encoding has no side effects: a mark goes only when the unit holds the value.
ModuleTables Device::toTables(ModuleTables dataModule) const
{
    return dataModule;
}

namespace {

// A value from a file may be text where the unit's decodes as a number.
bool sameValue(const QVariant &mine, const QVariant &unit)
{
    bool mineIsNumber = false;
    bool unitIsNumber = false;
    const double a = mine.toDouble(&mineIsNumber);
    const double b = unit.toDouble(&unitIsNumber);
    if (mineIsNumber && unitIsNumber)
        return float(a) == float(b);
    return mine.toString() == unit.toString();
}

} // namespace

int Device::settleMarks(const Device &unit)
{
    int marked = 0;
    for (const auto &p : m_properties) {
        const Property *held = unit.property(p->name());
        if (p->isChanged() && held && sameValue(p->value(), held->value()))
            p->setChanged(false);
        marked += p->isChanged() ? 1 : 0;
    }
    const QList<Device *> mine = pairedChildren();
    const QList<Device *> theirs = unit.pairedChildren();
    for (int i = 0; i < mine.size(); ++i) {
        // A device the unit lacks keeps its marks.
        marked += i < theirs.size() ? mine.at(i)->settleMarks(*theirs.at(i))
                                    : int(mine.at(i)->isChanged());
    }
    return marked;
}

QList<Device *> Device::childDevices() const
{
    QList<Device *> devices;
    for (QObject *child : children()) {
        if (auto *device = qobject_cast<Device *>(child))
            devices.append(device);
    }
    return devices;
}

int Device::markUnread(const Device &low, const Device &high)
{
    int unread = 0;
    for (const auto &p : m_properties) {
        const Property *a = low.property(p->name());
        const Property *b = high.property(p->name());
        p->setUnread(a && b && !sameValue(a->value(), b->value()));
        unread += p->isUnread() ? 1 : 0;
    }
    const QList<Device *> mine = pairedChildren();
    const QList<Device *> lows = low.pairedChildren();
    const QList<Device *> highs = high.pairedChildren();
    for (int i = 0; i < mine.size() && i < lows.size() && i < highs.size(); ++i)
        unread += mine.at(i)->markUnread(*lows.at(i), *highs.at(i));
    return unread;
}
