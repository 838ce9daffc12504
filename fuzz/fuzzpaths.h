// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef FUZZPATHS_H
#define FUZZPATHS_H

#include "moduletables.h"

#include <QByteArray>
#include <QString>

// The code paths the fuzz targets drive, shared with the regression test that
// replays kept inputs. Each returns an empty text when every check held, else
// what went wrong.
namespace FuzzPaths {

// Bytes as a configuration file in `dir`: load, build a module, save it,
// load the saved file again and encode the module into a register image.
QString runConfigFile(const QByteArray &bytes, const QString &dir);

// Bytes as a register image: decode into a module and encode back without
// an edit (the unit must get what it has), decode the result into a second
// module and encode again, and encode the module after a save and load.
QString runTables(const QByteArray &bytes);

// Layout of a register image in bytes: eleven length bytes (module block,
// then the ten per-channel tables in declaration order), then the words of
// all tables in the same order, little-endian; missing words are 0.
ModuleTables tablesFromBytes(const QByteArray &bytes);
QByteArray bytesFromTables(const ModuleTables &tables);

} // namespace FuzzPaths

#endif // FUZZPATHS_H
