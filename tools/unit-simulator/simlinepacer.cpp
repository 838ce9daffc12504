// SPDX-License-Identifier: GPL-3.0-or-later
#include "simlinepacer.h"

#include <QIODevice>
#include <QThread>

namespace {

// Qt wakes a timer on whole milliseconds, up to one late: a wait shorter than
// this is slept out instead, or every frame of a fast line would end late.
constexpr qint64 SleepBelowUs = 1500;

} // namespace

SimLinePacer::SimLinePacer(QIODevice *device, QObject *parent)
    : QObject(parent)
    , m_device(device)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SimLinePacer::writeDue);
}

qint64 SimLinePacer::characterUs(qint32 baudRate, bool parity, int stopBits)
{
    const int bits = 1 + 8 + (parity ? 1 : 0) + stopBits;
    return (qint64(bits) * 1000000 + baudRate - 1) / qMax(1, baudRate);
}

void SimLinePacer::send(const QByteArray &bytes, qint64 startUs)
{
    const qint64 start = qMax(startUs, m_lineFreeUs);
    for (int i = 0; i < bytes.size(); ++i)
        m_pending.push_back({start + (i + 1) * m_characterUs, bytes.at(i)});
    m_lineFreeUs = start + bytes.size() * m_characterUs;
    if (!m_timer.isActive())
        writeDue();
}

void SimLinePacer::writeDue()
{
    for (;;) {
        const qint64 now = nowUs();
        QByteArray chunk;
        while (!m_pending.empty() && m_pending.front().dueUs <= now) {
            chunk.append(m_pending.front().byte);
            m_pending.pop_front();
        }
        if (!chunk.isEmpty())
            m_device->write(chunk);
        if (m_pending.empty())
            return;
        const qint64 waitUs = m_pending.front().dueUs - now;
        if (waitUs >= SleepBelowUs) {
            m_timer.start(int((waitUs - SleepBelowUs) / 1000) + 1);
            return;
        }
        // One sleep up to the last byte due in the window, as a UART hands
        // over what it has: the frame's end stays on time.
        qint64 untilUs = m_pending.front().dueUs;
        for (const Pending &pending : m_pending) {
            if (pending.dueUs >= now + SleepBelowUs)
                break;
            untilUs = pending.dueUs;
        }
        QThread::usleep(quint64(untilUs - now));
    }
}
