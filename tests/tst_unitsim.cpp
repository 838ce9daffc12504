#include "modbuscall.h"
#include "simoptions.h"
#include "simrequestlog.h"
#include "unitsimfixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QModbusTcpClient>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Type = QModbusDataUnit::RegisterType;
using Words = QVector<quint16>;

namespace {

// Default layout: AIO, AI, DI, TMP, DO6, DO4 -> AI 8 (TMP at g 6, 7), AO 2, DI 4, DO 10.
const QVector<int> kDefaultSlots{5, 4, 6, 7, 8, 1};

// One step of a write scenario: a register write (or a read when read is set)
// and the exception it must get (0 = accepted).
struct Step
{
    Type type;
    int address;
    quint16 value;
    int exception;
    bool read = false;
};

} // namespace
Q_DECLARE_METATYPE(QList<Step>)

class TestUnitSim : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QModbusTcpClient> connectTo(const UnitSimFixture &sim, int timeoutMs = 1000,
                                                int retries = 0)
    {
        auto client = std::make_unique<QModbusTcpClient>();
        client->setConnectionParameter(QModbusDevice::NetworkAddressParameter, sim.host());
        client->setConnectionParameter(QModbusDevice::NetworkPortParameter, sim.port());
        client->setTimeout(timeoutMs);
        client->setNumberOfRetries(retries);
        // A client left unconnected makes every request of the test fail.
        if (client->connectDevice()
            && !QTest::qWaitFor(
                [&client] { return client->state() == QModbusDevice::ConnectedState; }, 5000))
            qWarning("no connection to the simulated unit");
        return client;
    }

private slots:
    void unitSpec_data();
    void unitSpec();
    void discoveryRead_data();
    void discoveryRead();
    void configurationBlocks_data();
    void configurationBlocks();
    void factoryValues();
    void writeRules_data();
    void writeRules();
    void lenientAcceptsUnarmed();
    void multiRegisterWrite_loggedAsSuch();
    void eepromFlag_data();
    void eepromFlag();
    void reset_keepsLinkWords();
    void addressChange_takesEffectAfterPause();
    void reboot_appliesAddressAtOnce();
    void unknownFunction_exception1();
    void liveEncoding_data();
    void liveEncoding();
    void liveValues_move();
    void severalUnits_oneTcpPort();
    void persistence_acrossRestart();
    void dropEvery();
    void delayMs();
    void exceptionAt();
    void replyFaults_data();
    void replyFaults();
    void silence_atRunTime();
    void logFile_jsonLines();
};

void TestUnitSim::unitSpec_data()
{
    QTest::addColumn<QString>("unitText");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("address");
    QTest::addColumn<QVector<int>>("slotCodes");
    QTest::addColumn<bool>("jumper");
    QTest::newRow("full") << "1:5,4,6,7,8,1:22" << true << 1 << QVector<int>{5, 4, 6, 7, 8, 1}
                          << false;
    QTest::newRow("short slots padded")
        << "12:4:21:jumper" << true << 12 << QVector<int>{4, 0, 0, 0, 0, 0} << true;
    QTest::newRow("address 0") << "0:4:22" << false << 0 << QVector<int>() << false;
    QTest::newRow("address 248") << "248:4:22" << false << 0 << QVector<int>() << false;
    QTest::newRow("seven slots") << "1:1,1,1,1,1,1,1:22" << false << 0 << QVector<int>() << false;
    QTest::newRow("bad flag") << "1:4:22:jumpr" << false << 0 << QVector<int>() << false;
    QTest::newRow("no firmware") << "1:4" << false << 0 << QVector<int>() << false;
}

void TestUnitSim::unitSpec()
{
    QFETCH(QString, unitText);
    QFETCH(bool, valid);
    SimUnitConfig config;
    QString error;
    QCOMPARE(SimUnitConfig::parse(unitText, &config, &error), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (valid) {
        QTEST(config.address, "address");
        QTEST(config.slotCodes, "slotCodes");
        QTEST(config.jumper, "jumper");
    }
}

void TestUnitSim::discoveryRead_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<bool>("jumper");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("exception");
    QTest::newRow("fw 2.2, 23 words") << 22 << false << 23 << 0;
    QTest::newRow("fw 2.2, 25 words, jumper") << 22 << true << 25 << 0;
    QTest::newRow("fw 2.2, 26 words") << 22 << false << 26 << 2;
    QTest::newRow("fw 2.1, 23 words") << 21 << false << 23 << 0;
    QTest::newRow("fw 2.1, 25 words") << 21 << false << 25 << 2;
}

void TestUnitSim::discoveryRead()
{
    QFETCH(int, firmware);
    QFETCH(bool, jumper);
    QFETCH(int, count);
    QFETCH(int, exception);
    UnitSimFixture sim({UnitSimFixture::unit(7, kDefaultSlots, firmware, jumper)});
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    const ModbusCallResult r
        = ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 2000, count, 7);
    QCOMPARE(r.exception, exception);
    if (exception)
        return;
    QCOMPARE(r.values.size(), count);
    QCOMPARE(r.values.at(0), quint16(1));
    QCOMPARE(int(r.values.at(2)), firmware);
    QCOMPARE(r.values.at(5), quint16(7));
    QCOMPARE(r.values.mid(17, 6), (Words{5, 4, 6, 7, 8, 1}));
    if (count == 25)
        QCOMPARE(r.values.at(24), quint16(jumper ? 1 : 0));
}

void TestUnitSim::configurationBlocks_data()
{
    QTest::addColumn<QVector<int>>("slotCodes");
    QTest::addColumn<Type>("type");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    const Type h = QModbusDataUnit::HoldingRegisters;
    const Type c = QModbusDataUnit::Coils;
    const Type in = QModbusDataUnit::InputRegisters;
    const Type di = QModbusDataUnit::DiscreteInputs;
    QTest::newRow("default 300") << kDefaultSlots << h << 300 << 1;
    QTest::newRow("default 400") << kDefaultSlots << h << 400 << 16;
    QTest::newRow("default 800") << kDefaultSlots << h << 800 << 32;
    QTest::newRow("default 1200") << kDefaultSlots << h << 1200 << 8;
    QTest::newRow("default 600") << kDefaultSlots << h << 600 << 4;
    QTest::newRow("default 1000 holding") << kDefaultSlots << h << 1000 << 8;
    QTest::newRow("default 1000 coils") << kDefaultSlots << c << 1000 << 10;
    QTest::newRow("default 1300") << kDefaultSlots << h << 1300 << 10;
    QTest::newRow("default 1400") << kDefaultSlots << h << 1400 << 2;
    QTest::newRow("default 1600") << kDefaultSlots << h << 1600 << 4;
    QTest::newRow("default AI values") << kDefaultSlots << in << 0 << 16;
    QTest::newRow("default AI raw") << kDefaultSlots << in << 10004 << 8;
    QTest::newRow("default counters") << kDefaultSlots << in << 202 << 4;
    QTest::newRow("default AO values") << kDefaultSlots << h << 0 << 4;
    QTest::newRow("default AO raw") << kDefaultSlots << h << 10004 << 2;
    QTest::newRow("default steppers") << kDefaultSlots << h << 550 << 4;
    QTest::newRow("default DI states") << kDefaultSlots << c << 0 << 4;
    QTest::newRow("default DO states") << kDefaultSlots << di << 0 << 10;
    // DI6, DI6, DI, ENI2, empty, R: 16 inputs, counters 6+6+4, two outputs, nothing analog.
    const QVector<int> digital{10, 10, 6, 9, 0, 3};
    QTest::newRow("digital 300") << digital << h << 300 << 1;
    QTest::newRow("digital counters") << digital << in << 202 << 16;
    QTest::newRow("digital 1300") << digital << h << 1300 << 2;
    QTest::newRow("digital 400 absent") << digital << h << 400 << 0;
    QTest::newRow("digital 600 absent") << digital << h << 600 << 0;
    QTest::newRow("digital 1000 holding absent") << digital << h << 1000 << 0;
    // Five DI boards: 20 inputs need two antibounce words.
    QTest::newRow("twenty inputs 300") << QVector<int>{6, 6, 6, 6, 6, 0} << h << 300 << 2;
    QTest::newRow("TMP only 1200") << QVector<int>{0, 7, 0, 0, 0, 0} << h << 1200 << 2;
}

// Exactly the sized block is held: one register more, or one before, is refused.
void TestUnitSim::configurationBlocks()
{
    QFETCH(QVector<int>, slotCodes);
    QFETCH(Type, type);
    QFETCH(int, start);
    QFETCH(int, count);
    UnitSimFixture sim({UnitSimFixture::unit(1, slotCodes)});
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    if (count > 0) {
        const ModbusCallResult r = ModbusCall::read(client.get(), type, start, count, 1);
        QVERIFY2(r.ok(), qPrintable(QString::number(r.exception)));
        QCOMPARE(r.values.size(), count);
    }
    QCOMPARE(ModbusCall::read(client.get(), type, start, count + 1, 1).exception, 2);
    if (start > 0)
        QCOMPARE(ModbusCall::read(client.get(), type, start - 1, qMax(count, 1), 1).exception, 2);
}

void TestUnitSim::factoryValues()
{
    UnitSimFixture sim;
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    // Limits 0.0 and 100.0, low word first, for every analog input.
    const ModbusCallResult limits
        = ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 800, 32, 1);
    QVERIFY(limits.ok());
    for (int g = 0; g < 8; ++g)
        QCOMPARE(limits.values.mid(4 * g, 4), (Words{0x0000, 0x0000, 0x0000, 0x42C8}));
    // AIO and AI inputs 4-20 mA, the TMP inputs (g 6, 7) Pt100.
    const ModbusCallResult types
        = ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 1200, 8, 1);
    QCOMPARE(types.values, (Words{1, 1, 1, 1, 1, 1, 5, 5}));
    const ModbusCallResult net
        = ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 2010, 6, 1);
    QCOMPARE(net.values, (Words{0xC0A8, 0x000A, 0xFFFF, 0xFF00, 0xC0A8, 0x0001}));
}

void TestUnitSim::writeRules_data()
{
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<Type>("checkType");
    QTest::addColumn<int>("checkAddress");
    QTest::addColumn<int>("expected");
    const Type h = QModbusDataUnit::HoldingRegisters;
    const Type c = QModbusDataUnit::Coils;
    QTest::newRow("armed limit") << QList<Step>{{h, 2016, 0x6C31, 0}, {h, 800, 0x1234, 0}} << h
                                 << 800 << 0x1234;
    QTest::newRow("unarmed limit") << QList<Step>{{h, 800, 0x1234, 4}} << h << 800 << 0;
    QTest::newRow("one arm, one write")
        << QList<Step>{{h, 2016, 0x6C31, 0}, {h, 800, 1, 0}, {h, 801, 2, 4}} << h << 801 << 0;
    QTest::newRow("read keeps the arm")
        << QList<Step>{{h, 2016, 0x6C31, 0}, {h, 2000, 0, 0, true}, {h, 1300, 55, 0}} << h << 1300
        << 55;
    QTest::newRow("module code on a channel register")
        << QList<Step>{{h, 2016, 0x6C5B, 0}, {h, 800, 1, 4}} << h << 800 << 0;
    QTest::newRow("channel code on the module block")
        << QList<Step>{{h, 2016, 0x6C31, 0}, {h, 2004, 10, 4}} << h << 2004 << 0;
    QTest::newRow("armed module word")
        << QList<Step>{{h, 2016, 0x6C5B, 0}, {h, 2004, 10, 0}} << h << 2004 << 10;
    QTest::newRow("wrong code uses up the arm")
        << QList<Step>{{h, 2016, 0x6C5B, 0}, {h, 800, 1, 4}, {h, 2004, 9, 4}} << h << 2004 << 0;
    QTest::newRow("signal type without arming") << QList<Step>{{h, 1200, 2, 0}} << h << 1200 << 2;
    QTest::newRow("AI signal type of a TMP input")
        << QList<Step>{{h, 1206, 1, 3}} << h << 1206 << 5;
    QTest::newRow("TMP signal type 22") << QList<Step>{{h, 1207, 22, 0}} << h << 1207 << 22;
    QTest::newRow("TMP signal type 23") << QList<Step>{{h, 1207, 23, 3}} << h << 1207 << 5;
    QTest::newRow("TMP type on an AI input") << QList<Step>{{h, 1202, 4, 3}} << h << 1202 << 1;
    QTest::newRow("AO signal type 4") << QList<Step>{{h, 1401, 4, 3}} << h << 1401 << 1;
    QTest::newRow("data format 3")
        << QList<Step>{{h, 2016, 0x6C31, 0}, {h, 402, 0x30, 3}} << h << 402 << 0;
    QTest::newRow("float format x100")
        << QList<Step>{{h, 2016, 0x6C31, 0}, {h, 602, 0x90, 0}} << h << 602 << 0x90;
    QTest::newRow("baud code 11") << QList<Step>{{h, 2016, 0x6C5B, 0}, {h, 2006, 11, 3}} << h
                                  << 2006 << 6;
    QTest::newRow("baud code 2") << QList<Step>{{h, 2016, 0x6C5B, 0}, {h, 2006, 0xC2, 3}} << h
                                 << 2006 << 6;
    QTest::newRow("115200 odd parity")
        << QList<Step>{{h, 2016, 0x6C5B, 0}, {h, 2006, 0xCA, 0}} << h << 2006 << 0xCA;
    QTest::newRow("address 0") << QList<Step>{{h, 2016, 0x6C5B, 0}, {h, 2005, 0, 3}} << h << 2005
                               << 1;
    QTest::newRow("address 248") << QList<Step>{{h, 2016, 0x6C5B, 0}, {h, 2005, 248, 3}} << h
                                 << 2005 << 1;
    QTest::newRow("slot word is read-only")
        << QList<Step>{{h, 2016, 0x6C5B, 0}, {h, 2017, 4, 2}} << h << 2017 << 5;
    QTest::newRow("unknown service code") << QList<Step>{{h, 2016, 0x1111, 3}} << h << 2016 << 0;
    QTest::newRow("AO value unarmed")
        << QList<Step>{{h, 1, 0x4120, 0}, {h, 10005, 777, 0}} << h << 10005 << 777;
    QTest::newRow("AO value past the outputs") << QList<Step>{{h, 4, 1, 2}} << h << 4 << -1;
    QTest::newRow("armed block coil")
        << QList<Step>{{h, 2016, 0x6C31, 0}, {c, 1009, 1, 0}} << c << 1009 << 1;
    QTest::newRow("unarmed block coil") << QList<Step>{{c, 1000, 1, 4}} << c << 1000 << 0;
    QTest::newRow("DI state coil") << QList<Step>{{c, 0, 1, 2}} << c << 0 << 0;
}

void TestUnitSim::writeRules()
{
    QFETCH(QList<Step>, steps);
    QFETCH(Type, checkType);
    QFETCH(int, checkAddress);
    UnitSimFixture sim;
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    for (int i = 0; i < steps.size(); ++i) {
        const Step &s = steps.at(i);
        const ModbusCallResult r
            = s.read ? ModbusCall::read(client.get(), s.type, s.address, 23, 1)
                     : ModbusCall::write(client.get(), s.type, s.address, {s.value}, 1);
        QVERIFY2(r.exception == s.exception,
                 qPrintable(QStringLiteral("step %1: exception %2, expected %3")
                                .arg(i)
                                .arg(r.exception)
                                .arg(s.exception)));
    }
    QTEST(sim.reg(1, checkType, checkAddress), "expected");
}

void TestUnitSim::lenientAcceptsUnarmed()
{
    UnitSimFixture::Options options;
    options.lenient = true;
    UnitSimFixture sim(options);
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    QVERIFY(ModbusCall::write(client.get(), QModbusDataUnit::HoldingRegisters, 1300, {42}, 1).ok());
    QCOMPARE(sim.reg(1, QModbusDataUnit::HoldingRegisters, 1300), 42);
    // A code meant for the other kind of register is still refused.
    QVERIFY(
        ModbusCall::write(client.get(), QModbusDataUnit::HoldingRegisters, 2016, {0x6C5B}, 1).ok());
    QCOMPARE(
        ModbusCall::write(client.get(), QModbusDataUnit::HoldingRegisters, 1301, {1}, 1).exception,
        4);
}

void TestUnitSim::multiRegisterWrite_loggedAsSuch()
{
    UnitSimFixture sim;
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    QVERIFY(
        ModbusCall::write(client.get(), QModbusDataUnit::HoldingRegisters, 2016, {0x6C31}, 1).ok());
    const Words limits{0x0000, 0xC128, 0x0000, 0x4148}; // -10.5 and 12.5
    QVERIFY(
        ModbusCall::write(client.get(), QModbusDataUnit::HoldingRegisters, 804, limits, 1).ok());
    QCOMPARE(ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 804, 4, 1).values,
             limits);
    const SimRequestRecord last = sim.requests().at(sim.requests().size() - 2);
    QCOMPARE(last.function, 16);
    QCOMPARE(last.address, 804);
    QCOMPARE(last.values, limits);
    // A multiple write that spans a register the unit does not hold changes nothing.
    QVERIFY(
        ModbusCall::write(client.get(), QModbusDataUnit::HoldingRegisters, 2016, {0x6C31}, 1).ok());
    QCOMPARE(ModbusCall::write(client.get(), QModbusDataUnit::HoldingRegisters, 1309, {7, 7}, 1)
                 .exception,
             2);
    QCOMPARE(sim.reg(1, QModbusDataUnit::HoldingRegisters, 1309), 0);
}

void TestUnitSim::eepromFlag_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<quint16>("value");
    QTest::addColumn<int>("exception");
    QTest::newRow("fw 2.2 set") << 22 << quint16(1) << 0;
    QTest::newRow("fw 2.2 value 2") << 22 << quint16(2) << 3;
    QTest::newRow("fw 3.0 set") << 30 << quint16(1) << 0;
    QTest::newRow("fw 2.1 absent") << 21 << quint16(1) << 2;
}

void TestUnitSim::eepromFlag()
{
    QFETCH(int, firmware);
    QFETCH(quint16, value);
    QFETCH(int, exception);
    UnitSimFixture sim({UnitSimFixture::unit(1, kDefaultSlots, firmware)});
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    QCOMPARE(ModbusCall::write(client.get(), QModbusDataUnit::HoldingRegisters, 2023, {value}, 1)
                 .exception,
             exception);
    if (exception == 0) {
        QCOMPARE(
            ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 2023, 1, 1).values,
            Words{value});
        QVERIFY(
            ModbusCall::write(client.get(), QModbusDataUnit::HoldingRegisters, 2023, {0}, 1).ok());
    }
}

void TestUnitSim::reset_keepsLinkWords()
{
    UnitSimFixture sim;
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    const Type h = QModbusDataUnit::HoldingRegisters;
    const QList<QPair<int, quint16>> writes{
        {2004, 25}, {2007, 10}, {2006, 0x47}, {2010, 0x0A00}, {2011, 0x0002}};
    for (const auto &w : writes) {
        QVERIFY(ModbusCall::write(client.get(), h, 2016, {0x6C5B}, 1).ok());
        QVERIFY(ModbusCall::write(client.get(), h, w.first, {w.second}, 1).ok());
    }
    QVERIFY(ModbusCall::write(client.get(), h, 2016, {0x6C31}, 1).ok());
    QVERIFY(ModbusCall::write(client.get(), h, 803, {0x4348}, 1).ok());
    QVERIFY(ModbusCall::write(client.get(), h, 1203, {3}, 1).ok());
    QVERIFY(ModbusCall::write(client.get(), h, 2016, {0x6C45}, 1).ok());

    const ModbusCallResult block = ModbusCall::read(client.get(), h, 2000, 16, 1);
    QVERIFY(block.ok());
    QCOMPARE(block.values.at(4), quint16(0));    // lock time-out back to factory
    QCOMPARE(block.values.at(7), quint16(0));    // response delay back to factory
    QCOMPARE(block.values.at(5), quint16(1));    // address kept
    QCOMPARE(block.values.at(6), quint16(0x47)); // port word kept
    QCOMPARE(block.values.mid(10, 2), (Words{0x0A00, 0x0002}));
    QCOMPARE(sim.reg(1, h, 803), 0x42C8);
    QCOMPARE(sim.reg(1, h, 1203), 1);
}

void TestUnitSim::addressChange_takesEffectAfterPause()
{
    UnitSimFixture sim;
    QVERIFY(sim.start());
    auto client = connectTo(sim, 300);
    const Type h = QModbusDataUnit::HoldingRegisters;
    QVERIFY(ModbusCall::write(client.get(), h, 2016, {0x6C5B}, 1).ok());
    QVERIFY(ModbusCall::write(client.get(), h, 2005, {9}, 1).ok());
    // The rest of a write sequence still reaches the old address.
    QVERIFY(ModbusCall::write(client.get(), h, 2016, {0x6C5B}, 1).ok());
    QVERIFY(ModbusCall::write(client.get(), h, 2007, {3}, 1).ok());
    QVERIFY(ModbusCall::read(client.get(), h, 2000, 23, 1).ok());
    QTRY_VERIFY_WITH_TIMEOUT(sim.unitAt(9) != nullptr, 2000);
    QCOMPARE(ModbusCall::read(client.get(), h, 2005, 1, 9).values, Words{9});
    QCOMPARE(ModbusCall::read(client.get(), h, 2005, 1, 1).error, QModbusDevice::TimeoutError);
}

void TestUnitSim::reboot_appliesAddressAtOnce()
{
    UnitSimFixture sim;
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    const Type h = QModbusDataUnit::HoldingRegisters;
    QVERIFY(ModbusCall::write(client.get(), h, 2016, {0x6C5B}, 1).ok());
    QVERIFY(ModbusCall::write(client.get(), h, 2005, {17}, 1).ok());
    QVERIFY(ModbusCall::write(client.get(), h, 2016, {0x7D4C}, 1).ok());
    QVERIFY(sim.unitAt(17));
    QVERIFY(ModbusCall::read(client.get(), h, 2000, 23, 17).ok());
    bool restartLogged = false;
    for (const SimRequestRecord &record : sim.requests())
        restartLogged
            |= record.result == SimRequestRecord::Event && record.note == QLatin1String("restart");
    QVERIFY(restartLogged);
}

void TestUnitSim::unknownFunction_exception1()
{
    UnitSimFixture sim;
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    // Function 0x07 (read exception status) and 0x17 (read/write multiple) are not served.
    QCOMPARE(
        ModbusCall::raw(client.get(), QModbusRequest(QModbusPdu::ReadExceptionStatus), 1).exception,
        1);
    const QModbusRequest readWrite(QModbusPdu::ReadWriteMultipleRegisters, quint16(2000),
                                   quint16(1), quint16(300), quint16(1), quint8(2), quint16(0));
    QCOMPARE(ModbusCall::raw(client.get(), readWrite, 1).exception, 1);
}

void TestUnitSim::liveEncoding_data()
{
    QTest::addColumn<quint16>("flags");
    QTest::addColumn<Words>("words");
    // A frozen input sits mid-range: 50.0 of 0..100.
    QTest::newRow("INT16 x1") << quint16(0x00) << Words{50, 0};
    QTest::newRow("INT16 x100") << quint16(0x80) << Words{5000, 0};
    QTest::newRow("FLOAT32") << quint16(0x10) << Words{0x0000, 0x4248};
    QTest::newRow("INT32 x1000") << quint16(0xE0) << Words{0xC350, 0x0000};
    QTest::newRow("INT16 x1000 saturates") << quint16(0xC0) << Words{32767, 0};
}

void TestUnitSim::liveEncoding()
{
    QFETCH(quint16, flags);
    QFETCH(Words, words);
    UnitSimFixture sim;
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    const Type h = QModbusDataUnit::HoldingRegisters;
    // Channel g = 3 of the default layout: input registers 6, 7 and raw code 10007.
    QVERIFY(ModbusCall::write(client.get(), h, 2016, {0x6C31}, 1).ok());
    QVERIFY(ModbusCall::write(client.get(), h, 406, {flags}, 1).ok());
    QCOMPARE(ModbusCall::read(client.get(), QModbusDataUnit::InputRegisters, 6, 2, 1).values,
             words);
    QCOMPARE(ModbusCall::read(client.get(), QModbusDataUnit::InputRegisters, 10007, 1, 1).values,
             Words{5000});
}

void TestUnitSim::liveValues_move()
{
    UnitSimFixture::Options options;
    options.frozen = false;
    UnitSimFixture sim(options);
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    const ModbusCallResult first
        = ModbusCall::read(client.get(), QModbusDataUnit::InputRegisters, 0, 16, 1);
    const ModbusCallResult counters
        = ModbusCall::read(client.get(), QModbusDataUnit::InputRegisters, 202, 2, 1);
    QTest::qWait(1200);
    QVERIFY(first.ok() && counters.ok());
    QVERIFY(ModbusCall::read(client.get(), QModbusDataUnit::InputRegisters, 0, 16, 1).values
            != first.values);
    QVERIFY(ModbusCall::read(client.get(), QModbusDataUnit::InputRegisters, 202, 2, 1).values
            != counters.values);
}

void TestUnitSim::severalUnits_oneTcpPort()
{
    UnitSimFixture sim({UnitSimFixture::unit(1, {4, 0, 0, 0, 0, 0}),
                        UnitSimFixture::unit(2, {1, 1, 0, 0, 0, 0}, 21)});
    QVERIFY(sim.start());
    auto client = connectTo(sim, 300);
    const ModbusCallResult one
        = ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 2000, 23, 1);
    const ModbusCallResult two
        = ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 2000, 23, 2);
    QVERIFY(one.ok() && two.ok());
    QCOMPARE(one.values.mid(17, 2), (Words{4, 0}));
    QCOMPARE(two.values.mid(17, 2), (Words{1, 1}));
    QCOMPARE(two.values.at(2), quint16(21));
    QCOMPARE(ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 2000, 23, 3).error,
             QModbusDevice::TimeoutError);
}

void TestUnitSim::persistence_acrossRestart()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    UnitSimFixture::Options options;
    options.statePath = dir.filePath(QStringLiteral("state.json"));
    const Type h = QModbusDataUnit::HoldingRegisters;
    {
        UnitSimFixture sim(options);
        QVERIFY(sim.start());
        auto client = connectTo(sim);
        QVERIFY(ModbusCall::write(client.get(), h, 2016, {0x6C31}, 1).ok());
        QVERIFY(ModbusCall::write(client.get(), h, 1301, {80}, 1).ok());
        QVERIFY(ModbusCall::write(client.get(), h, 1207, {12}, 1).ok());
        QVERIFY(ModbusCall::write(client.get(), h, 2016, {0x6C5B}, 1).ok());
        QVERIFY(ModbusCall::write(client.get(), h, 2005, {33}, 1).ok());
    }
    UnitSimFixture restarted(options);
    QVERIFY(restarted.start());
    QVERIFY(restarted.unitAt(33));
    QCOMPARE(restarted.reg(33, h, 1301), 80);
    QCOMPARE(restarted.reg(33, h, 1207), 12);
    // A state file of another layout is not forced onto a unit.
    options.units = {UnitSimFixture::unit(1, {4, 0, 0, 0, 0, 0})};
    UnitSimFixture other(options);
    QVERIFY(other.unitAt(1));
}

void TestUnitSim::dropEvery()
{
    UnitSimFixture::Options options;
    options.faults.dropEvery = 3;
    UnitSimFixture sim(options);
    QVERIFY(sim.start());
    auto client = connectTo(sim, 300);
    QList<bool> answered;
    for (int i = 0; i < 6; ++i)
        answered
            << ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 2000, 1, 1).ok();
    QCOMPARE(answered, (QList<bool>{true, true, false, true, true, false}));
}

void TestUnitSim::delayMs()
{
    UnitSimFixture::Options options;
    options.faults.delayMs = 300;
    UnitSimFixture sim(options);
    QVERIFY(sim.start());
    auto client = connectTo(sim, 1000);
    const ModbusCallResult slow
        = ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 2000, 1, 1);
    QVERIFY(slow.ok());
    QVERIFY2(slow.elapsedMs >= 290, qPrintable(QString::number(slow.elapsedMs)));
    client->setTimeout(100);
    QCOMPARE(ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 2000, 1, 1).error,
             QModbusDevice::TimeoutError);
}

void TestUnitSim::exceptionAt()
{
    UnitSimFixture::Options options;
    options.faults.exceptionAt.insert(2005, 6);
    UnitSimFixture sim(options);
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    QCOMPARE(
        ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 2000, 23, 1).exception,
        6);
    QVERIFY(ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 2006, 17, 1).ok());
    QCOMPARE(
        ModbusCall::write(client.get(), QModbusDataUnit::HoldingRegisters, 2005, {3}, 1).exception,
        6);
}

// What the client made of one request: the values of a read, the echoed start of
// a write (its values are all 7), or how it failed.
static QString outcome(QModbusClient *client, bool write, int address, int count)
{
    const QModbusDataUnit unit
        = write ? QModbusDataUnit(QModbusDataUnit::HoldingRegisters, address, Words(count, 7))
                : QModbusDataUnit(QModbusDataUnit::HoldingRegisters, address, quint16(count));
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
    case QModbusDevice::UnknownError: // Qt's verdict on a reply it cannot decode
        return QStringLiteral("invalid");
    default:
        return QString("error %1").arg(reply->error());
    }
}

void TestUnitSim::replyFaults_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("write");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("seen");   // by the client, for the same request sent twice
    QTest::addColumn<QStringList>("logged"); // by the simulator (unanswered: no count, no value)
    QTest::addColumn<Words>("stored");       // holding registers from address after a write

    const QStringList shortRead{"3 2000 23 (short reply)", "3 2000 23 (short reply)"};
    QTest::newRow("short reply") << QStringList{"--short-reply-at", "2022"} << false << 2000 << 23
                                 << QStringList{"values 22", "values 22"} << shortRead << Words();
    QTest::newRow("short reply, nothing left")
        << QStringList{"--short-reply-at", "2005:30"} << false << 2000 << 23
        << QStringList{"invalid", "invalid"} << shortRead << Words();
    QTest::newRow("short reply, not covered") << QStringList{"--short-reply-at", "2005"} << false
                                              << 2006 << 17 << QStringList{"values 17", "values 17"}
                                              << QStringList{"3 2006 17", "3 2006 17"} << Words();
    QTest::newRow("wrong read") << QStringList{"--wrong-reply-at", "2000"} << false << 2000 << 23
                                << QStringList{"values 24", "values 24"}
                                << QStringList{"3 2000 23 (wrong reply)", "3 2000 23 (wrong reply)"}
                                << Words();
    // Holding 0..3 are the analog outputs' values: written without a service code.
    QTest::newRow("wrong single write echo")
        << QStringList{"--wrong-reply-at", "0"} << true << 0 << 1 << QStringList{"echo 1", "echo 1"}
        << QStringList{"6 0 7 (wrong reply)", "6 0 7 (wrong reply)"} << Words{7};
    QTest::newRow("wrong multiple write echo")
        << QStringList{"--wrong-reply-at", "1"} << true << 0 << 2 << QStringList{"echo 1", "echo 1"}
        << QStringList{"16 0 7 (wrong reply)", "16 0 7 (wrong reply)"} << Words{7, 7};
    QTest::newRow("ignored write")
        << QStringList{"--ignore-write", "1"} << true << 0 << 2 << QStringList{"echo 0", "echo 0"}
        << QStringList{"16 0 7 (ignored write)", "16 0 7 (ignored write)"} << Words{7, 0};
    QTest::newRow("closed") << QStringList{"--close-at", "2010"} << false << 2000 << 23
                            << QStringList{"aborted", "not sent"}
                            << QStringList{"3 2000 0 dropped (closed)"} << Words();
    QTest::newRow("silent at") << QStringList{"--silent-at", "0"} << true << 0 << 1
                               << QStringList{"timeout", "timeout"}
                               << QStringList{"6 0 - dropped (silent)", "6 0 - dropped (silent)"}
                               << Words{0};
    QTest::newRow("silent after one")
        << QStringList{"--silent-after", "1"} << false << 2000 << 1
        << QStringList{"values 1", "timeout"}
        << QStringList{"3 2000 1", "3 2000 0 dropped (silent)"} << Words();
    QTest::newRow("fault of another unit")
        << QStringList{"--silent-at", "2000", "--fault-unit", "2"} << false << 2000 << 1
        << QStringList{"values 1", "values 1"} << QStringList{"3 2000 1", "3 2000 1"} << Words();
}

void TestUnitSim::replyFaults()
{
    QFETCH(QStringList, options);
    QFETCH(bool, write);
    QFETCH(int, address);
    QFETCH(int, count);
    QFETCH(QStringList, logged);
    QFETCH(Words, stored);

    SimOptions parsed;
    QString error;
    QString help;
    QVERIFY2(SimOptions::parse(QStringList{"brk-unit-sim"} + options, &parsed, &error, &help),
             qPrintable(error));
    UnitSimFixture::Options fixture;
    fixture.faults = parsed.faults;
    UnitSimFixture sim(fixture);
    QVERIFY(sim.start());
    auto client = connectTo(sim, 200);
    const QStringList seen{outcome(client.get(), write, address, count),
                           outcome(client.get(), write, address, count)};
    QTEST(seen, "seen");

    QStringList lines;
    for (const SimRequestRecord &record : sim.requests()) {
        lines << UnitSimFixture::describe(record);
        if (!record.fault.isEmpty())
            QVERIFY(
                SimRequestLog::toJsonLine(record).contains("\"fault\":\"" + record.fault.toUtf8()));
    }
    QCOMPARE(lines, logged);
    for (int i = 0; i < stored.size(); ++i)
        QCOMPARE(sim.reg(1, QModbusDataUnit::HoldingRegisters, address + i), int(stored.at(i)));
}

void TestUnitSim::silence_atRunTime()
{
    UnitSimFixture sim;
    QVERIFY(sim.start());
    auto client = connectTo(sim, 200);
    sim.setSilent(true);
    QCOMPARE(outcome(client.get(), false, 2000, 1), QStringLiteral("timeout"));
    sim.setSilent(false);
    QCOMPARE(outcome(client.get(), false, 2000, 1), QStringLiteral("values 1"));
}

void TestUnitSim::logFile_jsonLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("requests.log"));
    UnitSimFixture sim;
    QString error;
    QVERIFY2(sim.bus()->log().open(path, &error), qPrintable(error));
    QVERIFY(sim.start());
    auto client = connectTo(sim);
    QVERIFY(ModbusCall::read(client.get(), QModbusDataUnit::HoldingRegisters, 2000, 23, 1).ok());
    QCOMPARE(
        ModbusCall::write(client.get(), QModbusDataUnit::HoldingRegisters, 800, {5}, 1).exception,
        4);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 3); // two lines and the empty rest after the last newline
    const QJsonObject read = QJsonDocument::fromJson(lines.at(0)).object();
    QCOMPARE(read.value("slave").toInt(), 1);
    QCOMPARE(read.value("function").toInt(), 3);
    QCOMPARE(read.value("address").toInt(), 2000);
    QCOMPARE(read.value("count").toInt(), 23);
    QCOMPARE(read.value("result").toString(), QStringLiteral("ok"));
    QVERIFY(!read.value("time").toString().isEmpty());
    const QJsonObject write = QJsonDocument::fromJson(lines.at(1)).object();
    QCOMPARE(write.value("function").toInt(), 6);
    QCOMPARE(write.value("values").toArray().first().toInt(), 5);
    QCOMPARE(write.value("exception").toInt(), 4);
}

QTEST_GUILESS_MAIN(TestUnitSim)
#include "tst_unitsim.moc"
