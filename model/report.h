// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef REPORT_H
#define REPORT_H

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

class Module;

// The commissioning report of one unit or of several: what the HTML, CSV and
// PDF writers render, so the three never disagree. Built from the model
// alone; the writers only lay it out.

struct ReportCell
{
    QString text;
    bool marked = false; // differs from a new board's default
};

struct ReportTable
{
    enum class Style {
        Fields,     // label and value, no header row
        Grid,       // a header row, then the rows
        Signatures, // lines to sign on
    };

    QString heading; // heading before the table ("Слот A: субмодуль AIO"); empty for none
    Style style = Style::Grid;
    QStringList columns;
    QVector<QVector<ReportCell>> rows;
};

// One unit: its title block, boards, channel tables, register map and signatures.
struct ReportSection
{
    QString title;
    QVector<ReportTable> tables;
};

struct Report
{
    QString title;
    QString pageHeader; // unit (or plant) and date, on every printed page
    bool contents = false;
    QVector<ReportSection> sections;
};

// Who made the report, when and with which program.
struct ReportInfo
{
    QString author;
    QDateTime made;
    QString version;

    // The user's login name, for the "who made it" field's first value.
    static QString userName();
};

// One unit of a report of many: its name in the plant and its configuration.
struct ReportUnit
{
    QString name;
    const Module *module = nullptr; // not owned
};

// The report of one unit; `unitName` is its name in the open plant, or empty.
Report unitReport(const Module &module, const QString &unitName, const ReportInfo &info);
// The report of many units: a contents page, then one section per unit.
Report plantReport(const QString &plantName, const QVector<ReportUnit> &units,
                   const ReportInfo &info);

#endif // REPORT_H
