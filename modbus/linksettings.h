#ifndef LINKSETTINGS_H
#define LINKSETTINGS_H

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

    bool isTcp() const { return kind == Kind::Tcp; }
    // The time a reply of `replyRegisters` registers may take to begin.
    // The same for every length today.
    int responseTimeoutMs(int replyRegisters = 0) const;
    int retries() const;
    // The mode bits of the link (TCP or RTU, extra delay).
    int modeFlags() const;
    // Sets the client's connection parameters, time-out and retries.
    void applyTo(QModbusClient *client) const;
};

#endif // LINKSETTINGS_H
