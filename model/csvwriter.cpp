// SPDX-License-Identifier: GPL-3.0-or-later
#include "csvwriter.h"

#include <QSaveFile>

CsvWriter::CsvWriter(const QStringList &header, QChar delimiter)
    : m_delimiter(delimiter)
{
    addLine(header);
}

void CsvWriter::addRow(const QStringList &fields)
{
    addLine(fields);
    ++m_rows;
}

QByteArray CsvWriter::document() const
{
    return QByteArrayLiteral("\xEF\xBB\xBF") + m_text.toUtf8();
}

QString CsvWriter::field(const QString &text, QChar delimiter)
{
    if (!text.contains(delimiter) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void CsvWriter::addLine(const QStringList &fields)
{
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            m_text += m_delimiter;
        m_text += field(fields.at(i), m_delimiter);
    }
    m_text += QLatin1String("\r\n");
}

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // commit() would replace the old file even after a failed write.
    if (file.write(data) != data.size() || !file.flush()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        file.commit();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
