// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef DELEGATE_H
#define DELEGATE_H

#include <QItemDelegate>

// Editors of the calibration table, chosen by the value type of the cell's
// parameter. Integer editors take the whole range of their register type,
// so loading and storing an unchanged value never alters it.
class CalibrationDelegate : public QItemDelegate
{
    Q_OBJECT

public:
    explicit CalibrationDelegate(QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

    // Value types (Property::valueType) that have no code in ValueType.
    static constexpr int ValueText = 3;
    static constexpr int ValueIpAddress = 9;

private slots:
    // A combo box commits its choice at once.
    void onEditingFinished();
};

#endif // DELEGATE_H
