// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PROPERTY_H
#define PROPERTY_H

#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

class Device;

// One named parameter of a device: its value, its edit state and the
// register that holds it on the unit.
class Property : public QObject
{
    Q_OBJECT

public:
    Property(QString name, Device *device, QVariant value);
    ~Property() override;

    QString name() const { return m_name; }
    QVariant value() const { return m_value; }
    QVariant oldValue() const { return m_oldValue; }
    QMap<int, QString> enumNames() const { return m_enumNames; }
    int valueType() const { return m_valueType; }
    int registerType() const { return m_registerType; }
    int address() const { return m_address; }
    int scale() const { return m_scale; }
    bool isEditable() const { return m_editable; }
    bool isChanged() const { return m_changed; }
    // Its registers were not read from the unit: the value is a default.
    bool isUnread() const { return m_unread; }
    Device *device() const { return m_device; }

    // Stores a different value and marks the parameter edited; the value
    // before the first edit is kept in oldValue.
    void setValue(QVariant v);
    void setScaledValue(QVariant v);
    void setValueType(int type);
    void setRegisterType(int type) { m_registerType = type; }
    void setAddress(int address) { m_address = address; }
    void setScale(int scale) { m_scale = scale; }
    void setEditable(bool editable) { m_editable = editable; }
    void setEnumNames(QMap<int, QString> names) { m_enumNames = std::move(names); }
    void setChanged(bool changed) { m_changed = changed; }
    void setUnread(bool unread) { m_unread = unread; }

    QVariant displayValue() const;

signals:
    void valueChange();
    void typeChange();

private:
    const QString m_name;
    QVariant m_value;
    QVariant m_oldValue{int(-1)};
    int m_scale = 1;
    QMap<int, QString> m_enumNames;
    int m_valueType = 10;
    Device *m_device; // not owned
    bool m_editable = false;
    bool m_changed = false;
    bool m_unread = false;
    int m_address = -1;
    int m_registerType = 0;
};

#endif // PROPERTY_H
