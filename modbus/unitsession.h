// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef UNITSESSION_H
#define UNITSESSION_H

#include "target.h"
#include "unitlink.h"

#include <discoveryscanner.h>
#include <moduletables.h>
#include <transfersequence.h>
#include <writejob.h>

#include <QElapsedTimer>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <functional>

// Exit statuses of brkctl, per unit and for the whole run (the highest).
enum ExitStatus {
    StatusOk = 0,
    StatusDiffer = 1,      // the configurations differ
    StatusUsage = 2,       // bad arguments or input
    StatusNoAnswer = 3,    // no connection or no answer
    StatusRefused = 4,     // the unit refused a request, or the file does not fit it
    StatusUnconfirmed = 5, // a write that could not be confirmed
};

// What one unit's part of a command came to.
struct UnitResult
{
    QString target;
    int status = StatusOk;
    QString message;   // summary, without the target
    QStringList lines; // data for standard output
    QByteArray output; // raw data for standard output (a configuration file)
    QJsonObject data;  // command-specific keys of the JSON document
};

// One unit for the length of a command: its client, and the steps a command
// chains (connect, read the module block, read everything, write, reset),
// each going on with a callback or ending the session with a status and a
// message that names the unit, the block and what to try. Every request goes
// through the scanner and the transfer sequence of the modbus library.
class UnitSession : public QObject
{
    Q_OBJECT

public:
    using Next = std::function<void()>;

    UnitSession(const Target &target, const LinkOptions &options, QObject *parent = nullptr);
    ~UnitSession() override;

    const Target &target() const { return m_target; }
    UnitResult &result() { return m_result; }
    bool isFinished() const { return m_finished; }

    void open(const Next &next);
    // The module block, with the jumper word when the firmware has it and
    // `withJumper` is set.
    void readModuleBlock(bool withJumper, const std::function<void(QVector<quint16>)> &next);
    // Asks `address` of the line for its module block once; `next` gets whether
    // anything answered with one (an address to be moved to must be free).
    void probeAddress(int address, const std::function<void(bool)> &next);
    // Ends the session when the block says the configuration jumper is fitted.
    bool refuseIfJumper(const QVector<quint16> &block);
    // The module block and every channel block. With `forWrite`, a fitted
    // configuration jumper ends the session.
    void readImage(bool forWrite, const std::function<void(ModuleTables)> &next);
    // Writes `encoded` over `before` with the write job (and its read-back,
    // when asked); `next` gets the number of registers written once every
    // write was answered, and writeJob() tells the rest. A write that was
    // refused or not answered ends the session.
    void write(const ModuleTables &encoded, const ModuleTables &before,
               const WriteJob::Options &options, const std::function<void(int)> &next);
    const WriteJob &writeJob() const { return *m_writeJob; }
    void reset(const Next &next);
    // Asks the unit addresses first..last of the line, one after the other;
    // `next` gets the module block of every unit that answered, by address,
    // with the jumper word where the firmware has it.
    void scan(int first, int last, const std::function<void(QMap<int, QVector<quint16>>)> &next);

    void finish(int status, const QString &message);
    // A write stops after the requests on the line and reports what it wrote;
    // anything else ends at once. Either way the session ends with status 5.
    void interrupt();
    // Block transfers the command makes (a write: read, write, read-back), so
    // that progress() goes from 0 to 1 once over all of them.
    void setPhases(int count) { m_phases = qMax(1, count); }

    static QString registerName(const ModbusRequest &request);

signals:
    void progress(double fraction);
    // From finish(), with the result set and still open to additions.
    void ending();
    void finished();

private:
    void startWatchdog();
    // One read of `count` words of the module block at `address`; `next` gets
    // what came back (empty for no answer).
    void askModuleBlock(int address, int count, const std::function<void(QVector<quint16>)> &next);
    void readJumpers(QMap<int, QVector<quint16>> found, QList<int> pending,
                     const std::function<void(QMap<int, QVector<quint16>>)> &next);
    void onTransferFinished(TransferSequence::Kind kind, TransferSequence::Result result);
    void onBlockDone(int type);
    int failureStatus() const;

    Target m_target;
    UnitResult m_result;
    UnitLink m_link;
    DiscoveryScanner m_scanner;
    TransferSequence *m_transfer = nullptr; // child
    WriteJob *m_writeJob = nullptr;         // child
    QTimer m_watchdog;
    QElapsedTimer m_clock;    // from open() to finish()
    QVector<quint16> m_found; // the block the scanner reported last
    QVector<quint16> m_block;
    int m_firmware = 0;
    QString m_firstError;
    bool m_finished = false;
    int m_exception = -1; // of the last module block read, -1 when none
    bool m_interrupted = false;
    int m_phases = 1;
    int m_phase = 0;
    int m_blockKind = 0; // of the last block done: 1 read, 2 write
    double m_shown = 0;
    std::function<void(TransferSequence::Result)> m_onTransfer;
};

#endif // UNITSESSION_H
