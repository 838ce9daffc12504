// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ITEM_H
#define ITEM_H

#include <QList>
#include <QVariant>
#include <QVector>

#include <memory>
#include <vector>

class Device;
class Property;

// One row of the calibration table. The root and the submodule rows hold
// plain cells; a channel row shows one parameter per column.
class CalibrationItem
{
public:
    // A row of plain cells, padded to at least four columns.
    explicit CalibrationItem(const QVector<QVariant> &data);
    // A channel row: its name, "Тип сигнала", "Значение канала" and
    // "Значение канала в ед. изм." (a missing parameter leaves its cell empty).
    explicit CalibrationItem(Device *channel);
    virtual ~CalibrationItem();

    CalibrationItem(const CalibrationItem &) = delete;
    CalibrationItem &operator=(const CalibrationItem &) = delete;

    // Takes the child and makes this row its parent.
    CalibrationItem *appendChild(std::unique_ptr<CalibrationItem> child);
    CalibrationItem *child(int row) const;
    int childCount() const { return int(m_childItems.size()); }
    int columnCount() const { return m_itemData.size(); }
    QVariant data(int column) const;
    // Stores an edit: into the column's parameter (which emits valueChange)
    // or, for plain rows, into the cell.
    void setData(int column, const QVariant &value);
    Property *parameter(int column) const;
    int rowOf(const CalibrationItem *child) const;
    CalibrationItem *parentItem() const { return m_parentItem; }

    static constexpr int ColumnCount = 4;

private:
    CalibrationItem *m_parentItem = nullptr; // not owned
    std::vector<std::unique_ptr<CalibrationItem>> m_childItems;
    QVector<QVariant> m_itemData;
    QList<Property *> m_parameters;            // not owned, except m_nameParameter
    std::unique_ptr<Property> m_nameParameter; // the row's own label, part of no device
};

#endif // ITEM_H
