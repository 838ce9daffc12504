// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CSVWRITER_H
#define CSVWRITER_H

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

// A table as the locale's spreadsheet programs open it: ';' between fields
// (or the delimiter given), CRLF line ends, a field quoted when it holds the
// delimiter, '"' or a line break, with its quotes doubled (RFC 4180). A file
// gets UTF-8 with a byte order mark so the Cyrillic text shows.
//
//     CsvWriter csv({QStringLiteral("Время"), QStringLiteral("Значение")});
//     csv.addRow({time, value});
//     writeFileAtomically(path, csv.document(), &error);
class CsvWriter
{
public:
    explicit CsvWriter(const QStringList &header, QChar delimiter = QLatin1Char(';'));

    void addRow(const QStringList &fields);
    int rowCount() const { return m_rows; }
    // The lines alone, for a stream that is already text.
    const QString &text() const { return m_text; }
    // The file: byte order mark and UTF-8.
    QByteArray document() const;

    static QString field(const QString &text, QChar delimiter = QLatin1Char(';'));

private:
    void addLine(const QStringList &fields);

    QString m_text;
    QChar m_delimiter;
    int m_rows = 0;
};

// Writes the data to the file; the old file stays as it was unless the whole
// new one reached the disk. False and the reason on any failure.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error = nullptr);

#endif // CSVWRITER_H
