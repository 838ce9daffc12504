#ifndef MODBUSCALL_H
#define MODBUSCALL_H

#include <QModbusClient>
#include <QModbusDataUnit>
#include <QModbusRequest>
#include <QVector>

// The outcome of one request made with a Qt Modbus client.
struct ModbusCallResult
{
    QModbusDevice::Error error = QModbusDevice::NoError;
    int exception = 0;       // Modbus exception code of a protocol error, else 0
    QVector<quint16> values; // values of a read
    int elapsedMs = 0;       // from sending to the reply's end
    bool ok() const { return error == QModbusDevice::NoError; }
};

// Sends one request and spins the event loop until its reply ends (at most
// waitMs). Meant for tests: the simulated unit runs on the same event loop.
namespace ModbusCall {
ModbusCallResult read(QModbusClient *client, QModbusDataUnit::RegisterType type, int address,
                      int count, int slave, int waitMs = 5000);
ModbusCallResult write(QModbusClient *client, QModbusDataUnit::RegisterType type, int address,
                       const QVector<quint16> &values, int slave, int waitMs = 5000);
ModbusCallResult raw(QModbusClient *client, const QModbusRequest &request, int slave,
                     int waitMs = 5000);
} // namespace ModbusCall

#endif // MODBUSCALL_H
