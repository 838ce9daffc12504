#include "calibratedialog.h"

#include "ui_calibratedialog.h"

#include "channel.h"
#include "codes.h"
#include "delegate.h"
#include "model.h"
#include "module.h"
#include "property.h"
#include "submodule.h"

#include <requesterror.h>

#include <QHeaderView>
#include <QLoggingCategory>
#include <QModbusClient>
#include <QModbusReply>

Q_LOGGING_CATEGORY(lcCalibrate, "brk.calibrate")

namespace {

// A register read converted by the parameter's value type; invalid for
// types whose reads are not stored (Bool, enumerations).
QVariant convertRead(int valueType, const QVector<quint16> &values)
{
    switch (valueType) {
    case ValueInt16:
        return QVariant(int(qint16(values.at(0))));
    case ValueUInt16:
        return QVariant(int(values.at(0)));
    case ValueInt32:
        return QVariant(qint32(quint32(values.at(1)) << 16 | values.at(0)));
    case ValueFloat32:
        return QVariant(wordsToFloat(values.at(0), values.at(1)));
    default:
        return QVariant();
    }
}

QString channelLabel(const Property *p)
{
    const Device *channel = p->device();
    if (!channel)
        return QString();
    return channelTypeName(channel->value(ChannelParam::Type).toInt()) + QLatin1Char(' ')
           + QString::number(channel->value(ChannelParam::Number).toInt() + 1);
}

} // namespace

CalibrateDialog::CalibrateDialog(Module *module, QModbusClient *client, int serverAddress,
                                 QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::CalibrateDialog)
    , m_module(module)
    , m_client(client)
    , m_serverAddress(serverAddress)
{
    ui->setupUi(this);
    // A title bar without close buttons: the dialog is left with "Выход".
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Режим калибровки"));
    setFixedSize(800, 480);

    if (m_client) {
        m_savedTimeout = m_client->timeout();
        m_savedRetries = m_client->numberOfRetries();
        m_client->setTimeout(ClientTimeoutMs);
        m_client->setNumberOfRetries(ClientRetries);
    } else {
        qCDebug(lcCalibrate) << "calibration without a Modbus client: nothing is polled";
    }

    collectParameters();
    setUpView();

    m_stepTimer.setSingleShot(true);
    m_stepTimer.setInterval(StepMs);
    connect(&m_stepTimer, &QTimer::timeout, this, &CalibrateDialog::sendNextRead);
    m_pollTimer.setInterval(PollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &CalibrateDialog::readProperty);
    m_pollTimer.start();
}

CalibrateDialog::~CalibrateDialog()
{
    finish();
    qCDebug(lcCalibrate) << "~CalibrateDialog()";
}

void CalibrateDialog::collectParameters()
{
    if (!m_module)
        return;
    for (Submodule *submodule : m_module->submodules()) {
        for (Channel *channel : submodule->channels()) {
            for (Property *p : channel->properties()) {
                if (p->address() < 0)
                    continue;
                connect(p, &Property::valueChange, this, [this, p] { onValueChange(p); });
                m_polled.append(p);
                m_markAtOpen.insert(p, p->isChanged());
            }
        }
    }
}

void CalibrateDialog::setUpView()
{
    m_model = new Model(m_module, this);
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

void CalibrateDialog::on_pushButton_clicked()
{
    close();
}

void CalibrateDialog::done(int result)
{
    finish();
    QDialog::done(result);
}

void CalibrateDialog::readProperty()
{
    // Replies are slower than the timer: let the running pass end first.
    if (m_finished || isPassRunning() || m_polled.isEmpty())
        return;
    m_passIndex = 0;
    sendNextRead();
}

void CalibrateDialog::sendNextRead()
{
    if (m_passIndex < 0)
        return;
    if (m_passIndex >= m_polled.size()) {
        m_passIndex = -1;
        return;
    }
    sendRead(m_polled.at(m_passIndex++));
    m_stepTimer.start();
}

void CalibrateDialog::sendRead(Property *p)
{
    if (!m_client)
        return;
    const QModbusDataUnit unit(QModbusDataUnit::RegisterType(p->registerType()), p->address(),
                               quint16(registerCountOfValueType(p->valueType())));
    QModbusReply *reply = m_client->sendReadRequest(unit, m_serverAddress);
    if (!reply) {
        qCDebug(lcCalibrate) << m_client->errorString();
        return;
    }
    watch(reply, p, false);
}

void CalibrateDialog::sendWrite(Property *p)
{
    if (!m_client)
        return;
    const QModbusDataUnit unit(QModbusDataUnit::RegisterType(p->registerType()), p->address(),
                               QVector<quint16>{quint16(p->value().toInt())});
    QModbusReply *reply = m_client->sendWriteRequest(unit, m_serverAddress);
    if (!reply) {
        qCDebug(lcCalibrate) << m_client->errorString();
        return;
    }
    watch(reply, p, true);
}

void CalibrateDialog::watch(QModbusReply *reply, Property *p, bool write)
{
    if (reply->isFinished()) {
        delete reply;
        return;
    }
    connect(reply, &QModbusReply::finished, this,
            [this, reply, p, write] { handleReply(reply, p, write); });
    // The reply goes when it ends, even when the dialog is gone by then.
    connect(reply, &QModbusReply::finished, reply, &QObject::deleteLater);
    if (!write)
        m_pendingReads.append(reply);
}

void CalibrateDialog::handleReply(QModbusReply *reply, Property *p, bool write)
{
    if (m_finished)
        return;
    m_pendingReads.removeOne(reply);
    if (reply->error() == QModbusDevice::ProtocolError) {
        const int code = exceptionCodeOf(reply->rawResult());
        qCDebug(lcCalibrate).noquote()
            << QStringLiteral("Ошибка запроса : %1 (Mobus exception: 0x%2)")
                   .arg(reply->errorString())
                   .arg(code, 0, 16);
    } else if (reply->error() != QModbusDevice::NoError) {
        qCDebug(lcCalibrate).noquote() << QStringLiteral("Ошибка запроса: %1 (code: 0x%2)")
                                              .arg(reply->errorString())
                                              .arg(int(reply->error()), 0, 16);
    } else if (write) {
        qCDebug(lcCalibrate) << "write success";
    } else {
        const QModbusDataUnit result = reply->result();
        const int count = registerCountOfValueType(p->valueType());
        // A reply too short for the value (on a serial line, a late answer to
        // another read of the same function) is not stored.
        if (result.startAddress() == p->address() && int(result.valueCount()) >= count)
            storeRead(p, result.values());
        else
            qCDebug(lcCalibrate) << "reply does not answer the read of" << p->name()
                                 << p->address();
    }
    m_pollTimer.start();
}

void CalibrateDialog::storeRead(Property *p, const QVector<quint16> &values)
{
    const QVariant value = convertRead(p->valueType(), values);
    if (!m_baseline.contains(p))
        m_baseline.insert(p, value.isValid() ? value : QVariant(int(values.at(0))));
    if (!value.isValid())
        return;

    // What the unit holds is no edit: no signal, the edit mark stays as it was.
    const bool wasChanged = p->isChanged();
    const bool wasBlocked = p->blockSignals(true);
    p->setValue(value);
    p->setChanged(wasChanged);
    p->blockSignals(wasBlocked);
    m_model->parameterChanged(p);
}

void CalibrateDialog::onValueChange(Property *p)
{
    if (m_finished && !m_restoring)
        return;
    if (!m_restoring && !m_edited.contains(p))
        m_edited.append(p);
    if (p->valueType() == ValueInt32 || p->valueType() == ValueFloat32) {
        qCDebug(lcCalibrate) << "Проверить!";
        return;
    }
    sendWrite(p);
}

void CalibrateDialog::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    // An editor still open is dropped unsaved: an edit that arrived now
    // could be neither written nor taken back.
    ui->treeView->reset();
    m_pollTimer.stop();
    m_stepTimer.stop();
    m_passIndex = -1;
    for (const QPointer<QModbusReply> &reply : qAsConst(m_pendingReads))
        delete reply.data();
    m_pendingReads.clear();

    // The client's own settings first, so the restoring writes get its usual patience.
    if (m_client) {
        m_client->setTimeout(m_savedTimeout);
        m_client->setNumberOfRetries(m_savedRetries);
    }
    restoreEdits();
}

void CalibrateDialog::restoreEdits()
{
    m_restoring = true;
    for (Property *p : qAsConst(m_polled)) {
        if (!m_edited.contains(p))
            continue;
        const auto baseline = m_baseline.constFind(p);
        if (baseline == m_baseline.constEnd()) {
            const QString text
                = QStringLiteral("Параметр \"%1\" (%2) изменен до первого чтения из модуля: "
                                 "исходное значение неизвестно, оно не восстановлено")
                      .arg(p->name(), channelLabel(p));
            qCWarning(lcCalibrate).noquote() << text;
            emit notice(text);
            continue;
        }
        // A value that differs is written back through onValueChange().
        p->setValue(*baseline);
        p->setChanged(m_markAtOpen.value(p));
    }
    m_restoring = false;
}
