// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef UNITJOURNAL_H
#define UNITJOURNAL_H

#include <moduletables.h>

#include <QString>

class UnitSession;

// Where a command's writes are journalled: beside the plant file for a unit
// of a plant, otherwise in the user's data folder.
struct JournalPlace
{
    QString path;     // empty: the user's data folder
    QString unitName; // the plant's name for the unit
};

// Appends a line to the journal of changes when a write or reset of a unit
// ends, with its outcome. A journal that cannot be written does not change
// the outcome; the unit's message says so.
class UnitJournal
{
public:
    // A write of `encoded` over `before`: every parameter that changes, by path.
    static void watchWrite(UnitSession *unit, const ModuleTables &before,
                           const ModuleTables &encoded, const QString &action,
                           const JournalPlace &place);
    // A reset of the unit whose module block is `block`.
    static void watchReset(UnitSession *unit, const QVector<quint16> &block,
                           const JournalPlace &place);
};

#endif // UNITJOURNAL_H
