// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LINKSETTINGS_H
#define LINKSETTINGS_H

#include <QMetaType>
#include <QModbusDataUnit>
#include <QSerialPort>
#include <QString>

class QModbusClient;

// How the PC reaches one unit: a TCP host, port and unit identifier, or a
// serial port with its speed, parity and stop bits; and the response
// time-out and retries that follow from them. The start window and brkctl
// both set their clients from it.
struct LinkSettings
{
    enum class Kind { Tcp, Serial };

    static constexpr int DefaultTcpPort = 502;
    static constexpr int TcpTimeoutMs = 500;
    static constexpr int TcpRetries = 3;
    static constexpr int SerialRetries = 1;
    // A slow line or converter: one time-out whatever the speed.
    static constexpr int ExtraDelayTimeoutMs = 1000;
    static constexpr int ExtraDelayRetries = 3;
    // Serial time-out per step of the speed list below the fastest.
    static constexpr int SerialStepMs = 100;

    Kind kind = Kind::Tcp;
    QString host;
    int port = DefaultTcpPort;
    int unitId = 1;
    QString serialPort;
    int baud = 115200;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    bool extraDelay = false;
    // Given by the user instead of the derived values; unset when negative.
    int timeoutOverrideMs = -1;
    int retriesOverride = -1;
    // The unit's response delay (word 7 of its module block) once read.
    int responseDelayMs = 0;

    bool isTcp() const { return kind == Kind::Tcp; }
    // The base time-out for the speed (or the extra delay, or the user's).
    int responseTimeoutMs() const;
    // The time-out of one request on this link: `baseMs` plus, on a serial
    // line, the time the request and its reply take on the wire and the
    // unit's response delay. Over TCP `baseMs` alone.
    int requestTimeoutMs(const QModbusDataUnit &unit, bool write, int baseMs) const;
    int requestTimeoutMs(const QModbusDataUnit &unit, bool write) const
    {
        return requestTimeoutMs(unit, write, responseTimeoutMs());
    }
    // Microseconds one character takes: start bit, 8 data bits, parity, stop bits.
    qint64 characterUs() const;
    // RTU frame lengths of a request and of the reply it expects.
    static int requestBytes(const QModbusDataUnit &unit, bool write);
    static int replyBytes(const QModbusDataUnit &unit, bool write);
    int retries() const;
    // The mode bits of the link (TCP or RTU, extra delay).
    int modeFlags() const;
    // Sets the client's connection parameters, retries and a time-out that
    // fits the module block read of the check before opening; the client
    // keeps these settings for settingsOf().
    void applyTo(QModbusClient *client) const;
    // What applyTo() left on the client; false when it never ran on it.
    static bool settingsOf(const QModbusClient *client, LinkSettings *settings);
    // Sets the client's time-out to the largest that `units` need on its
    // link with the unit's response delay, from `baseMs` (the link's base
    // when negative). Leaves a client without link settings or on TCP alone
    // and returns false then.
    static bool fitTimeout(QModbusClient *client, const QVector<QModbusDataUnit> &units, bool write,
                           int responseDelayMs, int baseMs = -1);
};

Q_DECLARE_METATYPE(LinkSettings)

#endif // LINKSETTINGS_H
