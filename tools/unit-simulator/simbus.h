#ifndef SIMBUS_H
#define SIMBUS_H

#include "simrequestlog.h"
#include "simunit.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>

// Fault options for reliability tests.
struct SimFaults
{
    int dropEvery = 0;          // no answer to every N-th request to a unit (0 = never)
    int delayMs = 0;            // every answer goes out this late
    QMap<int, int> exceptionAt; // register address -> exception code for any request covering it
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

    // Handles one request PDU (function code first) for a slave. Returns false when
    // nothing is to be sent back (no such unit, or a dropped request).
    bool handle(int slave, const QByteArray &request, QByteArray *response);

private:
    int execute(SimUnit *unit, int function, const QByteArray &request, QByteArray *response,
                SimRequestRecord *record);
    void saveState();

    QList<SimUnit *> m_units;
    SimFaults m_faults;
    SimRequestLog m_log;
    QString m_statePath;
    bool m_lenient = false;
    quint64 m_requestCount = 0;
};

#endif // SIMBUS_H
