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
class Item
{
public:
    // A row of plain cells, padded to at least four columns.
    explicit Item(const QVector<QVariant> &data);
    // A channel row: its name, "Тип сигнала", "Значение канала" and
    // "Значение канала в ед. изм." (a missing parameter leaves its cell empty).
    explicit Item(Device *channel);
    virtual ~Item();

    Item(const Item &) = delete;
    Item &operator=(const Item &) = delete;

    // Takes the child and makes this row its parent.
    Item *appendChild(std::unique_ptr<Item> child);
    Item *child(int row) const;
    int childCount() const { return int(m_childItems.size()); }
    int columnCount() const { return m_itemData.size(); }
    QVariant data(int column) const;
    // Stores an edit: into the column's parameter (which emits valueChange)
    // or, for plain rows, into the cell.
    void setData(int column, const QVariant &value);
    Property *parameter(int column) const;
    int rowOf(const Item *child) const;
    Item *parentItem() const { return m_parentItem; }

    static constexpr int ColumnCount = 4;

private:
    Item *m_parentItem = nullptr; // not owned
    std::vector<std::unique_ptr<Item>> m_childItems;
    QVector<QVariant> m_itemData;
    QList<Property *> m_parameters;            // not owned, except m_nameParameter
    std::unique_ptr<Property> m_nameParameter; // the row's own label, part of no device
};

#endif // ITEM_H
