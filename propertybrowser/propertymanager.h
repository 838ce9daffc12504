// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PROPERTYMANAGER_H
#define PROPERTYMANAGER_H

#include "browserproperty.h"

#include <QObject>
#include <QStringList>

#include <memory>
#include <vector>

// Makes, owns and guards the rows of a property browser. Every value it
// stores lies within the row's attributes:
// - Integer: clamped to "minimum" … "maximum";
// - Real: clamped to "minimum" … "maximum" and rounded to "decimals";
// - Enumeration: an index into "enumNames"; an index outside the names is
//   rejected (the old index stays); without names the index is -1;
// - Text: rejected unless the whole text matches "regExp" (when one is set).
// Read the value back after setting it to learn what was taken.
class PropertyManager : public QObject
{
    Q_OBJECT

public:
    explicit PropertyManager(QObject *parent = nullptr);
    ~PropertyManager() override;

    // The new row has no parents; it lives until deleteProperty, clear or
    // the manager's destruction.
    BrowserProperty *addProperty(BrowserProperty::Type type, const QString &name = QString());
    QList<BrowserProperty *> properties() const;
    bool hasProperty(const BrowserProperty *property) const;

    // Detaches the row from its parents and sub-rows, then deletes it.
    // Its sub-rows stay alive (they may be shown elsewhere).
    void deleteProperty(BrowserProperty *property);
    // Deletes every row of this manager.
    void clear();

    QVariant value(const BrowserProperty *property) const;
    void setValue(BrowserProperty *property, const QVariant &value);

    // False when the attribute does not apply to the row's type or the value
    // is unusable (wrong type, bad expression, non-positive step).
    bool setAttribute(BrowserProperty *property, const QString &attribute, const QVariant &value);
    QVariant attributeValue(const BrowserProperty *property, const QString &attribute) const;
    static QStringList attributeNames(BrowserProperty::Type type);

signals:
    // Emitted only when the stored value really changes.
    void valueChanged(BrowserProperty *property, const QVariant &value);
    void attributeChanged(BrowserProperty *property, const QString &attribute,
                          const QVariant &value);
    // The row's name changed.
    void propertyChanged(BrowserProperty *property);
    // Structure changes are announced by the manager of the parent row.
    void propertyInserted(BrowserProperty *property, BrowserProperty *parent,
                          BrowserProperty *after);
    void propertyRemoved(BrowserProperty *property, BrowserProperty *parent);
    // Last call before the row is deleted; drop every pointer to it.
    void propertyDestroyed(BrowserProperty *property);

private:
    friend class BrowserProperty;

    bool owns(const BrowserProperty *property) const
    {
        return property && property->manager() == this;
    }
    void notifyNameChanged(BrowserProperty *property);
    void notifyInserted(BrowserProperty *property, BrowserProperty *parent, BrowserProperty *after);
    void notifyRemoved(BrowserProperty *property, BrowserProperty *parent);

    bool normalize(const BrowserProperty *property, const QVariant &value, QVariant *result) const;
    void renormalizeValue(BrowserProperty *property);
    bool checkedAttribute(const BrowserProperty *property, const QString &attribute,
                          const QVariant &value, QVariant *result) const;

    std::vector<std::unique_ptr<BrowserProperty>> m_properties;
};

#endif // PROPERTYMANAGER_H
