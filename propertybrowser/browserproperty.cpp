// SPDX-License-Identifier: GPL-3.0-or-later
#include "browserproperty.h"

#include "propertymanager.h"

#include <QLocale>
#include <QStringList>

BrowserProperty::BrowserProperty(PropertyManager *manager, Type type, const QString &name)
    : m_manager(manager)
    , m_type(type)
    , m_name(name)
{}

void BrowserProperty::setPropertyName(const QString &name)
{
    if (name == m_name)
        return;
    m_name = name;
    m_manager->notifyNameChanged(this);
}

void BrowserProperty::setValue(const QVariant &value)
{
    m_manager->setValue(this, value);
}

bool BrowserProperty::setAttribute(const QString &attribute, const QVariant &value)
{
    return m_manager->setAttribute(this, attribute, value);
}

QVariant BrowserProperty::attributeValue(const QString &attribute) const
{
    return m_manager->attributeValue(this, attribute);
}

void BrowserProperty::addSubProperty(BrowserProperty *property)
{
    insertSubProperty(property, m_subProperties.isEmpty() ? nullptr : m_subProperties.last());
}

void BrowserProperty::insertSubProperty(BrowserProperty *property, BrowserProperty *after)
{
    if (!property || m_subProperties.contains(property))
        return;
    // A row inside its own subtree would make the tree endless.
    if (property->isAncestorOrSelf(this)) {
        qWarning("BrowserProperty: '%s' cannot become a sub-row of itself",
                 qUtf8Printable(property->propertyName()));
        return;
    }
    if (after && !m_subProperties.contains(after))
        return;
    const int position = after ? m_subProperties.indexOf(after) + 1 : 0;
    m_subProperties.insert(position, property);
    property->m_parents.append(this);
    m_manager->notifyInserted(property, this, after);
}

void BrowserProperty::removeSubProperty(BrowserProperty *property)
{
    if (!m_subProperties.removeOne(property))
        return;
    property->m_parents.removeOne(this);
    m_manager->notifyRemoved(property, this);
}

bool BrowserProperty::isAncestorOrSelf(const BrowserProperty *property) const
{
    if (property == this)
        return true;
    for (const BrowserProperty *sub : m_subProperties) {
        if (sub->isAncestorOrSelf(property))
            return true;
    }
    return false;
}

bool BrowserProperty::isEditable() const
{
    if (m_type == Group || m_type == ReadOnlyText)
        return false;
    return !m_attributes.value(PropertyAttribute::ReadOnly).toBool();
}

QString BrowserProperty::valueText() const
{
    switch (m_type) {
    case Integer:
        return QString::number(m_value.toInt());
    case Real:
        return QLocale().toString(m_value.toDouble(), 'f',
                                  m_attributes.value(PropertyAttribute::Decimals).toInt());
    case Text:
    case ReadOnlyText:
        return m_value.toString();
    case Enumeration:
        return m_attributes.value(PropertyAttribute::EnumNames)
            .toStringList()
            .value(m_value.toInt());
    case Group:
        break;
    }
    return QString();
}
