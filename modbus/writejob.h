// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef WRITEJOB_H
#define WRITEJOB_H

#include "transfersequence.h"

#include <QObject>
#include <QSet>
#include <QTimer>

class Module;

// One write of a configuration to a unit over a borrowed TransferSequence:
// encodes the module into a copy of the unit's image, writes it (every
// register, or those that differ), follows a changed unit address, reads
// back what it wrote when asked, and ends with one outcome. A window and
// brkctl drive it alike and only show the outcome their own way.
//
//   job = new WriteJob(m_transfer, this);   // the sequence is not owned
//   job->start(module, image, options);     // Empty: nothing differs
//   verifyStarted()   -> the read-back's progress range
//   message(QString)  -> output pane
//   finished(outcome) -> written(), confirmedWrites(), verifyReport(), …
//
// While a job runs, the sequence's Write and Verify results are the job's.
class WriteJob : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Completed,    // every write answered, and read back equal when asked
        Unconfirmed,  // a write went unanswered, or the unit moved where it cannot be checked
        VerifyFailed, // every write answered, but the read-back differs or failed
        Refused,      // the unit answered a write with an exception
        Cancelled
    };
    Q_ENUM(Outcome)
    // Where the unit answers once it has taken the written link words.
    enum class Move { None, NewAddress, Elsewhere };

    struct Options
    {
        TransferSequence::WriteMode mode = TransferSequence::WriteMode::All;
        QSet<int> kept; // holding registers left as the unit has them
        bool verify = false;
        // Read back at a changed unit address after this pause. Negative:
        // a changed address or port word leaves the read-back out.
        int followMs = -1;
    };

    explicit WriteJob(TransferSequence *transfer, QObject *parent = nullptr);

    TransferSequence::Start start(const Module &module, const ModuleTables &image,
                                  const Options &options);
    // `encoded` already holds what to write; `image` is the unit as read.
    TransferSequence::Start start(const ModuleTables &encoded, const ModuleTables &image,
                                  const Options &options);
    bool isRunning() const { return m_running; }
    // Stops the write or the read-back; finished(Cancelled) follows.
    void cancel();

    Outcome outcome() const { return m_outcome; }
    // How the write itself ended (Failed: the unit stopped answering or refused).
    TransferSequence::Result writeResult() const { return m_writeResult; }
    ModuleTables written() const { return m_written; }
    // The image the write started from (the unit as last read).
    ModuleTables before() const { return m_before; }
    int writtenCount() const { return m_writtenCount; }
    QVector<ModbusRequest> confirmedWrites() const { return m_confirmed; }
    // What the unit holds as far as it told: the image as read, with every
    // write it answered and, after a read-back, what came back. A register
    // the read-back did not reach is taken as not written.
    ModuleTables held() const;
    Move move() const { return m_move; }
    // The address or port word changed (the window reconnects).
    bool linkChanged() const { return m_linkChanged; }
    bool verified() const { return m_check == Check::Equal; }
    QVector<WriteReadBack::Difference> differences() const;
    QString verifyReport(int maxLines = -1) const;
    // Read blocks of the read-back that got no answer.
    QStringList unreadBlocks() const { return m_transfer->failedBlocks(); }

signals:
    void verifyStarted();
    void message(const QString &text);
    void finished(WriteJob::Outcome outcome);

private:
    enum class Check { None, Skipped, Unreachable, Equal, Differs, Cancelled };

    void onTransferFinished(TransferSequence::Kind kind, TransferSequence::Result result);
    void afterWrite();
    void verify();
    Move moveOf(const ModuleTables &image) const;
    Outcome decide() const;
    void finish();

    TransferSequence *m_transfer; // not owned
    Options m_options;
    bool m_running = false;
    ModuleTables m_written;
    ModuleTables m_before;
    int m_writtenCount = 0;
    QVector<ModbusRequest> m_confirmed;
    TransferSequence::Result m_writeResult = TransferSequence::Result::Completed;
    bool m_refused = false;
    Move m_move = Move::None;
    bool m_linkChanged = false;
    Check m_check = Check::None;
    Outcome m_outcome = Outcome::Completed;
    QTimer m_followTimer;
};

#endif // WRITEJOB_H
