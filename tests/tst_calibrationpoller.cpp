// SPDX-License-Identifier: GPL-3.0-or-later
// Calibration polling without a window, against a simulated unit over TCP,
// judged by the unit's request log and register state.

#include "calibrationpoller.h"
#include "calibrationrig.h"

#include <QModbusReply>
#include <QtTest>

using namespace calibration;

namespace {

// Counts the request failures the poller logs.
int g_failureLines = 0;
QtMessageHandler g_previousHandler = nullptr;

void countFailures(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QStringLiteral("Ошибка запроса")))
        ++g_failureLines;
    g_previousHandler(type, context, message);
}

} // namespace

class TestCalibrationPoller : public QObject
{
    Q_OBJECT

private slots:
    void polling_readsEveryParameterWithRegisterOneAtATime();
    void finish_reportsAnEditBeforeTheFirstRead();
    void pendingReplies_releasedWithPoller();
    void silentUnit_staleBacksOffAndComesBack();
};

// One pass, then an edit, then the end of calibration: only the poller's own edit
// is taken back.
void TestCalibrationPoller::polling_readsEveryParameterWithRegisterOneAtATime()
{
    Rig rig;
    QVERIFY(rig.start({{H, 550, 1}, {H, 551, 2}, {H, 0, 0xFB2E}}));
    // The tree changed a signal type without writing it to the unit.
    Property *tmpSignal = rig.parameter(1, 0, ChannelParam::SignalType);
    tmpSignal->setChanged(true);
    tmpSignal->setValue(8);
    CalibrationPoller poller(rig.module.get(), rig.client.get(), 1);
    QSignalSpy stored(&poller, &CalibrationPoller::valueStored);
    QSignalSpy notices(&poller, &CalibrationPoller::notice);
    poller.start();

    QStringList expected{
        // function:address:count, from the register layouts
        "3:1200:1", "4:0:1",  "4:10004:1", "3:1201:1", "4:2:1",   "4:10005:1", // AIO inputs
        "3:1400:1", "3:0:1",  "3:10004:1", "3:1401:1", "3:2:1",   "3:10005:1", // AIO outputs
        "3:1202:1", "4:4:1",  "4:10006:1", "3:1203:1", "4:6:1",   "4:10007:1", // TMP
        "1:0:1",    "1:1:1",  "1:2:1",     "1:3:1",    "4:202:1", "4:203:1",   // DI, counters
        "2:0:1",    "2:1:1",  "2:2:1",     "2:3:1",    "2:4:1",   "2:5:1",
        "3:550:2",  "3:552:2" // DO6
    };
    QTRY_VERIFY_WITH_TIMEOUT(passDone(rig.sim), 5000);
    QVector<QDateTime> times;
    QStringList polled = calls(rig.sim, false, &times);
    polled.sort();
    expected.sort();
    QCOMPARE(polled, expected);
    QVERIFY(calls(rig.sim, true).isEmpty());
    for (int i = 1; i < PolledCount; ++i)
        QVERIFY(times.at(i - 1).msecsTo(times.at(i)) >= 40);

    // Int32 of the first stepper output, low half first, stored and announced.
    Property *stepper = rig.parameter(3, 6, ChannelParam::Value);
    QTRY_COMPARE(stepper->value().toInt(), 2 * 65536 + 1);
    bool announced = false;
    for (const QList<QVariant> &args : qAsConst(stored)) {
        announced |= args.at(0).value<Property *>() == stepper
                     && args.at(1).toInt() == 2 * 65536 + 1 && args.at(2).toDateTime().isValid();
    }
    QVERIFY(announced);

    Property *aoValue1 = rig.parameter(0, 2, ChannelParam::Value);
    Property *aoValue2 = rig.parameter(0, 3, ChannelParam::Value);
    aoValue2->setValue(777); // an edit, as the table's editor stores it
    QTRY_COMPARE(rig.sim.reg(1, H, 2), 777);
    rig.sim.clearRequests();
    poller.finish();
    QTest::qWait(150); // nothing may follow
    QCOMPARE(calls(rig.sim, true), QStringList{"6:2:0"});
    QVERIFY(calls(rig.sim, false).isEmpty());
    QCOMPARE(notices.count(), 0);
    QCOMPARE(rig.sim.reg(1, H, 0), 0xFB2E);
    QCOMPARE(rig.sim.reg(1, H, 1202), 5);
    QCOMPARE(tmpSignal->value().toInt(), 8);
    QVERIFY(tmpSignal->isChanged());
    QCOMPARE(aoValue1->value().toInt(), -1234); // read as Int16, not edited: left alone
    QVERIFY(!aoValue1->isChanged());
    QCOMPARE(aoValue2->value().toInt(), 0);
    QVERIFY(!aoValue2->isChanged());
}

// What the unit held before an edit made ahead of the first read is not known: the
// edit stays in the unit, and the user is told.
void TestCalibrationPoller::finish_reportsAnEditBeforeTheFirstRead()
{
    Rig rig;
    QVERIFY(rig.start());
    CalibrationPoller poller(rig.module.get(), rig.client.get(), 1);
    QSignalSpy notices(&poller, &CalibrationPoller::notice);
    poller.start();
    rig.parameter(0, 3, ChannelParam::Value)->setValue(777);
    QTRY_COMPARE(rig.sim.reg(1, H, 2), 777);
    rig.sim.clearRequests();
    poller.finish();
    QTest::qWait(150); // nothing may follow
    QVERIFY(calls(rig.sim, true).isEmpty() && calls(rig.sim, false).isEmpty());
    QCOMPARE(rig.sim.reg(1, H, 2), 777);
    QCOMPARE(notices.count(), 1);
}

void TestCalibrationPoller::pendingReplies_releasedWithPoller()
{
    Rig rig(true, 30);
    QVERIFY(rig.start());
    auto poller = std::make_unique<CalibrationPoller>(rig.module.get(), rig.client.get(), 1);
    poller->start();
    QTRY_VERIFY(!rig.client->findChildren<QModbusReply *>().isEmpty());
    poller.reset(); // destroyed while replies are on the line
    QCOMPARE(rig.client->timeout(), 500);
    QTRY_VERIFY_WITH_TIMEOUT(rig.client->findChildren<QModbusReply *>().isEmpty(), 2000);
}

void TestCalibrationPoller::silentUnit_staleBacksOffAndComesBack()
{
    Rig rig;
    QVERIFY(rig.start());
    Property *aiValue = rig.parameter(0, 0, ChannelParam::Value); // input 0: early in a pass
    CalibrationPoller poller(rig.module.get(), rig.client.get(), 1);
    QSignalSpy stale(&poller, &CalibrationPoller::staleChanged);
    QSignalSpy stored(&poller, &CalibrationPoller::valueStored);
    poller.start();
    QTRY_VERIFY(!stored.isEmpty());

    g_failureLines = 0;
    g_previousHandler = qInstallMessageHandler(countFailures);
    rig.sim.setSilent(true);
    QTRY_COMPARE_WITH_TIMEOUT(stale.count(), 1, 3000);
    QCOMPARE(stale.at(0).at(0).toBool(), true);
    QVERIFY(!poller.isPassRunning());

    // Backed off: a single read now and then, not one every step.
    rig.sim.clearRequests();
    QTest::qWait(500);
    QVERIFY2(rig.sim.requests().size() <= 1,
             qPrintable(QString::number(rig.sim.requests().size())));
    QVERIFY(poller.pollInterval() > CalibrationPoller::PollIntervalMs);
    qInstallMessageHandler(g_previousHandler);
    QVERIFY2(g_failureLines <= CalibrationPoller::StaleAfterReads,
             qPrintable(QString::number(g_failureLines)));

    rig.sim.setReg(1, I, 0, 4321);
    rig.sim.setSilent(false);
    QTRY_COMPARE_WITH_TIMEOUT(stale.count(), 2, CalibrationPoller::MaxBackoffMs + 2000);
    QCOMPARE(stale.at(1).at(0).toBool(), false);
    QCOMPARE(poller.pollInterval(), 500);
    QTRY_COMPARE_WITH_TIMEOUT(aiValue->value().toInt(), 4321, 5000);
}

QTEST_MAIN(TestCalibrationPoller)
#include "tst_calibrationpoller.moc"
