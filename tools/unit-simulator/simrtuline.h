// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIMRTULINE_H
#define SIMRTULINE_H

#include "simlinepacer.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

class SimBus;

// Modbus RTU for every unit of the bus on one serial line. Frames are cut by
// their known length and CRC; a frame of unknown length ends with the line's silence.
// Paced, a request counts as arrived when its last byte would have, and the reply
// waits the unit's response delay word and goes out at the line's speed.
class SimRtuLine : public QObject
{
    Q_OBJECT
public:
    struct Settings
    {
        QString portName;
        qint32 baudRate = 19200;
        QSerialPort::Parity parity = QSerialPort::NoParity;
        QSerialPort::StopBits stopBits = QSerialPort::OneStop;
        bool pace = true;
    };

    explicit SimRtuLine(SimBus *bus, QObject *parent = nullptr); // bus not owned

    bool open(const Settings &settings, QString *error);

    static quint16 crc16(const QByteArray &data);

private:
    void onReadyRead();
    void parseFrames();
    void onSilence();
    void answer(const QByteArray &frame);
    void consumed(int bytes);

    SimBus *m_bus;
    QSerialPort m_port;
    QByteArray m_buffer;
    QTimer m_silence;
    SimLinePacer m_pacer;
    bool m_pace = true;
    qint64 m_frameStartUs = 0; // when the first byte in m_buffer arrived, on the pacer's clock
};

#endif // SIMRTULINE_H
