// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibrationitem.h"

#include "applogging.h"

#include "channel.h"
#include "codes.h"
#include "property.h"

CalibrationItem::CalibrationItem(const QVector<QVariant> &data)
    : m_itemData(data)
{
    while (m_itemData.size() < ColumnCount)
        m_itemData.append(QVariant());
}

CalibrationItem::CalibrationItem(Device *channel)
{
    const QString name = channelTypeName(channel->value(ChannelParam::Type).toInt())
                         + QLatin1Char(' ')
                         + QString::number(channel->value(ChannelParam::Number).toInt() + 1);
    m_nameParameter = std::make_unique<Property>(QString(), nullptr, name);
    m_parameters
        = {m_nameParameter.get(), channel->property(ChannelParam::SignalType),
           channel->property(ChannelParam::RawValue), channel->property(ChannelParam::Value)};
}

CalibrationItem::~CalibrationItem()
{
    qCDebug(lcApp) << "~CalibrationItem()";
}

CalibrationItem *CalibrationItem::appendChild(std::unique_ptr<CalibrationItem> child)
{
    child->m_parentItem = this;
    m_childItems.push_back(std::move(child));
    return m_childItems.back().get();
}

CalibrationItem *CalibrationItem::child(int row) const
{
    if (row < 0 || row >= childCount())
        return nullptr;
    return m_childItems[size_t(row)].get();
}

QVariant CalibrationItem::data(int column) const
{
    if (!m_parameters.isEmpty()) {
        const Property *p = parameter(column);
        return p ? p->displayValue() : QVariant();
    }
    return m_itemData.value(column);
}

void CalibrationItem::setData(int column, const QVariant &value)
{
    Property *p = parameter(column);
    if (!p) {
        if (m_parameters.isEmpty() && column >= 0 && column < m_itemData.size())
            m_itemData[column] = value;
        return;
    }
    switch (p->valueType()) {
    case ValueInt16:
    case ValueUInt16:
    case ValueInt32:
    case ValueFloat32:
        p->setScaledValue(value);
        break;
    case ValueEnum:
        // A code stays an integer code.
        p->setValue(QVariant(value.toInt()));
        break;
    default:
        p->setValue(value);
        break;
    }
}

Property *CalibrationItem::parameter(int column) const
{
    return m_parameters.value(column, nullptr);
}

int CalibrationItem::rowOf(const CalibrationItem *child) const
{
    for (size_t i = 0; i < m_childItems.size(); ++i) {
        if (m_childItems[i].get() == child)
            return int(i);
    }
    return -1;
}
