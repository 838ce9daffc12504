#include "channel.h"
#include "modellogging.h"

#include "property.h"
#include "tableaccess.h"

#include <QDebug>

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

QJsonObject Channel::toJson()
{
    QJsonObject obj;
    obj.insert(QStringLiteral("TYPE_CHANNEL"), value(ChannelParam::Type).toString());
    obj.insert(QStringLiteral("NUMBER_GLOBAL"), value(ChannelParam::GlobalNumber).toString());
    obj.insert(QStringLiteral("NUMBER"), value(ChannelParam::Number).toString());
    return obj;
}

int Channel::compare(Device *other)
{
    auto *channel = qobject_cast<Channel *>(other);
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

void Channel::describe(const QString &name, int valueType, int registerType, int address,
                       bool editable, int scale)
{
    Property *p = property(name);
    if (!p)
        return;
    p->setValueType(valueType);
    p->setRegisterType(registerType);
    p->setAddress(address);
    p->setEditable(editable);
    p->setScale(scale);
}
