// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PLANTCOMMAND_H
#define PLANTCOMMAND_H

#include "fleetrunner.h"
#include "unitsession.h"

#include <plant.h>
#include <report.h>

#include <QCommandLineParser>
#include <QJsonObject>
#include <QVector>

// brkctl plant status|check|backup|write|history|report: one command over the units
// of a plant file, through the fleet runner, with a result per unit named as
// the plant names it. Also brkctl journal, which reads the journal of changes.
//
//     PlantCommand plant;
//     if (!plant.setUp(parser, &error)) …;
//     FleetRunner fleet(options, plant.jobs());
//     plant.schedule(&fleet);
//     … once the fleet has finished: results = plant.collect(fleet.results());
class PlantCommand
{
public:
    // The options of "plant" and "journal"; none for other commands.
    static QList<QCommandLineOption> plantOptions();
    static QList<QCommandLineOption> journalOptions();

    bool setUp(const QCommandLineParser &parser, QString *error);
    int jobs() const { return m_jobs; }
    void schedule(FleetRunner *fleet);
    QVector<UnitResult> collect(const QVector<UnitResult> &fleet) const;
    QJsonObject document() const;

    // brkctl journal: the entries as lines and JSON; false with a usage error.
    static bool journal(const QCommandLineParser &parser, UnitResult *result, QString *error);

private:
    enum class Kind { Status, Check, Backup, Write, History, Report };
    struct Entry
    {
        PlantUnit unit;
        int fleetIndex = -1; // -1: no unit run, `preset` is the result
        UnitResult preset;
    };

    bool selectUnits(const QStringList &names, QString *error);
    bool setUpHistory(const QStringList &arguments, bool diff, QString *error);
    FleetRunner::Script scriptFor(const PlantUnit &unit, QString *refusal) const;
    UnitResult historyResult(const QVector<UnitResult> &fleet) const;
    void addStatusLine(const PlantUnit &unit, UnitResult *result) const;
    // Writes the report of every unit: each as read, or its file when it did not answer.
    void writeReport(QVector<UnitResult> *results) const;

    Plant m_plant;
    QString m_plantPath;
    QString m_subcommand;
    Kind m_kind = Kind::Status;
    QVector<Entry> m_entries;
    QString m_backupRoot;
    int m_jobs = 4;
    QStringList m_diffSides; // history --diff: version paths, or empty for the unit
    int m_unitIndex = -1;    // history: the fleet entry that reads the unit
    QString m_reportPath;
    ReportInfo m_reportInfo;
};

#endif // PLANTCOMMAND_H
