// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TABLEWIDGET_H
#define TABLEWIDGET_H

#include <QTableWidget>

// List of found units: a double click anywhere asks to open the chosen unit
// instead of starting an edit.
class FoundUnitsTable : public QTableWidget
{
    Q_OBJECT

public:
    explicit FoundUnitsTable(QWidget *parent = nullptr);
    ~FoundUnitsTable() override;

signals:
    void itemClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

#endif // TABLEWIDGET_H
