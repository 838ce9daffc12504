// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef DISCOVERYSCANNER_H
#define DISCOVERYSCANNER_H

#include "modbusrequest.h"

#include <moduletables.h>

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>

#include <QModbusClient>
#include <QModbusReply>

// Searches a line for units: asks every slave address of a range for its
// module block, one request on the line at a time, and reports each unit that
// answers. Over TCP each identifier is asked once; an exception reply (a
// gateway's 0x0A "no path" or 0x0B "target did not answer") means no unit
// there at once. Replies that do not answer their own request (too few values, wrong
// start) count as no answer; replies of a client that was replaced or is
// closing are dropped without a word.
//
// Before a unit is opened, probe() asks it once more for its module block
// (with the jumper word), past the queue and the stop flag.
//
// A window sets the client, calls start(first, last) on ConnectedState, and
// calls clear() (or setClient()) when the client goes away.
class DiscoveryScanner : public QObject
{
    Q_OBJECT

public:
    explicit DiscoveryScanner(QObject *parent = nullptr);
    ~DiscoveryScanner() override;

    // The client the scan asks through (not owned). Changing it forgets the
    // queue and the reply in flight.
    void setClient(QModbusClient *client);
    QModbusClient *client() const { return m_client; }

    // Queues the addresses first..last in ascending order and starts sending.
    // Returns the number of addresses queued (0 when first > last).
    int start(int first, int last);

    // Queues a read of `count` holding registers from 2000 at serverAddress;
    // `last` marks the final address of a scan. Nothing is sent.
    void findModule(int serverAddress, bool last, int count = ModuleTables::ModuleBlockSize);

    // Sends the first queued request unless one is already on the line.
    void sendRequest();

    // Drops the queue and sends a read of `count` holding registers from 2000
    // to serverAddress at once. False when it could not be sent (sendFailed
    // says why); otherwise unitProbed or probeFailed follows, or nothing when
    // the connection goes away first.
    bool probe(int serverAddress, int count);
    // Takes the probe's reply and releases it.
    void probeReplied(QModbusReply *reply);
    bool isProbing() const { return m_pending && m_pendingEntry.probe; }

    // The stop flag: when set, the scan ends before asking its next address.
    void requestStop();
    void clearStopFlag();
    bool stopRequested() const;

    // Drops the queue and forgets the reply in flight, reporting nothing.
    void clear();

    bool isBusy() const { return !m_requests.isEmpty() || m_pending; }
    int queuedCount() const { return m_requests.size(); }

    // Pause before each request goes out.
    static constexpr int PacingMs = 5;
    static constexpr int ModuleBlockStart = 2000;

signals:
    // A unit answered at serverAddress with its module block (at least 23 words).
    void unitFound(const QVector<quint16> &moduleBlock, int serverAddress);
    // The unit at serverAddress answered with an exception (before addressDone);
    // not for a gateway's exceptions, which mean that no unit answered.
    void unitRefused(int serverAddress, int exceptionCode);
    // An address was asked and has answered, stayed silent or failed.
    void addressDone(int serverAddress, bool last);
    // The scan saw the stop flag and dropped what was left.
    void stopped();
    // A request could not be sent; the text is ready for the user.
    void sendFailed(const QString &text);
    // The probed unit answered with the block asked for.
    void unitProbed(const QVector<quint16> &moduleBlock, int serverAddress);
    // The probe's reply carried an error or did not answer it; the text is ready for the user.
    void probeFailed(const QString &text);

private:
    struct Entry
    {
        ModbusRequest request;
        bool last = false;
        bool probe = false;
    };

    static Entry moduleBlockRead(int serverAddress, bool last, int count);
    QModbusReply *sendScanRead(const Entry &entry);
    // Keeps the reply as the one on the line and handles it when it ends.
    void watch(QModbusReply *reply, const Entry &entry);
    void onReplyFinished(QModbusReply *reply);
    void scheduleNext();
    bool takeStopFlag();

    mutable QMutex m_mutex; // guards m_stopFlag
    int m_stopFlag = 0;
    QList<Entry> m_requests;
    QPointer<QModbusClient> m_client;
    QPointer<QModbusReply> m_pending;
    Entry m_pendingEntry;
    QTimer m_pacing;
};

#endif // DISCOVERYSCANNER_H
