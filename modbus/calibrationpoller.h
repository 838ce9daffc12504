// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CALIBRATIONPOLLER_H
#define CALIBRATIONPOLLER_H

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QModbusReply> // a signal's argument
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <QVector>

class Module;
class Property;
class QModbusClient;

// Calibration mode without a window: polls every channel parameter of a
// module that has a register of its own, stores what the unit answers into
// the parameters, and writes every edit of such a parameter to the unit at
// once (one register; Int32 and Float32 edits stay in the model). On finish()
// the parameters edited meanwhile get back the value first read from the unit
// (the baseline), on the unit as well; reading alone never counts as an edit.
//
// Polling is a timer-driven pass: one read every StepMs; the next pass starts
// when the poll timer ticks, PollIntervalMs after the latest reply; a tick
// during a pass is skipped. Replies are tied to the poller and released when
// they end; reads still on the line at finish() are dropped at once, so the
// client sends no retry.
//
// When StaleAfterReads reads in a row get no answer, the stored values are
// stale: the pass stops, and each tick sends a single read (of each parameter
// in turn) whose silence doubles the interval up to MaxBackoffMs. The first
// answer ends it, and the passes go on at the usual pace.
//
// On a serial line a reply carries no register address, so a late answer to
// one read could pass for the answer to the next: there reads go one at a
// time, and after a read gets no answer nothing is sent until the line has
// been quiet for LateReplyQuietFactor time-outs; a late reply then finds no
// read waiting and is dropped by the client. A read answered only after its
// time-out (its retry took the first attempt's reply) waits the same way.
//
// A dialog creates it (the client's timeout and retries change here and are
// given back by finish()), connects the signals, calls start(), and calls
// finish() when it closes; the destructor does too.
class CalibrationPoller : public QObject
{
    Q_OBJECT

public:
    CalibrationPoller(Module *module, QModbusClient *client, int serverAddress,
                      QObject *parent = nullptr);
    ~CalibrationPoller() override;

    // The polled parameters, in module, board, channel and parameter order.
    QList<Property *> polledParameters() const { return m_polled; }
    bool isPassRunning() const { return m_passIndex >= 0; }
    bool isStale() const { return m_stale; }
    bool isFinished() const { return m_finished; }
    // Time from the latest reply to the next tick; grows while stale.
    int pollInterval() const { return m_pollTimer.interval(); }

    void start();
    // Stops polling, drops the reads on the line, gives the client its
    // settings back and takes back the edits. Runs once.
    void finish();

    // The poll timer's tick: starts a pass (or, while stale, one read).
    void readProperty();
    // Writes an edit of a polled parameter to the unit.
    void onValueChange(Property *p);

    static constexpr int PollIntervalMs = 500;
    static constexpr int StepMs = 50;
    static constexpr int ClientTimeoutMs = 50;
    static constexpr int ClientRetries = 1;
    static constexpr int StaleAfterReads = 3;
    static constexpr int MaxBackoffMs = 4000;
    static constexpr int LateReplyQuietFactor = 2;

signals:
    // A read of the parameter was stored: its value as converted, when it came.
    void valueStored(Property *parameter, const QVariant &value, const QDateTime &time);
    // The unit stopped answering (the values held are stale) or answers again.
    void staleChanged(bool stale);
    // A note for the user, such as an edit that could not be taken back.
    void notice(const QString &text);
    // An edit went to the unit: what the unit held before (invalid when never
    // read) and the reply, which may end after the poller is gone.
    void writeSent(Property *parameter, const QVariant &before, QModbusReply *reply);

private:
    void collectParameters(Module *module);
    void sendNextRead();
    bool sendRead(Property *p, bool probe);
    void sendWrite(Property *p);
    void watch(QModbusReply *reply, Property *p, bool write);
    void handleReply(QModbusReply *reply, Property *p, bool write);
    void storeRead(Property *p, const QVector<quint16> &values);
    void readAnswered();
    void readUnanswered(const QString &text, bool probe);
    void restartPollTimer();
    void restoreEdits();
    void fitClientTimeout(Module *module);
    bool lineBusy() const;
    void watchLine();
    void resumeAfterQuiet();

    QPointer<QModbusClient> m_client; // not owned
    int m_serverAddress;
    QList<Property *> m_polled; // not owned
    QTimer m_pollTimer;
    QTimer m_stepTimer;
    bool m_serial = false;
    QTimer m_quietTimer;       // runs while a late reply may still come
    QElapsedTimer m_readClock; // since the latest read was sent

    int m_passIndex = -1; // next parameter of the running pass, -1: none runs
    bool m_finished = false;
    bool m_restoring = false;
    bool m_stale = false;
    int m_unansweredReads = 0;
    int m_probeIndex = 0;
    int m_savedTimeout = -1;
    int m_savedRetries = -1;

    QVector<QPointer<QModbusReply>> m_pendingReads;
    QPointer<QModbusReply> m_probe;         // the single read sent while stale
    QHash<Property *, QVariant> m_baseline; // first value read here
    QHash<Property *, QVariant> m_held;     // latest value read or written here
    QHash<Property *, bool> m_markAtOpen;   // edit marks held before polling began
    QList<Property *> m_edited;             // edited here, in order of the first edit
};

#endif // CALIBRATIONPOLLER_H
