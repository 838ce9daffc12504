#include "modbuscall.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {

ModbusCallResult finish(QModbusReply *reply, int waitMs, const QElapsedTimer &clock)
{
    ModbusCallResult result;
    if (!reply) {
        result.error = QModbusDevice::ConnectionError;
        return result;
    }
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply, &QModbusReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    result.elapsedMs = int(clock.elapsed());
    if (!reply->isFinished()) {
        result.error = QModbusDevice::TimeoutError;
        reply->deleteLater();
        return result;
    }
    result.error = reply->error();
    if (result.error == QModbusDevice::ProtocolError) {
        // Qt 5.15 keeps a sign-extended function code in exception responses, which its
        // inline isException() trips over under -fsanitize=enum: read the data byte instead.
        const QByteArray data = reply->rawResult().data();
        result.exception = data.isEmpty() ? 0xFF : quint8(data.at(0));
    } else if (result.error == QModbusDevice::NoError)
        result.values = reply->result().values();
    reply->deleteLater();
    return result;
}

} // namespace

ModbusCallResult ModbusCall::read(QModbusClient *client, QModbusDataUnit::RegisterType type,
                                  int address, int count, int slave, int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    return finish(client->sendReadRequest(QModbusDataUnit(type, address, quint16(count)), slave),
                  waitMs, clock);
}

ModbusCallResult ModbusCall::write(QModbusClient *client, QModbusDataUnit::RegisterType type,
                                   int address, const QVector<quint16> &values, int slave,
                                   int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    return finish(client->sendWriteRequest(QModbusDataUnit(type, address, values), slave), waitMs,
                  clock);
}

ModbusCallResult ModbusCall::raw(QModbusClient *client, const QModbusRequest &request, int slave,
                                 int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    return finish(client->sendRawRequest(request, slave), waitMs, clock);
}
