// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TRANSFERSEQUENCE_H
#define TRANSFERSEQUENCE_H

#include "modbusrequest.h"
#include "typeresponse.h"
#include "writereadback.h"

#include <modeflags.h>
#include <moduletables.h>

#include <QElapsedTimer>
#include <QModbusDevice>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QVector>

class QModbusClient;
class QModbusReply;

// Runs the read, write and service sequences of an online window over a
// borrowed Modbus client: paces the requests, stores read blocks into its own
// register image, reports every failure and says how the sequence ended.
// A timer-driven state machine: no local event loops, so pauses stay exact
// and nothing re-enters a half-done step. All its signals are delivered
// queued, after its own state is settled, so a slot may start the next
// sequence, show a modal box or close the window.
//
// How a window drives it:
//
//   m_transfer = new TransferSequence(m_client, this);  // the client is not owned
//   m_transfer->setServerAddress(module word 5);
//   m_transfer->setFirmwareVersion(module word 2);
//   m_transfer->setMode(m_mode);                      // bits 8 TCP, 16 extra delay
//   progress(int)        -> progressBar->setValue     (reads 3..12, writes 14..25)
//   message(QString)     -> output pane               ("TypeResponse: rT800", summaries)
//   errorMessage(QString)-> status bar 5000 ms and output pane
//   warning(QString)     -> a "Внимание" box
//   finished(kind, result):
//     Read:   m_tables = tables(); build the view (also on Failed: the blocks that
//             failed kept their previous contents and are listed in the output pane)
//     Write, Verify: the WriteJob's, which says how the write ended
//     Reset:  Completed   -> startRead(m_tables)
//
//   Read:  startRead(m_tables)                       (progress range 3..13)
//   Write: startWrite(encoded, imageBeforeEncoding, mode) (progress range 14..26);
//          Empty means nothing differs: leave the window as it is.
//   Verify: startVerify() after a Completed write reads back what it wrote;
//           Empty when there is nothing to read back (progress range 3..13).
//   Close: cancel() (or just delete the runner; late replies are released).
//
// Only one sequence runs at a time; a start while one runs returns Busy.
class TransferSequence : public QObject
{
    Q_OBJECT
public:
    enum class Kind { None, Read, Write, Reset, Reboot, Verify };
    Q_ENUM(Kind)
    enum class Result {
        Completed,   // every request answered without error
        Failed,      // a request failed (reads: some blocks are missing)
        Unconfirmed, // a write whose completing reply was aborted or never came
        Cancelled
    };
    Q_ENUM(Result)
    enum class Start { Started, Busy, Empty, NoClient };
    Q_ENUM(Start)
    enum class WriteMode { All, ChangedOnly };

    static constexpr int ReadPauseMs = 50;
    static constexpr int SlowPauseMs = 100; // old firmware or the extra-delay option
    static constexpr int TcpPauseMs = 10;
    static constexpr int LastOldFirmware = 21; // 2.1 and older: no EEPROM flag
    static constexpr int DefaultWatchdogMarginMs = 1000;
    static constexpr int EarlyWakeMs = 1;

    explicit TransferSequence(QModbusClient *client, QObject *parent = nullptr);
    ~TransferSequence() override;

    void setServerAddress(int address) { m_serverAddress = address; }
    int serverAddress() const { return m_serverAddress; }
    void setFirmwareVersion(int version) { m_version = version; }
    void setMode(int mode) { m_mode = mode; }
    int mode() const { return m_mode; }
    // Added to the client's timeout × (retries + 1) before a missing reply
    // is given up.
    void setWatchdogMargin(int ms) { m_watchdogMarginMs = ms; }

    // Holding registers a write leaves alone, with their write-enable
    // commands (a unit's own address when one file goes to many units).
    void setKeptRegisters(const QSet<int> &registers) { m_keptRegisters = registers; }

    // Pause before each write request for a firmware word and mode bits.
    static int writePauseMs(int firmwareVersion, int mode);

    // Reads the channel blocks sized from the counts of `tables` into a copy
    // of it (tables()). A unit without channels finishes Completed at once.
    Start startRead(const ModuleTables &tables);
    // Writes `encoded`; `before` is the image as it was before encoding: the
    // changed-only mode skips registers equal to it, and both modes compare
    // its address and port words for linkChanged().
    Start startWrite(const ModuleTables &encoded, const ModuleTables &before, WriteMode mode);
    // Reads back the registers the last write sent, once it has Completed,
    // and compares them with what was sent.
    Start startVerify();
    Start startReset();
    Start startReboot();
    // Stops at once: nothing more is sent, replies still on the line are
    // released when they come. Emits finished(…, Cancelled) when a sequence ran.
    void cancel();
    // A write sends nothing more; once the requests on the line are answered or
    // given up, it finishes Unconfirmed (the EEPROM flag cleared, as after any
    // write that did not fail). Other sequences are cancelled.
    void interrupt();

    bool isRunning() const { return m_kind != Kind::None; }
    Kind kind() const { return m_kind; }
    // The register image: read blocks land here; after a write, the written image.
    ModuleTables tables() const { return m_tables; }
    // The last write changed the unit's address or port word.
    bool linkChanged() const { return m_linkChanged; }
    // Names of the read blocks that failed in the last read.
    QStringList failedBlocks() const { return m_failedBlocks; }
    // The first failure of the last sequence: its error (NoError when there
    // was none), the exception code of an exception reply, and the request.
    QModbusDevice::Error failureError() const { return m_failureError; }
    int failureException() const { return m_failureException; }
    ModbusRequest failedRequest() const { return m_failedRequest; }
    // The last data write of the last sequence up to which every request was
    // answered without error; false when there is none.
    bool lastConfirmedWrite(ModbusRequest *request) const;
    // Number of data writes (not commands or flags) the last sequence sent.
    int dataWriteCount() const;
    // The data writes of the last sequence answered without error.
    QVector<ModbusRequest> confirmedWrites() const;
    // The last read-back: registers that differ, and the whole result as text.
    QVector<WriteReadBack::Difference> differences() const { return m_readBack.differences(); }
    const WriteReadBack &readBack() const { return m_readBack; }
    QString verifyReport(int maxLines = -1) const;

signals:
    void progress(int value);
    void blockRead(TypeResponse type);
    void message(const QString &text);
    void errorMessage(const QString &text);
    void warning(const QString &text);
    void finished(TransferSequence::Kind kind, TransferSequence::Result result);

private:
    Start begin(Kind kind, const QVector<ModbusRequest> &requests, bool leadingFlag);
    void sendNext();
    void goOn();
    void skipRest();
    bool waitOutPause();
    void send(int index);
    void onReplyFinished(QModbusReply *reply, int index, quint64 generation);
    void onWatchdog();
    void noteFailure(int index, QModbusDevice::Error error, int exception);
    void handleSuccess(const ModbusRequest &request, const QVector<quint16> &values);
    void handleFailure(int index, const QString &text, QModbusDevice::Error error);
    void stopWithFailure(const QString &text, bool warn);
    void finishIfDone();
    void finish(Result result);
    void sendEepromFlagOff();
    void armWatchdog();
    void releasePending();
    void fitClientTimeout();
    void restoreClientTimeout();
    int pauseBefore(int index) const;
    bool isLastRequest(int index) const { return index == m_requests.size() - 1; }
    template<typename F>
    void notify(F &&emitter);

    QPointer<QModbusClient> m_client; // not owned
    int m_serverAddress = 1;
    int m_version = 0;
    int m_mode = 0;
    int m_watchdogMarginMs = DefaultWatchdogMarginMs;
    int m_responseDelayMs = 0; // the unit's, from its module block
    int m_savedTimeoutMs = -1; // the client's own while a sequence runs

    Kind m_kind = Kind::None;
    bool m_stopped = true;    // no more sends; further replies are ignored
    quint64 m_generation = 0; // replies of an earlier sequence are ignored
    QVector<ModbusRequest> m_requests;
    QVector<bool> m_confirmed; // answered without error
    QSet<int> m_keptRegisters;
    QModbusDevice::Error m_failureError = QModbusDevice::NoError;
    int m_failureException = 0;
    ModbusRequest m_failedRequest;
    int m_next = 0;
    int m_pauseMs = 0;
    bool m_leadingFlag = false; // request 0 is the EEPROM flag, sent without pause
    int m_outstanding = 0;
    bool m_unconfirmed = false;
    bool m_interrupted = false; // a write stopped by interrupt(): nothing more is sent
    bool m_readWarned = false;
    QVector<QPointer<QModbusReply>> m_pending;

    ModuleTables m_tables;
    bool m_linkChanged = false;
    QStringList m_failedBlocks;
    WriteReadBack m_readBack; // the registers of the last write, once it is confirmed

    QTimer m_pauseTimer;
    QElapsedTimer m_sendClock; // since the start of the latest send
    QTimer m_watchdog;
};

#endif // TRANSFERSEQUENCE_H
