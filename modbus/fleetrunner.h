// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef FLEETRUNNER_H
#define FLEETRUNNER_H

#include "unitlink.h"
#include "unitsession.h"

#include <QMap>
#include <QObject>
#include <QVector>

#include <functional>

// Runs one command on many units: every TCP unit on a connection of its own,
// up to `jobs` at once; units that share a serial line one after the other
// on it, while other lines run beside. Results come back in the order the
// units were added.
//
//     FleetRunner fleet(options, jobs);
//     fleet.add(target, [](UnitSession *unit) { unit->open(…); });  // ends with finish()
//     connect(&fleet, &FleetRunner::finished, …);
//     fleet.start();
class FleetRunner : public QObject
{
    Q_OBJECT

public:
    using Script = std::function<void(UnitSession *)>;

    FleetRunner(const LinkOptions &options, int jobs, QObject *parent = nullptr);

    void add(const Target &target, const Script &script);
    void start();
    // Starts no more units and has the running ones stop after the requests on the line.
    void interrupt();
    QVector<UnitResult> results() const { return m_results; }
    int size() const { return m_entries.size(); }

signals:
    // Units done (a fraction for those under way) out of all units.
    void progress(double done, int total);
    void finished();

private:
    struct Entry
    {
        Target target;
        Script script;
    };

    void startNextLine();
    void runNext(const QString &line);
    void reportProgress();

    LinkOptions m_options;
    int m_jobs;
    QVector<Entry> m_entries;
    QVector<UnitResult> m_results;
    QStringList m_lineOrder;             // lines in the order first named
    QMap<QString, QVector<int>> m_lines; // line -> entries still to run, in order
    QMap<int, double> m_running;         // entry -> its fraction done
    int m_activeLines = 0;
    int m_done = 0;
};

#endif // FLEETRUNNER_H
