#include "calibratedialog.h"

#include "ui_calibratedialog.h"

#include "applogging.h"
#include "delegate.h"
#include "model.h"

#include <calibrationpoller.h>
#include <property.h>

#include <QHeaderView>

CalibrateDialog::CalibrateDialog(Module *module, QModbusClient *client, int serverAddress,
                                 QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::CalibrateDialog)
{
    ui->setupUi(this);
    // A title bar without close buttons: the dialog is left with "Выход".
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Режим калибровки"));
    setFixedSize(800, 480);
    ui->labelNoAnswer->hide();

    m_poller = new CalibrationPoller(module, client, serverAddress, this);
    setUpView(module);
    connect(m_poller, &CalibrationPoller::valueStored, m_model,
            [this](Property *p) { m_model->parameterChanged(p); });
    connect(m_poller, &CalibrationPoller::staleChanged, this, &CalibrateDialog::showStale);
    connect(m_poller, &CalibrationPoller::notice, this, &CalibrateDialog::notice);
    m_poller->start();
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
    m_model = new Model(module, this);
    QTreeView *view = ui->treeView;
    view->setModel(m_model);
    view->setItemDelegate(new Delegate(view));
    view->setEditTriggers(QAbstractItemView::AllEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectItems);
    view->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    view->header()->resizeSection(1, 250);
    view->header()->setStretchLastSection(true);
    view->expandAll();
}

void CalibrateDialog::showStale(bool stale)
{
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
