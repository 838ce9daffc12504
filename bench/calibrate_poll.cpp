// SPDX-License-Identifier: GPL-3.0-or-later
// The calibration dialog's poll cycle and the configurator's CPU use while it
// is open, against the default six-board simulated unit over TCP loopback:
// first with the trend hidden, then with the trend shown, every series ticked
// and the 1 minute window (the most redrawing). The unit runs in a thread of
// its own; the CPU figure is that of the GUI thread (the configurator), the
// process figure includes the unit.
//
// Usage: calibrate_poll [SECONDS] (default 10 per phase; the window is shown
// offscreen unless QT_QPA_PLATFORM says otherwise)

#include "benchsupport.h"
#include "calibratedialog.h"
#include "trendchart.h"
#include "module.h"
#include "property.h"
#include "registerblocks.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QModbusReply>
#include <QModbusTcpClient>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool call(QModbusClient *client, const ModbusRequest &request, QVector<quint16> *values)
{
    QModbusReply *reply = client->sendReadRequest(request.unit, request.serverAddress);
    if (!reply)
        return false;
    if (!reply->isFinished()) {
        QEventLoop wait;
        QObject::connect(reply, &QModbusReply::finished, &wait, &QEventLoop::quit);
        wait.exec();
    }
    const bool ok = reply->error() == QModbusDevice::NoError;
    *values = reply->result().values();
    reply->deleteLater();
    return ok;
}

// Reads the unit as the main window does and decodes its module; counts
// the requests it took.
std::unique_ptr<Module> readModule(QModbusClient *client, int *requests)
{
    ModuleTables tables;
    QVector<quint16> values;
    ++*requests;
    if (!call(client, RegisterBlocks::readRequest(rT2000, tables, 1), &values))
        return nullptr;
    RegisterBlocks::storeReadValues(rT2000, values, &tables);
    for (const ModbusRequest &request : RegisterBlocks::channelReadRequests(tables, 1)) {
        ++*requests;
        if (!call(client, request, &values))
            return nullptr;
        RegisterBlocks::storeReadValues(request.type, values, &tables);
    }
    auto module = std::make_unique<Module>(tables.moduleTable().value(0));
    module->fromTables(tables);
    return module;
}

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int readFunction(int registerType)
{
    switch (registerType) {
    case QModbusDataUnit::Coils:
        return 1;
    case QModbusDataUnit::DiscreteInputs:
        return 2;
    case QModbusDataUnit::HoldingRegisters:
        return 3;
    default:
        return 4;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? qBound(2, QString::fromLocal8Bit(argv[1]).toInt(), 600) : 10;
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    BenchSupport::UnitThread unit(false, true);
    if (!unit.startServing())
        return 1;

    QModbusTcpClient client;
    unit.aim(&client, 500, 3);
    client.connectDevice();
    for (int i = 0; i < 100 && client.state() != QModbusDevice::ConnectedState; ++i)
        spin(50);
    int moduleRequests = 0;
    std::unique_ptr<Module> module = client.state() == QModbusDevice::ConnectedState
                                         ? readModule(&client, &moduleRequests)
                                         : nullptr;
    if (!module) {
        std::fprintf(stderr, "cannot read the simulated unit: %s\n",
                     qPrintable(client.errorString()));
        unit.quit();
        unit.wait();
        return 1;
    }

    auto dialog = std::make_unique<CalibrateDialog>(module.get(), &client, 1);
    dialog->show();
    const QList<Property *> polled = dialog->polledParameters();
    spin(1000); // first pass under way

    struct Phase
    {
        double wall;
        double thread;
        double process;
    };
    const auto measure = [seconds] {
        const double threadBefore = cpuSeconds(RUSAGE_THREAD);
        const double processBefore = cpuSeconds(RUSAGE_SELF);
        QElapsedTimer clock;
        clock.start();
        spin(seconds * 1000);
        return Phase{clock.nsecsElapsed() / 1e9, cpuSeconds(RUSAGE_THREAD) - threadBefore,
                     cpuSeconds(RUSAGE_SELF) - processBefore};
    };
    TrendChart *trend = dialog->trend();
    trend->hide();
    const Phase table = measure();
    trend->show();
    trend->setWindowMinutes(1);
    for (int id = 0; id < trend->seriesCount(); ++id)
        trend->setSeriesShown(id, true);
    spin(1000);
    const Phase chart = measure();
    int points = 0;
    for (int id = 0; id < trend->seriesCount(); ++id)
        points += trend->samples(id).size();
    const int series = trend->seriesCount();

    dialog.reset();
    client.disconnectDevice();
    unit.quit();
    unit.wait();

    // A pass starts with a read of the first polled parameter.
    const int firstFunction = readFunction(polled.first()->registerType());
    const int firstAddress = polled.first()->address();
    QVector<QDateTime> starts;
    QVector<qint64> spans;
    int failed = 0;
    QDateTime passStart;
    QDateTime lastRead;
    for (const SimRequestRecord &r : unit.requests().mid(moduleRequests)) {
        if (r.function < 1 || r.function > 4)
            continue;
        failed += r.result != SimRequestRecord::Answered;
        if (r.function == firstFunction && r.address == firstAddress) {
            if (passStart.isValid())
                spans << passStart.msecsTo(lastRead);
            passStart = r.time;
            starts << r.time;
        }
        lastRead = r.time;
    }
    if (starts.size() < 3) {
        std::fprintf(stderr, "too few passes: %d\n", starts.size());
        return 1;
    }
    std::sort(spans.begin(), spans.end());
    const double period = double(starts.first().msecsTo(starts.last())) / (starts.size() - 1);

    std::printf("polled parameters: %d, pass starts seen: %d, failed reads: %d\n", polled.size(),
                starts.size(), failed);
    std::printf("one pass (first to last read of all polled parameters): median %lld ms\n",
                static_cast<long long>(spans.at(spans.size() / 2)));
    std::printf("poll cycle (pass start to next pass start): mean %.0f ms\n", period);
    const auto report = [](const char *what, const Phase &phase) {
        std::printf("CPU over %.1f s, %s: configurator thread %.2f %% of one core, whole process "
                    "incl. simulated unit %.2f %%\n",
                    phase.wall, what, 100.0 * phase.thread / phase.wall,
                    100.0 * phase.process / phase.wall);
    };
    report("table only (trend hidden)", table);
    report("trend shown, every series ticked, 1 min window", chart);
    std::printf("trend: %d series, %d points held\n", series, points);
    return 0;
}
