// The trend chart on its own: what it keeps, what it draws, what it saves.

#include "trendchart.h"

#include <QComboBox>
#include <QDateTimeAxis>
#include <QListWidget>
#include <QPushButton>
#include <QValueAxis>
#include <QtTest>

namespace {

const QDateTime T0 = QDateTime(QDate(2024, 3, 1), QTime(10, 0, 0));

QDateTime at(double seconds)
{
    return T0.addMSecs(qint64(seconds * 1000));
}

} // namespace

class TestTrendChart : public QObject
{
    Q_OBJECT

private slots:
    void memory_boundedByLongestWindowAndCount_data();
    void memory_boundedByLongestWindowAndCount();
    void drawing_gapBreaksLineAndWindowCuts_data();
    void drawing_gapBreaksLineAndWindowCuts();
    void pause_freezesPictureNotData();
    void controls_tickWindowAndPause();
    void csv_timeOrderGapsAndQuoting();
};

void TestTrendChart::memory_boundedByLongestWindowAndCount_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("kept");
    QTest::newRow("slow poll, 20 min: 15 min kept") << 2000 << 20 << 451;
    QTest::newRow("fast feed, 20 min: count cap") << 100 << 20 << TrendChart::MaxSamples;
    QTest::newRow("short run: all kept") << 500 << 1 << 121;
}

void TestTrendChart::memory_boundedByLongestWindowAndCount()
{
    QFETCH(int, intervalMs);
    QFETCH(int, minutes);
    QFETCH(int, kept);
    TrendChart chart;
    const int id = chart.addSeries(QStringLiteral("AI 1"), true);
    for (qint64 t = 0; t <= minutes * 60000; t += intervalMs)
        chart.addSample(id, T0.addMSecs(t), double(t % 7));
    const QVector<TrendChart::Sample> samples = chart.samples(id);
    QCOMPARE(samples.size(), kept);
    QCOMPARE(samples.last().time, T0.addMSecs(minutes * 60000).toMSecsSinceEpoch());
}

void TestTrendChart::drawing_gapBreaksLineAndWindowCuts_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QVector<int>>("pieceSizes");
    // Samples every 10 s from 0 to 280 s, a gap at 195 s; drawn at 300 s.
    QTest::newRow("5 min: two pieces") << 5 << true << QVector<int>{20, 9};
    // The window starts at 240 s; the sample at 230 s starts the line at the edge.
    QTest::newRow("1 min: after the gap only") << 1 << true << QVector<int>{6};
    QTest::newRow("unticked: nothing") << 5 << false << QVector<int>{};
}

void TestTrendChart::drawing_gapBreaksLineAndWindowCuts()
{
    QFETCH(int, window);
    QFETCH(bool, shown);
    QFETCH(QVector<int>, pieceSizes);
    TrendChart chart;
    chart.setWindowMinutes(window);
    const int id = chart.addSeries(QStringLiteral("AI 1"), shown);
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
    // Autoscale: what the window shows, a margin, nothing from before the window.
    const double low = window == 5 ? -100 : 0;
    const double high = shown ? 3 : 0;
    const double min = chart.valueAxis()->min(), max = chart.valueAxis()->max();
    QVERIFY2(min <= low && max >= high && max - min <= 2 * (high - low) + 2,
             qPrintable(QStringLiteral("%1..%2").arg(min).arg(max)));
}

void TestTrendChart::pause_freezesPictureNotData()
{
    TrendChart chart;
    const int id = chart.addSeries(QStringLiteral("AI 1"), true);
    chart.addSample(id, at(0), 1.0);
    chart.refresh(at(1));
    chart.setPaused(true);
    chart.addSample(id, at(2), 2.0);
    chart.refresh(at(3));
    QCOMPARE(chart.timeAxis()->max(), at(1));
    QCOMPARE(chart.drawnSegments(id).value(0).size(), 1);
    QCOMPARE(chart.samples(id).size(), 2);
}

void TestTrendChart::controls_tickWindowAndPause()
{
    TrendChart chart;
    chart.addSeries(QStringLiteral("AI 1"));
    const int id = chart.addSeries(QStringLiteral("AI 2"));
    chart.findChild<QListWidget *>("seriesList")->item(id)->setCheckState(Qt::Checked);
    QVERIFY(chart.isSeriesShown(id) && !chart.isSeriesShown(0));
    auto *window = chart.findChild<QComboBox *>("windowBox");
    window->setCurrentIndex(window->findData(15));
    QCOMPARE(chart.windowMinutes(), 15);
    chart.findChild<QPushButton *>("pauseButton")->click();
    QVERIFY(chart.isPaused());
}

void TestTrendChart::csv_timeOrderGapsAndQuoting()
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

QTEST_MAIN(TestTrendChart)
#include "tst_trendchart.moc"
