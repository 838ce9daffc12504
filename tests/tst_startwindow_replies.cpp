// Replies the discovery must not trust: too few or too many values, answers
// of a client that is gone, and the pacing of one request at a time, against
// the simulated unit and its injected faults.

#include "discoveryscanner.h"
#include "keepalive.h"
#include "startwindow.h"
#include "unitsimfixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QModbusTcpClient>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

Q_DECLARE_METATYPE(SimFaults)

// The requests the units received, without their events.
static QVector<SimRequestRecord> requestsOf(const UnitSimFixture &sim)
{
    QVector<SimRequestRecord> requests;
    for (const SimRequestRecord &record : sim.requests()) {
        if (record.result != SimRequestRecord::Event)
            requests << record;
    }
    return requests;
}

class RecordingStartWindow : public StartWindow
{
public:
    QList<ModuleTables> opened;

protected:
    void openMainWindow(int, const ModuleTables &unit, int) override { opened.append(unit); }
};

class TestStartWindowReplies : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void scan_countsOnlyRepliesThatAnswerTheRequest_data();
    void scan_countsOnlyRepliesThatAnswerTheRequest();
    void scan_keepsOneRequestOnTheLinePaced();
    void keepAlive_keepsOneReadOnTheLine();

    void window_disconnectDuringScanShowsNoMessage_data();
    void window_disconnectDuringScanShowsNoMessage();
    void window_versionReplyOfWrongSizeIsRefused();

private:
    std::unique_ptr<QModbusTcpClient> connectedClient(quint16 port);
    void connectWindow(StartWindow *window, quint16 port);
};

void TestStartWindowReplies::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    qRegisterMetaType<QVector<quint16>>();
}

std::unique_ptr<QModbusTcpClient> TestStartWindowReplies::connectedClient(quint16 port)
{
    auto client = std::make_unique<QModbusTcpClient>();
    client->setConnectionParameter(QModbusDevice::NetworkAddressParameter, "127.0.0.1");
    client->setConnectionParameter(QModbusDevice::NetworkPortParameter, port);
    client->setTimeout(150);
    client->setNumberOfRetries(0);
    if (client->connectDevice()
        && !QTest::qWaitFor([&]() { return client->state() == QModbusDevice::ConnectedState; },
                            3000))
        qWarning("client did not connect");
    return client;
}

void TestStartWindowReplies::connectWindow(StartWindow *window, quint16 port)
{
    window->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
    window->findChild<QLineEdit *>("leIp")->setText("127.0.0.1");
    window->findChild<QLineEdit *>("lePort")->setText(QString::number(port));
    QTest::mouseClick(window->findChild<QPushButton *>("btnConnect"), Qt::LeftButton);
}

void TestStartWindowReplies::scan_countsOnlyRepliesThatAnswerTheRequest_data()
{
    QTest::addColumn<SimFaults>("faults");
    QTest::addColumn<bool>("found");

    SimFaults fault;
    fault.units = {2};
    QTest::newRow("the module block") << fault << true;
    fault.shortReplyAt = {{2000, 1}};
    QTest::newRow("one value short") << fault << false;
    fault.shortReplyAt = {{2000, 23}};
    QTest::newRow("no values") << fault << false;
    fault.shortReplyAt.clear();
    fault.wrongReplyAt = {2000};
    QTest::newRow("one value more than asked") << fault << false;
}

void TestStartWindowReplies::scan_countsOnlyRepliesThatAnswerTheRequest()
{
    QFETCH(SimFaults, faults);
    QFETCH(bool, found);

    // Address 1 stays silent, unit 2 answers with the fault, unit 3 is sound.
    UnitSimFixture sim({UnitSimFixture::unit(2, {5, 4, 0, 0, 0, 0}, 22),
                        UnitSimFixture::unit(3, {5, 4, 0, 0, 0, 0}, 21)});
    sim.setFaults(faults);
    QVERIFY(sim.start());
    auto client = connectedClient(sim.port());
    QCOMPARE(client->state(), QModbusDevice::ConnectedState);

    DiscoveryScanner scanner;
    scanner.setClient(client.get());
    QSignalSpy units(&scanner, &DiscoveryScanner::unitFound);
    QSignalSpy done(&scanner, &DiscoveryScanner::addressDone);
    QCOMPARE(scanner.start(1, 3), 3);
    QTRY_COMPARE(done.count(), 3);

    QCOMPARE(done.at(0).at(0).toInt(), 1);
    QCOMPARE(done.at(2).at(0).toInt(), 3);
    QCOMPARE(done.at(0).at(1).toBool(), false);
    QCOMPARE(done.at(2).at(1).toBool(), true);
    QList<int> addresses;
    for (const QList<QVariant> &args : units)
        addresses << args.at(0).value<QVector<quint16>>().at(5);
    const QList<int> expected = found ? QList<int>{2, 3} : QList<int>{3};
    QCOMPARE(addresses, expected);
    QVERIFY(!scanner.isBusy());
}

void TestStartWindowReplies::scan_keepsOneRequestOnTheLinePaced()
{
    constexpr int delayMs = 30;
    QList<SimUnitConfig> configs;
    for (int address = 4; address <= 9; ++address)
        configs << UnitSimFixture::unit(address, {5, 4, 0, 0, 0, 0});
    UnitSimFixture sim(configs);
    SimFaults late;
    late.delayMs = delayMs;
    sim.setFaults(late);
    QVERIFY(sim.start());
    auto client = connectedClient(sim.port());
    QCOMPARE(client->state(), QModbusDevice::ConnectedState);

    DiscoveryScanner scanner;
    scanner.setClient(client.get());
    QSignalSpy done(&scanner, &DiscoveryScanner::addressDone);
    scanner.start(4, 9);
    QTRY_COMPARE(done.count(), 6);

    const QVector<SimRequestRecord> requests = requestsOf(sim);
    QCOMPARE(requests.size(), 6);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(requests.at(i).slave, 4 + i);
        QCOMPARE(requests.at(i).address, 2000);
        QCOMPARE(requests.at(i).count, 23);
    }
    // Each answer leaves delayMs after its request: a request sent before the
    // answer, or without the pause after it, comes sooner than this.
    for (int i = 1; i < 6; ++i) {
        const qint64 gap = requests.at(i - 1).time.msecsTo(requests.at(i).time);
        QVERIFY2(gap >= delayMs + DiscoveryScanner::PacingMs - 1, qPrintable(QString::number(gap)));
    }
}

void TestStartWindowReplies::keepAlive_keepsOneReadOnTheLine()
{
    UnitSimFixture sim;
    sim.setSilent(true);
    QVERIFY(sim.start());
    auto client = connectedClient(sim.port()); // 150 ms time-out, no retry
    KeepAlive keepAlive;
    keepAlive.setClient(client.get());
    keepAlive.start(20);

    // A silent unit gets one read per time-out, not one per tick.
    QTest::qWait(600);
    const QVector<SimRequestRecord> silent = requestsOf(sim);
    QVERIFY2(silent.size() >= 2 && silent.size() <= 5, qPrintable(QString::number(silent.size())));
    for (const SimRequestRecord &r : silent)
        QVERIFY(r.slave == 1 && r.function == 3 && r.address == 2000);

    sim.setSilent(false);
    sim.clearRequests();
    QTest::qWait(300);
    QVERIFY2(requestsOf(sim).size() >= 5, qPrintable(QString::number(requestsOf(sim).size())));
    keepAlive.stop();
    QTest::qWait(50);
    sim.clearRequests();
    QTest::qWait(100);
    QVERIFY(requestsOf(sim).isEmpty());
}

void TestStartWindowReplies::window_disconnectDuringScanShowsNoMessage_data()
{
    QTest::addColumn<bool>("switchTab");
    QTest::newRow("disconnect button") << false;
    QTest::newRow("tab switch") << true;
}

void TestStartWindowReplies::window_disconnectDuringScanShowsNoMessage()
{
    QFETCH(bool, switchTab);
    UnitSimFixture sim;
    sim.setSilent(true); // address 1 would time out after 500 ms x 4
    QVERIFY(sim.start());
    RecordingStartWindow window;
    window.show();
    connectWindow(&window, sim.port());
    QTRY_COMPARE(requestsOf(sim).size(), 1);

    if (switchTab)
        window.findChild<QTabWidget *>("tabWidget")->setCurrentIndex(0);
    else
        QTest::mouseClick(window.findChild<QPushButton *>("btnConnect"), Qt::LeftButton);
    QTest::qWait(300);

    for (QMessageBox *box : window.findChildren<QMessageBox *>())
        QVERIFY2(!box->isVisible(), qPrintable(box->text()));
    QCOMPARE(window.findChild<QPushButton *>("btnConnect")->text(), QStringLiteral("Подключиться"));
    QVERIFY(window.findChild<QLabel *>("labelError")->text().isEmpty());
}

void TestStartWindowReplies::window_versionReplyOfWrongSizeIsRefused()
{
    // A reply of 23 values to the 25-value read (as a late answer to the scan's
    // read would look to Qt's RTU master) must not open the unit.
    UnitSimFixture sim;
    SimFaults fault;
    fault.shortReplyAt = {{2024, 2}}; // beyond the scan's 23 words
    sim.setFaults(fault);
    QVERIFY(sim.start());
    RecordingStartWindow window;
    window.show();
    connectWindow(&window, sim.port());
    QTRY_VERIFY(window.findChild<QPushButton *>("btnOnline")->isEnabled());

    QTest::mouseClick(window.findChild<QPushButton *>("btnOnline"), Qt::LeftButton);
    QTRY_COMPARE(requestsOf(sim).size(), 2);
    QCOMPARE(requestsOf(sim).at(1).count, 25);
    QTRY_VERIFY(!window.findChild<QLabel *>("labelError")->text().isEmpty());
    QVERIFY2(window.findChild<QLabel *>("labelError")
                 ->text()
                 .startsWith(QStringLiteral("Ошибка запроса rT2000: ")),
             qPrintable(window.findChild<QLabel *>("labelError")->text()));
    QTest::qWait(50);
    QCOMPARE(window.opened.size(), 0);

    // The refusal does not block a later attempt.
    QTest::mouseClick(window.findChild<QPushButton *>("btnOnline"), Qt::LeftButton);
    QTRY_COMPARE(requestsOf(sim).size(), 3);
}

QTEST_MAIN(TestStartWindowReplies)
#include "tst_startwindow_replies.moc"
