// SPDX-License-Identifier: GPL-3.0-or-later
#include "unitjournal.h"

#include "unitsession.h"

#include <codes.h>
#include <configdiff.h>
#include <configfile.h>
#include <journal.h>
#include <module.h>

namespace {

JournalEntry entryFor(UnitSession *unit, const ModuleTables &before, const QString &action,
                      const JournalPlace &place)
{
    JournalEntry entry = JournalEntry::now();
    entry.unit = place.unitName;
    entry.target = unit->target().toString();
    entry.unitType = moduleTypeName(before.moduleType());
    entry.firmware = QString::number(before.firmware() / 10.0, 'f', 1);
    entry.address = before.address();
    entry.action = action;
    return entry;
}

void appendWhenEnded(UnitSession *unit, const JournalEntry &started, const JournalPlace &place)
{
    QObject::connect(unit, &UnitSession::ending, unit, [unit, started, place] {
        UnitResult &result = unit->result();
        // Nothing was sent: the unit already held the values.
        if (result.status == StatusOk && result.data.value(QStringLiteral("written")) == 0)
            return;
        JournalEntry entry = started;
        entry.outcome = result.status == StatusOk        ? JournalEntry::Confirmed
                        : result.status == StatusRefused ? JournalEntry::Refused
                                                         : JournalEntry::Unconfirmed;
        const QString path = place.path.isEmpty() ? Journal::inUserData() : place.path;
        QString error;
        if (!Journal::append(path, entry, &error)) {
            result.message
                += QStringLiteral("; журнал изменений %1 не записан: %2").arg(path, error);
            result.data.insert(QStringLiteral("journalError"), error);
        }
    });
}

} // namespace

void UnitJournal::watchWrite(UnitSession *unit, const ModuleTables &before,
                             const ModuleTables &encoded, const QString &action,
                             const JournalPlace &place)
{
    JournalEntry entry = entryFor(unit, before, action, place);
    const auto differences
        = ConfigDiff::compare(*moduleFromTables(before), *moduleFromTables(encoded));
    for (const ConfigDiff::Difference &d : differences)
        entry.changes.append({d.path, d.left, d.right});
    appendWhenEnded(unit, entry, place);
}

void UnitJournal::watchReset(UnitSession *unit, const QVector<quint16> &block,
                             const JournalPlace &place)
{
    ModuleTables tables;
    tables.setModuleTable(block);
    appendWhenEnded(unit, entryFor(unit, tables, QStringLiteral("reset"), place), place);
}
