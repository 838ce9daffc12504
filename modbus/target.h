// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TARGET_H
#define TARGET_H

#include <QSerialPort>
#include <QString>
#include <QVector>

// Where one unit is reached, written the same way on every command:
//   tcp://HOST[:PORT][?unit=N]                                   port 502, unit 1
//   rtu:DEVICE[?baud=N&parity=none|even|odd&stop=1|2&unit=N]      115200, none, 1, unit 1
struct Target
{
    enum class Kind { Tcp, Rtu };

    Kind kind = Kind::Tcp;
    QString host;
    int port = 502;
    QString device;
    int baud = 115200;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    int unit = 1;

    static constexpr int MinUnit = 1;
    static constexpr int MaxUnit = 247;

    // False with a message naming what is wrong.
    static bool parse(const QString &text, Target *target, QString *error);
    // Whether `text` parses, for callers that only check it (a plant file's lines).
    static bool check(const QString &text, QString *error);
    // For scans: the last octet of a TCP host and the unit may be ranges
    // ("tcp://10.0.0.1-20:502?unit=1-3"); every target they name, in order.
    static bool parseRange(const QString &text, QVector<Target> *targets, QString *error);

    // How each kind is written, for help and error texts.
    static QString tcpForm();
    static QString rtuForm();

    QString toString() const;
    // Units with the same key share a line and are served one after the other.
    QString lineKey() const;
    bool isTcp() const { return kind == Kind::Tcp; }
};

#endif // TARGET_H
