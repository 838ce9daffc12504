// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CONFIGDIFF_H
#define CONFIGDIFF_H

#include <QString>
#include <QVector>

class Module;

// Parameter-level comparison of two configurations (a file, a unit): every
// configuration parameter whose shown value differs, named by its path in the
// tree. Boards are paired by slot; a slot whose board differs (or is empty on
// one side) is one difference, its channels are not compared. Read-only rows
// (firmware, error word) are not configuration and are left out.
//
//     const auto differences = ConfigDiff::compare(fileModule, unitModule);
//     for (const ConfigDiff::Difference &d : differences)
//         qInfo().noquote() << d.toString(); // "… / Нижний предел: 0.000 → 4.000"
class ConfigDiff
{
public:
    struct Difference
    {
        QString path; // "Субмодуль AI (Слот B) / Аналоговый вход 2 / Нижний предел"
        QString left; // display text of the left side; NoValue where it has none
        QString right;      // display text of the right side
        bool link = false;  // address, port word, IP address, mask or gateway
        bool board = false; // a slot whose board differs: path "Слот B", board names

        // "path: left → right"
        QString toString() const;
    };

    struct Options
    {
        // Leave out how each unit is reached (address, port word, IP address,
        // mask, gateway): they differ from unit to unit by design.
        bool ignoreLink = false;
    };

    static QVector<Difference> compare(const Module &left, const Module &right,
                                       const Options &options);
    static QVector<Difference> compare(const Module &left, const Module &right)
    {
        return compare(left, right, Options());
    }

    // Marks the parameters of `module` found at the differences' paths as
    // edited, so the edited rows are the ones that differ.
    static void markEdited(Module &module, const QVector<Difference> &differences);

    static const QString NoValue;   // "—"
    static const QString EmptySlot; // "пусто"
};

#endif // CONFIGDIFF_H
