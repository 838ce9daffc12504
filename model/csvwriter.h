#ifndef CSVWRITER_H
#define CSVWRITER_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// A table as the locale's spreadsheet programs open it: ';' between fields,
// CRLF line ends, a field quoted when it holds ';', '"' or a line break, with
// its quotes doubled (RFC 4180), and UTF-8 with a byte order mark so the
// Cyrillic text shows.
//
//     CsvWriter csv({QStringLiteral("Время"), QStringLiteral("Значение")});
//     csv.addRow({time, value});
//     writeFileAtomically(path, csv.document(), &error);
class CsvWriter
{
public:
    explicit CsvWriter(const QStringList &header);

    void addRow(const QStringList &fields);
    int rowCount() const { return m_rows; }
    QByteArray document() const;

    static QString field(const QString &text);

private:
    void addLine(const QStringList &fields);

    QString m_text;
    int m_rows = 0;
};

// Writes the data to the file; the old file stays as it was unless the whole
// new one reached the disk. False and the reason on any failure.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error = nullptr);

#endif // CSVWRITER_H
