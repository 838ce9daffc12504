// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef REPORTDIALOG_H
#define REPORTDIALOG_H

#include <report.h>

#include <QDialog>

class Module;
class QLineEdit;
class QPrinter;

// "Отчёт о настройке": who made it, then a preview to print or a PDF file.
class ReportDialog : public QDialog
{
    Q_OBJECT

public:
    // `unitName` is the unit's name in the open plant, or empty.
    ReportDialog(const Module *module, const QString &unitName, QWidget *parent = nullptr);

    Report report() const;

private:
    void preview();
    void savePdf();

    const Module *m_module; // not owned
    const QString m_unitName;
    QLineEdit *m_author;
};

#endif // REPORTDIALOG_H
