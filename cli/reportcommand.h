// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef REPORTCOMMAND_H
#define REPORTCOMMAND_H

#include <report.h>

#include <QCommandLineParser>
#include <QString>

// brkctl report: the commissioning report of a unit or a file, written as
// PDF, HTML or CSV by the output file's extension.
namespace ReportCommand {

QList<QCommandLineOption> options();
// The output path from -o; empty with the reason when it is missing or of an unknown kind.
QString outputPath(const QCommandLineParser &parser, QString *error);
ReportInfo info(const QCommandLineParser &parser);
// Writes the report to `path` in the format its extension names.
bool write(const Report &report, const QString &path, QString *error);

} // namespace ReportCommand

#endif // REPORTCOMMAND_H
