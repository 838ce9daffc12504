#include "modbuscall.h"
#include "ptypair.h"
#include "unitsimfixture.h"

#include <QModbusRtuSerialMaster>
#include <QSerialPort>
#include <QtTest>

#include <memory>

// The simulated unit on a serial line: two units and silent addresses on one pty pair,
// with Qt's RTU master on the other end.
class TestUnitSimRtu : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void requests_data();
    void requests();
    void noiseBeforeFrame_isSkipped();

private:
    // Destroyed in reverse: the client first, the line last.
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

void TestUnitSimRtu::requests_data()
{
    QTest::addColumn<QString>("requests"); // as for ModbusCall::run
    QTest::newRow("unit 1") << "h2017?5,4,6,7,8,1 h2000:25";
    QTest::newRow("unit 2, fw 2.1") << "h2017?4,0,0,0,0,0@2 h2000:23@2 h2000:25@2!2 h600@2!2";
    QTest::newRow("silent address") << "h2000:23@247!T";
    QTest::newRow("armed write, other unit untouched")
        << "h800=0x4120@2!4 arm@2 h801=0x4120@2 h801?0x4120@2 h801?0";
    // Coil 0xFF00 from function 5 is stored as on.
    QTest::newRow("coil") << "arm c1002=1 c1000?0,0,1,0,0,0,0,0,0,0";
    QTest::newRow("past the analog inputs") << "h1208!2";
    QTest::newRow("more than 125 registers") << "h0:126!3";
}

void TestUnitSimRtu::requests()
{
    QFETCH(QString, requests);
    QCOMPARE(ModbusCall::run(m_client.get(), requests), QString());
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
    QCOMPARE(ModbusCall::run(m_client.get(), "h2000:23"), QString());
}

QTEST_GUILESS_MAIN(TestUnitSimRtu)
#include "tst_unitsim_rtu.moc"
