// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef DEVICE_H
#define DEVICE_H

#include "moduletables.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QVariant>
#include <QVector>

#include <memory>
#include <vector>

class Property;

// Comparison results of Device::compare, turned into messages by the main window.
enum CompareResult {
    CompareMatch = 0,
    CompareNotModule = 1,
    CompareModuleType = 2,
    CompareSubmoduleCount = 3,
    CompareNotSubmodule = 4,
    CompareSubmoduleType = 5,
    CompareChannelCount = 6,
    CompareNotChannel = 7,
    CompareChannelType = 8
};

// Common base of module, submodule and channel: named parameters and the
// whole-tree operations. Child devices are the QObject children.
class Device : public QObject
{
    Q_OBJECT

public:
    explicit Device(QObject *parent = nullptr);
    ~Device() override;

    Property *property(const QString &name) const;
    QVariant value(const QString &name) const;
    // Stores a value that came from the unit, a file or the model itself:
    // it never counts as an edit. Creates the parameter when it is missing.
    void setValue(const QString &name, const QVariant &v);
    void setBitsValue(const QString &name, quint16 word, int firstBit, int bitCount);
    // words: lower register first, holding the low half of the float.
    void setFloatValue(const QString &name, const QVector<quint16> &words);
    QList<Property *> properties() const;

    bool isChanged() const;
    void setChanged(bool on);
    // Clears the mark of every edited parameter whose value `unit` (this
    // device decoded from what the unit holds) has too. Returns how many
    // parameters (or devices the unit lacks) stay marked.
    int settleMarks(const Device &unit);
    // Marks unread every parameter whose value differs between `low` and
    // `high`: this device decoded with its unread registers all 0 and all
    // 0xFFFF. Returns how many.
    int markUnread(const Device &low, const Device &high);

    virtual void fromJson(const QJsonObject &obj) = 0;
    virtual void fromTables(ModuleTables dataModule) = 0;
    virtual ModuleTables toTables(ModuleTables dataModule) const;
    virtual QJsonObject toJson() const = 0;
    virtual CompareResult compare(const Device *other) const = 0;

protected:
    QList<Device *> childDevices() const;
    // The children in the order two copies of one device pair them.
    virtual QList<Device *> pairedChildren() const { return childDevices(); }

private:
    // Owned here: parameters live as long as their device.
    std::vector<std::unique_ptr<Property>> m_properties;
};

#endif // DEVICE_H
