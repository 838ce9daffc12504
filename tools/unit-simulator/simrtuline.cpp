// SPDX-License-Identifier: GPL-3.0-or-later
#include "simrtuline.h"

#include "simbus.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSimRtu, "brk.sim.rtu")

namespace {

// Length of a request frame (address to CRC) from its first bytes; 0 = not known yet,
// -1 = no fixed length (unknown function).
int expectedLength(const QByteArray &buffer)
{
    if (buffer.size() < 2)
        return 0;
    switch (quint8(buffer.at(1))) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return 8;
    case 15:
    case 16:
        return buffer.size() < 7 ? 0 : 9 + quint8(buffer.at(6));
    default:
        return -1;
    }
}

bool crcMatches(const QByteArray &frame)
{
    const int n = frame.size();
    const quint16 crc = quint16(quint8(frame.at(n - 2)) | quint8(frame.at(n - 1)) << 8);
    return SimRtuLine::crc16(frame.left(n - 2)) == crc;
}

} // namespace

SimRtuLine::SimRtuLine(SimBus *bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_pacer(&m_port)
{
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, &SimRtuLine::onSilence);
    connect(&m_port, &QSerialPort::readyRead, this, &SimRtuLine::onReadyRead);
    // A paused unit left what arrived in the port: take it in now.
    connect(bus, &SimBus::resumed, this, &SimRtuLine::onReadyRead);
}

bool SimRtuLine::open(const Settings &settings, QString *error)
{
    m_port.setPortName(settings.portName);
    m_port.setBaudRate(settings.baudRate);
    m_port.setParity(settings.parity);
    m_port.setStopBits(settings.stopBits);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("cannot open %1: %2").arg(settings.portName, m_port.errorString());
        return false;
    }
    // 3.5 characters of 11 bits, but not below what a desktop timer can tell apart.
    const int charMs = (11 * 1000 * 7 / 2) / qMax(1, settings.baudRate) + 1;
    m_silence.setInterval(qMax(5, charMs));
    m_pace = settings.pace;
    m_pacer.setCharacterUs(
        SimLinePacer::characterUs(settings.baudRate, settings.parity != QSerialPort::NoParity,
                                  settings.stopBits == QSerialPort::TwoStop ? 2 : 1));
    return true;
}

quint16 SimRtuLine::crc16(const QByteArray &data)
{
    quint16 crc = 0xFFFF;
    for (char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

void SimRtuLine::onReadyRead()
{
    if (m_bus->paused() || !m_port.isOpen())
        return;
    if (m_buffer.isEmpty())
        m_frameStartUs = m_pacer.nowUs();
    m_buffer.append(m_port.readAll());
    parseFrames();
    m_silence.start();
}

void SimRtuLine::parseFrames()
{
    while (!m_bus->paused()) {
        const int length = expectedLength(m_buffer);
        if (length <= 0 || m_buffer.size() < length)
            return; // wait for more bytes or for the silence
        const QByteArray frame = m_buffer.left(length);
        if (crcMatches(frame)) {
            answer(frame);
            consumed(length);
        } else {
            // Noise or a frame cut short: drop a byte and look for a frame start again.
            consumed(1);
        }
    }
}

void SimRtuLine::consumed(int bytes)
{
    m_buffer.remove(0, bytes);
    m_frameStartUs += bytes * m_pacer.characterUs();
}

void SimRtuLine::onSilence()
{
    if (m_bus->paused())
        return; // the rest of the buffer waits for the resume
    // A frame of a function we cannot size: the whole burst is the frame.
    if (m_buffer.size() >= 4 && expectedLength(m_buffer) == -1 && crcMatches(m_buffer))
        answer(m_buffer);
    else if (!m_buffer.isEmpty())
        qCDebug(lcSimRtu) << "discarding" << m_buffer.size() << "bytes of noise";
    m_buffer.clear();
}

void SimRtuLine::answer(const QByteArray &frame)
{
    const int slave = quint8(frame.at(0));
    const qint64 arrivedUs
        = qMax(m_pacer.nowUs(), m_frameStartUs + frame.size() * m_pacer.characterUs());
    const SimUnit *unit = m_bus->unitAt(slave);
    const int turnaroundMs = m_pace && unit ? unit->responseDelayMs() : 0;
    QByteArray pdu;
    // A line has no connection to close: a closing fault is silence here.
    if (m_bus->handle(slave, frame.mid(1, frame.size() - 3), &pdu) != SimBus::Reply::Send)
        return;
    QByteArray reply;
    reply.append(char(slave));
    reply.append(pdu);
    const quint16 crc = crc16(reply);
    reply.append(char(crc & 0xFF));
    reply.append(char(crc >> 8));
    const int delay = m_bus->replyDelayMs(slave);
    if (m_pace) {
        m_pacer.send(reply, arrivedUs + qint64(turnaroundMs + delay) * 1000);
        return;
    }
    if (delay <= 0) {
        m_port.write(reply);
        return;
    }
    QTimer::singleShot(delay, this, [this, reply] { m_port.write(reply); });
}
