#include "transfersequence.h"

#include <QModbusReply>
#include <QModbusTcpClient>
#include <QModbusTcpServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

// A loopback Modbus server that logs every request it processes as
// "<function> <address> <count or value in hex>" and can refuse, shorten,
// drop or abort chosen requests.
class LoggingServer : public QModbusTcpServer
{
public:
    enum Fault { None, Exception, ShortReply, Abort };

    QStringList log;
    QVector<qint64> times;
    QHash<QString, Fault> faults; // key: "<function> <address>"

    LoggingServer()
    {
        QModbusDataUnitMap map;
        map.insert(QModbusDataUnit::HoldingRegisters, {QModbusDataUnit::HoldingRegisters, 0, 2100});
        map.insert(QModbusDataUnit::Coils, {QModbusDataUnit::Coils, 0, 1100});
        setMap(map);
        for (int address = 0; address < 2100; ++address)
            setData(QModbusDataUnit::HoldingRegisters, quint16(address), quint16(address));
        for (int address = 1000; address < 1010; address += 2)
            setData(QModbusDataUnit::Coils, quint16(address), 1);
        clock.start();
    }

protected:
    QModbusResponse processRequest(const QModbusPdu &request) override
    {
        quint16 address = 0;
        quint16 value = 0;
        request.decodeData(&address, &value);
        const int function = int(request.functionCode());
        const QString key = QString("%1 %2").arg(function).arg(address);
        log << QString("%1 %2").arg(key).arg(value, 0, 16);
        times << clock.elapsed();

        switch (faults.value(key, None)) {
        case Exception:
            return QModbusExceptionResponse(request.functionCode(),
                                            QModbusPdu::IllegalDataAddress);
        case ShortReply: {
            QModbusResponse response = QModbusTcpServer::processRequest(request);
            QByteArray data = response.data();
            data[0] = char(data.at(0) - 2);
            data.chop(2);
            response.setData(data);
            return response;
        }
        case Abort:
            for (QTcpSocket *socket : findChildren<QTcpSocket *>())
                socket->abort();
            break;
        case None:
            break;
        }
        return QModbusTcpServer::processRequest(request);
    }

private:
    QElapsedTimer clock;
};

QVector<quint16> moduleWithSlots(const QVector<quint16> &codes, int firmware)
{
    QVector<quint16> words(ModuleTables::ModuleBlockSize, 0);
    words[2] = quint16(firmware);
    words[5] = 7;
    for (int i = 0; i < codes.size(); ++i)
        words[ModuleTables::FirstSlotWord + i] = codes.at(i);
    return words;
}

// Registers start..start+count-1 as the server holds them (value = address).
QVector<quint16> held(int start, int count)
{
    QVector<quint16> values;
    for (int i = 0; i < count; ++i)
        values << quint16(start + i);
    return values;
}

} // namespace

using Result = TransferSequence::Result;
Q_DECLARE_METATYPE(LoggingServer::Fault)

class TestTransferSequence : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void read_data();
    void read();
    void write_data();
    void write();
    void fullWrite_sendsEveryRegisterModuleLast_data();
    void fullWrite_sendsEveryRegisterModuleLast();
    void oneSequenceAtATime_andCancel();
    void reset_data();
    void reset();

private:
    // Runs until finished and returns its result; checks that it came once
    // and that no reply is left behind.
    Result waitFinished(int timeoutMs = 5000);
    void checkLog(const QStringList &expected);

    std::unique_ptr<LoggingServer> m_server;
    std::unique_ptr<QModbusTcpClient> m_client;
    std::unique_ptr<TransferSequence> m_transfer;
    std::unique_ptr<QSignalSpy> m_finished;
    std::unique_ptr<QSignalSpy> m_warnings;
};

void TestTransferSequence::initTestCase()
{
    QLoggingCategory::setFilterRules("brk.modbus.transfer.debug=false");
}

void TestTransferSequence::init()
{
    m_server = std::make_unique<LoggingServer>();
    m_server->setServerAddress(7);
    m_server->setConnectionParameter(QModbusDevice::NetworkAddressParameter, "127.0.0.1");
    m_server->setConnectionParameter(QModbusDevice::NetworkPortParameter, 0);
    QVERIFY(m_server->connectDevice());
    const QTcpServer *listener = m_server->findChild<QTcpServer *>();
    QVERIFY(listener);

    m_client = std::make_unique<QModbusTcpClient>();
    m_client->setConnectionParameter(QModbusDevice::NetworkAddressParameter, "127.0.0.1");
    m_client->setConnectionParameter(QModbusDevice::NetworkPortParameter, listener->serverPort());
    m_client->setTimeout(300);
    m_client->setNumberOfRetries(0);
    QVERIFY(m_client->connectDevice());
    QTRY_COMPARE(m_client->state(), QModbusDevice::ConnectedState);

    m_transfer = std::make_unique<TransferSequence>(m_client.get());
    m_transfer->setServerAddress(7);
    m_transfer->setWatchdogMargin(300);
    m_finished = std::make_unique<QSignalSpy>(m_transfer.get(), &TransferSequence::finished);
    m_warnings = std::make_unique<QSignalSpy>(m_transfer.get(), &TransferSequence::warning);
}

void TestTransferSequence::cleanup()
{
    m_finished.reset();
    m_warnings.reset();
    m_transfer.reset();
    m_client.reset();
    m_server.reset();
}

Result TestTransferSequence::waitFinished(int timeoutMs)
{
    if (m_finished->isEmpty() && !m_finished->wait(timeoutMs))
        return Result::Cancelled;
    QTest::qWait(50); // a second finished would show here
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (m_finished->size() != 1 || m_transfer->isRunning()
        || !m_client->findChildren<QModbusReply *>().isEmpty())
        return Result::Cancelled;
    return m_finished->first().at(1).value<Result>();
}

void TestTransferSequence::checkLog(const QStringList &expected)
{
    QCOMPARE(m_server->log, expected);
}

void TestTransferSequence::read_data()
{
    QTest::addColumn<QVector<quint16>>("slotCodes");
    QTest::addColumn<QString>("faultAt");
    QTest::addColumn<LoggingServer::Fault>("fault");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("failed");

    const QVector<quint16> six{5, 4, 6, 7, 8, 1};
    QTest::newRow("six boards") << six << "" << LoggingServer::None << int(Result::Completed)
                                << QStringList();
    // The last block failing still ends the read, with what was read.
    QTest::newRow("last block refused") << six << "3 1600" << LoggingServer::Exception
                                        << int(Result::Failed) << QStringList{"rT1600"};
    QTest::newRow("short reply not trusted") << six << "3 800" << LoggingServer::ShortReply
                                             << int(Result::Failed) << QStringList{"rT800"};
    QTest::newRow("no channels") << QVector<quint16>(6, 0) << "" << LoggingServer::None
                                 << int(Result::Completed) << QStringList();
}

void TestTransferSequence::read()
{
    QFETCH(QVector<quint16>, slotCodes);
    QFETCH(QString, faultAt);
    QFETCH(LoggingServer::Fault, fault);
    QFETCH(int, result);
    QFETCH(QStringList, failed);

    m_server->faults.insert(faultAt, fault);
    ModuleTables tables;
    tables.setModuleTable(moduleWithSlots(slotCodes, 22));
    QCOMPARE(m_transfer->startRead(tables), TransferSequence::Start::Started);
    QCOMPARE(int(waitFinished()), result);
    QCOMPARE(m_transfer->failedBlocks(), failed);
    QCOMPARE(m_warnings->size(), failed.isEmpty() ? 0 : 1);

    const ModuleTables read = m_transfer->tables();
    if (slotCodes.count(0) == 6) {
        checkLog({});
        QVERIFY(read.flagsAITable().isEmpty());
        return;
    }
    // 8 AI, 2 AO, 4 DI, 10 DO; function 1 reads coils, 3 holding registers.
    checkLog({"3 300 1", "3 400 10", "3 800 20", "3 1200 8", "3 600 4", "3 1000 8",
              "1 1000 a", "3 1300 a", "3 1400 2", "3 1600 4"});
    for (int i = 1; i < m_server->times.size(); ++i)
        QVERIFY2(m_server->times.at(i) - m_server->times.at(i - 1) >= 45, "pause below 50 ms");

    QCOMPARE(read.antibounceDITable(), held(300, 1));
    QCOMPARE(read.flagsAITable(), held(400, 16));
    QCOMPARE(read.limitsAITable(), failed.contains("rT800") ? QVector<quint16>() : held(800, 32));
    QCOMPARE(read.blockValuesDOTable(), (QVector<quint16>{1, 0, 1, 0, 1, 0, 1, 0, 1, 0}));
    QCOMPARE(read.pwmDOTable(), held(1300, 10));
    QCOMPARE(read.blockValuesAOTable(), failed.contains("rT1600") ? QVector<quint16>() : held(1600, 4));
}

struct WriteRow
{
    int firmware;
    int mode;
    QVector<quint16> slotCodes;
    QVector<quint16> limitsAI; // changed words over a zero image
    QVector<quint16> limitsAO;
    QVector<quint16> blockValuesDO;
    QHash<QString, LoggingServer::Fault> faults;
    Result result;
    int minPauseMs;
    QStringList log;
};
Q_DECLARE_METATYPE(WriteRow)

void TestTransferSequence::write_data()
{
    QTest::addColumn<WriteRow>("row");

    const QVector<quint16> ai{4, 0, 0, 0, 0, 0};
    const QVector<quint16> limit{0, 0, 0, 0x4148};
    const int tcp = TransferSequence::ModeTcp;
    const int slow = TransferSequence::ModeExtraDelay;
    using F = LoggingServer;

    QTest::newRow("changed word, new firmware, tcp")
        << WriteRow{22, tcp, ai, limit, {}, {}, {}, Result::Completed, 9,
                    {"6 2023 1", "6 2016 6c31", "6 803 4148", "6 2023 0"}};
    QTest::newRow("firmware 21: no flag, 100 ms")
        << WriteRow{21, tcp, ai, limit, {}, {}, {}, Result::Completed, 95,
                    {"6 2016 6c31", "6 803 4148"}};
    QTest::newRow("extra delay: 100 ms")
        << WriteRow{22, tcp | slow, ai, limit, {}, {}, {}, Result::Completed, 95,
                    {"6 2023 1", "6 2016 6c31", "6 803 4148", "6 2023 0"}};
    // Holding register 1000 answers before coil 1000 is written: not the end.
    QTest::newRow("holding and coil at 1000")
        << WriteRow{22, tcp, {5, 0, 0, 0, 0, 1}, {}, {1}, {0, 0, 0, 1}, {},
                    Result::Completed, 9,
                    {"6 2023 1", "6 2016 6c31", "6 1000 1", "6 2016 6c31", "5 1003 ff00",
                     "6 2023 0"}};
    QTest::newRow("refused write stops the rest")
        << WriteRow{22, tcp, ai, {0, 0, 1, 2}, {}, {}, {{"6 802", F::Exception}},
                    Result::Failed, 9, {"6 2023 1", "6 2016 6c31", "6 802 1"}};
    QTest::newRow("completing reply aborted")
        << WriteRow{22, tcp, ai, limit, {}, {}, {{"6 803", F::Abort}},
                    Result::Unconfirmed, 9, {"6 2023 1", "6 2016 6c31", "6 803 4148"}};
}

void TestTransferSequence::write()
{
    QFETCH(WriteRow, row);
    m_server->faults = row.faults;
    m_transfer->setFirmwareVersion(row.firmware);
    m_transfer->setMode(row.mode);

    ModuleTables before;
    before.setModuleTable(moduleWithSlots(row.slotCodes, row.firmware));
    before.setLimitsAITable(QVector<quint16>(before.countAI() * 4, 0));
    before.setLimitsAOTable(QVector<quint16>(before.countAO() * 4, 0));
    before.setBlockValuesDOTable(QVector<quint16>(before.countDO(), 0));
    ModuleTables encoded = before;
    if (!row.limitsAI.isEmpty())
        encoded.setLimitsAITable(row.limitsAI + before.limitsAITable().mid(row.limitsAI.size()));
    if (!row.limitsAO.isEmpty())
        encoded.setLimitsAOTable(row.limitsAO + before.limitsAOTable().mid(row.limitsAO.size()));
    if (!row.blockValuesDO.isEmpty())
        encoded.setBlockValuesDOTable(row.blockValuesDO);

    QCOMPARE(m_transfer->startWrite(before, before, TransferSequence::WriteMode::ChangedOnly),
             TransferSequence::Start::Empty);
    QCOMPARE(m_transfer->startWrite(encoded, before, TransferSequence::WriteMode::ChangedOnly),
             TransferSequence::Start::Started);
    QCOMPARE(waitFinished(), row.result);
    QTest::qWait(100); // nothing may follow the end
    checkLog(row.log);
    QCOMPARE(m_warnings->size(), row.result == Result::Completed ? 0 : 1);
    for (int i = 1; i < m_server->times.size() - 1; ++i)
        QVERIFY2(m_server->times.at(i) - m_server->times.at(i - 1) >= row.minPauseMs, "pause too short");
}

void TestTransferSequence::fullWrite_sendsEveryRegisterModuleLast_data()
{
    QTest::addColumn<int>("changedWord");
    QTest::addColumn<bool>("linkChanged");

    QTest::newRow("same address and port") << 4 << false;
    QTest::newRow("port word changed") << 6 << true;
}

void TestTransferSequence::fullWrite_sendsEveryRegisterModuleLast()
{
    QFETCH(int, changedWord);
    QFETCH(bool, linkChanged);

    m_transfer->setFirmwareVersion(22);
    m_transfer->setMode(TransferSequence::ModeTcp);
    ModuleTables before;
    before.setModuleTable(moduleWithSlots({4, 0, 0, 0, 0, 0}, 22));
    before.setFlagsAITable(QVector<quint16>(8, 1));
    before.setLimitsAITable(QVector<quint16>(16, 2));
    before.setTypesValueAITable(QVector<quint16>(4, 3));
    ModuleTables encoded = before;
    QVector<quint16> module = before.moduleTable();
    module[changedWord] = 0x55;
    encoded.setModuleTable(module);

    QCOMPARE(m_transfer->startWrite(encoded, before, TransferSequence::WriteMode::All),
             TransferSequence::Start::Started);
    QCOMPARE(waitFinished(), Result::Completed);
    QCOMPARE(m_transfer->linkChanged(), linkChanged);

    QStringList expected{"6 2023 1"};
    const auto pairs = [&expected](int start, int count, int value, const char *command) {
        for (int i = 0; i < count; ++i)
            expected << QString("6 2016 %1").arg(command)
                     << QString("6 %1 %2").arg(start + i).arg(value, 0, 16);
    };
    pairs(400, 8, 1, "6c31");
    pairs(800, 16, 2, "6c31");
    pairs(1200, 4, 3, "6c31");
    for (int word = 4; word < 16; ++word)
        pairs(2000 + word, 1, module.at(word), "6c5b");
    expected << "6 2023 0";
    checkLog(expected);
}

void TestTransferSequence::oneSequenceAtATime_andCancel()
{
    ModuleTables tables;
    tables.setModuleTable(moduleWithSlots({5, 4, 6, 7, 8, 1}, 22));
    QCOMPARE(m_transfer->startRead(tables), TransferSequence::Start::Started);
    QCOMPARE(m_transfer->startRead(tables), TransferSequence::Start::Busy);
    QCOMPARE(m_transfer->startReset(), TransferSequence::Start::Busy);
    QTRY_COMPARE(m_server->log.size(), 2);

    m_transfer->cancel();
    QCOMPARE(waitFinished(), Result::Cancelled); // finished once, nothing left over
    QCOMPARE(m_finished->first().at(1).value<Result>(), Result::Cancelled);
    QTest::qWait(150);
    QCOMPARE(m_server->log.size(), 2);

    QCOMPARE(m_transfer->startReset(), TransferSequence::Start::Started);
    QCOMPARE(m_transfer->startRead(tables), TransferSequence::Start::Busy);
}

void TestTransferSequence::reset_data()
{
    QTest::addColumn<LoggingServer::Fault>("fault");
    QTest::addColumn<int>("result");

    QTest::newRow("accepted") << LoggingServer::None << int(Result::Completed);
    QTest::newRow("refused") << LoggingServer::Exception << int(Result::Failed);
}

void TestTransferSequence::reset()
{
    QFETCH(LoggingServer::Fault, fault);
    QFETCH(int, result);
    m_server->faults.insert("6 2016", fault);
    QCOMPARE(m_transfer->startReset(), TransferSequence::Start::Started);
    QCOMPARE(int(waitFinished()), result);
    checkLog({"6 2016 6c45"});
    QCOMPARE(m_warnings->size(), result == int(Result::Failed) ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestTransferSequence)
#include "tst_transfersequence.moc"
