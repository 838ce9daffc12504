// SPDX-License-Identifier: GPL-3.0-or-later
#include "plantunitsmodel.h"

#include <backuparchive.h>
#include <codes.h>
#include <csvwriter.h>

#include <QFileInfo>
#include <QJsonArray>

namespace {

const QString NotChecked = QStringLiteral("не проверен");
const QString NoFile = QStringLiteral("нет файла");

const QStringList Headers{QStringLiteral("Модуль"),         QStringLiteral("Адрес"),
                          QStringLiteral("Состояние"),      QStringLiteral("ПО"),
                          QStringLiteral("Субмодули"),      QStringLiteral("Файл"),
                          QStringLiteral("Последняя копия")};

} // namespace

PlantUnitsModel::PlantUnitsModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

void PlantUnitsModel::setPlant(const Plant &plant)
{
    beginResetModel();
    m_plant = plant;
    m_rows.clear();
    m_rows.reserve(plant.units().size());
    for (const PlantUnit &unit : plant.units())
        m_rows << rowOf(unit);
    endResetModel();
}

bool PlantUnitsModel::addUnit(const PlantUnit &unit)
{
    if (m_plant.unit(unit.name))
        return false;
    beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size());
    m_plant.addUnit(unit);
    m_rows << rowOf(unit);
    endInsertRows();
    return true;
}

PlantUnitsModel::Row PlantUnitsModel::rowOf(const PlantUnit &unit) const
{
    Row row;
    row.cells[Name] = unit.name;
    row.cells[Target] = unit.target;
    row.cells[Status] = NotChecked;
    row.cells[File] = fileState(unit);
    row.cells[Backup] = newestBackup(unit);
    return row;
}

QString PlantUnitsModel::fileState(const PlantUnit &unit) const
{
    if (unit.file.isEmpty() || !QFileInfo(m_plant.filePath(unit)).isFile())
        return NoFile;
    return QString();
}

QString PlantUnitsModel::newestBackup(const PlantUnit &unit) const
{
    const QString root = BackupArchive::besidePlant(m_plant.folder());
    return BackupArchive::versionName(BackupArchive(root).versions(unit.name).value(0));
}

void PlantUnitsModel::setResult(int row, const UnitResult &result, bool checked)
{
    if (row < 0 || row >= m_rows.size())
        return;
    Row &r = m_rows[row];
    const PlantUnit &unit = m_plant.units().at(row);
    const bool answers = result.status != StatusNoAnswer;
    r.cells[Status] = answers ? QStringLiteral("отвечает") : QStringLiteral("нет ответа");
    r.message = result.message;
    if (result.data.contains(QStringLiteral("firmware"))) {
        r.cells[Firmware] = result.data.value(QStringLiteral("firmware")).toString();
        r.cells[Boards] = boardsLine(result.data.value(QStringLiteral("boards")).toArray());
    }
    if (checked && answers) {
        r.cells[File] = fileState(unit).isEmpty() ? result.message : NoFile;
        r.differences = result.lines;
    }
    r.cells[Backup] = newestBackup(unit);
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

QStringList PlantUnitsModel::differences(int row) const
{
    return m_rows.value(row).differences;
}

QByteArray PlantUnitsModel::csv() const
{
    CsvWriter csv(Headers + QStringList{QStringLiteral("Сообщение"), QStringLiteral("Различия")});
    for (const Row &row : m_rows) {
        QStringList fields(row.cells, row.cells + ColumnCount);
        csv.addRow(fields << row.message << row.differences.join(QLatin1Char('\n')));
    }
    return csv.document();
}

int PlantUnitsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int PlantUnitsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PlantUnitsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const Row &row = m_rows.at(index.row());
    if (role == Qt::DisplayRole)
        return row.cells[index.column()];
    if (role == Qt::ToolTipRole && !row.message.isEmpty())
        return row.message;
    return QVariant();
}

QVariant PlantUnitsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return Headers.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
