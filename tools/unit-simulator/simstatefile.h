// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIMSTATEFILE_H
#define SIMSTATEFILE_H

#include <QList>
#include <QString>

class SimUnit;

// The configuration of every unit in one JSON file, so a restarted simulator
// keeps what was written. Units are matched by their position on the command line.
namespace SimStateFile {
// A missing file is not an error (first start). A unit whose saved slots or
// firmware differ keeps its factory values; the reason goes into *error.
bool load(const QString &path, const QList<SimUnit *> &units, QString *error);
// Replaces the file atomically; on any failure the old file stays as it was.
bool save(const QString &path, const QList<SimUnit *> &units, QString *error);
} // namespace SimStateFile

#endif // SIMSTATEFILE_H
