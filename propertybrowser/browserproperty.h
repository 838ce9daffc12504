// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef BROWSERPROPERTY_H
#define BROWSERPROPERTY_H

#include "propertyattributes.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>

class PropertyManager;

// One row of a property browser: a name, a typed value kept within its
// attributes, and an ordered list of sub-rows. Made and owned by a
// PropertyManager; nobody else deletes it.
class BrowserProperty
{
public:
    enum Type { Integer, Real, Text, Enumeration, Group, ReadOnlyText };

    BrowserProperty(const BrowserProperty &) = delete;
    BrowserProperty &operator=(const BrowserProperty &) = delete;

    Type type() const { return m_type; }
    PropertyManager *manager() const { return m_manager; }

    QString propertyName() const { return m_name; }
    void setPropertyName(const QString &name);

    // The manager decides what is taken (see PropertyManager::setValue);
    // read value() back to learn it.
    QVariant value() const { return m_value; }
    void setValue(const QVariant &value);

    bool setAttribute(const QString &attribute, const QVariant &value);
    QVariant attributeValue(const QString &attribute) const;

    // Sub-rows are not owned: they belong to their own manager, which may
    // be another one than this row's.
    void addSubProperty(BrowserProperty *property);
    void insertSubProperty(BrowserProperty *property, BrowserProperty *after);
    void removeSubProperty(BrowserProperty *property);
    QList<BrowserProperty *> subProperties() const { return m_subProperties; }
    QList<BrowserProperty *> parentProperties() const { return m_parents; }

    // Whether an editor may be opened on the row at all.
    bool isEditable() const;
    // The text the value column shows.
    QString valueText() const;

private:
    friend class PropertyManager;
    friend struct std::default_delete<BrowserProperty>;

    BrowserProperty(PropertyManager *manager, Type type, const QString &name);
    ~BrowserProperty() = default;

    bool isAncestorOrSelf(const BrowserProperty *property) const;

    PropertyManager *m_manager; // not owned, outlives the row
    Type m_type;
    QString m_name;
    QVariant m_value;
    QVariantMap m_attributes;
    QList<BrowserProperty *> m_subProperties; // not owned
    QList<BrowserProperty *> m_parents;       // not owned
};

#endif // BROWSERPROPERTY_H
