// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibrationmodel.h"

#include "applogging.h"

#include "channel.h"
#include "codes.h"
#include "calibrationitem.h"
#include "module.h"
#include "property.h"
#include "submodule.h"

#include <QColor>

namespace {

bool isShownBoard(int type)
{
    return type == 4 || type == 5 || type == 7; // AI, AIO, TMP
}

} // namespace

CalibrationModel::CalibrationModel(Module *module, QObject *parent)
    : QAbstractItemModel(parent)
    , m_rootItem(std::make_unique<CalibrationItem>(
          QVector<QVariant>{QStringLiteral("Имя"), QStringLiteral("Тип сигнала"),
                            QStringLiteral("Значение"), QStringLiteral("Значение в ед. изм.")}))
{
    build(module);
}

CalibrationModel::~CalibrationModel()
{
    qCDebug(lcApp) << "~CalibrationModel()";
}

void CalibrationModel::build(Module *module)
{
    if (!module)
        return;
    for (Submodule *submodule : module->submodules()) {
        const int type = submodule->value(SubmoduleParam::Type).toInt();
        if (!isShownBoard(type))
            continue;
        // "cлот" begins with a Latin c (U+0063); the label is kept exactly as users know it.
        const QString label
            = QStringLiteral("Субмодуль ") + submoduleTypeName(type) + QStringLiteral(" (cлот ")
              + slotLetter(submodule->value(SubmoduleParam::Slot).toInt()) + QLatin1Char(')');
        auto row = std::make_unique<CalibrationItem>(QVector<QVariant>{label});
        for (Channel *channel : submodule->channels())
            row->appendChild(std::make_unique<CalibrationItem>(channel));
        m_rootItem->appendChild(std::move(row));
    }

    for (int s = 0; s < m_rootItem->childCount(); ++s) {
        const QModelIndex boardIndex = index(s, 0);
        const CalibrationItem *board = m_rootItem->child(s);
        for (int r = 0; r < board->childCount(); ++r) {
            for (int column = 1; column < CalibrationItem::ColumnCount; ++column) {
                if (const Property *p = board->child(r)->parameter(column))
                    m_cells.insert(p, QPersistentModelIndex(index(r, column, boardIndex)));
            }
        }
    }
}

CalibrationItem *CalibrationModel::itemOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<CalibrationItem *>(index.internalPointer())
                           : m_rootItem.get();
}

QModelIndex CalibrationModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= columnCount())
        return QModelIndex();
    CalibrationItem *child = itemOf(parent)->child(row);
    return child ? createIndex(row, column, child) : QModelIndex();
}

QModelIndex CalibrationModel::parent(const QModelIndex &index) const
{
    if (!index.isValid())
        return QModelIndex();
    CalibrationItem *parentItem = itemOf(index)->parentItem();
    if (!parentItem || parentItem == m_rootItem.get())
        return QModelIndex();
    const CalibrationItem *grandParent = parentItem->parentItem();
    return createIndex(grandParent ? grandParent->rowOf(parentItem) : 0, 0, parentItem);
}

int CalibrationModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() && parent.column() > 0)
        return 0;
    return itemOf(parent)->childCount();
}

int CalibrationModel::columnCount(const QModelIndex &) const
{
    return m_rootItem->columnCount();
}

QVariant CalibrationModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const CalibrationItem *item = itemOf(index);
    const int column = index.column();
    const Property *p = item->parameter(column);

    if (role == Qt::DisplayRole) {
        if (!p)
            return item->data(column);
        if (p->valueType() == ValueEnum) {
            const int code = p->value().toInt();
            const QMap<int, QString> names = p->enumNames();
            const auto name = names.constFind(code);
            return name != names.constEnd() ? *name
                                            : QStringLiteral("Неизвестное значение: %1").arg(code);
        }
        return column == 0 ? item->data(0) : p->displayValue();
    }
    if (role == Qt::EditRole) {
        if (!p || p->valueType() == ValueEnum)
            return item->data(column);
        return p->displayValue();
    }
    if (role == Qt::ForegroundRole && m_stale && p && column > 0)
        return QColor(Qt::gray);
    return QVariant();
}

bool CalibrationModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    itemOf(index)->setData(index.column(), value);
    emit dataChanged(index, index);
    return true;
}

QVariant CalibrationModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal)
        return m_rootItem->data(section);
    return QVariant();
}

Qt::ItemFlags CalibrationModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Property *p = itemOf(index)->parameter(index.column());
    if (p && p->isEditable())
        return QAbstractItemModel::flags(index) | Qt::ItemIsEditable;
    return Qt::ItemIsEnabled;
}

QModelIndex CalibrationModel::indexOf(const Property *parameter) const
{
    return m_cells.value(parameter);
}

void CalibrationModel::setStale(bool stale)
{
    if (m_stale == stale)
        return;
    m_stale = stale;
    for (const QPersistentModelIndex &cell : qAsConst(m_cells))
        emit dataChanged(cell, cell, {Qt::ForegroundRole});
}

void CalibrationModel::parameterChanged(const Property *parameter)
{
    const QModelIndex cell = indexOf(parameter);
    if (cell.isValid())
        emit dataChanged(cell, cell);
}
