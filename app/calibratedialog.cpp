// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibratedialog.h"

#include "ui_calibratedialog.h"

#include "applogging.h"
#include "calibrationdelegate.h"
#include "calibrationmodel.h"
#include "trendchart.h"
#include "windowjournal.h"

#include <calibrationpoller.h>
#include <channel.h>
#include <codes.h>
#include <property.h>
#include <submodule.h>

#include <QHeaderView>
#include <QPointer>
#include <QScrollBar>

CalibrateDialog::CalibrateDialog(Module *module, QModbusClient *client, int serverAddress,
                                 QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::CalibrateDialog)
{
    ui->setupUi(this);
    // A title bar without close buttons: the dialog is left with "Выход".
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Режим калибровки"));
    ui->labelNoAnswer->hide();

    m_poller = new CalibrationPoller(module, client, serverAddress, this);
    setUpView(module);
    setUpTrend();
    connect(m_poller, &CalibrationPoller::valueStored, m_model,
            [this](Property *p) { m_model->parameterChanged(p); });
    connect(m_poller, &CalibrationPoller::valueStored, m_trend,
            [this](Property *p, const QVariant &, const QDateTime &time) {
                const int id = m_trendSeries.value(p, -1);
                if (id >= 0)
                    m_trend->addSample(id, time, p->displayValue().toDouble());
            });
    connect(m_poller, &CalibrationPoller::staleChanged, this, &CalibrateDialog::showStale);
    connect(m_poller, &CalibrationPoller::notice, this, &CalibrateDialog::notice);
    watchWrites(module, client, serverAddress);
    m_poller->start();
}

void CalibrateDialog::watchWrites(Module *module, QModbusClient *client, int serverAddress)
{
    // The writes that take edits back on closing end after the dialog: a
    // journal failure then goes to the log only.
    const QPointer<CalibrateDialog> self(this);
    const auto tell = [self](const QString &text) {
        if (self)
            emit self->notice(text);
    };
    connect(m_poller, &CalibrationPoller::writeSent, this,
            [module, client, serverAddress, tell](Property *p, const QVariant &before,
                                                  QModbusReply *reply) {
                WindowJournal::watchCalibrationWrite(client, serverAddress, *module, *p, before,
                                                     reply, tell);
            });
}

CalibrateDialog::~CalibrateDialog()
{
    finish();
    qCDebug(lcApp) << "~CalibrateDialog()";
}

QList<Property *> CalibrateDialog::polledParameters() const
{
    return m_poller->polledParameters();
}

bool CalibrateDialog::isPassRunning() const
{
    return m_poller->isPassRunning();
}

void CalibrateDialog::setUpView(Module *module)
{
    m_model = new CalibrationModel(module, this);
    QTreeView *view = ui->treeView;
    view->setModel(m_model);
    view->setItemDelegate(new CalibrationDelegate(view));
    view->setEditTriggers(QAbstractItemView::AllEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectItems);
    QHeaderView *header = view->header();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setStretchLastSection(true);
    view->expandAll();
    // The columns before the last take what their texts need; the last one
    // gets the rest, at least its header's width, or the dialog grows.
    header->resizeSections(QHeaderView::ResizeToContents);
    int needed = header->sectionSizeHint(header->count() - 1);
    for (int column = 0; column + 1 < header->count(); ++column)
        needed += header->sectionSize(column);
    needed += 2 * view->frameWidth() + view->verticalScrollBar()->sizeHint().width()
              + ui->verticalLayout->contentsMargins().left()
              + ui->verticalLayout->contentsMargins().right();
    setFixedSize(qMax(DialogWidth, needed), DialogHeight);
}

void CalibrateDialog::setUpTrend()
{
    m_trend = new TrendChart(this);
    m_trend->setObjectName(QStringLiteral("trendChart"));
    m_trend->setFixedHeight(TrendHeight);
    ui->verticalLayout->insertWidget(1, m_trend);
    // One series per engineering value in the table: board, slot, input or output.
    for (Property *p : m_poller->polledParameters()) {
        const QModelIndex cell = m_model->indexOf(p);
        const auto *board = qobject_cast<const Submodule *>(p->device()->parent());
        if (p->name() != ChannelParam::Value || !cell.isValid() || !board)
            continue;
        const Device *channel = p->device();
        const QString name = QStringLiteral("%1 %2: %3 %4")
                                 .arg(submoduleTypeName(board->value(SubmoduleParam::Type).toInt()),
                                      slotLetter(board->value(SubmoduleParam::Slot).toInt()),
                                      channel->value(ChannelParam::Type).toInt() == TypeAnalogOutput
                                          ? QStringLiteral("выход")
                                          : QStringLiteral("вход"))
                                 .arg(channel->value(ChannelParam::Number).toInt() + 1);
        m_trendSeries.insert(p, m_trend->addSeries(name, m_trendSeries.isEmpty()));
    }
}

void CalibrateDialog::showStale(bool stale)
{
    // Nothing is known from here until the unit answers again.
    if (stale)
        m_trend->addGap(QDateTime::currentDateTime());
    m_model->setStale(stale);
    ui->labelNoAnswer->setVisible(stale);
}

void CalibrateDialog::on_pushButton_clicked()
{
    close();
}

void CalibrateDialog::onValueChange()
{
    if (auto *p = qobject_cast<Property *>(sender()))
        m_poller->onValueChange(p);
}

void CalibrateDialog::readProperty()
{
    m_poller->readProperty();
}

void CalibrateDialog::done(int result)
{
    finish();
    QDialog::done(result);
}

void CalibrateDialog::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    // An editor still open is dropped unsaved: an edit that arrived now
    // could be neither written nor taken back.
    ui->treeView->reset();
    m_poller->finish();
}
