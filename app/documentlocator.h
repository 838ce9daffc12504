// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef DOCUMENTLOCATOR_H
#define DOCUMENTLOCATOR_H

#include <QString>
#include <QStringList>
#include <QUrl>

// Finds the documents the program ships (the README, the user manual) on disk:
// in the installed data folder, beside the executable, in a folder above it (a
// build tree inside the source tree), or in the source tree the program was
// built from.
class DocumentLocator
{
public:
    // The data an installed program ships: share/brk-configurator beside the
    // executable's bin folder. Empty without an application object.
    static QString installedDataDir();

    // Folders searched by default, nearest first.
    static QStringList defaultSearchDirs();

    // Absolute path of relativePath found in one of dirs or in up to
    // levelsUp folders above each; empty when there is none.
    static QString findFile(const QString &relativePath, const QStringList &dirs,
                            int levelsUp = MaxLevelsUp);

    // A help text the program reads (such as "information.json"): the
    // installed data first; then, for a program run from its build folder,
    // the working directory and the executable's folder.
    static QString findHelpFile(const QString &name);

    // Local file URL for a link such as "docs/manual.html#start" (the fragment
    // is kept); an invalid URL when the file cannot be found.
    static QUrl resolve(const QUrl &link, const QStringList &dirs = defaultSearchDirs());

    static constexpr int MaxLevelsUp = 3;
};

#endif // DOCUMENTLOCATOR_H
