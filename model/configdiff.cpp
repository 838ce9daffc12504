// SPDX-License-Identifier: GPL-3.0-or-later
#include "configdiff.h"

#include "codes.h"
#include "module.h"
#include "parametertree.h"
#include "property.h"
#include "submodule.h"

#include <QHash>
#include <QSet>

namespace {

using Entry = ParameterTree::Entry;

// Board type per slot, 0 for an empty slot.
QVector<int> boardsBySlot(const Module &module)
{
    QVector<int> boards(ModuleTables::SlotCount, 0);
    for (const Submodule *submodule : module.submodules()) {
        const int slot = submodule->value(SubmoduleParam::Slot).toInt();
        if (slot >= 0 && slot < boards.size())
            boards[slot] = submodule->value(SubmoduleParam::Type).toInt();
    }
    return boards;
}

QString boardText(int type)
{
    return type == 0 ? ConfigDiff::EmptySlot
                     : QStringLiteral("Субмодуль %1").arg(submoduleTypeName(type));
}

bool compared(const Entry &entry, const QSet<int> &differingSlots,
              const ConfigDiff::Options &options)
{
    if (entry.kind == Entry::Kind::ReadOnly && entry.name != ModuleParam::Type)
        return false;
    if (options.ignoreLink && entry.link)
        return false;
    return !differingSlots.contains(entry.slot);
}

} // namespace

const QString ConfigDiff::NoValue = QStringLiteral("—");
const QString ConfigDiff::EmptySlot = QStringLiteral("пусто");

QString ConfigDiff::Difference::toString() const
{
    return QStringLiteral("%1: %2 → %3").arg(path, left, right);
}

QVector<ConfigDiff::Difference> ConfigDiff::compare(const Module &left, const Module &right,
                                                    const Options &options)
{
    QVector<Difference> differences;

    const QVector<int> leftBoards = boardsBySlot(left);
    const QVector<int> rightBoards = boardsBySlot(right);
    QSet<int> differingSlots;
    for (int slot = 0; slot < ModuleTables::SlotCount; ++slot) {
        if (leftBoards.at(slot) == rightBoards.at(slot))
            continue;
        differingSlots.insert(slot);
        differences.append({QStringLiteral("Слот %1").arg(slotLetter(slot)),
                            boardText(leftBoards.at(slot)), boardText(rightBoards.at(slot)), false,
                            true});
    }

    const QVector<Entry> leftEntries = ParameterTree::entries(left);
    const QVector<Entry> rightEntries = ParameterTree::entries(right);
    QHash<QString, const Entry *> rightByPath;
    for (const Entry &entry : rightEntries)
        rightByPath.insert(entry.path, &entry);

    QSet<QString> seen;
    for (const Entry &entry : leftEntries) {
        if (!compared(entry, differingSlots, options))
            continue;
        seen.insert(entry.path);
        const Entry *other = rightByPath.value(entry.path);
        const QString mine = entry.displayText();
        const QString theirs = other ? other->displayText() : NoValue;
        if (mine != theirs)
            differences.append({entry.path, mine, theirs, entry.link});
    }
    // Parameters only the right side has (a row a file left out).
    for (const Entry &entry : rightEntries) {
        if (compared(entry, differingSlots, options) && !seen.contains(entry.path))
            differences.append({entry.path, NoValue, entry.displayText(), entry.link});
    }
    return differences;
}

void ConfigDiff::markEdited(Module &module, const QVector<Difference> &differences)
{
    const QVector<Entry> entries = ParameterTree::entries(module);
    for (const Difference &d : differences) {
        if (d.board)
            continue;
        QString error;
        const Entry *entry = ParameterTree::find(entries, d.path, &error);
        if (Property *p = entry ? entry->device->property(entry->name) : nullptr)
            p->setChanged(true);
    }
}
