// SPDX-License-Identifier: GPL-3.0-or-later
// The calibration dialog end to end: the real widgets against a simulated
// unit over TCP, judged by the unit's request log and register state. One
// dialog runs through every test in turn (display, edits, a silent unit,
// closing), so the polling passes are waited for once; then the trend chart
// on its own. The polling itself is tested without widgets in tst_calibrationpoller.

#include "calibratedialog.h"
#include "calibrationpoller.h"
#include "calibrationrig.h"
#include "calibrationmodel.h"
#include "trendchart.h"

#include <journal.h>

#include <QComboBox>
#include <QDateTimeAxis>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QValueAxis>
#include <QtTest>

#include <algorithm>

using namespace calibration;

namespace {

enum Column { Name, SignalType, RawValue, Value };

// The parameter behind each column but the name.
const QString kParameterOf[]
    = {{}, ChannelParam::SignalType, ChannelParam::RawValue, ChannelParam::Value};

// The cell's text; reals with the six digits the view shows.
QString shown(const QModelIndex &index)
{
    const QVariant value = index.data();
    return value.userType() == QMetaType::Float ? QString::number(value.toFloat())
                                                : value.toString();
}

const QDateTime T0 = QDateTime(QDate(2024, 3, 1), QTime(10, 0, 0));

QDateTime at(double seconds)
{
    return T0.addMSecs(qint64(seconds * 1000));
}

} // namespace

class TestCalibrateDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void display_data();
    void display();
    void edits_data();
    void edits();
    void silentUnit_greysValuesAndSaysSo();
    void closing_restoresOnlyEditsOfThisDialog();
    // The trend chart on its own: what it keeps, what it draws, what it saves.
    void trend_drawingGapBreaksLineAndWindowCuts_data();
    void trend_drawingGapBreaksLineAndWindowCuts();
    void trend_csvTimeOrderGapsAndQuoting();
    void trend_memoryBounded();

private:
    QModelIndex cell(int board, int channel, int column) const
    {
        const QAbstractItemModel *model = m_dialog->model();
        return model->index(channel, column, model->index(board, 0));
    }
    // Makes the cell current in the view, which opens its editor (every trigger is on).
    template<typename Editor>
    Editor *openEditor(const QModelIndex &index)
    {
        auto *view = m_dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
        view->setCurrentIndex(index.siblingAtColumn(Name)); // closes an editor open there
        view->setCurrentIndex(index);
        return qobject_cast<Editor *>(view->indexWidget(index));
    }

    QTemporaryDir m_data; // the user's data folder, where the journal goes
    Rig m_rig;
    int m_outputType = -1; // of AO 2 and the raw code of AO 1, as the unit held them
    int m_outputCode = -1;
    QWidget m_mainWindow;
    std::unique_ptr<CalibrateDialog> m_dialog;
};

void TestCalibrateDialog::initTestCase()
{
    qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
    // Slot A AIO (inputs g 0-1, outputs g 0-1), slot B TMP (inputs g 2-3). AI 1: Int16 -1 and
    // a type without a name; AI 2 and AO 1: Float32, low word first; AO 2: Int16 -100; raw
    // codes 65535 of TMP 1 (Pt100, UInt16) and TMP 2 (thermocouple, Int16).
    // clang-format off
    QVERIFY(m_rig.start({{I, 0, 0xFFFF}, {H, 1200, 7}, {H, 402, 0x0010}, {I, 2, 0x0000},
                         {I, 3, 0x4148}, {H, 600, 0x0010}, {H, 0, 0x3333}, {H, 1, 0x414B},
                         {H, 2, 0xFF9C}, {I, 10006, 0xFFFF}, {H, 1203, 12}, {I, 10007, 0xFFFF}}));
    // clang-format on
    m_outputType = m_rig.sim.reg(1, H, 1401);
    m_outputCode = m_rig.sim.reg(1, H, 10004);
    // An edit mark the property tree held before.
    m_rig.parameter(0, 3, ChannelParam::Value)->setChanged(true);
    m_mainWindow.show();
    m_dialog = std::make_unique<CalibrateDialog>(m_rig.module.get(), m_rig.client.get(), 1,
                                                 &m_mainWindow);
    m_dialog->show();
    QVERIFY(m_dialog->isWindow());
    QCOMPARE(m_rig.client->timeout(), 50);
    QCOMPARE(m_rig.client->numberOfRetries(), 1);
    QCOMPARE(m_dialog->model()->rowCount(), 2); // DI and DO6 have no rows
}

void TestCalibrateDialog::display_data()
{
    QTest::addColumn<int>("board");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("expected");

    QTest::newRow("Int16 value 65535") << 0 << 0 << int(Value) << "-1";
    QTest::newRow("signal type without a name")
        << 0 << 0 << int(SignalType) << "Неизвестное значение: 7";
    QTest::newRow("Float32 input value") << 0 << 1 << int(Value) << "12.5";
}

void TestCalibrateDialog::display()
{
    QFETCH(int, board);
    QFETCH(int, channel);
    QFETCH(int, column);
    QFETCH(QString, expected);
    QTRY_COMPARE_WITH_TIMEOUT(shown(cell(board, channel, column)), expected, 5000);
    // Inputs are shown only; outputs take edits. Reading is no edit.
    const Qt::ItemFlags flags = m_dialog->model()->flags(cell(board, channel, Value));
    QCOMPARE(flags == Qt::ItemIsEnabled, board == 1 || channel < 2);
    QCOMPARE(bool(flags & Qt::ItemIsEditable), board == 0 && channel >= 2);
    QCOMPARE(m_rig.parameter(board, channel, kParameterOf[column])->isChanged(),
             board == 0 && channel == 3 && column == Value);
    // The last header ("Значение в ед. изм.") whole beside the columns before it.
    const QHeaderView *header = m_dialog->findChild<QTreeView *>("treeView")->header();
    QVERIFY(header->sectionSize(3) >= header->sectionSizeHint(3));
}

void TestCalibrateDialog::edits_data()
{
    QTest::addColumn<int>("channel"); // of the AIO board, or 10 + channel of the TMP board
    QTest::addColumn<int>("column");
    QTest::addColumn<double>("input"); // a list entry's code, or a number; NaN: leave as loaded
    QTest::addColumn<double>("stored");
    QTest::addColumn<bool>("edit");     // the parameter changes
    QTest::addColumn<QString>("write"); // "function:address:value", empty: none

    const double keep = qQNaN();
    QTest::newRow("list left without a choice")
        << 0 << int(SignalType) << keep << 7.0 << false << "";
    QTest::newRow("output signal type") << 3 << int(SignalType) << 2.0 << 2.0 << true << "6:1401:2";
    QTest::newRow("temperature signal type")
        << 11 << int(SignalType) << 4.0 << 4.0 << true << "6:1203:4";
    QTest::newRow("unchanged negative value") << 3 << int(Value) << keep << -100.0 << false << "";
    QTest::newRow("output value") << 3 << int(Value) << 1234.0 << 1234.0 << true << "6:2:1234";
    QTest::newRow("negative raw output code")
        << 2 << int(RawValue) << -100.0 << -100.0 << true << "6:10004:65436";
    QTest::newRow("Float32 loads whole, stays in the model")
        << 2 << int(Value) << keep << 12.0 << true << "";
}

void TestCalibrateDialog::edits()
{
    QFETCH(int, channel);
    QFETCH(int, column);
    QFETCH(double, input);
    QFETCH(double, stored);
    QFETCH(bool, edit);
    QFETCH(QString, write);

    const int board = channel / 10;
    channel %= 10;
    QTRY_VERIFY_WITH_TIMEOUT(passDone(m_rig.sim), 5000);
    Property *p = m_rig.parameter(board, channel, kParameterOf[column]);
    QSignalSpy edited(p, &Property::valueChange);
    const QModelIndex index = cell(board, channel, column);
    if (column == SignalType) {
        auto *combo = openEditor<QComboBox>(index);
        QVERIFY(combo);
        if (qIsNaN(input)) {
            QCOMPARE(combo->currentIndex(), -1);
            openEditor<QWidget>(cell(board, channel, Name)); // leaves it, committing it
        } else {
            combo->setCurrentIndex(combo->findData(int(input)));
        }
    } else {
        auto *box = openEditor<QDoubleSpinBox>(index);
        QVERIFY(box);
        if (!qIsNaN(input))
            box->setValue(input);
        QTest::keyClick(box, Qt::Key_Return);
    }
    QTRY_COMPARE(p->value().toDouble(), stored);
    // A write goes at once; nothing is sent for the rest (checked before closing).
    QCOMPARE(edited.count(), int(edit));
    if (!write.isEmpty()) {
        QTRY_VERIFY(calls(m_rig.sim, true).contains(write));
        QCOMPARE(m_rig.sim.reg(1, H, write.section(':', 1, 1).toInt()),
                 write.section(':', 2).toInt());
    }
}

void TestCalibrateDialog::silentUnit_greysValuesAndSaysSo()
{
    TrendChart *trend = m_dialog->trend();
    const int id = m_dialog->trendSeries(m_rig.parameter(0, 0, ChannelParam::Value));
    QVERIFY(trend->isSeriesShown(id)); // the first one is ticked
    QCOMPARE(trend->seriesCount(), 6); // AIO 2 in + 2 out, TMP 2 in
    auto *line = m_dialog->findChild<QLabel *>(QStringLiteral("labelNoAnswer"));
    QVERIFY(line);
    const QModelIndex value = cell(0, 2, Value);
    QVERIFY(!line->isVisible());
    QVERIFY(!value.data(Qt::ForegroundRole).isValid());

    m_rig.sim.setSilent(true);
    QTRY_VERIFY_WITH_TIMEOUT(line->isVisible(), 3000);
    QVERIFY(m_dialog->poller()->isStale());
    QCOMPARE(line->text(), QStringLiteral("Нет ответа от модуля"));
    QCOMPARE(value.data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
    QVERIFY(!cell(0, 2, Name).data(Qt::ForegroundRole).isValid());

    m_rig.sim.setReg(1, I, 0, 200);
    m_rig.sim.setSilent(false);
    QTRY_VERIFY_WITH_TIMEOUT(!line->isVisible(), 6000);
    QVERIFY(!value.data(Qt::ForegroundRole).isValid());
    QTRY_COMPARE_WITH_TIMEOUT(shown(cell(0, 0, Value)), QStringLiteral("200"), 5000);
    QTRY_COMPARE(trend->samples(id).last().value, 200.0);

    // Every value came from a read of input register 0 that the unit answered
    // just before; the silence is one gap, with nothing drawn across it.
    QVector<QDateTime> reads;
    for (const SimRequestRecord &r : m_rig.sim.requests()) {
        if (r.function == 4 && r.address == 0 && r.result == SimRequestRecord::Answered)
            reads << r.time;
    }
    QString seen;
    for (const TrendChart::Sample &s : trend->samples(id)) {
        seen += s.gap ? "|" : s.value == -1 ? "a" : s.value == 200 ? "b" : "?";
        const bool matched
            = s.gap || std::any_of(reads.begin(), reads.end(), [&s](const QDateTime &t) {
                  const qint64 after = s.time - t.toMSecsSinceEpoch();
                  return after >= 0 && after < 500;
              });
        QVERIFY2(matched, qPrintable(QDateTime::fromMSecsSinceEpoch(s.time).toString()));
    }
    QVERIFY2(QRegularExpression("^a+\\|b+$").match(seen).hasMatch(), qPrintable(seen));
    trend->refresh(QDateTime::currentDateTime());
    QCOMPARE(trend->drawnSegments(id).size(), 2);
}

void TestCalibrateDialog::closing_restoresOnlyEditsOfThisDialog()
{
    QCOMPARE(calls(m_rig.sim, true),
             (QStringList{"6:1401:2", "6:1203:4", "6:2:1234", "6:10004:65436"}));
    m_rig.sim.clearRequests();
    QTest::mouseClick(m_dialog->findChild<QPushButton *>(QStringLiteral("pushButton")),
                      Qt::LeftButton);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_rig.client->timeout(), 500);
    QCOMPARE(m_rig.client->numberOfRetries(), 3);
    QTRY_COMPARE(calls(m_rig.sim, true).size(), 4);
    QStringList sent = calls(m_rig.sim, true);
    sent.sort();
    QCOMPARE(sent, (QStringList{"6:10004:" + QString::number(m_outputCode), "6:1203:12",
                                "6:1401:" + QString::number(m_outputType), "6:2:65436"}));
    QVERIFY(calls(m_rig.sim, false).isEmpty());
    // Float32 edits stay in the model: only the model gets its value back.
    QCOMPARE(m_rig.sim.reg(1, H, 0), 0x3333);
    QCOMPARE(m_rig.parameter(0, 2, ChannelParam::Value)->value().toFloat(), 12.7f);
    QCOMPARE(m_rig.parameter(0, 3, ChannelParam::Value)->value().toInt(), -100);
    QCOMPARE(m_rig.parameter(1, 1, ChannelParam::SignalType)->value().toInt(), 12);
    // A line per write with the value the unit held before; closing takes each edit back.
    QTRY_COMPARE(Journal::read(Journal::inUserData(), {}).entries.size(), 8);
    QStringList lines;
    for (const JournalEntry &entry : Journal::read(Journal::inUserData(), {}).entries) {
        const JournalEntry::Change change = entry.changes.value(0);
        QCOMPARE(entry.action + ' ' + entry.outcome, QStringLiteral("calibration confirmed"));
        lines << change.path.section(" / ", 2) + ": " + change.before + " → " + change.after;
    }
    QCOMPARE(lines.mid(0, 4),
             (QStringList{"Тип сигнала (регистр 1401): Ток 4-20мА → Ток 0-20мА",
                          "Тип сигнала (регистр 1203): Термопара ТХА(K), ℃ → Сопротивление, Ом",
                          "Значение канала в ед. изм. (регистр 2): -100 → 1234",
                          "Значение канала (регистр 10004): " + QString::number(m_outputCode)
                              + " → -100"}));
    QVERIFY(lines.contains("Значение канала в ед. изм. (регистр 2): 1234 → -100"));
    // Only the tree's own mark remains.
    Property *marked = m_rig.parameter(0, 3, ChannelParam::Value);
    QVERIFY(marked->isChanged());
    marked->setChanged(false);
    QVERIFY(!m_rig.module->isChanged());
}

void TestCalibrateDialog::trend_drawingGapBreaksLineAndWindowCuts_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<QVector<int>>("pieceSizes");
    // Samples every 10 s from 0 to 280 s, a gap at 195 s; drawn at 300 s.
    QTest::newRow("5 min: two pieces") << 5 << QVector<int>{20, 9};
    // The window starts at 240 s; the sample at 230 s starts the line at the edge.
    QTest::newRow("1 min: after the gap only") << 1 << QVector<int>{6};
    QTest::newRow("15 min: all of it") << 15 << QVector<int>{20, 9};
}

void TestCalibrateDialog::trend_drawingGapBreaksLineAndWindowCuts()
{
    QFETCH(int, window);
    QFETCH(QVector<int>, pieceSizes);
    TrendChart chart;
    chart.setWindowMinutes(window);
    const int id = chart.addSeries(QStringLiteral("AI 1"), true);
    const int other = chart.addSeries(QStringLiteral("AI 2"), true);
    for (int s = 0; s <= 280; s += 10) {
        if (s == 200)
            chart.addGap(at(195));
        chart.addSample(id, at(s), s < 200 ? 1.0 : 3.0);
        chart.addSample(other, at(s), -100.0 * (s < 100)); // leaves the 1 min window at 0
    }
    chart.refresh(at(300));

    QVector<int> sizes;
    for (const QVector<QPointF> &piece : chart.drawnSegments(id))
        sizes << piece.size();
    QCOMPARE(sizes, pieceSizes);
    QCOMPARE(chart.timeAxis()->max(), at(300));
    QCOMPARE(chart.timeAxis()->min(), at(300 - 60 * window));
    // A time of day on every tick, no two alike.
    const auto *axis = chart.timeAxis();
    QStringList labels;
    for (int tick = 0; tick < axis->tickCount(); ++tick)
        labels << at(300 - 60 * window * (1 - tick / (axis->tickCount() - 1.0)))
                      .toString(axis->format());
    QVERIFY2(labels.removeDuplicates() == 0 && !labels.join("").contains('-'),
             qPrintable(labels.join(' ')));
    // Autoscale: what the window shows, a margin, nothing from before the window.
    const double low = window >= 5 ? -100 : 0;
    const double high = 3;
    const double min = chart.valueAxis()->min(), max = chart.valueAxis()->max();
    QVERIFY2(min <= low && max >= high && max - min <= 2 * (high - low) + 2,
             qPrintable(QStringLiteral("%1..%2").arg(min).arg(max)));
}

void TestCalibrateDialog::trend_csvTimeOrderGapsAndQuoting()
{
    TrendChart chart;
    const int a = chart.addSeries(QStringLiteral("AI 1 (слот A)"));
    const int b = chart.addSeries(QStringLiteral("TMP 1; \"плата\""));
    chart.addSample(a, at(0), 4.25);
    chart.addSample(b, at(0.5), -12);
    chart.addGap(at(1));
    chart.addSample(a, at(1.5), 1e-3);
    const QByteArray expected = "\xEF\xBB\xBF"
                                "Время;Канал;Значение\r\n"
                                "2024-03-01 10:00:00.000;AI 1 (слот A);4,25\r\n"
                                "2024-03-01 10:00:00.500;\"TMP 1; \"\"плата\"\"\";-12\r\n"
                                "2024-03-01 10:00:01.000;AI 1 (слот A);\r\n"
                                "2024-03-01 10:00:01.000;\"TMP 1; \"\"плата\"\"\";\r\n"
                                "2024-03-01 10:00:01.500;AI 1 (слот A);0,001\r\n";
    QCOMPARE(QString::fromUtf8(chart.toCsv()), QString::fromUtf8(expected));
}

// However long the dialog stays open: what the longest window shows, at most MaxSamples.
void TestCalibrateDialog::trend_memoryBounded()
{
    TrendChart chart;
    const int id = chart.addSeries(QStringLiteral("AI 1"), true);
    for (qint64 t = 0; t <= 20 * 60000; t += 2000) // a slow poll: the last 15 min
        chart.addSample(id, T0.addMSecs(t), 1);
    QCOMPARE(chart.samples(id).size(), 451);
    for (qint64 t = 20 * 60000 + 100; t <= 40 * 60000; t += 100) // a fast one: the cap
        chart.addSample(id, T0.addMSecs(t), 1);
    QCOMPARE(chart.samples(id).size(), TrendChart::MaxSamples);
    QCOMPARE(chart.samples(id).last().time, T0.addMSecs(40 * 60000).toMSecsSinceEpoch());
}

QTEST_MAIN(TestCalibrateDialog)
#include "tst_calibratedialog.moc"
