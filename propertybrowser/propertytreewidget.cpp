// SPDX-License-Identifier: GPL-3.0-or-later
#include "propertytreewidget.h"

#include <QHeaderView>
#include <QMouseEvent>

PropertyTreeWidget::PropertyTreeWidget(QWidget *parent)
    : QTreeWidget(parent)
{
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("Параметр"), QStringLiteral("Значение")});
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::DoubleClicked
                    | QAbstractItemView::EditKeyPressed);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    header()->setSectionResizeMode(NameColumn, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(true);
}

bool PropertyTreeWidget::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    // F2 or a double click on a name edits the value of the same row.
    const QModelIndex value = index.isValid() ? index.sibling(index.row(), ValueColumn) : index;
    return QTreeWidget::edit(value, trigger, event);
}

void PropertyTreeWidget::mousePressEvent(QMouseEvent *event)
{
    QTreeWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid() && index.column() == ValueColumn && state() != EditingState)
        QTreeWidget::edit(index);
}
