// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PROPERTYEDITORDELEGATE_H
#define PROPERTYEDITORDELEGATE_H

#include <QStyledItemDelegate>

class PropertyBrowser;

// Opens the editor of a value cell through the factory of the row's manager
// and hands every finished change to the manager, which decides what is
// kept; the editor then shows what was kept.
class PropertyEditorDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit PropertyEditorDelegate(PropertyBrowser *browser);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    PropertyBrowser *m_browser; // not owned, the delegate's parent
};

#endif // PROPERTYEDITORDELEGATE_H
