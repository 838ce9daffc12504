// SPDX-License-Identifier: GPL-3.0-or-later
#include "reportwriter.h"

#include "csvwriter.h"

namespace {

using Style = ReportTable::Style;

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString cellHtml(const char *tag, const ReportCell &cell)
{
    const QString text = escaped(cell.text);
    if (cell.marked)
        return QStringLiteral("<%1 class=\"edited\"><b>%2</b></%1>").arg(QLatin1String(tag), text);
    return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), text);
}

QString tableHtml(const ReportTable &table)
{
    QString html;
    if (!table.heading.isEmpty())
        html += QStringLiteral("<h3>%1</h3>\n").arg(escaped(table.heading));
    switch (table.style) {
    case Style::Fields:
        html += QStringLiteral("<table class=\"fields\" cellspacing=\"0\" cellpadding=\"2\">\n");
        break;
    case Style::Grid:
        html += QStringLiteral("<table class=\"grid\" border=\"1\" cellspacing=\"0\" "
                               "cellpadding=\"3\" width=\"100%\">\n");
        break;
    case Style::Signatures:
        html
            += QStringLiteral("<table class=\"signatures\" cellspacing=\"0\" cellpadding=\"6\">\n");
        break;
    }
    if (!table.columns.isEmpty()) {
        // A header row repeats on every page a long table takes.
        html += QStringLiteral("<thead><tr>");
        for (const QString &column : table.columns)
            html += cellHtml("th", {column, false});
        html += QStringLiteral("</tr></thead>\n");
    }
    html += QStringLiteral("<tbody>\n");
    for (const QVector<ReportCell> &row : table.rows) {
        html += QStringLiteral("<tr>");
        for (const ReportCell &cell : row)
            html += cellHtml("td", cell);
        html += QStringLiteral("</tr>\n");
    }
    return html + QStringLiteral("</tbody></table>\n");
}

QString contentsHtml(const Report &report)
{
    QString html = QStringLiteral("<h2>Содержание</h2>\n<ol>\n");
    for (const ReportSection &section : report.sections)
        html += QStringLiteral("<li>%1</li>\n").arg(escaped(section.title));
    return html + QStringLiteral("</ol>\n");
}

} // namespace

QString reportHtml(const Report &report)
{
    QString html
        = QStringLiteral("<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
                         "<title>%1</title>\n<style>\n"
                         "body { font-family: 'DejaVu Sans', sans-serif; font-size: 9pt; }\n"
                         "h1 { font-size: 15pt; } h2 { font-size: 13pt; } h3 { font-size: 11pt; }\n"
                         "table { border-collapse: collapse; margin-bottom: 6pt; }\n"
                         "table.grid { font-size: 8pt; }\n"
                         "th { background-color: #e8e8e8; text-align: left; }\n"
                         "</style>\n</head>\n<body>\n<h1>%1</h1>\n")
              .arg(escaped(report.title));
    html += QStringLiteral("<p>Жирным выделены параметры, отличающиеся от значений нового "
                           "субмодуля.</p>\n");
    if (report.contents)
        html += contentsHtml(report);
    for (int i = 0; i < report.sections.size(); ++i) {
        const ReportSection &section = report.sections.at(i);
        // Each unit of a report of many starts on a page of its own.
        const bool newPage = report.contents || i > 0;
        html += QStringLiteral("<h2%1>%2</h2>\n")
                    .arg(newPage ? QStringLiteral(" style=\"page-break-before: always\"")
                                 : QString(),
                         escaped(section.title));
        for (const ReportTable &table : section.tables)
            html += tableHtml(table);
    }
    return html + QStringLiteral("</body>\n</html>\n");
}

QByteArray reportCsv(const Report &report)
{
    CsvWriter csv({QStringLiteral("Модуль"), QStringLiteral("Раздел"), QStringLiteral("Строка"),
                   QStringLiteral("Параметр"), QStringLiteral("Значение"),
                   QStringLiteral("Отличается")});
    const QString yes = QStringLiteral("да");
    for (const ReportSection &section : report.sections) {
        QString heading;
        for (const ReportTable &table : section.tables) {
            // A board's second table (an AIO board's outputs) goes on under its heading.
            if (!table.heading.isEmpty())
                heading = table.heading;
            for (const QVector<ReportCell> &row : table.rows) {
                switch (table.style) {
                case Style::Fields:
                    csv.addRow({section.title, heading, QString(), row.value(0).text,
                                row.value(1).text, row.value(1).marked ? yes : QString()});
                    break;
                case Style::Grid:
                    for (int c = 1; c < row.size(); ++c)
                        csv.addRow({section.title, heading, row.first().text,
                                    table.columns.value(c), row.at(c).text,
                                    row.at(c).marked ? yes : QString()});
                    break;
                case Style::Signatures: // lines to sign on paper
                    break;
                }
            }
        }
    }
    return csv.document();
}
