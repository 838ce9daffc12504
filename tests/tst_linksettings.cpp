// SPDX-License-Identifier: GPL-3.0-or-later
#include "linksettings.h"

#include <QtTest>

Q_DECLARE_METATYPE(QModbusDataUnit)

class TestLinkSettings : public QObject
{
    Q_OBJECT

private slots:
    void timeoutAndRetries_data();
    void timeoutAndRetries();
    void requestTimeout_data();
    void requestTimeout();
};

// Slower serial lines wait longer; the extra delay and the user's values win.
void TestLinkSettings::timeoutAndRetries_data()
{
    QTest::addColumn<LinkSettings>("settings");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<int>("retries");

    auto serial = [](int baud, bool extraDelay) {
        LinkSettings settings;
        settings.kind = LinkSettings::Kind::Serial;
        settings.baud = baud;
        settings.extraDelay = extraDelay;
        return settings;
    };
    LinkSettings given = serial(1200, true);
    given.timeoutOverrideMs = 50;
    given.retriesOverride = 0;
    QTest::newRow("tcp") << LinkSettings() << 500 << 3;
    QTest::newRow("1200") << serial(1200, false) << 800 << 1;
    QTest::newRow("14400, between the list's speeds") << serial(14400, false) << 500 << 1;
    QTest::newRow("300, below the list") << serial(300, false) << 900 << 1;
    QTest::newRow("extra delay") << serial(115200, true) << 1000 << 3;
    QTest::newRow("given by the user") << given << 50 << 0;
}

void TestLinkSettings::timeoutAndRetries()
{
    QFETCH(LinkSettings, settings);
    QTEST(settings.responseTimeoutMs(), "timeoutMs");
    QTEST(settings.retries(), "retries");
}

// A serial request waits the base, its request and reply on the wire at the
// line's framing, and the unit's response delay.
void TestLinkSettings::requestTimeout_data()
{
    QTest::addColumn<LinkSettings>("settings");
    QTest::addColumn<QModbusDataUnit>("unit");
    QTest::addColumn<bool>("write");
    QTest::addColumn<int>("timeoutMs");

    auto serial = [](int baud, QSerialPort::Parity parity, QSerialPort::StopBits stop) {
        LinkSettings settings;
        settings.kind = LinkSettings::Kind::Serial;
        settings.baud = baud;
        settings.parity = parity;
        settings.stopBits = stop;
        return settings;
    };
    const auto H = QModbusDataUnit::HoldingRegisters;
    const QModbusDataUnit block96(H, 0, 96);
    const LinkSettings slow = serial(1200, QSerialPort::NoParity, QSerialPort::OneStop);
    LinkSettings delayed = serial(2400, QSerialPort::EvenParity, QSerialPort::OneStop);
    delayed.responseDelayMs = 20;
    LinkSettings extra = slow;
    extra.extraDelay = true;

    // 8 + 197 bytes of 10 bits at 1200 bit/s: 1709 ms.
    QTest::newRow("96 registers, 1200 8N1") << slow << block96 << false << 800 + 1709;
    QTest::newRow("extra delay keeps its base") << extra << block96 << false << 1000 + 1709;
    // A single register goes as function 6: 8 + 8 bytes of 11 bits at 2400 bit/s, 74 ms.
    QTest::newRow("one register written, 2400 8E1, delay")
        << delayed << QModbusDataUnit(H, 0, QVector<quint16>{1}) << true << 700 + 74 + 20;
    QTest::newRow("16 coils, 9600 8N2")
        << serial(9600, QSerialPort::NoParity, QSerialPort::TwoStop)
        << QModbusDataUnit(QModbusDataUnit::Coils, 0, 16) << false << 500 + 18;
    QTest::newRow("module block, 115200")
        << serial(115200, QSerialPort::NoParity, QSerialPort::OneStop) << QModbusDataUnit(H, 0, 25)
        << false << 100 + 6;
    QTest::newRow("tcp: the base alone") << LinkSettings() << block96 << false << 500;
}

void TestLinkSettings::requestTimeout()
{
    QFETCH(LinkSettings, settings);
    QFETCH(QModbusDataUnit, unit);
    QFETCH(bool, write);
    QTEST(settings.requestTimeoutMs(unit, write), "timeoutMs");
}

QTEST_GUILESS_MAIN(TestLinkSettings)
#include "tst_linksettings.moc"
