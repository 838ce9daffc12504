// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIMLINEPACER_H
#define SIMLINEPACER_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>

class QIODevice;

// Gives bytes to a serial device at the pace of a real line: each byte is written
// when its last bit would have left the wire, and frames go out one after another.
// A pty passes bytes at once, so without this a slow line looks fast.
class SimLinePacer : public QObject
{
    Q_OBJECT
public:
    explicit SimLinePacer(QIODevice *device, QObject *parent = nullptr); // device not owned

    // Microseconds one character takes: start bit, 8 data bits, parity bit, stop bits.
    static qint64 characterUs(qint32 baudRate, bool parity, int stopBits);
    void setCharacterUs(qint64 us) { m_characterUs = qMax<qint64>(1, us); }
    qint64 characterUs() const { return m_characterUs; }

    // The pacer's clock; times below are on it.
    qint64 nowUs() const { return m_clock.nsecsElapsed() / 1000; }
    // Queues bytes whose first bit goes out at startUs, or once the line is free.
    void send(const QByteArray &bytes, qint64 startUs);

private:
    struct Pending
    {
        qint64 dueUs;
        char byte;
    };
    void writeDue();

    QIODevice *m_device;
    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_characterUs = 1;
    qint64 m_lineFreeUs = 0;
    std::deque<Pending> m_pending;
};

#endif // SIMLINEPACER_H
