// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CONFIGDIFFDIALOG_H
#define CONFIGDIFFDIALOG_H

#include "configdiff.h"

#include <QDialog>
#include <QVector>

class QDialogButtonBox;
class QLabel;
class QTableWidget;

// Shown before a file is loaded into an online window: every parameter the
// file would change in the unit, with the unit's value and the file's; the
// link settings under a heading of their own.
// "Загрузить" accepts, "Отмена" rejects.
class ConfigDiffDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ConfigDiffDialog(const QVector<ConfigDiff::Difference> &differences,
                              QWidget *parent = nullptr);

    // The board-by-board text shown under a file check warning: one line per
    // slot whose board differs.
    static QString boardLines(const QVector<ConfigDiff::Difference> &differences);

    // Shows two versions side by side instead of a file to load: headers named
    // after them, a Close button only.
    void showAsComparison(const QString &title, const QString &left, const QString &right);

    QTableWidget *table() const { return m_table; }

private:
    void fillRows(const QVector<ConfigDiff::Difference> &differences);

    int m_count = 0;             // differences listed, headings left out
    QTableWidget *m_table;       // child
    QLabel *m_text;              // child
    QDialogButtonBox *m_buttons; // child
};

#endif // CONFIGDIFFDIALOG_H
