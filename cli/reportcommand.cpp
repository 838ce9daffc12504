// SPDX-License-Identifier: GPL-3.0-or-later
#include "reportcommand.h"

#include "brkctl.h"

#include <csvwriter.h>
#include <module.h>
#include <reportprinter.h>
#include <reportwriter.h>

#include <QFileInfo>

namespace {

const QString Output = QStringLiteral("o");
const QString Author = QStringLiteral("author");
const QString Name = QStringLiteral("name");

QString suffixOf(const QString &path)
{
    return QFileInfo(path).suffix().toLower();
}

} // namespace

QList<QCommandLineOption> ReportCommand::options()
{
    return {{{Output, QStringLiteral("output")},
             QString::fromUtf8("Файл отчёта: .pdf, .html или .csv."),
             QStringLiteral("ФАЙЛ")},
            {Author, QString::fromUtf8("Кто выполнил настройку (по умолчанию — имя пользователя)."),
             QStringLiteral("ИМЯ"), ReportInfo::userName()},
            {Name, QString::fromUtf8("Название модуля в установке."), QStringLiteral("ИМЯ")}};
}

QString ReportCommand::outputPath(const QCommandLineParser &parser, QString *error)
{
    const QString path = parser.value(Output);
    if (path.isEmpty()) {
        *error = QStringLiteral("нужен файл отчёта: -o ФАЙЛ.pdf|ФАЙЛ.html|ФАЙЛ.csv");
        return QString();
    }
    const QString suffix = suffixOf(path);
    if (suffix != QLatin1String("pdf") && suffix != QLatin1String("html")
        && suffix != QLatin1String("htm") && suffix != QLatin1String("csv")) {
        *error = QStringLiteral("«%1»: отчёт пишется в .pdf, .html или .csv").arg(path);
        return QString();
    }
    return path;
}

ReportInfo ReportCommand::info(const QCommandLineParser &parser)
{
    ReportInfo info;
    info.author = parser.value(Author);
    info.made = QDateTime::currentDateTime();
    info.version = QStringLiteral(BRK_VERSION);
    return info;
}

bool ReportCommand::write(const Report &report, const QString &path, QString *error)
{
    const QString suffix = suffixOf(path);
    if (suffix == QLatin1String("pdf"))
        return ReportPrinter::writePdf(report, path, error);
    const QByteArray data
        = suffix == QLatin1String("csv") ? reportCsv(report) : reportHtml(report).toUtf8();
    return writeFileAtomically(path, data, error);
}

bool Brkctl::runReport()
{
    const QStringList arguments = m_parser.positionalArguments();
    if (arguments.size() != 1)
        return usageError(QStringLiteral("нужна одна цель или один файл"));
    QString error;
    const QString path = ReportCommand::outputPath(m_parser, &error);
    if (path.isEmpty())
        return usageError(error);
    const ReportInfo info = ReportCommand::info(m_parser);
    const QString name = m_parser.value(Name);
    return runOnModule(
        arguments.first(), [path, info, name](const Module &module, UnitResult *result) {
            QString error;
            if (!ReportCommand::write(unitReport(module, name, info), path, &error)) {
                result->status = StatusUsage;
                result->message = QStringLiteral("отчёт не записан: %1").arg(error);
                return;
            }
            result->data.insert(QStringLiteral("file"), path);
            result->message = QStringLiteral("отчёт сохранён в %1").arg(path);
        });
}
