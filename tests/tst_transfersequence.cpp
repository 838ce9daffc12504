// SPDX-License-Identifier: GPL-3.0-or-later
// The sequence runner against the simulated unit over TCP loopback: what
// reaches the unit, in which order and with which pauses, what the unit holds
// afterwards, and how each sequence ends.
#include "modbuscall.h"
#include "registerblocks.h"
#include "trafficrecorder.h"
#include "transfersequence.h"
#include "unitimage.h"
#include "unitsimfixture.h"
#include "writejob.h"

#include <configfile.h>
#include <module.h>
#include <parametertree.h>
#include <property.h>

#include <QtTest>

#include <functional>
#include <memory>

namespace {

constexpr int Unit = 1;
constexpr auto Holding = QModbusDataUnit::HoldingRegisters;
using Result = TransferSequence::Result;
using Start = TransferSequence::Start;

// The firmware misses a request sent even a fraction of a millisecond early. Times
// are taken where the requests leave, so only a send held up between its clock and
// the wire can look early: one in ten is let pass.
QString pacing(const TrafficRecorder &recorder, int pauseMs)
{
    int early = 0;
    double shortest = 1e9;
    for (quint64 id = recorder.firstId() + 1; id < recorder.endId(); ++id) {
        const double gap
            = (recorder.exchange(id)->sentUs - recorder.exchange(id - 1)->sentUs) / 1000.0;
        shortest = qMin(shortest, gap);
        early += gap < pauseMs - 0.05 ? 1 : 0;
    }
    if (early <= qMax(1, (recorder.count() - 1) / 10) && early < recorder.count() - 1)
        return QString();
    return QStringLiteral("%1 of %2 pauses under %3 ms, shortest %4 ms")
        .arg(early)
        .arg(recorder.count() - 1)
        .arg(pauseMs)
        .arg(shortest);
}

struct Edit
{
    int table; // the read block that fills the table
    int index;
    quint16 value;
};

ModuleTables edited(ModuleTables tables, const QVector<Edit> &edits)
{
    for (const Edit &edit : edits) {
        QVector<quint16> values = edit.table == rT800      ? tables.limitsAITable()
                                  : edit.table == rT1000AO ? tables.limitsAOTable()
                                                           : tables.blockValuesDOTable();
        values[edit.index] = edit.value;
        RegisterBlocks::storeReadValues(edit.table, values, &tables);
    }
    return tables;
}

} // namespace

Q_DECLARE_METATYPE(SimFaults)
Q_DECLARE_METATYPE(QVector<Edit>)
Q_DECLARE_METATYPE(WriteJob::Outcome)

class TestTransferSequence : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void read_goesOnPastFailedBlocks();
    void write_data();
    void write();
    void fullWrite_newAddress_unitAnswersThere();
    void verify_readsBackWhatWasWritten_data();
    void verify_readsBackWhatWasWritten();
    void oneSequenceAtATime_cancel();
    void writeJob_outcome_data();
    void writeJob_outcome();
    void fullWrite_retriesLostRequests();
    void writeJob_marksFollowTheUnit_data();
    void writeJob_marksFollowTheUnit();

private:
    bool connectTo(quint16 port, int firmware, int mode = ModeTcp, int retries = 0);
    Result run(const std::function<Start()> &start);

    std::unique_ptr<QModbusTcpClient> m_client;
    std::unique_ptr<TrafficRecorder> m_recorder;
    std::unique_ptr<TransferSequence> m_transfer;
    std::unique_ptr<QSignalSpy> m_warnings;
};

void TestTransferSequence::initTestCase()
{
    QLoggingCategory::setFilterRules("brk.modbus.transfer.debug=false");
}

bool TestTransferSequence::connectTo(quint16 port, int firmware, int mode, int retries)
{
    m_warnings.reset();
    m_transfer.reset();
    m_client = ModbusCall::tcpClient(port, 150, retries);
    m_recorder = std::make_unique<TrafficRecorder>();
    m_recorder->attach(m_client.get());
    m_transfer = std::make_unique<TransferSequence>(m_client.get());
    m_transfer->setServerAddress(Unit);
    m_transfer->setFirmwareVersion(firmware);
    m_transfer->setMode(mode);
    m_warnings = std::make_unique<QSignalSpy>(m_transfer.get(), &TransferSequence::warning);
    return m_client->state() == QModbusDevice::ConnectedState;
}

// Runs a sequence to its end; anything but exactly one finished signal, or a
// reply left unreleased, shows as Cancelled.
Result TestTransferSequence::run(const std::function<Start()> &start)
{
    QSignalSpy finished(m_transfer.get(), &TransferSequence::finished);
    if (start() != Start::Started || !finished.wait(10000))
        return Result::Cancelled;
    // Replies given up on are released when the client is done with them.
    for (int waited = 0; waited < 1000; waited += 10) {
        QTest::qWait(10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (waited >= 50 && m_client->findChildren<QModbusReply *>().isEmpty())
            break;
    }
    if (finished.size() != 1 || !m_client->findChildren<QModbusReply *>().isEmpty())
        return Result::Cancelled;
    return finished.first().at(1).value<Result>();
}

// Too few values are no values: the read goes on, the block stays unread. The last
// block failing still ends the read, with what was read.
void TestTransferSequence::read_goesOnPastFailedBlocks()
{
    UnitSimFixture sim; // AIO AI DI TMP DO6 DO4: 8 AI, 2 AO, 4 DI, 10 DO
    QVERIFY(sim.start());
    QVERIFY(connectTo(sim.port(), 22));
    SimFaults faults;
    faults.shortReplyAt.insert(1300, 1);
    faults.exceptionAt.insert(1601, 4);
    sim.setFaults(faults);
    // Values no factory state has, each at a channel other than the first.
    QVERIFY(sim.setReg(Unit, Holding, 804, 0x0000)); // AI 1 lower limit 12.5
    QVERIFY(sim.setReg(Unit, Holding, 805, 0x4148));
    QVERIFY(sim.setReg(Unit, Holding, 1202, 3));                // AI 2 signal type
    QVERIFY(sim.setReg(Unit, Holding, 300, 0x0005));            // antibounce of inputs 0 and 2
    QVERIFY(sim.setReg(Unit, QModbusDataUnit::Coils, 1003, 1)); // DO 3 block value

    QCOMPARE(run([&] { return m_transfer->startRead(moduleImage(sim, Unit)); }), Result::Failed);
    QCOMPARE(m_transfer->failedBlocks(), (QStringList{"rT1300", "rT1600"}));
    QCOMPARE(m_warnings->size(), 1); // one box per read
    QCOMPARE(UnitSimFixture::describe(sim.requests())
                 .join(", ")
                 .remove(QRegularExpression(" refused| \\(.*?\\)")),
             QString("3 300 1, 3 400 16, 3 800 32, 3 1200 8, 3 600 4, 3 1000 8, 1 1000 10, "
                     "3 1300 10, 3 1400 2, 3 1600 4"));
    const QString paced = pacing(*m_recorder, 50);
    QVERIFY2(paced.isEmpty(), qPrintable(paced));

    const ModuleTables read = m_transfer->tables();
    QCOMPARE(read.limitsAITable().mid(4, 2), (QVector<quint16>{0x0000, 0x4148}));
    QCOMPARE(read.typesValueAITable().at(2), quint16(3));
    QCOMPARE(read.antibounceDITable(), QVector<quint16>{5});
    QCOMPARE(read.blockValuesDOTable(), (QVector<quint16>{0, 0, 0, 1, 0, 0, 0, 0, 0, 0}));
    QVERIFY(read.pwmDOTable().isEmpty());
    QVERIFY(read.blockValuesAOTable().isEmpty());
    // What was read is what a read without pauses gives.
    QCOMPARE(read.limitsAOTable(), unitImage(sim, Unit).limitsAOTable());
}

void TestTransferSequence::write_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QVector<quint16>>("slotCodes");
    QTest::addColumn<QVector<Edit>>("edits");
    QTest::addColumn<SimFaults>("faults");
    QTest::addColumn<Result>("result");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("pause");
    QTest::addColumn<int>("watchdogMargin");

    const int tcp = ModeTcp;
    const QVector<quint16> ai{4, 0, 0, 0, 0, 0};
    // AI 1 lower limit := 12.5, both words differ from what the unit holds.
    const QVector<Edit> limit{{rT800, 4, 0x0000}, {rT800, 5, 0x4148}};
    const QVector<Edit> high{{rT800, 5, 0x4148}}; // fewer writes where each waits 100 ms
    const QStringList flagged{"6 2023 1",    "6 2016 6c31", "6 804 0",
                              "6 2016 6c31", "6 805 4148",  "6 2023 0"};
    QStringList lost = flagged;
    lost[4] = "6 805 - dropped";
    SimFaults refuse;
    refuse.exceptionAt.insert(805, 4);
    SimFaults drop;
    drop.dropEvery = 5; // the fifth write: the completing one
    SimFaults close;
    close.closeAt.insert(805);
    SimFaults pause; // the unit stops taking requests after the third
    pause.pauseAt = 3;
    pause.pauseForMs = 400;

    QTest::newRow("new firmware, 10 ms")
        << 22 << tcp << ai << limit << SimFaults() << Result::Completed << flagged << 10 << 1000;
    QTest::newRow("firmware 21: no flag, 100 ms")
        << 21 << tcp << ai << high << SimFaults() << Result::Completed
        << QStringList{"6 2016 6c31", "6 805 4148"} << 100 << 1000;
    QTest::newRow("extra delay: 100 ms")
        << 22 << (tcp | ModeExtraDelay) << ai << high << SimFaults() << Result::Completed
        << QStringList{"6 2023 1", "6 2016 6c31", "6 805 4148", "6 2023 0"} << 100 << 1000;
    // Holding register 1000 answers while coil 1003 is still to be written.
    QTest::newRow("holding 1000 is not the end")
        << 22 << tcp << QVector<quint16>{5, 0, 0, 0, 0, 1}
        << QVector<Edit>{{rT1000AO, 0, 7}, {rT1000DO, 3, 1}} << SimFaults() << Result::Completed
        << QStringList{"6 2023 1", "6 2016 6c31", "6 1000 7", "6 2016 6c31", "5 1003 1", "6 2023 0"}
        << 10 << 1000;
    QTest::newRow("refused write ends it")
        << 22 << tcp << ai << limit << refuse << Result::Failed
        << QStringList{"6 2023 1",    "6 2016 6c31",     "6 804 0",
                       "6 2016 6c31", "6 805 - refused", "6 2023 0"}
        << 10 << 1000;
    QTest::newRow("completing reply lost")
        << 22 << tcp << ai << limit << drop << Result::Unconfirmed << lost << 10 << 1000;
    // Whether the unit took it is unknown: neither done nor refused.
    QTest::newRow("completing write aborted")
        << 22 << tcp << ai << limit << close << Result::Unconfirmed
        << QStringList{"6 2023 1", "6 2016 6c31", "6 804 0", "6 2016 6c31",
                       "6 805 - dropped (closed)"}
        << 10 << 1000;
    // Nothing more reaches it once a request timed out.
    QTest::newRow("unit pauses") << 22 << tcp << ai << limit << pause << Result::Failed
                                 << QStringList(flagged.mid(0, 4)) << 10 << 1000;
    // The client's own time-out comes later than the runner's watchdog.
    QTest::newRow("completing reply lost, watchdog first")
        << 22 << tcp << ai << limit << drop << Result::Unconfirmed << lost << 10 << -100;
}

void TestTransferSequence::write()
{
    QFETCH(int, firmware);
    QFETCH(int, mode);
    QFETCH(QVector<quint16>, slotCodes);
    QFETCH(QVector<Edit>, edits);
    QFETCH(SimFaults, faults);
    QFETCH(Result, result);
    QFETCH(QStringList, log);
    QFETCH(int, pause);
    QFETCH(int, watchdogMargin);

    UnitSimFixture sim(
        {UnitSimFixture::unit(Unit, QVector<int>(slotCodes.begin(), slotCodes.end()), firmware)});
    QVERIFY(sim.start());
    QVERIFY(connectTo(sim.port(), firmware, mode));
    m_transfer->setWatchdogMargin(watchdogMargin);
    if (watchdogMargin < 0) // it must be the watchdog that ends it
        QTest::ignoreMessage(QtWarningMsg, "no reply within the client's time-out");
    QVERIFY(sim.setReg(Unit, Holding, 804, 0x1111));
    QVERIFY(sim.setReg(Unit, Holding, 805, 0x2222));
    const ModuleTables before = unitImage(sim, Unit);
    sim.setFaults(faults);

    QCOMPARE(m_transfer->startWrite(before, before, TransferSequence::WriteMode::ChangedOnly),
             Start::Empty);
    QCOMPARE(run([&] {
                 return m_transfer->startWrite(edited(before, edits), before,
                                               TransferSequence::WriteMode::ChangedOnly);
             }),
             result);
    QTest::qWait(pause + 40 + (faults.pauseAt ? faults.pauseForMs : 0)); // nothing may follow
    QCOMPARE(UnitSimFixture::describe(sim.requests()), log);
    const QString paced = pacing(*m_recorder, pause);
    QVERIFY2(paced.isEmpty(), qPrintable(paced));
    QCOMPARE(m_warnings->size(), result == Result::Completed ? 0 : 1);
    if (result == Result::Completed && edits.first().table == rT800) {
        QCOMPARE(sim.reg(Unit, Holding, 804), edits.size() == 2 ? 0x0000 : 0x1111);
        QCOMPARE(sim.reg(Unit, Holding, 805), 0x4148);
    }
}

void TestTransferSequence::fullWrite_newAddress_unitAnswersThere()
{
    UnitSimFixture sim({UnitSimFixture::unit(Unit, {5, 0, 0, 0, 0, 0})}); // AIO
    QVERIFY(sim.start());
    QVERIFY(connectTo(sim.port(), 22));
    const ModuleTables before = unitImage(sim, Unit);
    ModuleTables encoded = before;
    QVector<quint16> module = before.moduleTable();
    module[5] = 9;
    encoded.setModuleTable(module);
    QCOMPARE(run([&] {
                 return m_transfer->startWrite(encoded, before, TransferSequence::WriteMode::All);
             }),
             Result::Completed);
    QVERIFY(m_transfer->linkChanged());

    QTRY_COMPARE(sim.requests().last().address, 2023); // 2023 := 0 is not awaited
    const QStringList log = UnitSimFixture::describe(sim.requests());
    // 4 + 8 + 2 + 4 + 8 + 2 + 4 + 12 registers, each armed, between the flags.
    QCOMPARE(log.size(), 2 * 44 + 2);
    QCOMPARE(log.first(), QString("6 2023 1"));
    QCOMPARE(log.mid(log.size() - 5),
             (QStringList{"6 2016 6c5b", "6 2014 c0a8", "6 2016 6c5b", "6 2015 1", "6 2023 0"}));
    for (int i = 1; i + 1 < log.size(); i += 2)
        QVERIFY2(log.at(i).startsWith("6 2016 6c"), qPrintable(log.at(i)));
    QCOMPARE(log.filter("refused").size(), 0);
    const QString paced = pacing(*m_recorder, 10);
    QVERIFY2(paced.isEmpty(), qPrintable(paced));
    QTRY_VERIFY_WITH_TIMEOUT(sim.unitAt(9) != nullptr, 2000);
}

void TestTransferSequence::verify_readsBackWhatWasWritten_data()
{
    QTest::addColumn<SimFaults>("faults");     // from the write on
    QTest::addColumn<SimFaults>("readFaults"); // from the read-back on
    QTest::addColumn<Result>("result");
    QTest::addColumn<QStringList>("readBack");
    QTest::addColumn<int>("differences");
    QTest::addColumn<QString>("report"); // each difference with both values

    // Written: AI 1 lower limit := 12.5 (804, 805), AO 1 limit word 1000 := 7, DO 4 coil on.
    const QStringList reads{"3 804 2", "3 1000 1", "1 1003 1"};
    SimFaults ignore;
    ignore.ignoreWrite = {805, 1003};
    SimFaults refuse;
    refuse.exceptionAt.insert(1000, 2);
    QTest::newRow("all equal") << SimFaults() << SimFaults() << Result::Completed << reads << 0
                               << "совпадают";
    QTest::newRow("writes silently ignored")
        << ignore << ignore << Result::Failed << reads << 2
        << "регистр 805: записано 16712, считано 8738\nкатушка 1003: записано 1, считано 0";
    QTest::newRow("block not read back") << SimFaults() << refuse << Result::Failed
                                         << QStringList{"3 804 2", "3 1000 1 refused", "1 1003 1"}
                                         << 0 << "не считаны блоки: rT1000AO";
}

void TestTransferSequence::verify_readsBackWhatWasWritten()
{
    QFETCH(SimFaults, faults);
    QFETCH(SimFaults, readFaults);
    QFETCH(Result, result);
    QFETCH(QStringList, readBack);
    QFETCH(int, differences);
    QFETCH(QString, report);

    UnitSimFixture sim({UnitSimFixture::unit(Unit, {5, 4, 0, 0, 0, 1})});
    QVERIFY(sim.start());
    QVERIFY(connectTo(sim.port(), 22));
    QVERIFY(sim.setReg(Unit, Holding, 804, 0x1111));
    QVERIFY(sim.setReg(Unit, Holding, 805, 0x2222));
    QCOMPARE(m_transfer->startVerify(), Start::Empty); // nothing written yet
    const ModuleTables before = unitImage(sim, Unit);
    const ModuleTables written = edited(
        before, {{rT800, 4, 0x0000}, {rT800, 5, 0x4148}, {rT1000AO, 0, 7}, {rT1000DO, 3, 1}});

    sim.setFaults(faults);
    QCOMPARE(run([&] {
                 return m_transfer->startWrite(written, before,
                                               TransferSequence::WriteMode::ChangedOnly);
             }),
             Result::Completed);
    QTRY_COMPARE(sim.requests().last().address, 2023); // 2023 := 0 is not awaited
    sim.clearRequests();
    sim.setFaults(readFaults);
    QCOMPARE(run([&] { return m_transfer->startVerify(); }), result);
    QCOMPARE(UnitSimFixture::describe(sim.requests())
                 .join(", ")
                 .remove(QRegularExpression(" \\(.*?\\)")),
             readBack.join(", "));
    QCOMPARE(m_transfer->differences().size(), differences);
    QVERIFY2(m_transfer->verifyReport().contains(report), qPrintable(m_transfer->verifyReport()));
    QCOMPARE(m_warnings->size(), 0); // the window shows the report, once
}

void TestTransferSequence::oneSequenceAtATime_cancel()
{
    UnitSimFixture sim;
    QVERIFY(sim.start());
    QVERIFY(connectTo(sim.port(), 22));
    QSignalSpy finished(m_transfer.get(), &TransferSequence::finished);
    QCOMPARE(m_transfer->startRead(moduleImage(sim, Unit)), Start::Started);
    QCOMPARE(m_transfer->startRead(moduleImage(sim, Unit)), Start::Busy);
    QCOMPARE(m_transfer->startReset(), Start::Busy);
    QTRY_COMPARE(sim.requests().size(), 2);

    m_transfer->cancel();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(1).value<Result>(), Result::Cancelled);
    QTest::qWait(150);
    QCOMPARE(sim.requests().size(), 2);
    QCOMPARE(finished.size(), 1);
}

// Edits AI limit 805 and maybe a module word; the job says how the write ended,
// which writes the unit answered, and where the read-back went.
void TestTransferSequence::writeJob_outcome_data()
{
    QTest::addColumn<SimFaults>("faults");
    QTest::addColumn<int>("word"); // module word changed too, or -1
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("followMs"); // WriteJob::Options::followMs
    QTest::addColumn<WriteJob::Outcome>("outcome");
    QTest::addColumn<bool>("verified");
    QTest::addColumn<bool>("limitConfirmed"); // 805 among the confirmed writes
    QTest::addColumn<int>("serverAddress");   // of the sequence afterwards

    using Outcome = WriteJob::Outcome;
    SimFaults ignore;
    ignore.ignoreWrite = {805};
    SimFaults refuse;
    refuse.exceptionAt.insert(805, 3);
    SimFaults silent;
    silent.silentAt = {805};
    // clang-format off
    QTest::newRow("read back equal") << SimFaults() << -1 << 0 << -1 << Outcome::Completed << true << true << Unit;
    QTest::newRow("write ignored") << ignore << -1 << 0 << -1 << Outcome::VerifyFailed << false << true << Unit;
    QTest::newRow("write refused") << refuse << -1 << 0 << -1 << Outcome::Refused << false << false << Unit;
    QTest::newRow("no answer") << silent << -1 << 0 << -1 << Outcome::Unconfirmed << false << false << Unit;
    QTest::newRow("new address followed") << SimFaults() << 5 << 9 << 700 << Outcome::Completed << true << true << 9;
    QTest::newRow("new IP address") << SimFaults() << 10 << 0x0B00 << 0 << Outcome::Unconfirmed << false << true << Unit;
    // clang-format on
}

void TestTransferSequence::writeJob_outcome()
{
    QFETCH(SimFaults, faults);
    QFETCH(int, word);
    QFETCH(int, value);
    QFETCH(int, followMs);

    UnitSimFixture sim({UnitSimFixture::unit(Unit, {5, 4, 0, 0, 0, 1})});
    QVERIFY(sim.start());
    QVERIFY(connectTo(sim.port(), 22, ModeTcp));
    const ModuleTables before = unitImage(sim, Unit);
    ModuleTables encoded = edited(before, {{rT800, 5, 0x4148}});
    QVector<quint16> module = encoded.moduleTable();
    if (word >= 0)
        module[word] = quint16(value);
    encoded.setModuleTable(module);

    WriteJob job(m_transfer.get());
    QSignalSpy finished(&job, &WriteJob::finished);
    sim.setFaults(faults);
    WriteJob::Options options;
    options.mode = TransferSequence::WriteMode::ChangedOnly;
    options.verify = true;
    options.followMs = followMs;
    QCOMPARE(job.start(encoded, before, options), Start::Started);
    QVERIFY(finished.wait(10000));
    QTEST(job.outcome(), "outcome");
    QTEST(job.verified(), "verified");
    bool limitConfirmed = false;
    for (const ModbusRequest &request : job.confirmedWrites())
        limitConfirmed = limitConfirmed || request.unit.startAddress() == 805;
    QTEST(limitConfirmed, "limitConfirmed");
    QTEST(m_transfer->serverAddress(), "serverAddress");
}

// One request on the line at a time: a lost request is retried before the
// next goes out, so a full write completes.
void TestTransferSequence::fullWrite_retriesLostRequests()
{
    UnitSimFixture sim({UnitSimFixture::unit(Unit, {5, 4, 0, 0, 0, 1})});
    QVERIFY(sim.start());
    QVERIFY(connectTo(sim.port(), 22, ModeTcp, 3));
    const ModuleTables before = unitImage(sim, Unit);
    const ModuleTables encoded = edited(before, {{rT800, 5, 0x4148}});
    SimFaults faults;
    faults.dropEvery = 20;
    sim.setFaults(faults);
    QCOMPARE(run([&] {
                 return m_transfer->startWrite(encoded, before, TransferSequence::WriteMode::All);
             }),
             Result::Completed);
    QCOMPARE(UnitSimFixture::describe(sim.requests()).filter("refused"), QStringList());
    QCOMPARE(sim.reg(Unit, Holding, 805), 0x4148);
}

// Two edits, the second one's register refused: only the first parameter,
// which the unit took, loses its mark.
void TestTransferSequence::writeJob_marksFollowTheUnit_data()
{
    QTest::addColumn<QStringList>("taken");  // path, value
    QTest::addColumn<QStringList>("missed"); // path, value
    QTest::addColumn<int>("refusedAt");

    const QString ai = "Субмодуль AI (Слот B)/Аналоговый вход 2/";
    const QString ao = "Субмодуль AIO (Слот A)/Аналоговый выход 1/";
    const QString do4 = "Субмодуль DO4 (Слот F)/Дискретный выход 2/";
    const QStringList aiLower{ai + "Нижний предел", "12.3"};
    const QStringList aiUpper{ai + "Верхний предел", "50"};
    const QStringList aoLower{ao + "Нижний предел", "1.5"};
    const QStringList aoType{ao + "Тип сигнала", "2"};
    const QStringList aoBlock{ao + "Блокировочное значение", "7.5"};
    // clang-format off
    QTest::newRow("AI limits") << aiLower << aiUpper << 815;
    QTest::newRow("AO limit, type") << aoLower << aoType << 1400;
    QTest::newRow("AO type, block value") << aoType << aoBlock << 1601;
    QTest::newRow("DI antibounce") << QStringList{"Субмодуль DI (Слот C)/Дискретный вход 3/Антидребезг", "1"} << aiLower << 812;
    QTest::newRow("DO block value, PWM") << QStringList{do4 + "Блокировочное значение", "1"} << QStringList{do4 + "Значение ШИМ", "40"} << 1307;
    QTest::newRow("TMP type") << QStringList{"Субмодуль TMP (Слот D)/Вход термосопротивлений 1/Тип сигнала", "5"} << aoLower << 1001;
    QTest::newRow("module word") << aoBlock << QStringList{ModuleParam::LockTimeout, "2.5"} << 2004;
    // clang-format on
}

void TestTransferSequence::writeJob_marksFollowTheUnit()
{
    QFETCH(QStringList, taken);
    QFETCH(QStringList, missed);
    QFETCH(int, refusedAt);
    UnitSimFixture sim; // AIO AI DI TMP DO6 DO4
    QVERIFY(sim.start());
    QVERIFY(connectTo(sim.port(), 22, ModeTcp));
    const ModuleTables image = unitImage(sim, Unit);
    const std::unique_ptr<Module> module = moduleFromTables(image);
    QVector<Property *> edited;
    for (const QStringList &edit : {taken, missed}) {
        QString error;
        QVERIFY2(ParameterTree::set(*module, edit.at(0), edit.at(1), &error), qPrintable(error));
        const QVector<ParameterTree::Entry> entries = ParameterTree::entries(*module);
        const ParameterTree::Entry *entry = ParameterTree::find(entries, edit.at(0), &error);
        edited << entry->device->property(entry->name);
        edited.last()->setChanged(true); // as the tree marks an edit
    }
    SimFaults faults;
    faults.exceptionAt.insert(refusedAt, 4);
    sim.setFaults(faults);

    WriteJob job(m_transfer.get());
    QSignalSpy finished(&job, &WriteJob::finished);
    WriteJob::Options options;
    options.mode = TransferSequence::WriteMode::ChangedOnly;
    QCOMPARE(job.start(*module, image, options), Start::Started);
    QVERIFY(edited.at(0)->isChanged() && edited.at(1)->isChanged()); // encoding marks nothing
    QVERIFY(finished.wait(10000));
    QVERIFY(job.outcome() != WriteJob::Outcome::Completed);
    QCOMPARE(module->settleMarks(job.held()), 1);
    QVERIFY(!edited.at(0)->isChanged());
    QVERIFY(edited.at(1)->isChanged());
}

QTEST_GUILESS_MAIN(TestTransferSequence)
#include "tst_transfersequence.moc"
