#ifndef SIMTCPSERVER_H
#define SIMTCPSERVER_H

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;
class SimBus;

// Modbus TCP for every unit of the bus on one port: the MBAP unit identifier
// selects the unit, so one port serves several addresses.
class SimTcpServer : public QObject
{
    Q_OBJECT
public:
    explicit SimTcpServer(SimBus *bus, QObject *parent = nullptr); // bus not owned

    // Port 0 picks a free port; serverPort() tells which.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 serverPort() const { return m_server.serverPort(); }

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);

    SimBus *m_bus;
    QTcpServer m_server;
};

#endif // SIMTCPSERVER_H
