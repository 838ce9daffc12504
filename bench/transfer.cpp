// SPDX-License-Identifier: GPL-3.0-or-later
// Times a full read and a full write of the default six-board unit (AIO AI DI
// TMP DO6 DO4, firmware 22) against the simulated unit over TCP loopback and
// compares each with the floor set by the fixed pauses the sequence waits.
//
//     transfer             the sequence alone
//     transfer --record    every request through a traffic recorder, as in the configurator
//     transfer --monitor   and the traffic monitor open (needs a display, or
//                          QT_QPA_PLATFORM=offscreen)
//     transfer --serial [BAUD…]  over a pty pair against the unit paced at 1200, 9600
//                          and 115200 bit/s 8N1 (or the speeds given)
//
// The floor is what the sequence cannot go below: its pauses (reads 50 ms from
// the previous send; writes on RTU with new firmware none) and, on a serial
// line, every request's and reply's wire time, the unit's response delay, and
// 3.5 characters of silence before each request (1.75 ms above 19200 bit/s).
// The simulated unit answers as soon as a request is complete, without a
// silence of its own. Qt's RTU master waits longer than 3.5 characters (whole
// ms of 11-bit characters, at least 2 ms): the second ratio takes its wait.
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
#include <limits>
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

// The silence a frame needs before it: 3.5 characters, 1.75 ms above 19200 bit/s.
qint64 lineSilenceUs(const LinkSettings &link)
{
    return link.baud > 19200 ? 1750 : link.characterUs() * 7 / 2;
}

// What Qt's RTU master waits instead: whole ms of 11-bit characters, at least 2.
qint64 qtSilenceUs(const LinkSettings &link)
{
    return link.baud < 19200 ? (3500 * 11 + link.baud - 1) / link.baud * 1000 : 2000;
}

// The shortest time a sequence can take: each request goes out once its pause,
// counted from the previous send, has passed and the line has been silent for
// `silenceUs`; then the request, the unit's response delay and the reply take the
// wire. Over TCP the pauses alone.
qint64 floorMs(const LinkSettings &link, const QVector<ModbusRequest> &requests, bool write,
               int firstPauseMs, int pauseMs, qint64 silenceUs)
{
    qint64 sendUs = 0;
    qint64 lineFreeUs = std::numeric_limits<qint64>::min() / 2;
    for (int i = 0; i < requests.size(); ++i) {
        const qint64 pauseUs = qint64(i == 0 ? firstPauseMs : pauseMs) * 1000;
        sendUs = link.isTcp() ? sendUs + pauseUs : qMax(sendUs + pauseUs, lineFreeUs + silenceUs);
        const QModbusDataUnit &unit = requests.at(i).unit;
        const int bytes
            = LinkSettings::requestBytes(unit, write) + LinkSettings::replyBytes(unit, write);
        lineFreeUs
            = sendUs
              + (link.isTcp() ? 0
                              : bytes * link.characterUs() + qint64(link.responseDelayMs) * 1000);
    }
    return qMax<qint64>(1, qMax(sendUs, lineFreeUs) / 1000);
}

bool report(const char *name, qint64 ms, const LinkSettings &link,
            const QVector<ModbusRequest> &requests, bool write, int firstPauseMs, int pauseMs)
{
    if (ms < 0) {
        std::printf("%s: failed\n", name);
        return false;
    }
    const qint64 floor = floorMs(link, requests, write, firstPauseMs, pauseMs, lineSilenceUs(link));
    std::printf("%s: %d requests, %lld ms, floor %lld ms, ratio %.3f", name, requests.size(),
                static_cast<long long>(ms), static_cast<long long>(floor),
                double(ms) / double(floor));
    if (!link.isTcp()) {
        const qint64 qtFloor
            = floorMs(link, requests, write, firstPauseMs, pauseMs, qtSilenceUs(link));
        std::printf(" (%.3f to the floor with Qt's inter-frame delay, %lld ms)",
                    double(ms) / double(qtFloor), static_cast<long long>(qtFloor));
    }
    std::printf("\n");
    return true;
}

// The same writes from a bare client, each sent when the last is answered:
// what Qt's master costs without the sequence around it. -1 on a failure.
qint64 bareWriteMs(QModbusClient *client, const QVector<ModbusRequest> &writes)
{
    QEventLoop loop;
    int next = 0;
    bool failed = false;
    std::function<void()> sendNext = [&] {
        if (next == writes.size()) {
            loop.quit();
            return;
        }
        const ModbusRequest &request = writes.at(next++);
        QModbusReply *reply = client->sendWriteRequest(request.unit, request.serverAddress);
        if (!reply) {
            failed = true;
            loop.quit();
            return;
        }
        QObject::connect(reply, &QModbusReply::finished, &loop, [&, reply] {
            reply->deleteLater();
            failed = failed || reply->error() != QModbusDevice::NoError;
            sendNext();
        });
    };
    QElapsedTimer clock;
    clock.start();
    sendNext();
    loop.exec();
    return failed ? -1 : clock.elapsed();
}

// A full read, then a full write of what was read, each against its floor.
bool measure(QModbusClient *client, const UnitSimFixture &sim, LinkSettings link)
{
    QVector<quint16> module;
    for (int i = 0; i < ModuleTables::ModuleBlockSize; ++i)
        module << quint16(sim.reg(Unit, QModbusDataUnit::HoldingRegisters, 2000 + i));
    ModuleTables tables;
    tables.setModuleTable(module);
    link.responseDelayMs = tables.moduleWord(ModuleTables::WordResponseDelay);

    const int mode = ModeOnline | link.modeFlags();
    TransferSequence transfer(client);
    transfer.setServerAddress(Unit);
    transfer.setFirmwareVersion(Firmware);
    transfer.setMode(mode);

    const QVector<ModbusRequest> reads = RegisterBlocks::channelReadRequests(tables, Unit);
    const qint64 readMs = timed(&transfer, [&] { return transfer.startRead(tables); });
    const int readPause = TransferSequence::ReadPauseMs;
    bool ok = report("full read", readMs, link, reads, false, readPause, readPause);

    // Every register of the image just read; the EEPROM flag goes out without a pause.
    const ModuleTables image = transfer.tables();
    QVector<ModbusRequest> writes = RegisterBlocks::allWriteRequests(image, image, false, Unit);
    writes.prepend(RegisterBlocks::eepromFlagRequest(true, Unit));
    const qint64 writeMs = timed(&transfer, [&] {
        return transfer.startWrite(image, image, TransferSequence::WriteMode::All);
    });
    ok = report("full write", writeMs, link, writes, true, 0,
                TransferSequence::writePauseMs(Firmware, mode))
         && ok;
    if (link.isTcp())
        return ok;
    return report("same writes, bare client", bareWriteMs(client, writes), link, writes, true, 0, 0)
           && ok;
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
        QVector<int> bauds;
        for (int i = 2; i < argc; ++i)
            bauds << QByteArray(argv[i]).toInt();
        if (bauds.isEmpty())
            bauds = {1200, 9600, 115200};
        std::printf("floor: the pauses, every frame's wire time, the unit's response delay "
                    "and 3.5 characters of silence before each request (1.75 ms above "
                    "19200 bit/s)\n");
        bool ok = true;
        for (const int baud : qAsConst(bauds))
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
