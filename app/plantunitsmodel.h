// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PLANTUNITSMODEL_H
#define PLANTUNITSMODEL_H

#include <plant.h>
#include <unitsession.h>

#include <QAbstractTableModel>
#include <QVector>

// The plant window's table: one row per unit of the plant, with what the
// last run over it found (answers or not, firmware, boards, the file check,
// the newest backup).
class PlantUnitsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Name, Target, Status, Firmware, Boards, File, Backup, ColumnCount };

    explicit PlantUnitsModel(QObject *parent = nullptr);

    void setPlant(const Plant &plant);
    // False when the plant already has a unit of that name.
    bool addUnit(const PlantUnit &unit);
    const Plant &plant() const { return m_plant; }
    // What a run over the row's unit came to; `checked` for a file check.
    void setResult(int row, const UnitResult &result, bool checked);
    // The differences the last check found, "path: unit → file" each.
    QStringList differences(int row) const;
    QByteArray csv() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        QString cells[ColumnCount];
        QString message;
        QStringList differences;
    };

    Row rowOf(const PlantUnit &unit) const;
    QString newestBackup(const PlantUnit &unit) const;
    QString fileState(const PlantUnit &unit) const;

    Plant m_plant;
    QVector<Row> m_rows;
};

#endif // PLANTUNITSMODEL_H
