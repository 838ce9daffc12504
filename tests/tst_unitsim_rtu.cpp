#include "modbuscall.h"
#include "ptypair.h"
#include "unitsimfixture.h"

#include <QModbusRtuSerialMaster>
#include <QSerialPort>
#include <QtTest>

#include <memory>

using Words = QVector<quint16>;

// The simulated unit on a serial line: two units and one silent address on one
// pty pair, with Qt's RTU master on the other end.
class TestUnitSimRtu : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void discovery_data();
    void discovery();
    void armedWrite();
    void exceptionReply_data();
    void exceptionReply();
    void noiseBeforeFrame_isSkipped();

private:
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<UnitSimFixture> m_sim;
    std::unique_ptr<QModbusRtuSerialMaster> m_client;
};

void TestUnitSimRtu::initTestCase()
{
    if (!PtyPair::socatAvailable())
        QSKIP("socat is not installed (scripts/setup installs it); no virtual serial line for RTU "
              "tests");
    m_pty = std::make_unique<PtyPair>();
    QString error;
    QVERIFY2(m_pty->start(&error), qPrintable(error));
    m_sim = std::make_unique<UnitSimFixture>(
        QList<SimUnitConfig>{UnitSimFixture::unit(1, {5, 4, 6, 7, 8, 1}),
                             UnitSimFixture::unit(2, {4, 0, 0, 0, 0, 0}, 21, true)});
    QVERIFY2(m_sim->openSerial(m_pty->unitEnd(), &error), qPrintable(error));

    m_client = std::make_unique<QModbusRtuSerialMaster>();
    m_client->setConnectionParameter(QModbusDevice::SerialPortNameParameter, m_pty->clientEnd());
    m_client->setConnectionParameter(QModbusDevice::SerialBaudRateParameter,
                                     QSerialPort::Baud19200);
    m_client->setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    m_client->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    m_client->setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
    m_client->setTimeout(500);
    m_client->setNumberOfRetries(0);
    QVERIFY2(m_client->connectDevice(), qPrintable(m_client->errorString()));
    QTRY_COMPARE_WITH_TIMEOUT(m_client->state(), QModbusDevice::ConnectedState, 5000);
}

void TestUnitSimRtu::cleanupTestCase()
{
    if (m_client)
        m_client->disconnectDevice();
    m_client.reset();
    m_sim.reset();
    m_pty.reset();
}

void TestUnitSimRtu::discovery_data()
{
    QTest::addColumn<int>("slave");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<Words>("slotWords");
    QTest::newRow("unit 1, 23 words") << 1 << 23 << true << Words{5, 4, 6, 7, 8, 1};
    QTest::newRow("unit 1, 25 words") << 1 << 25 << true << Words{5, 4, 6, 7, 8, 1};
    QTest::newRow("unit 2, 23 words") << 2 << 23 << true << Words{4, 0, 0, 0, 0, 0};
    QTest::newRow("silent address 3") << 3 << 23 << false << Words();
    QTest::newRow("silent address 247") << 247 << 23 << false << Words();
}

void TestUnitSimRtu::discovery()
{
    QFETCH(int, slave);
    QFETCH(int, count);
    QFETCH(bool, answers);
    const ModbusCallResult r
        = ModbusCall::read(m_client.get(), QModbusDataUnit::HoldingRegisters, 2000, count, slave);
    if (!answers) {
        QCOMPARE(r.error, QModbusDevice::TimeoutError);
        return;
    }
    QVERIFY2(r.ok(), qPrintable(QString::number(r.error)));
    QCOMPARE(r.values.size(), count);
    QCOMPARE(int(r.values.at(5)), slave);
    QTEST(r.values.mid(17, 6), "slotWords");
}

void TestUnitSimRtu::armedWrite()
{
    const auto h = QModbusDataUnit::HoldingRegisters;
    QCOMPARE(ModbusCall::write(m_client.get(), h, 800, {0x4120}, 2).exception, 4);
    QVERIFY(ModbusCall::write(m_client.get(), h, 2016, {0x6C31}, 2).ok());
    QVERIFY(ModbusCall::write(m_client.get(), h, 801, {0x4120}, 2).ok());
    QCOMPARE(m_sim->reg(2, h, 801), 0x4120);
    QCOMPARE(m_sim->reg(1, h, 801), 0); // the other unit on the line is untouched
    // Coils: 0xFF00 from function 5 is stored as on.
    QVERIFY(ModbusCall::write(m_client.get(), h, 2016, {0x6C31}, 1).ok());
    QVERIFY(ModbusCall::write(m_client.get(), QModbusDataUnit::Coils, 1002, {1}, 1).ok());
    QCOMPARE(ModbusCall::read(m_client.get(), QModbusDataUnit::Coils, 1000, 10, 1).values,
             (Words{0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
}

void TestUnitSimRtu::exceptionReply_data()
{
    QTest::addColumn<int>("slave");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("exception");
    QTest::newRow("fw 2.1 has no word 23") << 2 << 2000 << 25 << 2;
    QTest::newRow("no analog outputs on unit 2") << 2 << 600 << 1 << 2;
    QTest::newRow("past the analog inputs") << 1 << 1208 << 1 << 2;
    QTest::newRow("more than 125 registers") << 1 << 0 << 126 << 3;
}

void TestUnitSimRtu::exceptionReply()
{
    QFETCH(int, slave);
    QFETCH(int, address);
    QFETCH(int, count);
    const ModbusCallResult r = ModbusCall::read(m_client.get(), QModbusDataUnit::HoldingRegisters,
                                                address, count, slave);
    QCOMPARE(r.error, QModbusDevice::ProtocolError);
    QTEST(r.exception, "exception");
}

// Bytes that are no frame (a half frame, line noise) must not block the next request.
void TestUnitSimRtu::noiseBeforeFrame_isSkipped()
{
    QSerialPort raw;
    raw.setPortName(m_pty->clientEnd());
    m_client->disconnectDevice();
    QTRY_COMPARE(m_client->state(), QModbusDevice::UnconnectedState);
    QVERIFY2(raw.open(QIODevice::ReadWrite), qPrintable(raw.errorString()));
    raw.write(QByteArray::fromHex("010307d0"));
    raw.waitForBytesWritten(1000);
    QTest::qWait(50);
    raw.close();
    QVERIFY(m_client->connectDevice());
    QTRY_COMPARE(m_client->state(), QModbusDevice::ConnectedState);
    QVERIFY(ModbusCall::read(m_client.get(), QModbusDataUnit::HoldingRegisters, 2000, 23, 1).ok());
}

QTEST_GUILESS_MAIN(TestUnitSimRtu)
#include "tst_unitsim_rtu.moc"
