// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef UNITSCRIPTS_H
#define UNITSCRIPTS_H

#include "unitjournal.h"
#include "unitsession.h"

#include <moduletables.h>

class Module;

#include <QPair>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <functional>

// What the commands do with one unit, as scripts for a UnitSession: the
// same steps as the windows (check the file against the unit, write with the
// write job and read back what it wrote, at the unit's new address when that
// changes).
class UnitScripts
{
public:
    struct WriteOptions
    {
        bool changedOnly = false;
        // Leave the unit's address, port word, IP address, mask and gateway as
        // they are: one file written to many units must not clone them, nor a
        // file made elsewhere take the unit off its link.
        bool keepLink = true;
        // Move the unit's address even where another device answers.
        bool force = false;
        // The link settings kept that the file would have changed, for the message.
        QString keptText;
        // Wait before reading back at a new address (the unit switches over).
        int switchOverMs = 1000;
        QString action = QStringLiteral("write"); // as the journal names it
        JournalPlace journal;
    };

    // Reads the whole configuration and hands it on.
    static void readImage(UnitSession *unit,
                          const std::function<void(UnitSession *, const ModuleTables &)> &done);
    // Checks the file against the unit, writes it and verifies.
    static void writeFile(UnitSession *unit, const QString &path, const WriteOptions &options);
    // Sets parameters by path, writes the registers that change and verifies.
    static void setValues(UnitSession *unit, const QVector<QPair<QString, QString>> &assignments,
                          const WriteOptions &options);
    static void reset(UnitSession *unit, const JournalPlace &journal = JournalPlace());

    // `encoded` with the link words (ModuleTables::LinkWords) as `unit` holds them.
    static ModuleTables withLinkWordsOf(const ModuleTables &unit, ModuleTables encoded);
    // The link settings in which `file` differs from `unit`, as "Адрес MODBUS 5 (в файле 1), …".
    static QString keptLinkText(const Module &unit, const Module &file);
    // The target a unit answers at once it has taken the written link words.
    static QString movedTarget(Target target, const ModuleTables &written, WriteJob::Move move);

private:
    static void writeAndVerify(UnitSession *unit, const ModuleTables &encoded,
                               const ModuleTables &before, const QSet<int> &kept,
                               const WriteOptions &options);
    static void startWrite(UnitSession *unit, const ModuleTables &encoded,
                           const ModuleTables &before, const QSet<int> &kept,
                           const WriteOptions &options);
    // Ends the session with what the write job's read-back came to; `movedTo`
    // is where the unit answers after the write, when it moved.
    static void report(UnitSession *unit, const QString &written, const QString &movedTo,
                       const ModuleTables &encoded);
};

#endif // UNITSCRIPTS_H
