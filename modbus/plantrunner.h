// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PLANTRUNNER_H
#define PLANTRUNNER_H

#include "unitsession.h"

#include <configdiff.h>
#include <moduletables.h>
#include <plant.h>

#include <QVector>

#include <memory>

class Module;

// What is done with one unit of a plant, as scripts for a UnitSession that
// brkctl's plant commands and the plant window share. Each ends the session;
// the result's data gets the unit's type, firmware and boards when it answers.
class PlantRunner
{
public:
    // The module block alone: does the unit answer, and what is it.
    static void readStatus(UnitSession *unit);
    // The unit against the file at `path`, link words left out (a plant write keeps them).
    static void check(UnitSession *unit, const QString &path, const QString &name);
    // A new version in the archive at `root` when the configuration changed.
    static void backUp(UnitSession *unit, const QString &root, const QString &name);
    // The unit's file written, its link settings kept, journalled beside the plant.
    static void writeFile(UnitSession *unit, const Plant &plant, const PlantUnit &plantUnit);

    // The whole configuration, into the result's data as "configuration".
    static void readConfiguration(UnitSession *unit);
    // What a report shows of a unit after readConfiguration(): as read, or its
    // file when it did not answer (the title says so); null when neither.
    static std::unique_ptr<Module> reportModule(const Plant &plant, const PlantUnit &plantUnit,
                                                const UnitResult &result, QString *title);

    // Type, firmware and boards of a module block, into the result's data.
    static void describeBlock(const QVector<quint16> &block, UnitResult *result);
    // Each difference as a line (after `prefix`) and in the data's "differences".
    static void addDifferences(const QVector<ConfigDiff::Difference> &differences,
                               const QString &prefix, UnitResult *result);
};

#endif // PLANTRUNNER_H
