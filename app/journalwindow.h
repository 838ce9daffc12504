// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef JOURNALWINDOW_H
#define JOURNALWINDOW_H

#include <QDialog>

class QComboBox;
class QDateEdit;
class QLabel;
class QTableWidget;

// "Журнал изменений": the writes a journal holds, newest first, for one unit
// or all, within a period.
class JournalWindow : public QDialog
{
    Q_OBJECT

public:
    // `units`: the names offered in the unit filter (a plant's units).
    JournalWindow(const QString &path, const QStringList &units, QWidget *parent = nullptr);

    void setUnit(const QString &unit);
    void setPeriod(const QDate &from, const QDate &to);
    QTableWidget *table() const { return m_table; }

private:
    void refill();

    QString m_path;
    QComboBox *m_unit;     // child
    QDateEdit *m_from;     // child
    QDateEdit *m_to;       // child
    QTableWidget *m_table; // child
    QLabel *m_note;        // child
};

#endif // JOURNALWINDOW_H
