// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef UNITLINK_H
#define UNITLINK_H

#include "target.h"

#include <linksettings.h>

#include <QObject>
#include <QTimer>

class QModbusClient;

// What the command line gives beyond the target: a time-out and retries
// that replace the derived ones, and the extra delay on a serial line.
struct LinkOptions
{
    int timeoutMs = -1; // -1: by the target
    int retries = -1;
    bool extraDelay = false;

    LinkSettings settingsFor(const Target &target) const;
};

// The Modbus client of one unit: made with its link settings,
// connected, closed again. A TCP client never goes through a system proxy.
class UnitLink : public QObject
{
    Q_OBJECT

public:
    UnitLink(const LinkSettings &settings, QObject *parent = nullptr);
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

    QModbusClient *m_client = nullptr; // child
    QTimer m_connectTimer;
    bool m_reported = false;
};

#endif // UNITLINK_H
