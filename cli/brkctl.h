// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef BRKCTL_H
#define BRKCTL_H

#include "fleetrunner.h"
#include "unitsession.h"

#include <QCommandLineParser>
#include <QObject>
#include <QTextStream>

#include <functional>
#include <memory>

class Module;

// The command line: parses a command and its arguments, runs it over the
// units (FleetRunner) or files it names, and prints the result: data on
// standard output, messages and progress on standard error, or one JSON
// document with --json.
class Brkctl : public QObject
{
    Q_OBJECT

public:
    explicit Brkctl(QObject *parent = nullptr);
    ~Brkctl() override;

    // Starts the command in `arguments` (program name first). False when it
    // has already ended (help, version, bad arguments): exitStatus() then.
    bool start(const QStringList &arguments);
    int exitStatus() const { return m_status; }
    // Stops the units' sessions after the requests on the line; the results
    // follow as usual, those cut short with exit status 5.
    void interrupt();

signals:
    void finished(int status);

private:
    struct Command
    {
        const char *name;
        const char *arguments; // synopsis after the name
        const char *summary;
        bool (Brkctl::*run)();
        bool manyTargets;                  // takes --jobs and --targets
        QList<QCommandLineOption> options; // its own, after the shared ones
    };
    static const Command *commands(int *count);
    static const Command *findCommand(const QString &name);

    bool runScan();
    bool runRead();
    bool runWrite();
    bool runDiff();
    bool runGet();
    bool runSet();
    bool runReset();
    bool runMap();
    bool runReport(); // reportcommand.cpp
    // A file or one target: `apply` fills the result from its module.
    using ModuleAction = std::function<void(const Module &module, UnitResult *result)>;
    bool runOnModule(const QString &source, const ModuleAction &apply);
    // Scan: the address range asked for on each line (RTU port, TCP host and port).
    struct ScanLine
    {
        Target target;
        int first;
        int last;
    };
    bool scanLines(const QStringList &texts, QVector<ScanLine> *lines);
    bool applyScanBounds(QVector<ScanLine> *lines);
    bool runPlant();   // brkctlplant.cpp
    bool runJournal(); // brkctlplant.cpp

    static void setUpParser(const Command &command, QCommandLineParser *parser);
    // `indent` goes before the usage line (a heading's text in the manual page).
    static QString commandHelp(const Command &command, const QString &indent = QString());
    void printHelp(bool withCommands);
    bool usageError(const QString &text);
    bool parseTargets(const QStringList &texts, QVector<Target> *targets);
    bool readTargetsFile(QStringList *texts);
    bool linkOptions(LinkOptions *options);
    bool switchOverMs(int *ms);
    // Starts the fleet; `done` runs when every unit has ended, before printing.
    bool runFleet(const std::function<void()> &done = nullptr);
    void printAndFinish();
    void drawProgress(double done, int total);
    static bool isTarget(const QString &text);

    QTextStream m_out;
    QTextStream m_err;
    QCommandLineParser m_parser;
    const Command *m_command = nullptr;
    bool m_json = false;
    bool m_progress = false;
    int m_status = StatusOk;
    std::unique_ptr<FleetRunner> m_fleet;
    QVector<UnitResult> m_results; // results that need no unit (files), then the fleet's
    QJsonObject m_document;        // command-specific keys of the JSON document
};

#endif // BRKCTL_H
