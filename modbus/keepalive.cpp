// SPDX-License-Identifier: GPL-3.0-or-later
#include "keepalive.h"
#include "trafficrecorder.h"

#include "modbuslogging.h"
#include "requesterror.h"

#include <QModbusClient>
#include <QModbusReply>

KeepAlive::KeepAlive(QObject *parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &KeepAlive::sendRead);
}

KeepAlive::~KeepAlive()
{
    forgetPending();
}

void KeepAlive::setClient(QModbusClient *client)
{
    forgetPending();
    m_client = client;
}

void KeepAlive::start(int intervalMs)
{
    m_timer.start(intervalMs);
}

void KeepAlive::stop()
{
    m_timer.stop();
}

void KeepAlive::sendRead()
{
    if (!m_client || m_pending)
        return;
    const QModbusDataUnit request(QModbusDataUnit::HoldingRegisters, Register, 1);
    QModbusReply *reply = TrafficRecorder::sendRead(m_client, request, m_serverAddress);
    if (!reply) {
        const QString text = sendErrorText(SendKind::Read, m_client->errorString());
        qCDebug(lcModbus) << text;
        emit sendFailed(text);
        return;
    }
    // Only keeps the connection busy: the answer itself is not needed.
    if (reply->isFinished()) {
        reply->deleteLater();
        return;
    }
    m_pending = reply;
    connect(reply, &QModbusReply::finished, this, [this, reply] {
        if (m_pending == reply)
            m_pending = nullptr;
    });
    connect(reply, &QModbusReply::finished, reply, &QObject::deleteLater);
}

void KeepAlive::forgetPending()
{
    // The reply belongs to the client and ends with it; only this link to it goes.
    m_pending = nullptr;
}
