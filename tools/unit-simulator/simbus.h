// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIMBUS_H
#define SIMBUS_H

#include "simrequestlog.h"
#include "simunit.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QTimer>

// Fault options for reliability tests. "At ADDR" faults hit every request whose
// registers (or coils) cover ADDR. A request that is not answered is not carried out.
struct SimFaults
{
    QSet<int> units;             // the faults hit only these unit addresses (empty: every unit)
    int dropEvery = 0;           // no answer to every N-th request to a unit (0 = never)
    int delayMs = 0;             // every answer goes out this late
    QMap<int, int> exceptionAt;  // register address -> exception code for any request covering it
    QMap<int, int> shortReplyAt; // address -> registers (bytes of a bit read) left out of a read
    QSet<int> wrongReplyAt;      // reads get one register (byte) too many, writes echo start + 1
    QSet<int> closeAt;           // TCP: the connection is closed instead of an answer
    QSet<int> silentAt;          // no answer
    QSet<int> ignoreWrite;       // writes are answered as done but the old value stays
    bool silent = false;         // the whole unit answers nothing
    int silentAfter = 0;         // ... from the (N+1)-th request on (0 = never)
    int pauseAt = 0;             // after the N-th request no request is taken in ... (0 = never)
    int pauseForMs = 1000;       // ... for this long; then all that came meanwhile is handled
};

// The transport-independent core: every unit on the line, request decoding and
// encoding of Modbus PDUs, fault injection, the request log and the state file.
// TCP and RTU framing hand it (slave, PDU) and send back what it returns.
class SimBus : public QObject
{
    Q_OBJECT
public:
    explicit SimBus(QObject *parent = nullptr);

    // The bus owns its units. Several may share one line; each answers at its own address.
    SimUnit *addUnit(const SimUnitConfig &config, bool frozen);
    QList<SimUnit *> units() const { return m_units; }
    // The unit that answers at this slave address now, or null.
    SimUnit *unitAt(int slave) const;

    void setFaults(const SimFaults &faults) { m_faults = faults; }
    const SimFaults &faults() const { return m_faults; }
    void setLenient(bool lenient);

    SimRequestLog &log() { return m_log; }
    // Loads the units' configuration from path, then saves it there after every change.
    bool setStateFile(const QString &path, QString *error);

    enum class Reply { Send, None, Close };
    // Handles one request PDU (function code first) for a slave. Send: *response goes
    // back; None: nothing is sent (no such unit, a dropped request); Close: the
    // transport drops the connection (where it has one) and sends nothing.
    Reply handle(int slave, const QByteArray &request, QByteArray *response);
    // How late the answer to this slave goes out.
    int replyDelayMs(int slave) const;
    // While paused the transports leave requests unread, as a stopped device does.
    bool paused() const { return m_pauseTimer.isActive(); }

signals:
    // The pause is over: the transports take in what waited.
    void resumed();

private:
    bool faultsApply(int slave) const;
    int execute(SimUnit *unit, int function, const QByteArray &request, QByteArray *response,
                SimRequestRecord *record, bool faulty);
    void distortReply(int function, int address, int count, QByteArray *response,
                      SimRequestRecord *record) const;
    void saveState();
    void logEvent(int slave, const QString &text);

    QList<SimUnit *> m_units;
    SimFaults m_faults;
    SimRequestLog m_log;
    QString m_statePath;
    bool m_lenient = false;
    quint64 m_requestCount = 0;
    QTimer m_pauseTimer;
};

#endif // SIMBUS_H
