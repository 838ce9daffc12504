// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef REGISTERMAPEXPORT_H
#define REGISTERMAPEXPORT_H

#include "registermap.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

class QPrinter;

// The register map handed on: as CSV for a spreadsheet or a PLC tool, and
// as printed pages (a printer or a PDF file). Both carry every row of every
// table with the register as the window shows it and in PLC notation.
class RegisterMapExport
{
public:
    explicit RegisterMapExport(QVector<RegisterMapRow> rows, QString title = QString());

    QByteArray toCsv() const;
    // The pages as HTML: the title, then one table per register map table.
    QString toHtml() const;
    void print(QPrinter *printer) const;

private:
    QVector<RegisterMapRow> m_rows;
    QString m_title;
};

#endif // REGISTERMAPEXPORT_H
