// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODBUSCALL_H
#define MODBUSCALL_H

#include <QModbusClient>
#include <QModbusDataUnit>
#include <QModbusTcpClient>
#include <QString>
#include <QVector>

#include <memory>

// The outcome of one request made with a Qt Modbus client.
struct ModbusCallResult
{
    QModbusDevice::Error error = QModbusDevice::NoError;
    int exception = 0;       // Modbus exception code of a protocol error, else 0
    QVector<quint16> values; // values of a read
    bool ok() const { return error == QModbusDevice::NoError; }
};

// Sends one request and spins the event loop until its reply ends (at most
// waitMs). Meant for tests: the simulated unit runs on the same event loop.
namespace ModbusCall {
ModbusCallResult read(QModbusClient *client, QModbusDataUnit::RegisterType type, int address,
                      int count, int slave, int waitMs = 5000);
ModbusCallResult write(QModbusClient *client, QModbusDataUnit::RegisterType type, int address,
                       const QVector<quint16> &values, int slave, int waitMs = 5000);

// A client connected to 127.0.0.1:port (a warning when it could not connect: its requests
// then fail).
std::unique_ptr<QModbusTcpClient> tcpClient(quint16 port, int timeoutMs = 1000, int retries = 0);

// Sends requests written one per word: the register kind (h holding, i input, c coil,
// d discrete input) and address, then "=" the values to write, ":" the count to read or
// "?" the values a read must give, "@" the unit (default 1) and "!" the outcome expected
// (an exception code, or T for a time-out; default: answered). Values may be hex (0x).
// "arm" and "arm-module" stand for the write-enable commands of the channel and the module
// words. Example: "arm h800=0x4120 h800?0x4120 h2005@9!T". Returns the first request whose
// outcome differs, with what came, or an empty string.
QString run(QModbusClient *client, const QString &requests);
} // namespace ModbusCall

#endif // MODBUSCALL_H
