// SPDX-License-Identifier: GPL-3.0-or-later
// Times a full read and a full write of the default six-board unit (AIO AI DI
// TMP DO6 DO4, firmware 22) against the simulated unit over TCP loopback and
// compares each with the floor set by the fixed pauses the sequence waits.
//
//     transfer             the sequence alone
//     transfer --record    every request through a traffic recorder, as in the configurator
//     transfer --monitor   and the traffic monitor open (needs a display, or
//                          QT_QPA_PLATFORM=offscreen)
//     transfer --serial    over a pty pair against the unit paced at 1200, 9600 and
//                          115200 bit/s 8N1; the floor adds every frame's wire time
#include "linksettings.h"
#include "ptypair.h"
#include "registerblocks.h"
#include "trafficdock.h"
#include "trafficrecorder.h"
#include "transfersequence.h"
#include "unitsimfixture.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QModbusRtuSerialMaster>
#include <QModbusTcpClient>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

namespace {

constexpr int Unit = 1;
constexpr int Firmware = 22;

// Runs one sequence to its end; returns its wall time in ms, or -1.
qint64 timed(TransferSequence *transfer, const std::function<TransferSequence::Start()> &start)
{
    QEventLoop loop;
    TransferSequence::Result result = TransferSequence::Result::Cancelled;
    QObject::connect(transfer, &TransferSequence::finished, &loop,
                     [&](TransferSequence::Kind, TransferSequence::Result r) {
                         result = r;
                         loop.quit();
                     });
    QTimer::singleShot(300000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    if (start() != TransferSequence::Start::Started)
        return -1;
    loop.exec();
    const qint64 elapsed = clock.elapsed();
    QObject::disconnect(transfer, &TransferSequence::finished, &loop, nullptr);
    return result == TransferSequence::Result::Completed ? elapsed : -1;
}

bool report(const char *name, qint64 ms, qint64 floorMs)
{
    if (ms < 0) {
        std::printf("%s: failed\n", name);
        return false;
    }
    std::printf("%s: %lld ms, floor %lld ms, ratio %.3f\n", name, static_cast<long long>(ms),
                static_cast<long long>(floorMs), double(ms) / double(floorMs));
    return true;
}

bool connectClient(QModbusClient *client)
{
    client->connectDevice();
    QElapsedTimer connecting;
    connecting.start();
    while (client->state() != QModbusDevice::ConnectedState && connecting.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    if (client->state() == QModbusDevice::ConnectedState)
        return true;
    std::fprintf(stderr, "transfer: no connection to the simulated unit\n");
    return false;
}

// Time on the wire of every request and its reply; none over TCP.
qint64 wireMs(const LinkSettings &link, const QVector<ModbusRequest> &requests, bool write)
{
    if (link.isTcp())
        return 0;
    qint64 bytes = 0;
    for (const ModbusRequest &request : requests)
        bytes += LinkSettings::requestBytes(request.unit, write)
                 + LinkSettings::replyBytes(request.unit, write);
    return bytes * link.characterUs() / 1000;
}

// A full read, then a full write of what was read, each against its floor.
bool measure(QModbusClient *client, const UnitSimFixture &sim, const LinkSettings &link)
{
    QVector<quint16> module;
    for (int i = 0; i < ModuleTables::ModuleBlockSize; ++i)
        module << quint16(sim.reg(Unit, QModbusDataUnit::HoldingRegisters, 2000 + i));
    ModuleTables tables;
    tables.setModuleTable(module);

    const int mode = ModeOnline | link.modeFlags();
    TransferSequence transfer(client);
    transfer.setServerAddress(Unit);
    transfer.setFirmwareVersion(Firmware);
    transfer.setMode(mode);

    const QVector<ModbusRequest> reads = RegisterBlocks::channelReadRequests(tables, Unit);
    const qint64 readFloor
        = qint64(reads.size()) * TransferSequence::ReadPauseMs + wireMs(link, reads, false);
    const qint64 readMs = timed(&transfer, [&] { return transfer.startRead(tables); });
    bool ok = report("full read", readMs, readFloor);

    // Every register of the image just read; the EEPROM flag goes out without a pause.
    const ModuleTables image = transfer.tables();
    QVector<ModbusRequest> writes = RegisterBlocks::allWriteRequests(image, image, false, Unit);
    const qint64 pauses = qint64(writes.size()) * TransferSequence::writePauseMs(Firmware, mode);
    writes.prepend(RegisterBlocks::eepromFlagRequest(true, Unit));
    const qint64 writeFloor = qMax<qint64>(1, pauses + wireMs(link, writes, true));
    const qint64 writeMs = timed(&transfer, [&] {
        return transfer.startWrite(image, image, TransferSequence::WriteMode::All);
    });
    return report("full write", writeMs, writeFloor) && ok;
}

bool measureSerial(int baud)
{
    std::printf("serial line, %d bit/s 8N1, paced\n", baud);
    PtyPair pty;
    UnitSimFixture::Options options;
    options.serial.baudRate = baud;
    UnitSimFixture sim(options);
    QString error;
    if (!pty.start(&error) || !sim.openSerial(pty.unitEnd(), &error)) {
        std::fprintf(stderr, "transfer: no serial line: %s\n", qPrintable(error));
        return false;
    }
    LinkSettings link;
    link.kind = LinkSettings::Kind::Serial;
    link.serialPort = pty.clientEnd();
    link.baud = baud;
    QModbusRtuSerialMaster client;
    link.applyTo(&client);
    return connectClient(&client) && measure(&client, sim, link);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--serial") == 0) {
        QCoreApplication app(argc, argv);
        QLoggingCategory::setFilterRules("brk.modbus.transfer.debug=false");
        bool ok = true;
        for (const int baud : {1200, 9600, 115200})
            ok = measureSerial(baud) && ok;
        return ok ? 0 : 1;
    }
    const bool monitor = argc > 1 && std::strcmp(argv[1], "--monitor") == 0;
    const bool record = monitor || (argc > 1 && std::strcmp(argv[1], "--record") == 0);
    std::unique_ptr<QCoreApplication> app;
    if (monitor)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QLoggingCategory::setFilterRules("brk.modbus.transfer.debug=false");
    std::printf("%s\n", monitor  ? "with the traffic monitor open"
                        : record ? "with a traffic recorder"
                                 : "without a traffic recorder");

    UnitSimFixture sim;
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "transfer: the simulated unit does not start: %s\n",
                     qPrintable(error));
        return 1;
    }
    QModbusTcpClient client;
    client.setConnectionParameter(QModbusDevice::NetworkAddressParameter, sim.host());
    client.setConnectionParameter(QModbusDevice::NetworkPortParameter, sim.port());
    client.setTimeout(500); // what the start window sets for TCP
    client.setNumberOfRetries(3);
    if (!connectClient(&client))
        return 1;
    TrafficRecorder recorder;
    if (record)
        recorder.attach(&client);
    std::unique_ptr<TrafficDock> dock;
    if (monitor) {
        dock = std::make_unique<TrafficDock>(&recorder);
        dock->resize(1000, 400);
        dock->show();
    }
    return measure(&client, sim, LinkSettings()) ? 0 : 1;
}
