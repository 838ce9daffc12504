// SPDX-License-Identifier: GPL-3.0-or-later
#include "channel.h"
#include "modellogging.h"

#include "property.h"
#include "tableaccess.h"

#include <QDebug>

#include <algorithm>
#include <climits>

Channel::Channel(int globalNumber, QObject *parent)
    : Device(parent)
{
    setValue(ChannelParam::Number, 0);
    setValue(ChannelParam::GlobalNumber, globalNumber);
}

void Channel::fromJson(const QJsonObject &obj)
{
    // A number that is not an integer of the expected range would address
    // entries of other channels: the submodule's numbering stays then.
    const auto take = [this, &obj](const QString &key, const QString &name) {
        if (!obj.contains(key))
            return;
        const QString text = obj.value(key).toString();
        int number = 0;
        if (TableAccess::toBoundedInt(text, MaxFileNumber, &number))
            setValue(name, QVariant(text));
        else
            qCDebug(lcModel) << "Channel number ignored:" << key << text;
    };
    take(QStringLiteral("NUMBER"), ChannelParam::Number);
    take(QStringLiteral("NUMBER_GLOBAL"), ChannelParam::GlobalNumber);
}

QJsonObject Channel::toJson() const
{
    QJsonObject obj;
    obj.insert(QStringLiteral("TYPE_CHANNEL"), value(ChannelParam::Type).toString());
    obj.insert(QStringLiteral("NUMBER_GLOBAL"), value(ChannelParam::GlobalNumber).toString());
    obj.insert(QStringLiteral("NUMBER"), value(ChannelParam::Number).toString());
    return obj;
}

CompareResult Channel::compare(const Device *other) const
{
    const auto *channel = qobject_cast<const Channel *>(other);
    if (!channel)
        return CompareNotChannel;
    const QVariant mine = value(ChannelParam::Type);
    const QVariant theirs = channel->value(ChannelParam::Type);
    if (mine != theirs) {
        qCDebug(lcModel) << "Type channel does not match " << mine << theirs;
        return CompareChannelType;
    }
    return CompareMatch;
}

int Channel::globalNumber() const
{
    return value(ChannelParam::GlobalNumber).toInt();
}

int Channel::channelNumber() const
{
    return value(ChannelParam::Number).toInt();
}

bool Channel::setGlobalNumber(int number)
{
    if (value(ChannelParam::GlobalNumber) == QVariant(number))
        return false;
    setValue(ChannelParam::GlobalNumber, number);
    placeRegisters();
    return true;
}

void Channel::describe(const QString &name, int valueType, int registerType, int base, int stride,
                       bool editable, int scale)
{
    Property *p = property(name);
    if (!p)
        return;
    p->setValueType(valueType);
    p->setRegisterType(registerType);
    p->setEditable(editable);
    p->setScale(scale);
    m_spots.erase(std::remove_if(m_spots.begin(), m_spots.end(),
                                 [&name](const Spot &spot) { return spot.name == name; }),
                  m_spots.end());
    m_spots.append({name, base, stride});
    placeRegisters();
}

void Channel::placeRegisters()
{
    // Channel numbers are small; an absurd one gives no register at all.
    const qint64 g = globalNumber();
    for (const Spot &spot : qAsConst(m_spots)) {
        const qint64 address = spot.base + qint64(spot.stride) * g;
        if (Property *p = property(spot.name))
            p->setAddress(address >= 0 && address <= INT_MAX ? int(address) : -1);
    }
}
