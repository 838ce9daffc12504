// SPDX-License-Identifier: GPL-3.0-or-later
#include "trendchart.h"

#include "csvwriter.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace QtCharts;

namespace {

constexpr qint64 MinuteMs = 60 * 1000;

// Ticks lie a sixth of the window apart: seconds tell them apart up to 5
// minutes, minutes at 15.
QString timeFormat(int windowMinutes)
{
    return windowMinutes < 15 ? QStringLiteral("hh:mm:ss") : QStringLiteral("hh:mm");
}

QString decimal(double value)
{
    return QString::number(value, 'g', 7).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

TrendChart::TrendChart(QWidget *parent)
    : QWidget(parent)
    , m_chart(new QChart)
    , m_timeAxis(new QDateTimeAxis)
    , m_valueAxis(new QValueAxis)
{
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->setMargins(QMargins(2, 2, 2, 2));
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);
    m_timeAxis->setTickCount(7);
    m_timeAxis->setFormat(timeFormat(m_windowMinutes));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);
    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("seriesList"));
    m_list->setFixedWidth(ListWidth);
    connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        setSeriesShown(m_list->row(item), item->checkState() == Qt::Checked);
    });

    m_window = new QComboBox(this);
    m_window->setObjectName(QStringLiteral("windowBox"));
    for (int minutes : {1, 5, 15})
        m_window->addItem(QStringLiteral("%1 мин").arg(minutes), minutes);
    m_window->setCurrentIndex(m_window->findData(m_windowMinutes));
    connect(m_window, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this] { setWindowMinutes(m_window->currentData().toInt()); });
    m_pause = new QPushButton(QStringLiteral("Пауза"), this);
    m_pause->setObjectName(QStringLiteral("pauseButton"));
    m_pause->setCheckable(true);
    connect(m_pause, &QPushButton::toggled, this, &TrendChart::setPaused);
    auto *exportButton = new QPushButton(QStringLiteral("Экспорт в CSV…"), this);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    connect(exportButton, &QPushButton::clicked, this, &TrendChart::exportCsv);

    auto *controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("Окно:"), this));
    controls->addWidget(m_window);
    controls->addWidget(m_pause);
    controls->addStretch();
    controls->addWidget(exportButton);
    auto *right = new QVBoxLayout;
    right->addWidget(m_view);
    right->addLayout(controls);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    layout->addLayout(right);

    m_refreshTimer.setInterval(RefreshMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] {
        if (isVisible())
            refresh(QDateTime::currentDateTime());
    });
    m_refreshTimer.start();
    refresh(QDateTime::currentDateTime());
}

TrendChart::~TrendChart() = default;

int TrendChart::addSeries(const QString &name, bool shown)
{
    const int id = seriesCount();
    m_series.push_back(Series{name, shown, {}, {}});
    lineOf(id, 0)->setVisible(shown);
    auto *item = new QListWidgetItem(name);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
    item->setForeground(colorOf(id));
    const QSignalBlocker blocker(m_list);
    m_list->addItem(item);
    return id;
}

void TrendChart::setSeriesShown(int id, bool shown)
{
    if (id < 0 || id >= seriesCount() || m_series[id].shown == shown)
        return;
    m_series[id].shown = shown;
    if (QListWidgetItem *item = m_list->item(id)) {
        const QSignalBlocker blocker(m_list);
        item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
    }
    refresh(QDateTime::currentDateTime());
}

bool TrendChart::isSeriesShown(int id) const
{
    return id >= 0 && id < seriesCount() && m_series[id].shown;
}

void TrendChart::addSample(int id, const QDateTime &time, double value)
{
    if (id < 0 || id >= seriesCount() || !std::isfinite(value))
        return;
    Series &series = m_series[id];
    series.samples.push_back(Sample{time.toMSecsSinceEpoch(), value, false});
    trim(series, series.samples.back().time);
}

void TrendChart::addGap(const QDateTime &time)
{
    const qint64 at = time.toMSecsSinceEpoch();
    for (Series &series : m_series) {
        // One break is enough; a series with nothing before it needs none.
        if (series.samples.empty() || series.samples.back().gap)
            continue;
        series.samples.push_back(Sample{at, 0, true});
        trim(series, at);
    }
}

QVector<TrendChart::Sample> TrendChart::samples(int id) const
{
    if (id < 0 || id >= seriesCount())
        return {};
    const std::deque<Sample> &samples = m_series[id].samples;
    return QVector<Sample>(samples.begin(), samples.end());
}

void TrendChart::trim(Series &series, qint64 now)
{
    const qint64 oldest = now - MaxWindowMinutes * MinuteMs;
    while (!series.samples.empty()
           && (series.samples.front().time < oldest || series.samples.size() > MaxSamples))
        series.samples.pop_front();
}

void TrendChart::setWindowMinutes(int minutes)
{
    if ((minutes != 1 && minutes != 5 && minutes != 15) || minutes == m_windowMinutes)
        return;
    m_windowMinutes = minutes;
    {
        const QSignalBlocker blocker(m_window);
        m_window->setCurrentIndex(m_window->findData(minutes));
    }
    m_timeAxis->setFormat(timeFormat(minutes));
    refresh(QDateTime::currentDateTime());
}

void TrendChart::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    {
        const QSignalBlocker blocker(m_pause);
        m_pause->setChecked(paused);
    }
    if (!paused)
        refresh(QDateTime::currentDateTime());
}

void TrendChart::refresh(const QDateTime &now)
{
    if (m_paused)
        return;
    const qint64 to = now.toMSecsSinceEpoch();
    const qint64 from = to - m_windowMinutes * MinuteMs;
    double low = qInf();
    double high = -qInf();
    for (int id = 0; id < seriesCount(); ++id)
        draw(id, from, to, &low, &high);

    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(from), now);
    if (low > high) {
        m_valueAxis->setRange(0, 1);
        return;
    }
    // Whole steps of 1, 2, 2.5 or 5 times a power of ten, about five of them.
    const double span = high > low ? high - low : std::max(1.0, std::abs(high) * 0.1);
    const double raw = span / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * magnitude;
    for (double factor : {1.0, 2.0, 2.5, 5.0}) {
        if (factor * magnitude >= raw) {
            step = factor * magnitude;
            break;
        }
    }
    double min = std::floor(low / step) * step;
    double max = std::ceil(high / step) * step;
    if (max - min < step) {
        min -= step;
        max += step;
    }
    m_valueAxis->setRange(min, max);
    m_valueAxis->setTickCount(int(std::lround((max - min) / step)) + 1);
}

void TrendChart::draw(int id, qint64 from, qint64 to, double *low, double *high)
{
    Series &series = m_series[id];
    QVector<QVector<QPointF>> pieces;
    if (series.shown) {
        // The last sample before the window starts the line at its left edge.
        auto it = std::lower_bound(series.samples.begin(), series.samples.end(), from,
                                   [](const Sample &s, qint64 t) { return s.time < t; });
        if (it != series.samples.begin())
            --it;
        QVector<QPointF> piece;
        for (; it != series.samples.end() && it->time <= to; ++it) {
            if (it->gap) {
                if (!piece.isEmpty())
                    pieces << piece;
                piece.clear();
                continue;
            }
            piece << QPointF(it->time, it->value);
            if (it->time >= from) {
                *low = std::min(*low, it->value);
                *high = std::max(*high, it->value);
            }
        }
        if (!piece.isEmpty())
            pieces << piece;
    }
    lineOf(id, 0)->setVisible(series.shown);
    const int count = std::max(int(pieces.size()), int(series.lines.size()));
    for (int k = 0; k < count; ++k) {
        QLineSeries *line = lineOf(id, k);
        if (k < pieces.size()) {
            // A lone value between gaps is still seen.
            line->setPointsVisible(pieces.at(k).size() == 1);
            line->replace(pieces.at(k));
        } else if (line->count() > 0) {
            line->clear();
        }
    }
    if (QLegendMarker *marker = m_chart->legend()->markers(series.lines.first()).value(0))
        marker->setVisible(series.shown);
}

QLineSeries *TrendChart::lineOf(int id, int piece)
{
    QVector<QLineSeries *> &lines = m_series[id].lines;
    while (lines.size() <= piece) {
        auto *line = new QLineSeries;
        line->setName(m_series[id].name);
        line->setPen(QPen(colorOf(id), 2));
        m_chart->addSeries(line);
        line->attachAxis(m_timeAxis);
        line->attachAxis(m_valueAxis);
        // One legend entry per series: the pieces after a gap share the first one's.
        if (!lines.isEmpty()) {
            for (QLegendMarker *marker : m_chart->legend()->markers(line))
                marker->setVisible(false);
        }
        lines << line;
    }
    return lines.at(piece);
}

QVector<QVector<QPointF>> TrendChart::drawnSegments(int id) const
{
    QVector<QVector<QPointF>> segments;
    if (id < 0 || id >= seriesCount())
        return segments;
    for (const QLineSeries *line : m_series[id].lines) {
        if (line->isVisible() && line->count() > 0)
            segments << line->pointsVector();
    }
    return segments;
}

QColor TrendChart::colorOf(int id)
{
    static const QVector<QColor> colors{
        QColor(0x1f77b4), QColor(0xd62728), QColor(0x2ca02c), QColor(0xff7f0e), QColor(0x9467bd),
        QColor(0x8c564b), QColor(0xe377c2), QColor(0x7f7f7f), QColor(0xbcbd22), QColor(0x17becf)};
    return colors.at(id % colors.size());
}

QByteArray TrendChart::toCsv() const
{
    struct Line
    {
        qint64 time;
        int id;
        const Sample *sample;
    };
    std::vector<Line> lines;
    for (int id = 0; id < seriesCount(); ++id) {
        for (const Sample &s : m_series[id].samples)
            lines.push_back(Line{s.time, id, &s});
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const Line &a, const Line &b) { return a.time < b.time; });
    CsvWriter csv({QStringLiteral("Время"), QStringLiteral("Канал"), QStringLiteral("Значение")});
    for (const Line &line : lines) {
        csv.addRow({QDateTime::fromMSecsSinceEpoch(line.time).toString(
                        QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")),
                    m_series[line.id].name,
                    line.sample->gap ? QString() : decimal(line.sample->value)});
    }
    return csv.document();
}

void TrendChart::exportCsv()
{
    const QString fileName = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт в CSV"),
                                                          QString(), QStringLiteral("CSV (*.csv)"));
    if (fileName.isEmpty())
        return;
    QString error;
    if (!writeFileAtomically(fileName, toCsv(), &error)) {
        QMessageBox::warning(this, QStringLiteral("Внимание"),
                             QStringLiteral("Не удалось записать файл %1: %2")
                                 .arg(QDir::toNativeSeparators(fileName), error));
    }
}
