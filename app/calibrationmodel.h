// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODEL_H
#define MODEL_H

#include <QAbstractItemModel>
#include <QHash>
#include <QPersistentModelIndex>

#include <memory>

class CalibrationItem;
class Module;
class Property;

// Tree of the analog boards (AI, AIO, TMP) and their channels for the
// calibration dialog: name, signal type, raw code and value of each channel.
class CalibrationModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit CalibrationModel(Module *module, QObject *parent = nullptr);
    ~CalibrationModel() override;

    QModelIndex index(int row, int column,
                      const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The cell that shows this parameter, or an invalid index.
    QModelIndex indexOf(const Property *parameter) const;
    // Repaints the cell of a parameter whose value was stored without signals.
    void parameterChanged(const Property *parameter);
    // Greys the parameters' cells while the values they show are not the unit's any more.
    void setStale(bool stale);
    bool isStale() const { return m_stale; }

private:
    CalibrationItem *itemOf(const QModelIndex &index) const;
    void build(Module *module);

    std::unique_ptr<CalibrationItem> m_rootItem;
    QHash<const Property *, QPersistentModelIndex> m_cells;
    bool m_stale = false;
};

#endif // MODEL_H
