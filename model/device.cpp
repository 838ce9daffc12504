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

ModuleTables Device::toTables(ModuleTables dataModule)
{
    for (const auto &p : m_properties)
        p->setChanged(false);
    return dataModule;
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
