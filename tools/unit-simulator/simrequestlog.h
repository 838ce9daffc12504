// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIMREQUESTLOG_H
#define SIMREQUESTLOG_H

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QVector>

#include <deque>

// One request as the simulated line saw it, or an event of a unit (function 0).
struct SimRequestRecord
{
    enum Result { Answered, Exception, Dropped, NoUnit, Event };

    QDateTime time;
    int slave = 0;
    int function = 0;
    int address = -1;
    int count = 0;
    QVector<quint16> values; // written values (coils as 0 or 1); empty for reads
    Result result = Answered;
    int exception = 0;
    QString note;  // the event text, for Event records
    QString fault; // the injected fault that shaped the outcome ("short reply", ...), if any
};

// Keeps the records: one JSON line each in a file (when opened) and, when asked,
// the latest ones in memory for tests.
class SimRequestLog
{
public:
    // Appends to path; false and a reason when it cannot be opened.
    bool open(const QString &path, QString *error);
    void setKeepInMemory(bool keep) { m_keep = keep; }
    void add(const SimRequestRecord &record);
    QVector<SimRequestRecord> records() const;
    void clear() { m_records.clear(); }

    static QByteArray toJsonLine(const SimRequestRecord &record);

    static constexpr size_t kMemoryLimit = 100000;

private:
    QFile m_file;
    bool m_keep = false;
    std::deque<SimRequestRecord> m_records;
};

#endif // SIMREQUESTLOG_H
