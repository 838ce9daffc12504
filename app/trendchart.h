// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TRENDCHART_H
#define TRENDCHART_H

#include <QDateTime>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <deque>

class QComboBox;
class QListWidget;
class QPushButton;

namespace QtCharts {
class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;
} // namespace QtCharts

// Live values over time: a line per ticked series over the last 1, 5 or 15
// minutes, the time axis running with the clock, the value axis fitted to
// what is shown. A gap (the unit did not answer) breaks the line. Each series
// keeps only what the longest window shows, at most MaxSamples, so memory
// stays bounded however long the chart runs. Pausing freezes the picture;
// samples still arrive. The data can be saved as CSV.
//
//     const int id = chart->addSeries(QStringLiteral("AI 1 (слот B)"));
//     chart->addSample(id, time, 4.02);
//     chart->addGap(time); // every series
class TrendChart : public QWidget
{
    Q_OBJECT

public:
    struct Sample
    {
        qint64 time = 0; // ms since the epoch
        double value = 0;
        bool gap = false; // no value from here to the next sample
    };

    explicit TrendChart(QWidget *parent = nullptr);
    ~TrendChart() override;

    // A new series, unticked unless `shown`; its id is its position.
    int addSeries(const QString &name, bool shown = false);
    int seriesCount() const { return int(m_series.size()); }
    void setSeriesShown(int id, bool shown);
    bool isSeriesShown(int id) const;

    void addSample(int id, const QDateTime &time, double value);
    // A break in every series at `time`.
    void addGap(const QDateTime &time);
    QVector<Sample> samples(int id) const;

    // 1, 5 or 15; other values are ignored.
    void setWindowMinutes(int minutes);
    void setPaused(bool paused);

    // Redraws up to `now` (the refresh timer passes the clock's time).
    void refresh(const QDateTime &now);
    // Unbroken stretches drawn for a series: the line pieces between gaps.
    QVector<QVector<QPointF>> drawnSegments(int id) const;
    QtCharts::QChart *chart() const { return m_chart; }
    QtCharts::QValueAxis *valueAxis() const { return m_valueAxis; }
    QtCharts::QDateTimeAxis *timeAxis() const { return m_timeAxis; }

    // "Время;Канал;Значение", one line per sample in time order, a gap as an
    // empty value; decimal comma.
    QByteArray toCsv() const;

    static constexpr int MaxWindowMinutes = 15;
    static constexpr int MaxSamples = 4096;
    static constexpr int RefreshMs = 1000;
    static constexpr int ListWidth = 190;

private:
    struct Series
    {
        QString name;
        bool shown = false;
        std::deque<Sample> samples;
        // Line pieces on the chart; the first carries the legend entry.
        QVector<QtCharts::QLineSeries *> lines;
    };

    void trim(Series &series, qint64 now);
    void draw(int id, qint64 from, qint64 to, double *low, double *high);
    QtCharts::QLineSeries *lineOf(int id, int piece);
    void exportCsv();
    static QColor colorOf(int id);

    std::vector<Series> m_series;
    int m_windowMinutes = 5;
    bool m_paused = false;
    QTimer m_refreshTimer;

    QtCharts::QChart *m_chart;           // owned by the view
    QtCharts::QChartView *m_view;        // child
    QtCharts::QDateTimeAxis *m_timeAxis; // owned by the chart
    QtCharts::QValueAxis *m_valueAxis;   // owned by the chart
    QListWidget *m_list;                 // child
    QComboBox *m_window;                 // child
    QPushButton *m_pause;                // child
};

#endif // TRENDCHART_H
