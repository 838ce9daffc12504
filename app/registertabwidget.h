// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef REGISTERTABWIDGET_H
#define REGISTERTABWIDGET_H

#include <QString>
#include <QWidget>

struct RegisterMapRow;

class QLabel;
class QTableWidget;

// One titled table of the register map: where the live values of one channel
// kind lie in the unit's Modbus address space.
class RegisterTabWidget : public QWidget
{
    Q_OBJECT

public:
    explicit RegisterTabWidget(const QString &title, QWidget *parent = nullptr);

    // Appends a row; the widget grows to show every row and every cell whole.
    void addRow(const RegisterMapRow &row);

    QString title() const;
    int rowCount() const { return m_rows; }
    QTableWidget *table() const { return m_table; }

    static constexpr int RowHeight = 30;
    static constexpr int ExtraHeight = 62; // title and header above the rows
    static constexpr int HeaderHeight = 30;
    // Narrowest column widths; each column grows to its longest text.
    static constexpr int MinColumnWidths[] = {60, 60, 210, 60};

private:
    void fitColumns();

    QLabel *m_label;       // child
    QTableWidget *m_table; // child
    int m_rows = 0;
};

#endif // REGISTERTABWIDGET_H
