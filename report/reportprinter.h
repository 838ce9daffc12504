// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef REPORTPRINTER_H
#define REPORTPRINTER_H

#include <report.h>

#include <QString>

class QPagedPaintDevice;

// Lays a report out on A4 pages, page by page, with the unit and the date in
// each page's header and "Страница N из M" in its footer. Needs a
// QGuiApplication (the offscreen platform will do) but no widgets, so
// brkctl draws the same pages as the window's preview.
class ReportPrinter
{
public:
    // A4 with the report's margins.
    static void setUpPage(QPagedPaintDevice *device);
    // Paints every page on the device (a QPrinter or a QPdfWriter, set up with
    // setUpPage()) and returns the number of pages; 0 when nothing could be painted.
    static int print(const Report &report, QPagedPaintDevice *device);
    // A4 PDF file. False and the reason when it cannot be written.
    static bool writePdf(const Report &report, const QString &path, QString *error = nullptr);
};

#endif // REPORTPRINTER_H
