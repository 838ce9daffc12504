#ifndef UNITLINK_H
#define UNITLINK_H

#include "target.h"

#include <QObject>
#include <QTimer>

class QModbusClient;

// Time-out and retries of a client, as the start window chooses them unless
// given: TCP 500 ms and 3 retries; RTU 100 ms per baud step below 115200 and
// 1 retry; the extra delay 1000 ms and 3 retries on a serial line.
struct LinkOptions
{
    int timeoutMs = -1; // -1: by the target
    int retries = -1;
    bool extraDelay = false;

    int timeoutFor(const Target &target) const;
    int retriesFor(const Target &target) const;
};

// The Modbus client of one target: made with the target's parameters,
// connected, closed again. A TCP client never goes through a system proxy.
class UnitLink : public QObject
{
    Q_OBJECT

public:
    UnitLink(const Target &target, const LinkOptions &options, QObject *parent = nullptr);
    ~UnitLink() override;

    QModbusClient *client() const { return m_client; }
    // Connects; opened() or failed() follows.
    void open();
    void close();

signals:
    void opened();
    void failed(const QString &text);

private:
    void fail(const QString &text);

    Target m_target;
    QModbusClient *m_client = nullptr; // child
    QTimer m_connectTimer;
    bool m_reported = false;
};

#endif // UNITLINK_H
