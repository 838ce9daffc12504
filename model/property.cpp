// SPDX-License-Identifier: GPL-3.0-or-later
#include "property.h"

#include "codes.h"

Property::Property(QString name, Device *device, QVariant value)
    : m_name(std::move(name))
    , m_value(std::move(value))
    , m_device(device)
{}

Property::~Property() = default;

void Property::setValue(QVariant v)
{
    if (v == m_value)
        return;
    if (!m_changed) {
        m_oldValue = m_value;
        m_changed = true;
    }
    m_value = std::move(v);
    emit valueChange();
}

void Property::setScaledValue(QVariant v)
{
    setValue(QVariant(float(v.toFloat()) * float(m_scale)));
}

void Property::setValueType(int type)
{
    if (type == m_valueType)
        return;
    m_valueType = type;
    emit typeChange();
}

QVariant Property::displayValue() const
{
    switch (m_valueType) {
    case ValueInt16:
        return QVariant(m_value.toInt());
    case ValueUInt16:
        return QVariant(m_value.toUInt());
    case ValueInt32:
    case ValueFloat32:
        return QVariant(m_value.toFloat());
    default:
        return m_value;
    }
}
