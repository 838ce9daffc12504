#ifndef SIMRTULINE_H
#define SIMRTULINE_H

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

class SimBus;

// Modbus RTU for every unit of the bus on one serial line. Frames are cut by
// their known length and CRC; a frame of unknown length ends with the line's silence.
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
    };

    explicit SimRtuLine(SimBus *bus, QObject *parent = nullptr); // bus not owned

    bool open(const Settings &settings, QString *error);

    static quint16 crc16(const QByteArray &data);

private:
    void onReadyRead();
    void parseFrames();
    void onSilence();
    void answer(const QByteArray &frame);

    SimBus *m_bus;
    QSerialPort m_port;
    QByteArray m_buffer;
    QTimer m_silence;
};

#endif // SIMRTULINE_H
