// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIMTCPSERVER_H
#define SIMTCPSERVER_H

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;
class SimBus;

// Modbus TCP for every unit of the bus on one port: the MBAP unit identifier
// selects the unit, so one port serves several addresses. While the bus is paused,
// requests stay unread in the sockets and the connections stay open.
class SimTcpServer : public QObject
{
    Q_OBJECT
public:
    explicit SimTcpServer(SimBus *bus, QObject *parent = nullptr); // bus not owned

    // Port 0 picks a free port; serverPort() tells which.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 serverPort() const { return m_server.serverPort(); }
    // As a gateway (ms >= 0), a request that no unit answers gets exception 0x0B
    // that late instead of silence; -1: no gateway.
    void setGatewayDelayMs(int ms) { m_gatewayDelayMs = ms; }

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void sendReply(QTcpSocket *socket, const QByteArray &frame, const QByteArray &pdu, int delayMs);

    SimBus *m_bus;
    QTcpServer m_server;
    int m_gatewayDelayMs = -1;
};

#endif // SIMTCPSERVER_H
