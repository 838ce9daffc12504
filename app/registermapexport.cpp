// SPDX-License-Identifier: GPL-3.0-or-later
#include "registermapexport.h"

#include <QFont>
#include <QPrinter>
#include <QTextDocument>

RegisterMapExport::RegisterMapExport(QVector<RegisterMapRow> rows, QString title)
    : m_rows(std::move(rows))
    , m_title(std::move(title))
{}

QByteArray RegisterMapExport::toCsv() const
{
    return registerMapCsv(m_rows);
}

QString RegisterMapExport::toHtml() const
{
    constexpr int DescriptionColumn = 3; // of the printed columns
    // The table column is the section heading; the others fill the rows.
    const QStringList columns = registerMapHeader().mid(1);
    QString html = QStringLiteral("<html><body>");
    if (!m_title.isEmpty())
        html += QStringLiteral("<h2>%1</h2>").arg(m_title.toHtmlEscaped());
    int table = -1;
    for (const RegisterMapRow &row : m_rows) {
        if (row.table != table) {
            if (table >= 0)
                html += QStringLiteral("</table>");
            table = row.table;
            html += QStringLiteral("<h3>%1</h3>")
                        .arg(registerMapTitles().value(table).toHtmlEscaped());
            html += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" "
                                   "width=\"100%\"><tr>");
            for (const QString &column : columns)
                html += QStringLiteral("<th nowrap>%1</th>").arg(column.toHtmlEscaped());
            html += QStringLiteral("</tr>");
        }
        html += QStringLiteral("<tr>");
        // Only the description may wrap.
        const QStringList cells = registerMapFields(row).mid(1);
        for (int c = 0; c < cells.size(); ++c)
            html += QString::fromLatin1(c == DescriptionColumn ? "<td>%1</td>"
                                                               : "<td nowrap>%1</td>")
                        .arg(cells.at(c).toHtmlEscaped());
        html += QStringLiteral("</tr>");
    }
    if (table >= 0)
        html += QStringLiteral("</table>");
    return html + QStringLiteral("</body></html>");
}

void RegisterMapExport::print(QPrinter *printer) const
{
    QTextDocument document;
    QFont font = document.defaultFont();
    font.setPointSize(8);
    document.setDefaultFont(font);
    document.setHtml(toHtml());
    document.print(printer);
}
