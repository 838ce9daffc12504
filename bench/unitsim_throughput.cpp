// SPDX-License-Identifier: GPL-3.0-or-later
// Requests per second that one simulated unit answers over TCP loopback:
// sequential single-register reads by Qt's own Modbus TCP client, one in flight
// at a time. The unit runs in a thread of its own so client and server do not
// share an event loop.
//
// Usage: unitsim_throughput [REQUESTS] (default 20000; the run also stops after 60 s)

#include "benchsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QModbusTcpClient>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20000;
    constexpr qint64 kTimeLimitMs = 60000;

    BenchSupport::UnitThread unit(true);
    if (!unit.startServing())
        return 1;

    QModbusTcpClient client;
    unit.aim(&client, 1000, 0);
    QEventLoop loop;
    QObject::connect(
        &client, &QModbusDevice::stateChanged, &loop, [&loop](QModbusDevice::State state) {
            if (state == QModbusDevice::ConnectedState || state == QModbusDevice::UnconnectedState)
                loop.quit();
        });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    if (client.connectDevice() && client.state() != QModbusDevice::ConnectedState)
        loop.exec();
    if (client.state() != QModbusDevice::ConnectedState) {
        std::fprintf(stderr, "cannot connect to the simulated unit: %s\n",
                     qPrintable(client.errorString()));
        unit.quit();
        unit.wait();
        return 1;
    }

    int answered = 0;
    int failed = 0;
    QElapsedTimer clock;
    clock.start();
    while (answered + failed < requests && clock.elapsed() < kTimeLimitMs) {
        QModbusReply *reply = client.sendReadRequest(
            QModbusDataUnit(QModbusDataUnit::HoldingRegisters, 2005, 1), 1);
        if (!reply) {
            ++failed;
            break;
        }
        if (!reply->isFinished()) {
            QEventLoop wait;
            QObject::connect(reply, &QModbusReply::finished, &wait, &QEventLoop::quit);
            wait.exec();
        }
        if (reply->error() == QModbusDevice::NoError)
            ++answered;
        else
            ++failed;
        reply->deleteLater();
    }
    const double seconds = clock.nsecsElapsed() / 1e9;

    client.disconnectDevice();
    unit.quit();
    unit.wait();
    std::printf("%d sequential single-register reads over TCP loopback in %.3f s: %.0f requests/s "
                "(%d failed)\n",
                answered + failed, seconds, answered / seconds, failed);
    return failed == 0 ? 0 : 1;
}
