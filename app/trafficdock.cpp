// SPDX-License-Identifier: GPL-3.0-or-later
#include "trafficdock.h"

#include "csvwriter.h"
#include "recentfiles.h"
#include "trafficfiltermodel.h"
#include "trafficmodel.h"

#include <trafficrecorder.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int Functions[] = {1, 2, 3, 4, 5, 6, 15, 16};

} // namespace

TrafficDock::TrafficDock(TrafficRecorder *recorder, QWidget *parent)
    : QDockWidget(QStringLiteral("Обмен с модулем"), parent)
    , m_recorder(recorder)
    , m_model(new TrafficModel(recorder, this))
    , m_filter(new TrafficFilterModel(m_model, this))
    , m_table(new QTableView)
{
    setObjectName(QStringLiteral("trafficDock"));
    m_table->setObjectName(QStringLiteral("trafficTable"));
    m_table->setModel(m_filter);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    // Fixed row heights and column widths: ten thousand rows are never measured.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    QHeaderView *header = m_table->horizontalHeader();
    const int widths[TrafficModel::ColumnCount] = {80, 55, 190, 65, 130, 0, 80};
    for (int column = 0; column < TrafficModel::ColumnCount; ++column) {
        if (widths[column] > 0)
            header->resizeSection(column, widths[column]);
    }
    header->setSectionResizeMode(TrafficModel::Result, QHeaderView::Stretch);

    auto *contents = new QWidget;
    auto *layout = new QVBoxLayout(contents);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(buildFilters());
    layout->addWidget(m_table);
    setWidget(contents);

    // Stays at the newest row unless the user scrolled away from it.
    connect(m_filter, &QAbstractItemModel::rowsAboutToBeInserted, this, [this]() {
        const QScrollBar *bar = m_table->verticalScrollBar();
        m_atBottom = bar->value() == bar->maximum();
    });
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, &TrafficDock::followNewRows);
    // After the window has laid the shown dock out.
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            QTimer::singleShot(0, this, &TrafficDock::openAtUsefulHeight);
    });
}

void TrafficDock::setRecorder(TrafficRecorder *recorder)
{
    m_recorder = recorder;
    m_model->setRecorder(recorder);
}

QWidget *TrafficDock::buildFilters()
{
    auto *bar = new QWidget;
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);

    auto *address = new QSpinBox;
    address->setObjectName(QStringLiteral("trafficAddress"));
    address->setRange(0, 247);
    address->setSpecialValueText(QStringLiteral("все"));
    connect(address, QOverload<int>::of(&QSpinBox::valueChanged), m_filter,
            &TrafficFilterModel::setServerAddress);

    auto *function = new QComboBox;
    function->setObjectName(QStringLiteral("trafficFunction"));
    function->addItem(QStringLiteral("все"), 0);
    for (int code : Functions)
        function->addItem(TrafficExchange::functionName(code), code);
    connect(function, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this, function]() { m_filter->setFunction(function->currentData().toInt()); });

    auto *errorsOnly = new QCheckBox(QStringLiteral("Только ошибки"));
    errorsOnly->setObjectName(QStringLiteral("trafficErrorsOnly"));
    connect(errorsOnly, &QCheckBox::toggled, m_filter, &TrafficFilterModel::setErrorsOnly);

    auto *pause = new QPushButton(QStringLiteral("Пауза"));
    pause->setObjectName(QStringLiteral("trafficPause"));
    pause->setCheckable(true);
    connect(pause, &QPushButton::toggled, m_model, &TrafficModel::setPaused);

    auto *clear = new QPushButton(QStringLiteral("Очистить"));
    clear->setObjectName(QStringLiteral("trafficClear"));
    connect(clear, &QPushButton::clicked, this, [this]() {
        if (m_recorder)
            m_recorder->clear();
    });

    auto *save = new QPushButton(QStringLiteral("Экспорт в CSV..."));
    save->setObjectName(QStringLiteral("trafficExport"));
    connect(save, &QPushButton::clicked, this, &TrafficDock::chooseExportFile);

    row->addWidget(new QLabel(QStringLiteral("Адрес:")));
    row->addWidget(address);
    row->addWidget(new QLabel(QStringLiteral("Функция:")));
    row->addWidget(function);
    row->addWidget(errorsOnly);
    row->addStretch();
    row->addWidget(pause);
    row->addWidget(clear);
    row->addWidget(save);
    return bar;
}

void TrafficDock::followNewRows()
{
    if (m_atBottom)
        m_table->scrollToBottom();
}

void TrafficDock::openAtUsefulHeight()
{
    if (!isVisible())
        return;
    auto *window = qobject_cast<QMainWindow *>(parentWidget());
    if (window && !isFloating()) {
        growBy(window, missingHeight(window));
        // What the window's other parts cannot give, the window grows by.
        const int missing = missingHeight(window);
        if (missing > 0 && !window->isMaximized() && !window->isFullScreen()) {
            const QScreen *screen = window->screen();
            const int room
                = screen ? screen->availableGeometry().height() - window->frameGeometry().height()
                         : 0;
            window->resize(window->width(), window->height() + qBound(0, missing, room));
            growBy(window, missingHeight(window));
        }
        // A window with no room left (a small screen) keeps its own rows;
        // the monitor opens as a window of its own.
        const int stillMissing = missingHeight(window);
        if (stillMissing > 2 * m_table->verticalHeader()->defaultSectionSize())
            floatBeside(window, height() + stillMissing);
    }
    // Rows that came while it was closed: the newest shows, unless the user
    // had scrolled away from it.
    if (m_atBottom)
        QTimer::singleShot(0, m_table, &QTableView::scrollToBottom);
}

void TrafficDock::floatBeside(QMainWindow *window, int dockHeight)
{
    setFloating(true);
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    // Both on the screen: the window back within it, the monitor over its
    // upper part, where the connection is set, not over the rows it found.
    const QRect room = screen->availableGeometry();
    window->layout()->activate();
    window->resize(window->width(), qMin(window->height(), room.height()));
    setGeometry(QRect(window->x(), window->y(), window->width(), dockHeight).intersected(room));
}

int TrafficDock::missingHeight(QMainWindow *window) const
{
    window->layout()->activate();
    return OpenRows * m_table->verticalHeader()->defaultSectionSize()
           - m_table->viewport()->height();
}

void TrafficDock::growBy(QMainWindow *window, int missing)
{
    if (missing <= 0)
        return;
    // The panes beside it in its area give what they can spare.
    QList<QDockWidget *> docks{this};
    QList<int> heights{height() + missing};
    for (QDockWidget *other : window->findChildren<QDockWidget *>()) {
        if (other != this && other->isVisible() && !other->isFloating()
            && window->dockWidgetArea(other) == window->dockWidgetArea(this)) {
            docks << other;
            heights << qMax(other->minimumSizeHint().height(), other->height() - missing);
        }
    }
    window->resizeDocks(docks, heights, Qt::Vertical);
}

bool TrafficDock::exportCsv(const QString &fileName) const
{
    m_model->sync();
    CsvWriter csv(TrafficExchange::columnTitles());
    for (int row = 0; row < m_filter->rowCount(); ++row) {
        if (const TrafficExchange *exchange = m_filter->exchangeAt(row))
            csv.addRow(exchange->columnTexts());
    }
    return writeFileAtomically(fileName, csv.document());
}

void TrafficDock::chooseExportFile()
{
    const QString start = QDir(RecentFiles::lastFolder()).filePath(QStringLiteral("обмен.csv"));
    QString fileName = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт обмена"), start,
                                                    QStringLiteral("CSV (*.csv)"));
    if (fileName.isEmpty())
        return;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".csv");
    if (!exportCsv(fileName))
        QMessageBox::warning(
            this, QStringLiteral("Внимание"),
            QStringLiteral("Не удалось записать файл %1").arg(QDir::toNativeSeparators(fileName)));
}
