// Requests per second that one simulated unit answers over TCP loopback:
// sequential single-register reads by Qt's own Modbus TCP client, one in flight
// at a time. The unit runs in a thread of its own so client and server do not
// share an event loop.
//
// Usage: unitsim_throughput [REQUESTS] (default 20000; the run also stops after 60 s)

#include "simbus.h"
#include "simtcpserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QModbusTcpClient>
#include <QSemaphore>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

class UnitThread : public QThread
{
public:
    quint16 port = 0;
    QSemaphore ready;

protected:
    void run() override
    {
        SimBus bus;
        bus.addUnit(SimUnitConfig(), true);
        SimTcpServer server(&bus);
        QString error;
        if (server.listen(QHostAddress::LocalHost, 0, &error))
            port = server.serverPort();
        else
            std::fprintf(stderr, "%s\n", qPrintable(error));
        ready.release();
        if (port)
            exec();
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20000;
    constexpr qint64 kTimeLimitMs = 60000;

    UnitThread unit;
    unit.start();
    unit.ready.acquire();
    if (!unit.port)
        return 1;

    QModbusTcpClient client;
    client.setConnectionParameter(QModbusDevice::NetworkAddressParameter,
                                  QStringLiteral("127.0.0.1"));
    client.setConnectionParameter(QModbusDevice::NetworkPortParameter, unit.port);
    client.setTimeout(1000);
    client.setNumberOfRetries(0);
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
