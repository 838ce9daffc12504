// SPDX-License-Identifier: GPL-3.0-or-later
#include "propertymanager.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Beyond this a double no longer has room for the fraction digits.
constexpr int kMaxDecimals = 13;

double roundedTo(double value, int decimals)
{
    // Decimal text rounding gives the same value the spin box shows.
    return QString::number(value, 'f', decimals).toDouble();
}

double toDouble(const QVariant &value, bool *ok)
{
    const double result = value.toDouble(ok);
    if (*ok && std::isnan(result))
        *ok = false;
    return result;
}

// An empty pattern sets no rule.
bool wholeMatch(const QVariant &expression, const QString &text)
{
    if (expression.userType() == QMetaType::QRegularExpression) {
        const QRegularExpression given = expression.toRegularExpression();
        if (given.pattern().isEmpty())
            return true;
        const QRegularExpression anchored(QRegularExpression::anchoredPattern(given.pattern()),
                                          given.patternOptions());
        return anchored.match(text).hasMatch();
    }
    return true;
}

} // namespace

PropertyManager::PropertyManager(QObject *parent)
    : QObject(parent)
{}

PropertyManager::~PropertyManager()
{
    clear();
}

BrowserProperty *PropertyManager::addProperty(BrowserProperty::Type type, const QString &name)
{
    std::unique_ptr<BrowserProperty> property(new BrowserProperty(this, type, name));
    QVariantMap &attributes = property->m_attributes;
    switch (type) {
    case BrowserProperty::Integer:
        attributes.insert(PropertyAttribute::Minimum, std::numeric_limits<int>::min());
        attributes.insert(PropertyAttribute::Maximum, std::numeric_limits<int>::max());
        attributes.insert(PropertyAttribute::SingleStep, 1);
        attributes.insert(PropertyAttribute::ReadOnly, false);
        property->m_value = 0;
        break;
    case BrowserProperty::Real:
        attributes.insert(PropertyAttribute::Minimum, std::numeric_limits<double>::lowest());
        attributes.insert(PropertyAttribute::Maximum, std::numeric_limits<double>::max());
        attributes.insert(PropertyAttribute::Decimals, 2);
        attributes.insert(PropertyAttribute::SingleStep, 1.0);
        attributes.insert(PropertyAttribute::ReadOnly, false);
        property->m_value = 0.0;
        break;
    case BrowserProperty::Text:
        attributes.insert(PropertyAttribute::RegExp, QRegularExpression());
        attributes.insert(PropertyAttribute::ReadOnly, false);
        property->m_value = QString();
        break;
    case BrowserProperty::ReadOnlyText:
        attributes.insert(PropertyAttribute::ReadOnly, true);
        property->m_value = QString();
        break;
    case BrowserProperty::Enumeration:
        attributes.insert(PropertyAttribute::EnumNames, QStringList());
        attributes.insert(PropertyAttribute::ReadOnly, false);
        property->m_value = -1;
        break;
    case BrowserProperty::Group:
        break;
    }
    m_properties.push_back(std::move(property));
    return m_properties.back().get();
}

QList<BrowserProperty *> PropertyManager::properties() const
{
    QList<BrowserProperty *> result;
    result.reserve(int(m_properties.size()));
    for (const auto &property : m_properties)
        result.append(property.get());
    return result;
}

bool PropertyManager::hasProperty(const BrowserProperty *property) const
{
    return std::any_of(m_properties.cbegin(), m_properties.cend(),
                       [property](const auto &own) { return own.get() == property; });
}

void PropertyManager::deleteProperty(BrowserProperty *property)
{
    const auto found = std::find_if(m_properties.begin(), m_properties.end(),
                                    [property](const auto &own) { return own.get() == property; });
    if (!property || found == m_properties.end())
        return;
    const auto parents = property->m_parents;
    for (BrowserProperty *parent : parents)
        parent->removeSubProperty(property);
    const auto subProperties = property->m_subProperties;
    for (BrowserProperty *sub : subProperties)
        property->removeSubProperty(sub);
    emit propertyDestroyed(property);
    m_properties.erase(found);
}

void PropertyManager::clear()
{
    // Rows of this manager may sit inside rows of other managers and the
    // other way round, so every link is cut before anything is freed.
    for (const auto &property : m_properties) {
        const auto parents = property->m_parents;
        for (BrowserProperty *parent : parents)
            parent->removeSubProperty(property.get());
        const auto subProperties = property->m_subProperties;
        for (BrowserProperty *sub : subProperties)
            property->removeSubProperty(sub);
    }
    for (const auto &property : m_properties)
        emit propertyDestroyed(property.get());
    m_properties.clear();
}

QVariant PropertyManager::value(const BrowserProperty *property) const
{
    return property ? property->m_value : QVariant();
}

void PropertyManager::setValue(BrowserProperty *property, const QVariant &value)
{
    if (!owns(property))
        return;
    QVariant normalized;
    if (!normalize(property, value, &normalized)) {
        qDebug("PropertyManager: value rejected for '%s'", qUtf8Printable(property->m_name));
        return;
    }
    if (normalized == property->m_value)
        return;
    property->m_value = normalized;
    emit valueChanged(property, normalized);
}

bool PropertyManager::normalize(const BrowserProperty *property, const QVariant &value,
                                QVariant *result) const
{
    const QVariantMap &attributes = property->m_attributes;
    bool ok = false;
    switch (property->m_type) {
    case BrowserProperty::Integer: {
        // Clamped as a double first, so a huge or 64-bit input cannot wrap.
        const double number = toDouble(value, &ok);
        if (!ok)
            return false;
        const double bounded
            = qBound(attributes.value(PropertyAttribute::Minimum).toDouble(), std::round(number),
                     attributes.value(PropertyAttribute::Maximum).toDouble());
        *result = int(bounded);
        return true;
    }
    case BrowserProperty::Real: {
        const double number = toDouble(value, &ok);
        if (!ok)
            return false;
        const double minimum = attributes.value(PropertyAttribute::Minimum).toDouble();
        const double maximum = attributes.value(PropertyAttribute::Maximum).toDouble();
        const int decimals = attributes.value(PropertyAttribute::Decimals).toInt();
        // Rounding may step over a limit that has more digits than shown.
        *result = qBound(minimum, roundedTo(qBound(minimum, number, maximum), decimals), maximum);
        return true;
    }
    case BrowserProperty::Enumeration: {
        const int index = value.toInt(&ok);
        if (!ok || index < 0
            || index >= attributes.value(PropertyAttribute::EnumNames).toStringList().size())
            return false;
        *result = index;
        return true;
    }
    case BrowserProperty::Text:
    case BrowserProperty::ReadOnlyText: {
        if (!value.canConvert<QString>())
            return false;
        const QString text = value.toString();
        if (!wholeMatch(attributes.value(PropertyAttribute::RegExp), text))
            return false;
        *result = text;
        return true;
    }
    case BrowserProperty::Group:
        break;
    }
    return false;
}

QStringList PropertyManager::attributeNames(BrowserProperty::Type type)
{
    switch (type) {
    case BrowserProperty::Integer:
        return {PropertyAttribute::Minimum, PropertyAttribute::Maximum,
                PropertyAttribute::SingleStep, PropertyAttribute::ReadOnly};
    case BrowserProperty::Real:
        return {PropertyAttribute::Minimum, PropertyAttribute::Maximum, PropertyAttribute::Decimals,
                PropertyAttribute::SingleStep, PropertyAttribute::ReadOnly};
    case BrowserProperty::Text:
        return {PropertyAttribute::RegExp, PropertyAttribute::ReadOnly};
    case BrowserProperty::ReadOnlyText:
        return {PropertyAttribute::ReadOnly};
    case BrowserProperty::Enumeration:
        return {PropertyAttribute::EnumNames, PropertyAttribute::ReadOnly};
    case BrowserProperty::Group:
        break;
    }
    return {};
}

bool PropertyManager::setAttribute(BrowserProperty *property, const QString &attribute,
                                   const QVariant &value)
{
    if (!owns(property))
        return false;
    QVariant checked;
    if (!checkedAttribute(property, attribute, value, &checked)) {
        qWarning("PropertyManager: attribute '%s' refused for '%s'", qUtf8Printable(attribute),
                 qUtf8Printable(property->m_name));
        return false;
    }
    QVariantMap &attributes = property->m_attributes;
    if (attributes.value(attribute) == checked)
        return true;
    attributes.insert(attribute, checked);
    emit attributeChanged(property, attribute, checked);

    // A minimum above the maximum drags the maximum along, and back.
    if (attribute == PropertyAttribute::Minimum
        && checked.toDouble() > attributes.value(PropertyAttribute::Maximum).toDouble()) {
        attributes.insert(PropertyAttribute::Maximum, checked);
        emit attributeChanged(property, PropertyAttribute::Maximum, checked);
    } else if (attribute == PropertyAttribute::Maximum
               && checked.toDouble() < attributes.value(PropertyAttribute::Minimum).toDouble()) {
        attributes.insert(PropertyAttribute::Minimum, checked);
        emit attributeChanged(property, PropertyAttribute::Minimum, checked);
    }
    renormalizeValue(property);
    return true;
}

QVariant PropertyManager::attributeValue(const BrowserProperty *property,
                                         const QString &attribute) const
{
    return property ? property->m_attributes.value(attribute) : QVariant();
}

bool PropertyManager::checkedAttribute(const BrowserProperty *property, const QString &attribute,
                                       const QVariant &value, QVariant *result) const
{
    const BrowserProperty::Type type = property->m_type;
    if (!attributeNames(type).contains(attribute))
        return false;
    bool ok = false;
    if (attribute == PropertyAttribute::ReadOnly) {
        // A read-only text row stays read-only.
        if (type == BrowserProperty::ReadOnlyText && !value.toBool())
            return false;
        *result = value.toBool();
        return value.canConvert<bool>();
    }
    if (attribute == PropertyAttribute::EnumNames) {
        *result = value.toStringList();
        return value.canConvert<QStringList>();
    }
    if (attribute == PropertyAttribute::Decimals) {
        const int decimals = value.toInt(&ok);
        *result = qBound(0, decimals, kMaxDecimals);
        return ok;
    }
    if (attribute == PropertyAttribute::RegExp) {
        const QRegularExpression expression = value.userType() == QMetaType::QString
                                                  ? QRegularExpression(value.toString())
                                                  : value.toRegularExpression();
        *result = expression;
        return (value.userType() == QMetaType::QString
                || value.userType() == QMetaType::QRegularExpression)
               && expression.isValid();
    }
    // minimum, maximum, singleStep
    if (type == BrowserProperty::Integer) {
        const double number = toDouble(value, &ok);
        if (!ok || number < std::numeric_limits<int>::min()
            || number > std::numeric_limits<int>::max())
            return false;
        *result = int(std::round(number));
    } else {
        const double number = toDouble(value, &ok);
        if (!ok || std::isinf(number))
            return false;
        *result = number;
    }
    return attribute != PropertyAttribute::SingleStep || result->toDouble() > 0;
}

void PropertyManager::renormalizeValue(BrowserProperty *property)
{
    QVariant normalized;
    const QVariant current = property->m_value;
    if (normalize(property, current, &normalized)) {
        if (normalized != current) {
            property->m_value = normalized;
            emit valueChanged(property, normalized);
        }
        return;
    }
    // Only an enumeration can lose its value this way: new names without the
    // old index. A text that the new expression rejects stays, since there is
    // no matching text to fall back to; the expression guards later changes.
    if (property->m_type == BrowserProperty::Enumeration) {
        const int fallback
            = property->m_attributes.value(PropertyAttribute::EnumNames).toStringList().isEmpty()
                  ? -1
                  : 0;
        if (fallback != current.toInt()) {
            property->m_value = fallback;
            emit valueChanged(property, fallback);
        }
    }
}

void PropertyManager::notifyNameChanged(BrowserProperty *property)
{
    emit propertyChanged(property);
}

void PropertyManager::notifyInserted(BrowserProperty *property, BrowserProperty *parent,
                                     BrowserProperty *after)
{
    emit propertyInserted(property, parent, after);
}

void PropertyManager::notifyRemoved(BrowserProperty *property, BrowserProperty *parent)
{
    emit propertyRemoved(property, parent);
}
