// SPDX-License-Identifier: GPL-3.0-or-later
#include "analogchannel.h"
#include "modellogging.h"

#include "codes.h"
#include "property.h"
#include "tableaccess.h"

#include <QDebug>

namespace {

QMap<int, QString> namesOf(const QStringList &list)
{
    QMap<int, QString> names;
    for (int i = 0; i < list.size(); ++i)
        names.insert(i, list.at(i));
    return names;
}

const QString keySignalType = QStringLiteral("SIGNAL_TYPE");
const QString keyLowerLimit = QStringLiteral("LOWER_LIMIT");
const QString keyUpperLimit = QStringLiteral("UPPER_LIMIT");
const QString keyDataFormat = QStringLiteral("DATA_FORMAT");
const QString keyMultiplier = QStringLiteral("DECIMAL_OFFSET");

} // namespace

AnalogChannel::AnalogChannel(int globalNumber, QObject *parent)
    : Channel(globalNumber, parent)
{
    setValue(ChannelParam::SignalType, 0);
    setValue(ChannelParam::LowerLimit, 0);
    setValue(ChannelParam::UpperLimit, 100);
    setValue(ChannelParam::DataFormat, 0);
    setValue(ChannelParam::Multiplier, 0);
    property(ChannelParam::DataFormat)->setEnumNames(namesOf(dataFormatList()));
    property(ChannelParam::Multiplier)->setEnumNames(namesOf(multiplierList()));
}

void AnalogChannel::fromJson(const QJsonObject &obj)
{
    Channel::fromJson(obj);
    const QList<QPair<QString, QString>> keys = {
        {keySignalType, ChannelParam::SignalType}, {keyLowerLimit, ChannelParam::LowerLimit},
        {keyUpperLimit, ChannelParam::UpperLimit}, {keyDataFormat, ChannelParam::DataFormat},
        {keyMultiplier, ChannelParam::Multiplier},
    };
    for (const auto &key : keys) {
        if (obj.contains(key.first))
            setValue(key.second, QVariant(obj.value(key.first).toString()));
    }
}

QJsonObject AnalogChannel::toJson() const
{
    QJsonObject obj = Channel::toJson();
    obj.insert(keySignalType, value(ChannelParam::SignalType).toString());
    obj.insert(keyLowerLimit, value(ChannelParam::LowerLimit).toString());
    obj.insert(keyUpperLimit, value(ChannelParam::UpperLimit).toString());
    obj.insert(keyDataFormat, value(ChannelParam::DataFormat).toString());
    obj.insert(keyMultiplier, value(ChannelParam::Multiplier).toString());
    return obj;
}

int AnalogChannel::valueTypeOfFormat(const QVariant &format)
{
    // Variant equality, so the text "1" from a file counts as 1.
    if (format == QVariant(0))
        return ValueInt16;
    if (format == QVariant(1))
        return ValueFloat32;
    if (format == QVariant(2))
        return ValueInt32;
    return -1;
}

void AnalogChannel::updateType()
{
    const int type = valueTypeOfFormat(value(ChannelParam::DataFormat));
    Property *p = property(ChannelParam::Value);
    if (type >= 0 && p)
        p->setValueType(type);
}

void AnalogChannel::decodeSettings(const Tables &tables, const TableNames &names)
{
    const qint64 g = globalNumber();

    if (tables.types.isEmpty())
        qCDebug(lcModel) << names.typesEmpty;
    else if (!TableAccess::holds(tables.types, g))
        qCDebug(lcModel) << names.typesShort << g;
    else
        setValue(ChannelParam::SignalType, int(tables.types.at(int(g))));

    if (tables.limits.isEmpty()) {
        qCDebug(lcModel) << names.limitsEmpty;
    } else if (!TableAccess::holds(tables.limits, 4 * g, 4)) {
        qCDebug(lcModel) << names.limitsShort << 4 * g + 4;
    } else {
        const int i = int(4 * g);
        setFloatValue(ChannelParam::LowerLimit, {tables.limits.at(i), tables.limits.at(i + 1)});
        setFloatValue(ChannelParam::UpperLimit, {tables.limits.at(i + 2), tables.limits.at(i + 3)});
    }

    if (tables.flags.isEmpty()) {
        qCDebug(lcModel) << names.flagsEmpty;
    } else if (!TableAccess::holds(tables.flags, 2 * g, 2)) {
        qCDebug(lcModel) << names.flagsShort << 2 * g + 2;
    } else {
        const quint16 w = tables.flags.at(int(2 * g));
        setBitsValue(ChannelParam::DataFormat, w, 4, 2);
        setBitsValue(ChannelParam::Multiplier, w, 6, 2);
    }
}

void AnalogChannel::encodeSettings(Tables *tables) const
{
    const qint64 g = globalNumber();

    quint16 type = 0;
    if (TableAccess::holds(tables->types, g)
        && TableAccess::toWord(value(ChannelParam::SignalType), "signal type", &type))
        tables->types[int(g)] = type;

    if (TableAccess::holds(tables->limits, 4 * g, 4)) {
        const int i = int(4 * g);
        floatToWords(value(ChannelParam::LowerLimit).toFloat(), &tables->limits[i],
                     &tables->limits[i + 1]);
        floatToWords(value(ChannelParam::UpperLimit).toFloat(), &tables->limits[i + 2],
                     &tables->limits[i + 3]);
    }

    if (TableAccess::holds(tables->flags, 2 * g, 2)) {
        // Two-bit fields: a larger code would spill into the neighbour field.
        const int format = value(ChannelParam::DataFormat).toInt();
        const int multiplier = value(ChannelParam::Multiplier).toInt();
        if (format < 0 || format > 3 || multiplier < 0 || multiplier > 3) {
            qCDebug(lcModel) << "Format or multiplier out of range, flags not written:" << format
                             << multiplier;
            return;
        }
        tables->flags[int(2 * g)] = quint16((multiplier * 4 + format) * 16);
        tables->flags[int(2 * g + 1)] = 0;
    }
}
