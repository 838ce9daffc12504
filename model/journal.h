// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef JOURNAL_H
#define JOURNAL_H

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QVector>

// One write to a unit, as the journal of changes keeps it.
struct JournalEntry
{
    struct Change
    {
        QString path; // in the parameter tree
        QString before;
        QString after;
    };

    QDateTime time;
    QString user;
    QString computer;
    QString unit; // the plant's name for it; empty outside a plant
    QString target;
    QString unitType;
    QString firmware;
    int address = 0;
    QString action; // "write", "set", "reset", "calibration"
    QVector<Change> changes;
    QString outcome; // Confirmed, Unconfirmed or Refused

    static const QString Confirmed;
    static const QString Unconfirmed;
    static const QString Refused;
    // The outcome as users read it ("подтверждена", …).
    static QString outcomeText(const QString &outcome);

    // An entry stamped with the time, user and computer of now.
    static JournalEntry now();
    QJsonObject toJson() const;
    static JournalEntry fromJson(const QJsonObject &json);
};

// The journal of changes: one JSON line per write, appended, never rewritten.
// A plant keeps its own beside the plant file; writes to units outside a
// plant go to the one in the user's data folder.
class Journal
{
public:
    struct Filter
    {
        QString unit;    // a plant unit's name or a target; empty: every unit
        QDateTime since; // invalid: from the start
    };

    struct Read
    {
        QVector<JournalEntry> entries; // oldest first
        int skipped = 0;               // lines that are not entries (a write cut short)
        QString error;                 // when the file exists but cannot be read
    };

    static QString besidePlant(const QString &plantFolder);
    static QString inUserData();

    static bool append(const QString &path, const JournalEntry &entry, QString *error);
    static Read read(const QString &path, const Filter &filter);
};

#endif // JOURNAL_H
