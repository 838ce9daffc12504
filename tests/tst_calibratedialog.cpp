// The calibration dialog end to end: the real widgets against a simulated
// unit over TCP, judged by the unit's request log and register state. The
// polling itself is tested without widgets in tst_calibrationpoller.

#include "calibratedialog.h"
#include "calibrationpoller.h"
#include "calibrationrig.h"
#include "model.h"
#include "trendchart.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include <algorithm>

using namespace calibration;

namespace {

enum Column { Name, SignalType, RawValue, Value };

QModelIndex cell(const CalibrateDialog &dialog, int board, int channel, int column)
{
    return dialog.model()->index(channel, column, dialog.model()->index(board, 0));
}

// The cell's text; reals with the six digits the view shows.
QString shown(const QModelIndex &index)
{
    const QVariant value = index.data();
    return value.userType() == QMetaType::Float ? QString::number(value.toFloat())
                                                : value.toString();
}

// Makes the cell current in the view, which opens its editor (every trigger is on).
template<typename Editor>
Editor *openEditor(CalibrateDialog &dialog, const QModelIndex &index)
{
    auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    view->setCurrentIndex(index);
    return qobject_cast<Editor *>(view->indexWidget(index));
}

} // namespace

class TestCalibrateDialog : public QObject
{
    Q_OBJECT

private slots:
    void display_data();
    void display();
    void display_followsMovingValues();
    void signalTypeChoice_writesCodeAtOnce_data();
    void signalTypeChoice_writesCodeAtOnce();
    void signalTypeEditorLeftWithoutChoice_writesNothing();
    void numberEdit_data();
    void numberEdit();
    void closing_restoresOnlyEditsOfThisDialog();
    void clientSettings_givenBackOnClose();
    void silentUnit_greysValuesAndSaysSo();
    void trend_holdsPolledPointsWithTimesAndGapWhileSilent();
};

void TestCalibrateDialog::display_data()
{
    QTest::addColumn<Pokes>("pokes");
    QTest::addColumn<int>("board");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("expected");

    QTest::newRow("Int16 value 65535") << Pokes{{I, 0, 0xFFFF}} << 0 << 0 << int(Value) << "-1";
    QTest::newRow("UInt16 raw code of Pt100")
        << Pokes{{I, 10006, 0xFFFF}} << 1 << 0 << int(RawValue) << "65535";
    QTest::newRow("Int16 raw code of a thermocouple")
        << Pokes{{H, 1203, 12}, {I, 10007, 0xFFFF}} << 1 << 1 << int(RawValue) << "-1";
    QTest::newRow("Float32 value, low word first")
        << Pokes{{H, 400, 0x0010}, {I, 0, 0x0000}, {I, 1, 0x4148}} << 0 << 0 << int(Value)
        << "12.5";
    QTest::newRow("output value from holding 2g")
        << Pokes{{H, 2, 0xFF9C}} << 0 << 3 << int(Value) << "-100";
    QTest::newRow("signal type without a name")
        << Pokes{{H, 1200, 7}} << 0 << 0 << int(SignalType) << "Неизвестное значение: 7";
}

void TestCalibrateDialog::display()
{
    QFETCH(Pokes, pokes);
    QFETCH(int, board);
    QFETCH(int, channel);
    QFETCH(int, column);
    QFETCH(QString, expected);

    Rig rig;
    QVERIFY(rig.start(pokes));
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    QCOMPARE(dialog.model()->rowCount(), 2); // DI and DO6 have no rows
    QTRY_COMPARE_WITH_TIMEOUT(shown(cell(dialog, board, channel, column)), expected, 5000);
}

void TestCalibrateDialog::display_followsMovingValues()
{
    Rig rig(false);
    QVERIFY(rig.start());
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    const QModelIndex raw = cell(dialog, 0, 0, RawValue);
    const QString initial = shown(raw);
    QTRY_VERIFY_WITH_TIMEOUT(shown(raw) != initial, 5000);
    const QString firstRead = shown(raw);
    QTRY_VERIFY_WITH_TIMEOUT(shown(raw) != firstRead, 5000);
    QCOMPARE(dialog.model()->flags(cell(dialog, 0, 0, Value)), Qt::ItemIsEnabled); // not selectable
    QVERIFY(dialog.model()->flags(cell(dialog, 0, 2, Value)) & Qt::ItemIsEditable);
}

void TestCalibrateDialog::signalTypeChoice_writesCodeAtOnce_data()
{
    QTest::addColumn<int>("board");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expectedWrite");

    QTest::newRow("second analog output") << 0 << 3 << 2 << "6:1401:2";
    QTest::newRow("temperature input") << 1 << 1 << 12 << "6:1203:12";
}

void TestCalibrateDialog::signalTypeChoice_writesCodeAtOnce()
{
    QFETCH(int, board);
    QFETCH(int, channel);
    QFETCH(int, code);
    QFETCH(QString, expectedWrite);

    Rig rig;
    QVERIFY(rig.start());
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(passDone(rig.sim), 5000);
    auto *combo = openEditor<QComboBox>(dialog, cell(dialog, board, channel, SignalType));
    QVERIFY(combo);
    rig.sim.clearRequests();
    combo->setCurrentIndex(combo->findData(code));
    QTRY_COMPARE(calls(rig.sim, true), QStringList{expectedWrite});
    QCOMPARE(rig.sim.reg(1, H, expectedWrite.section(':', 1, 1).toInt()), code);
}

void TestCalibrateDialog::signalTypeEditorLeftWithoutChoice_writesNothing()
{
    Rig rig;
    QVERIFY(rig.start({{H, 1200, 7}})); // a code the list does not offer
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    dialog.show();
    auto *combo = openEditor<QComboBox>(dialog, cell(dialog, 0, 0, SignalType));
    QVERIFY(combo);
    QCOMPARE(combo->currentIndex(), -1);
    openEditor<QWidget>(dialog, cell(dialog, 0, 0, Name)); // leaves the combo box, committing it
    QTest::qWait(300);
    QVERIFY(calls(rig.sim, true).isEmpty());
    QCOMPARE(rig.parameter(0, 0, ChannelParam::SignalType)->value().toInt(), 7);
}

void TestCalibrateDialog::numberEdit_data()
{
    QTest::addColumn<Pokes>("pokes");
    QTest::addColumn<int>("channel"); // of the AIO board
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("before"); // shown before editing
    QTest::addColumn<double>("input");   // NaN: leave the editor as loaded
    QTest::addColumn<QString>("stored"); // what the edit stores, empty: nothing
    QTest::addColumn<QStringList>("expectedWrites");

    const double keep = qQNaN();
    QTest::newRow("output value, holding 2g")
        << Pokes{} << 3 << int(Value) << "0" << 1234.0 << "1234" << QStringList{"6:2:1234"};
    QTest::newRow("negative raw output code")
        << Pokes{} << 2 << int(RawValue) << "0" << -100.0 << "-100" << QStringList{"6:10004:65436"};
    QTest::newRow("unchanged negative value sends nothing")
        << Pokes{{H, 0, 0xFF9C}} << 2 << int(Value) << "-100" << keep << "" << QStringList{};
    QTest::newRow("Float32 loads whole, stays in the model")
        << Pokes{{H, 600, 0x0010}, {H, 0, 0x3333}, {H, 1, 0x414B}} << 2 << int(Value) << "12.7"
        << keep << "12" << QStringList{};
}

void TestCalibrateDialog::numberEdit()
{
    QFETCH(Pokes, pokes);
    QFETCH(int, channel);
    QFETCH(int, column);
    QFETCH(QString, before);
    QFETCH(double, input);
    QFETCH(QString, stored);
    QFETCH(QStringList, expectedWrites);

    Rig rig;
    QVERIFY(rig.start(pokes));
    // Reads store without signals: only the edit itself is seen here.
    Property *p
        = rig.parameter(0, channel, column == Value ? ChannelParam::Value : ChannelParam::RawValue);
    QString storedText;
    QObject context;
    connect(p, &Property::valueChange, &context,
            [&] { storedText = QString::number(p->value().toFloat()); });

    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    dialog.show();
    const QModelIndex index = cell(dialog, 0, channel, column);
    QTRY_VERIFY_WITH_TIMEOUT(rig.sim.requests().size() >= 12, 5000); // the AIO parameters were read
    QCOMPARE(shown(index), before);

    auto *box = openEditor<QDoubleSpinBox>(dialog, index);
    QVERIFY(box);
    if (!qIsNaN(input))
        box->setValue(input);
    rig.sim.clearRequests();
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_COMPARE(storedText, stored);
    QTest::qWait(300);
    QCOMPARE(storedText, stored);
    QCOMPARE(calls(rig.sim, true), expectedWrites);
}

void TestCalibrateDialog::closing_restoresOnlyEditsOfThisDialog()
{
    Rig rig;
    QVERIFY(rig.start({{H, 0, 1234}}));
    Property *aoValue1 = rig.parameter(0, 2, ChannelParam::Value);
    Property *aoValue2 = rig.parameter(0, 3, ChannelParam::Value);
    Property *aiSignal = rig.parameter(0, 0, ChannelParam::SignalType);
    aoValue2->setChanged(true); // an edit mark the property tree held before

    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(passDone(rig.sim), 5000);
    QCOMPARE(aoValue1->value().toInt(), 1234);
    QVERIFY(!aoValue1->isChanged());

    auto *box = openEditor<QDoubleSpinBox>(dialog, cell(dialog, 0, 3, Value));
    QVERIFY(box);
    box->setValue(777);
    QTest::keyClick(box, Qt::Key_Return);
    auto *combo = openEditor<QComboBox>(dialog, cell(dialog, 0, 0, SignalType));
    QVERIFY(combo);
    combo->setCurrentIndex(combo->findData(2));
    QTRY_COMPARE(rig.sim.reg(1, H, 1200), 2);
    QTRY_COMPARE(rig.sim.reg(1, H, 2), 777);

    rig.sim.clearRequests();
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("pushButton")),
                      Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QTest::qWait(700);
    QStringList sent = calls(rig.sim, true);
    sent.sort();
    QCOMPARE(sent, (QStringList{"6:1200:1", "6:2:0"}));
    QVERIFY(calls(rig.sim, false).isEmpty());
    QCOMPARE(rig.sim.reg(1, H, 0), 1234);
    QCOMPARE(aoValue2->value().toInt(), 0);
    QCOMPARE(aiSignal->value().toInt(), 1);
    // Only the tree's own mark remains.
    QVERIFY(aoValue2->isChanged());
    aoValue2->setChanged(false);
    QVERIFY(!rig.module->isChanged());
}

void TestCalibrateDialog::clientSettings_givenBackOnClose()
{
    Rig rig;
    QVERIFY(rig.start());
    QWidget mainWindow;
    mainWindow.show();
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1, &mainWindow);
    dialog.show();
    QVERIFY(dialog.isWindow());
    QCOMPARE(rig.client.timeout(), 50);
    QCOMPARE(rig.client.numberOfRetries(), 1);
    dialog.close();
    QCOMPARE(rig.client.timeout(), 500);
    QCOMPARE(rig.client.numberOfRetries(), 3);
}

void TestCalibrateDialog::silentUnit_greysValuesAndSaysSo()
{
    Rig rig;
    QVERIFY(rig.start());
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    dialog.show();
    auto *line = dialog.findChild<QLabel *>(QStringLiteral("labelNoAnswer"));
    QVERIFY(line);
    const QModelIndex value = cell(dialog, 0, 2, Value);
    QTRY_VERIFY_WITH_TIMEOUT(passDone(rig.sim), 5000);
    QVERIFY(!line->isVisible());
    QVERIFY(!value.data(Qt::ForegroundRole).isValid());

    rig.sim.setSilent(true);
    QTRY_VERIFY_WITH_TIMEOUT(line->isVisible(), 3000);
    QCOMPARE(line->text(), QStringLiteral("Нет ответа от модуля"));
    QCOMPARE(value.data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
    QVERIFY(!cell(dialog, 0, 2, Name).data(Qt::ForegroundRole).isValid());

    rig.sim.setReg(1, H, 0, 4321);
    rig.sim.setSilent(false);
    QTRY_VERIFY_WITH_TIMEOUT(!line->isVisible(), 6000);
    QVERIFY(!value.data(Qt::ForegroundRole).isValid());
    QTRY_COMPARE_WITH_TIMEOUT(shown(value), QStringLiteral("4321"), 5000);
}

void TestCalibrateDialog::trend_holdsPolledPointsWithTimesAndGapWhileSilent()
{
    Rig rig;
    QVERIFY(rig.start({{I, 0, 100}})); // AIO input 1 (g = 0) reads 100
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    dialog.show();
    TrendChart *trend = dialog.trend();
    const int id = dialog.trendSeries(rig.parameter(0, 0, ChannelParam::Value));
    QCOMPARE(id, 0);
    QVERIFY(trend->isSeriesShown(id)); // the first one is ticked
    QCOMPARE(trend->seriesCount(), 6); // AIO 2 in + 2 out, TMP 2 in
    QTRY_VERIFY_WITH_TIMEOUT(trend->samples(id).size() >= 2, 10000);

    rig.sim.setSilent(true);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.poller()->isStale(), 5000);
    QTest::qWait(1000);
    rig.sim.setReg(1, I, 0, 200);
    rig.sim.setSilent(false);
    QTRY_VERIFY_WITH_TIMEOUT(trend->samples(id).last().value == 200, 10000);

    // Every value came from a read of input register 0 that the unit answered
    // just before; the silence is one gap, with nothing drawn across it.
    QVector<QDateTime> reads;
    for (const SimRequestRecord &r : rig.sim.requests()) {
        if (r.function == 4 && r.address == 0 && r.result == SimRequestRecord::Answered)
            reads << r.time;
    }
    const QVector<TrendChart::Sample> samples = trend->samples(id);
    QString seen;
    for (const TrendChart::Sample &s : samples) {
        seen += s.gap ? QStringLiteral("|") : QString::number(s.value / 100);
        if (s.gap)
            continue;
        const bool matched = std::any_of(reads.begin(), reads.end(), [&s](const QDateTime &t) {
            const qint64 after = s.time - t.toMSecsSinceEpoch();
            return after >= 0 && after < 500;
        });
        QVERIFY2(matched, qPrintable(QDateTime::fromMSecsSinceEpoch(s.time).toString()));
    }
    QVERIFY2(QRegularExpression("^1{2,}\\|2+$").match(seen).hasMatch(), qPrintable(seen));
    trend->refresh(QDateTime::currentDateTime());
    QCOMPARE(trend->drawnSegments(id).size(), 2);
}

QTEST_MAIN(TestCalibrateDialog)
#include "tst_calibratedialog.moc"
