// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef REPORTWRITER_H
#define REPORTWRITER_H

#include "report.h"

#include <QByteArray>
#include <QString>

// A whole HTML document for a browser; the PDF lays out the same text.
QString reportHtml(const Report &report);
// Every cell as one line (unit, table, row, column, value, mark) through the
// common CSV writer, so a spreadsheet can filter and pivot it.
QByteArray reportCsv(const Report &report);

#endif // REPORTWRITER_H
