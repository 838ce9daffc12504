// SPDX-License-Identifier: GPL-3.0-or-later
#include "modbuscall.h"
#include "ptypair.h"
#include "simoptions.h"
#include "simrequestlog.h"
#include "unitsimfixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using Type = QModbusDataUnit::RegisterType;
using Words = QVector<quint16>;

namespace {

const Type H = QModbusDataUnit::HoldingRegisters;

// Default layout: AIO, AI, DI, TMP, DO6, DO4 -> AI 8 (TMP at g 6, 7), AO 2, DI 4, DO 10.
const QVector<int> kDefaultSlots{5, 4, 6, 7, 8, 1};

// What the client made of one request: the values of a read, the echoed start of
// a write (its values are all 7), or how it failed.
QString outcome(QModbusClient *client, bool write, int address, int count)
{
    const QModbusDataUnit unit = write ? QModbusDataUnit(H, address, Words(count, 7))
                                       : QModbusDataUnit(H, address, quint16(count));
    QModbusReply *reply
        = write ? client->sendWriteRequest(unit, 1) : client->sendReadRequest(unit, 1);
    if (!reply)
        return QStringLiteral("not sent");
    const std::unique_ptr<QModbusReply> owner(reply);
    if (!reply->isFinished() && !QSignalSpy(reply, &QModbusReply::finished).wait(3000))
        return QStringLiteral("no end");
    switch (reply->error()) {
    case QModbusDevice::NoError:
        return write ? QString("echo %1").arg(reply->result().startAddress())
                     : QString("values %1").arg(reply->result().valueCount());
    case QModbusDevice::TimeoutError:
        return QStringLiteral("timeout");
    case QModbusDevice::ReplyAbortedError:
        return QStringLiteral("aborted");
    default:
        return QString("error %1").arg(reply->error());
    }
}

// A fault option of the simulator and a request sent twice: what the client made of it and
// the simulator's log of it ("a | b" when the two differ; unanswered: no count, no value),
// then requests as for ModbusCall::run that check the registers.
struct FaultRow
{
    const char *options;
    const char *request; // "r" read or "w" write (values 7) of address:count
    const char *seen;
    const char *logged;
    const char *after;
};

} // namespace
Q_DECLARE_METATYPE(FaultRow)

class TestUnitSim : public QObject
{
    Q_OBJECT

private slots:
    void blocks_data();
    void blocks();
    void factoryValues();
    void requests_data();
    void requests();
    void persistence_acrossRestart();
    void replyFaults_data();
    void replyFaults();
    void logFile_jsonLines();
    void serialPace_data();
    void serialPace();
    void tcpModes_data();
    void tcpModes();
};

void TestUnitSim::blocks_data()
{
    QTest::addColumn<QVector<int>>("slotCodes");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QString>("blocks"); // as for ModbusCall::run, ":0" for a block not held
    QTest::newRow("default") << kDefaultSlots << 22
                             << "h2000:25 h300:1 h400:16 h800:32 h1200:8 h600:4 h1000:8 c1000:10 "
                                "h1300:10 h1400:2 h1600:4 i0:16 i10004:8 i202:4 h0:4 h10004:2 "
                                "h550:4 c0:4 d0:10";
    // DI6, DI6, DI, ENI2, empty, R: 16 inputs, counters 6+6+4, two outputs, nothing analog.
    QTest::newRow("digital, fw 2.1") << QVector<int>{10, 10, 6, 9, 0, 3} << 21
                                     << "h2000:23 h300:1 i202:16 h1300:2 h400:0 h600:0 h1000:0";
}

// Exactly the sized block is held: one register more, or one before, is refused.
void TestUnitSim::blocks()
{
    QFETCH(QVector<int>, slotCodes);
    QFETCH(int, firmware);
    QFETCH(QString, blocks);
    UnitSimFixture sim({UnitSimFixture::unit(1, slotCodes, firmware)});
    QVERIFY(sim.start());
    auto client = ModbusCall::tcpClient(sim.port());
    for (const QString &block : blocks.split(' ')) {
        const QString kind = block.left(1);
        const int start = block.mid(1).section(':', 0, 0).toInt();
        const int count = block.section(':', 1).toInt();
        QString requests = QString("%1%2:%3!2").arg(kind).arg(start).arg(count + 1);
        if (count > 0)
            requests += QString(" %1").arg(block);
        if (start > 0)
            requests += QString(" %1%2:%3!2").arg(kind).arg(start - 1).arg(qMax(count, 1));
        QCOMPARE(ModbusCall::run(client.get(), requests), QString());
    }
}

void TestUnitSim::factoryValues()
{
    UnitSimFixture sim({UnitSimFixture::unit(7, kDefaultSlots, 22, true)});
    QVERIFY(sim.start());
    auto client = ModbusCall::tcpClient(sim.port());
    // Type, firmware, address, port word, network words, slot codes, EEPROM flag, jumper.
    QCOMPARE(ModbusCall::read(client.get(), H, 2000, 25, 7).values,
             (Words{1,      0,      22,     0, 0, 7, 6, 0, 0, 0, 0xC0A8, 0x000A, 0xFFFF,
                    0xFF00, 0xC0A8, 0x0001, 0, 5, 4, 6, 7, 8, 1, 0,      1}));
    // Limits 0.0 and 100.0, low word first; AIO and AI inputs 4-20 mA, TMP inputs Pt100.
    QCOMPARE(ModbusCall::run(client.get(),
                             "h800?0,0,0,0x42C8@7 h828?0,0,0,0x42C8@7 h1200?1,1,1,1,1,1,5,5@7"),
             QString());
}

void TestUnitSim::requests_data()
{
    // To the default unit, as for ModbusCall::run; "lenient" first: it takes unarmed writes.
    QTest::addColumn<QString>("requests");

    // Write-enable: one command, one write, of the kind it names.
    QTest::newRow("one arm, one write") << "arm h800=1 h801=2!4 h801?0 h800?1";
    QTest::newRow("read keeps the arm") << "arm h2000:23 h1300=55 h1300?55";
    QTest::newRow("module code on a channel register") << "arm-module h800=1!4 h800?0";
    QTest::newRow("channel code on the module block")
        << "arm h2004=10!4 arm-module h2004=10 h2004?10";
    QTest::newRow("wrong code uses up the arm") << "arm-module h800=1!4 h2004=9!4 h2004?0";
    // A code meant for the other kind of register is still refused.
    QTest::newRow("lenient") << "lenient h1300=42 h1300?42 arm-module h1301=1!4";
    QTest::newRow("block coils") << "c1000=1!4 arm c1009=1 c1009?1";
    QTest::newRow("multiple write")
        << "arm h804=0,0xC128,0,0x4148 h804?0,0xC128,0,0x4148 arm h1309=7,7!2 h1309?0";
    // Signal types and values: no write-enable, but checked.
    QTest::newRow("signal types")
        << "h1200=2 h1200?2 h1206=1!3 h1206?5 h1207=22 h1207=23!3 h1207?22 h1202=4!3 h1401=4!3";
    QTest::newRow("outputs and inputs") << "h1=0x4120 h10005=777 h10005?777 h4=1!2 c0=1!2";
    QTest::newRow("EEPROM flag") << "h2023=1 h2023?1 h2023=2!3";
    QTest::newRow("more than 125 registers") << "h0:126!3";
    // Value checks of configuration words.
    QTest::newRow("value checks") << "arm h402=0x30!3 arm-module h2006=11!3 h2006?6 "
                                     "arm-module h2006=0xCA h2006?0xCA arm-module h2017=4!2";
    QTest::newRow("address 248") << "arm-module h2005=248!3 h2005?1";
    // Lock time-out and response delay back to factory, address, port and network kept.
    QTest::newRow("reset keeps the link words")
        << "arm-module h2004=25 arm-module h2007=10 arm-module h2006=0x47 arm-module h2010=0x0A00 "
           "arm h803=0x4348 h1203=3 h2016=0x6C45 h2004?0,1,0x47,0 h2010?0x0A00 h803?0x42C8 "
           "h1203?1";
    QTest::newRow("reboot takes the new address at once")
        << "arm-module h2005=17 h2016=0x7D4C h2000:23@17";
    // Channel g = 3 at mid-range (50.0 of 0..100): INT16 x100, FLOAT32, INT32 x1000, INT16
    // x1000 saturated.
    QTest::newRow("formats") << "arm h406=0x80 i6?5000,0 i10007?5000 arm h406=0x10 i6?0,0x4248 "
                                "arm h406=0xE0 i6?0xC350,0 arm h406=0xC0 i6?32767,0";
}

void TestUnitSim::requests()
{
    QFETCH(QString, requests);
    UnitSimFixture::Options options;
    options.lenient = requests.startsWith("lenient ");
    UnitSimFixture sim(options);
    QVERIFY(sim.start());
    requests.remove(QRegularExpression("^lenient "));
    QCOMPARE(ModbusCall::run(ModbusCall::tcpClient(sim.port()).get(), requests), QString());
}

void TestUnitSim::persistence_acrossRestart()
{
    QTemporaryDir dir;
    UnitSimFixture::Options options;
    options.statePath = dir.filePath(QStringLiteral("state.json"));
    {
        UnitSimFixture sim(options);
        QVERIFY(sim.start());
        QCOMPARE(ModbusCall::run(ModbusCall::tcpClient(sim.port()).get(),
                                 "arm h1301=80 h1207=12 arm-module h2005=33"),
                 QString());
    }
    UnitSimFixture restarted(options);
    QVERIFY(restarted.unitAt(33));
    QCOMPARE(restarted.reg(33, H, 1301), 80);
    QCOMPARE(restarted.reg(33, H, 1207), 12);
    // A state file of another layout is not forced onto a unit.
    options.units = {UnitSimFixture::unit(1, {4, 0, 0, 0, 0, 0})};
    UnitSimFixture other(options);
    QVERIFY(other.unitAt(1));
}

void TestUnitSim::replyFaults_data()
{
    QTest::addColumn<FaultRow>("row");
    QTest::newRow("short reply") << FaultRow{"--short-reply-at 2022", "r2000:23", "values 22",
                                             "3 2000 23 (short reply)", ""};
    QTest::newRow("wrong read") << FaultRow{"--wrong-reply-at 2000", "r2000:23", "values 24",
                                            "3 2000 23 (wrong reply)", ""};
    // Holding 0..3 are the analog outputs' values: written without a service code.
    QTest::newRow("wrong write echo")
        << FaultRow{"--wrong-reply-at 0", "w0:1", "echo 1", "6 0 7 (wrong reply)", "h0?7"};
    QTest::newRow("ignored write")
        << FaultRow{"--ignore-write 1", "w0:2", "echo 0", "16 0 7 (ignored write)", "h0?7,0"};
    QTest::newRow("closed") << FaultRow{"--close-at 2010", "r2000:23", "aborted | not sent",
                                        "3 2000 0 dropped (closed)", ""};
    QTest::newRow("silent at") << FaultRow{"--silent-at 0", "w0:1", "timeout",
                                           "6 0 - dropped (silent)", "h0?0"};
}

void TestUnitSim::replyFaults()
{
    QFETCH(FaultRow, row);
    const QString request = row.request;
    const QString seen = row.seen;
    const QString logged = row.logged;

    UnitSimFixture::Options options;
    QVERIFY(UnitSimFixture::parseOptions(row.options, &options));
    UnitSimFixture sim(options);
    QVERIFY(sim.start());
    auto client = ModbusCall::tcpClient(sim.port(), 200);
    const bool write = request.startsWith('w');
    const int address = request.mid(1).section(':', 0, 0).toInt();
    const int count = request.section(':', 1).toInt();
    const QStringList outcomes{outcome(client.get(), write, address, count),
                               outcome(client.get(), write, address, count)};
    const auto twice = [](const QString &text) {
        return text.contains(" | ") ? text : text + " | " + text;
    };
    QCOMPARE(outcomes.join(" | "), twice(seen));

    QStringList lines;
    for (const SimRequestRecord &record : sim.requests()) {
        lines << UnitSimFixture::describe(record);
        if (!record.fault.isEmpty())
            QVERIFY(
                SimRequestLog::toJsonLine(record).contains("\"fault\":\"" + record.fault.toUtf8()));
    }
    // A closed connection takes the second request with it.
    QCOMPARE(lines.join(" | "), seen.endsWith("not sent") ? logged : twice(logged));
    sim.setFaults(SimFaults());
    QCOMPARE(ModbusCall::run(client.get(), row.after), QString());
}

void TestUnitSim::logFile_jsonLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("requests.log"));
    UnitSimFixture sim;
    QString error;
    QVERIFY2(sim.bus()->log().open(path, &error), qPrintable(error));
    QVERIFY(sim.start());
    QCOMPARE(ModbusCall::run(ModbusCall::tcpClient(sim.port()).get(), "h2000:23 h800=5!4"),
             QString());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    QCOMPARE(text.count(QRegularExpression(R"("time":"\d{4}-\d\d-\d\dT[\d:.]+")")), 2);
    text.remove(QRegularExpression(R"(,"time":"[^"]*")"));
    QCOMPARE(text,
             QStringLiteral(R"({"address":2000,"count":23,"function":3,"result":"ok","slave":1}
{"address":800,"exception":4,"function":6,"slave":1,"values":[5]}
)"));
}

void TestUnitSim::serialPace_data()
{
    // A 96-register read: 8 request and 197 reply characters on the wire, module word 7 at
    // 150 ms. Line options and the least ms until the first and the last reply byte.
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("firstMs");
    QTest::addColumn<int>("lastMs");
    QTest::newRow("1200 8N1") << "--baud 1200" << 225 << 1858;
    // 12 bits a character.
    QTest::newRow("9600 8E2") << "--baud 9600 --parity even --stop-bits 2" << 161 << 406;
    QTest::newRow("no pace") << "--baud 1200 --no-pace" << 0 << 0;
}

void TestUnitSim::serialPace()
{
    QFETCH(QString, options);
    QFETCH(int, firstMs);
    QFETCH(int, lastMs);
    PtyPair pty;
    QVERIFY2(pty.start(), "socat is needed (scripts/setup installs it)");
    UnitSimFixture::Options parsed;
    QVERIFY(UnitSimFixture::parseOptions(options + " --unit 1:4,4,4,4,4,4:22", &parsed));
    UnitSimFixture sim(parsed);
    sim.setReg(1, H, 2007, 150);
    QVERIFY(sim.openSerial(pty.unitEnd()));
    QSerialPort port(pty.clientEnd());
    QVERIFY(port.open(QIODevice::ReadWrite));
    QElapsedTimer clock;
    QByteArray reply;
    qint64 first = -1;
    connect(&port, &QSerialPort::readyRead, this, [&] {
        first = reply.isEmpty() ? clock.elapsed() : first;
        reply += port.readAll();
    });
    clock.start();
    port.write(QByteArray::fromHex("010303200060446c"));
    QTRY_VERIFY_WITH_TIMEOUT(reply.size() >= 197, 5000);
    const qint64 last = clock.elapsed();
    // At least the wire time; the slack is for a loaded machine.
    QVERIFY2(first >= firstMs && first < firstMs + 400, qPrintable(QString::number(first)));
    QVERIFY2(last >= lastMs && last < lastMs + 400, qPrintable(QString::number(last)));
}

void TestUnitSim::tcpModes_data()
{
    // Simulator options; reads of 2000.. sent at once; then requests as for ModbusCall::run,
    // the least ms they all take and the requests logged.
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("burst");
    QTest::addColumn<QString>("requests");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("logged");
    QTest::newRow("gateway") << "--gateway-delay-ms 200" << 0 << "h2000:1@9!11 h2000:1" << 200 << 2;
    // A foreign device: its type word, and writes taken without a service code.
    QTest::newRow("module type") << "--module-type 1:99" << 0 << "h2000?99 h1300=5" << 0 << 2;
    // Requests sent to a paused unit wait in the socket and are all handled after it, in
    // order, and the connection stays.
    QTest::newRow("pause") << "--pause-at 2 --pause-for 300" << 4 << "h2000:1" << 300 << 5;
}

void TestUnitSim::tcpModes()
{
    QFETCH(QString, options);
    QFETCH(int, burst);
    QFETCH(QString, requests);
    QFETCH(int, minMs);
    QFETCH(int, logged);
    UnitSimFixture::Options fixture;
    QVERIFY(UnitSimFixture::parseOptions(options, &fixture));
    UnitSimFixture sim(fixture);
    QVERIFY(sim.start());
    auto client = ModbusCall::tcpClient(sim.port());
    QElapsedTimer clock;
    clock.start();
    for (int address = 2000; address < 2000 + burst; ++address)
        client->sendReadRequest(QModbusDataUnit(H, address, 1), 1);
    QCOMPARE(ModbusCall::run(client.get(), requests), QString());
    QVERIFY(clock.elapsed() >= minMs);
    QCOMPARE(UnitSimFixture::describe(sim.requests()).size(), logged);
}

QTEST_GUILESS_MAIN(TestUnitSim)
#include "tst_unitsim.moc"
