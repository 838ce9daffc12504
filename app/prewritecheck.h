// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PREWRITECHECK_H
#define PREWRITECHECK_H

#include <QMap>
#include <QSet>
#include <QString>

class Module;
class QWidget;

// What a write from the window meets before anything is sent: values out of
// their range or list, and link settings a loaded file brought rather than
// the user's own edits.
class PreWriteCheck
{
public:
    enum class LinkAnswer { Unasked, Keep, FromFile, Cancel };

    // The link rows (address, port word, IP address, mask, gateway) by path, as shown.
    static QMap<QString, QString> linkTexts(const Module &module);
    // True, after a box that names them, when `module` holds bad values
    // (see ParameterTree::badValues for `unit`).
    static bool refuseBadValues(QWidget *parent, const Module &module, const Module *unit);
    // Asks about the link rows of `module` that differ from `unit` and still
    // hold what the file brought (`loaded`). Keep sets them to the unit's
    // values, unmarked, so the view shows what the unit keeps.
    static LinkAnswer askFileLink(QWidget *parent, const Module &unit, Module &module,
                                  const QMap<QString, QString> &loaded);
    // Registers of the link words where `module` shows what `unit` holds: a write
    // after Keep leaves them alone, and sends the link rows typed in the window.
    static QSet<int> keptRegisters(const Module &unit, const Module &module);
};

#endif // PREWRITECHECK_H
