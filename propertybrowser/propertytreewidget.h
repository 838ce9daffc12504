// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PROPERTYTREEWIDGET_H
#define PROPERTYTREEWIDGET_H

#include <QTreeWidget>

// The two-column tree inside a PropertyBrowser: name and value. Editing
// always happens in the value column, and a click on a value opens its
// editor at once.
class PropertyTreeWidget : public QTreeWidget
{
    Q_OBJECT

public:
    explicit PropertyTreeWidget(QWidget *parent = nullptr);

    static constexpr int NameColumn = 0;
    static constexpr int ValueColumn = 1;

    using QTreeWidget::edit;

    QTreeWidgetItem *treeItemFromIndex(const QModelIndex &index) const
    {
        return itemFromIndex(index);
    }

protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
};

#endif // PROPERTYTREEWIDGET_H
