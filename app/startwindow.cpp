// SPDX-License-Identifier: GPL-3.0-or-later
#include "startwindow.h"
#include "ui_startwindow.h"

#include "appsettings.h"
#include "commandline.h"
#include "aboutdialog.h"
#include "mainwindow.h"
#include "modeflags.h"
#include "plantwindow.h"
#include "trafficdock.h"
#include "windowjournal.h"

#include <codes.h>
#include <ipv4address.h>
#include <requesterror.h>
#include <typeresponse.h>

#include "applogging.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QModbusRtuSerialMaster>
#include <QModbusTcpClient>
#include <QNetworkProxy>
#include <QPushButton>
#include <QSpinBox>
#include <QRegularExpressionValidator>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QStatusBar>
#include <QTcpSocket>

#include <algorithm>
#include <QUrl>

namespace {

const QString WarningTitle = QStringLiteral("Внимание");

// 35 blanks between the two sentences, as the unit's documentation shows it.
const QString NoUnitsText = QStringLiteral(
    "Устройства не обнаружены. Проверьте подключение и повторите поиск."
    "                                   "
    "Для более подробного поиска включите дополнительную задержку в параметрах порта.");

QLabel *cellLabel(const QString &text)
{
    return new QLabel(text);
}

// Remembered fields of the window.
const QString TabKey = QStringLiteral("start/tab");
const QString IpKey = QStringLiteral("start/ip");
const QString TcpPortKey = QStringLiteral("start/tcpPort");
const QString SerialPortKey = QStringLiteral("start/serialPort");
const QString BaudKey = QStringLiteral("start/baud");
const QString ParityKey = QStringLiteral("start/parity");
const QString StopBitsKey = QStringLiteral("start/stopBits");
const QString FirstAddressKey = QStringLiteral("start/firstAddress");
const QString LastAddressKey = QStringLiteral("start/lastAddress");
const QString RangeModeKey = QStringLiteral("start/rangeMode");
const QString FirstUnitIdKey = QStringLiteral("start/firstUnitId");
const QString LastUnitIdKey = QStringLiteral("start/lastUnitId");
const QString UnitIdRangeModeKey = QStringLiteral("start/unitIdRangeMode");

// Shows the field of the last address (range) or hides it (one address).
void showRange(QPushButton *button, QSpinBox *last, bool range)
{
    button->setText(range ? QStringLiteral("-") : QStringLiteral("+"));
    last->setVisible(range);
}

} // namespace

const char *const StartWindow::DefaultIp = "192.168.1.99";

StartWindow::StartWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::StartWindow>())
{
    qRegisterMetaType<QVector<quint16>>("QVector<quint16>");
    registerTypeResponseMetaType();
    qRegisterMetaType<TypeChannel>("TypeChannel");

    ui->setupUi(this);
    ui->mainToolBar->hide();
    ui->progressBar->hide();
    ui->btnOnline->setEnabled(false);
    ui->tabWidget->setCurrentIndex(0);
    ui->tableWidget->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableWidget->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->tableWidget->horizontalHeader()->setHighlightSections(false);
    connect(ui->tableWidget, &FoundUnitsTable::itemClick, this, &StartWindow::on_btnOnline_clicked);

    fillPortParameters();
    ui->leIp->setValidator(new QRegularExpressionValidator(ipv4AddressExpression(), this));

    on_btnDefault_clicked();
    on_btnDefaultEthernet_clicked();
    ui->leLastSlave->hide();
    on_tabWidget_currentChanged(0);

    connect(ui->actionAboutProgram, &QAction::triggered, this, &StartWindow::onActionAboutProgram);
    addTrafficMonitor();
    auto *fileMenu = new QMenu(QStringLiteral("Файл"), this);
    PlantWindow::addMenuEntry(fileMenu, this);
    menuBar()->insertMenu(menuBar()->actions().value(0), fileMenu);
    PlantWindow::addFoundUnitsAction(ui->tableWidget, [this](int row) {
        return WindowJournal::targetOf(m_client, m_serverAddresses.value(row));
    });
    // Follows the state, not only the user's clicks, so the defaults button
    // cannot leave "Вкл" on an unchecked box.
    connect(ui->checkBox, &QCheckBox::toggled, this, [this](bool checked) {
        ui->checkBox->setText(checked ? QStringLiteral("Вкл") : QStringLiteral("Выкл"));
    });

    connect(&m_scanner, &DiscoveryScanner::unitFound, this, &StartWindow::addUnit);
    connect(&m_scanner, &DiscoveryScanner::addressDone, this, &StartWindow::onAddressDone);
    connect(&m_scanner, &DiscoveryScanner::stopped, ui->progressBar, &QWidget::hide);
    connect(&m_scanner, &DiscoveryScanner::sendFailed, ui->labelError, &QLabel::setText);
    connect(&m_scanner, &DiscoveryScanner::unitProbed, this, &StartWindow::onUnitProbed);
    connect(&m_scanner, &DiscoveryScanner::probeFailed, ui->labelError, &QLabel::setText);
    connect(&m_keepAlive, &KeepAlive::sendFailed, ui->labelError, &QLabel::setText);
    loadSettings();
}

StartWindow::~StartWindow()
{
    saveSettings();
    // A main window still open goes first, while the client it borrows lives.
    delete m_mainWindow.data();
    // The client dies with the window's children, after the form: its last
    // state change must not reach widgets that are gone.
    if (m_client)
        disconnect(m_client, nullptr, this, nullptr);
    m_scanner.setClient(nullptr);
    m_keepAlive.setClient(nullptr);
}

void StartWindow::fillPortParameters()
{
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        ui->boxPortName->addItem(info.portName());

    for (const QString &baud : baudRateList())
        ui->baudRateBox->addItem(baud, baud.toInt());

    ui->parityBox->addItem(QStringLiteral("Нет"), int(QSerialPort::NoParity));
    ui->parityBox->addItem(QStringLiteral("Чет"), int(QSerialPort::EvenParity));
    ui->parityBox->addItem(QStringLiteral("Нечет"), int(QSerialPort::OddParity));
    ui->parityBox->addItem(QStringLiteral("Mark"), int(QSerialPort::MarkParity));
    ui->parityBox->addItem(QStringLiteral("Space"), int(QSerialPort::SpaceParity));

    ui->stopBitsBox->addItem(QStringLiteral("1"), int(QSerialPort::OneStop));
    ui->stopBitsBox->addItem(QStringLiteral("1.5"), int(QSerialPort::OneAndHalfStop));
    ui->stopBitsBox->addItem(QStringLiteral("2"), int(QSerialPort::TwoStop));
}

void StartWindow::addTrafficMonitor()
{
    // The monitor opened below leaves the found units a few rows.
    QTableWidget *units = ui->tableWidget;
    units->setMinimumHeight(units->horizontalHeader()->sizeHint().height() + 2 * units->frameWidth()
                            + MinUnitRows * units->verticalHeader()->defaultSectionSize());
    auto *dock = new TrafficDock(&m_recorder, this);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->hide();
    QAction *toggle = dock->toggleViewAction();
    toggle->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    auto *viewMenu = new QMenu(QStringLiteral("Вид"), this);
    viewMenu->addAction(toggle);
    menuBar()->insertMenu(ui->menu->menuAction(), viewMenu);
}

void StartWindow::selectByData(QComboBox *box, const QVariant &data)
{
    const int index = data.isValid() ? box->findData(data.toInt()) : -1;
    if (index >= 0)
        box->setCurrentIndex(index);
}

void StartWindow::loadSettings()
{
    const QString serialPort = AppSettings::value(SerialPortKey).toString();
    if (!serialPort.isEmpty())
        ui->boxPortName->setCurrentText(serialPort);
    selectByData(ui->baudRateBox, AppSettings::value(BaudKey));
    selectByData(ui->parityBox, AppSettings::value(ParityKey));
    selectByData(ui->stopBitsBox, AppSettings::value(StopBitsKey));

    const QString ip = AppSettings::value(IpKey).toString();
    if (!ip.isEmpty()) {
        ui->leIp->setText(ip);
        if (!ui->leIp->hasAcceptableInput())
            ui->leIp->setText(QString::fromLatin1(DefaultIp));
    }
    const int port = AppSettings::value(TcpPortKey).toInt();
    if (port >= 1 && port <= 65535)
        ui->lePort->setText(QString::number(port));

    ui->leStartSlave->setValue(
        AppSettings::value(FirstAddressKey, ui->leStartSlave->value()).toInt());
    ui->leLastSlave->setValue(AppSettings::value(LastAddressKey, ui->leLastSlave->value()).toInt());
    if (AppSettings::value(RangeModeKey).toInt() == 1 && m_rangeMode == 0)
        on_btnHide_clicked();
    ui->leStartUnitId->setValue(
        AppSettings::value(FirstUnitIdKey, ui->leStartUnitId->value()).toInt());
    ui->leLastUnitId->setValue(
        AppSettings::value(LastUnitIdKey, ui->leLastUnitId->value()).toInt());
    if (AppSettings::value(UnitIdRangeModeKey).toInt() == 1 && m_unitIdRangeMode == 0)
        on_btnHideUnitId_clicked();
    // Last: a tab change re-creates the client for it.
    if (AppSettings::value(TabKey).toInt() == 1)
        ui->tabWidget->setCurrentIndex(1);
}

void StartWindow::saveSettings() const
{
    AppSettings::setValue(TabKey, ui->tabWidget->currentIndex());
    AppSettings::setValue(IpKey, ui->leIp->text());
    AppSettings::setValue(TcpPortKey, ui->lePort->text().toInt());
    AppSettings::setValue(SerialPortKey, ui->boxPortName->currentText());
    AppSettings::setValue(BaudKey, ui->baudRateBox->currentData());
    AppSettings::setValue(ParityKey, ui->parityBox->currentData());
    AppSettings::setValue(StopBitsKey, ui->stopBitsBox->currentData());
    AppSettings::setValue(FirstAddressKey, ui->leStartSlave->value());
    AppSettings::setValue(LastAddressKey, ui->leLastSlave->value());
    AppSettings::setValue(RangeModeKey, m_rangeMode);
    AppSettings::setValue(FirstUnitIdKey, ui->leStartUnitId->value());
    AppSettings::setValue(LastUnitIdKey, ui->leLastUnitId->value());
    AppSettings::setValue(UnitIdRangeModeKey, m_unitIdRangeMode);
}

void StartWindow::applyCommandLine(const CommandLine &commandLine)
{
    if (!commandLine.tcpHost().isEmpty()) {
        ui->tabWidget->setCurrentIndex(1);
        ui->leIp->setText(commandLine.tcpHost());
        ui->lePort->setText(QString::number(commandLine.tcpPort()));
    } else if (!commandLine.serialPort().isEmpty()) {
        ui->tabWidget->setCurrentIndex(0);
        ui->boxPortName->setCurrentText(commandLine.serialPort());
        if (commandLine.baudRate() > 0)
            selectByData(ui->baudRateBox, commandLine.baudRate());
    }
}

bool StartWindow::openFile(const QString &fileName)
{
    if (isOpeningUnit())
        return false;
    if (!QFileInfo(fileName).isFile()) {
        auto *box = new QMessageBox(
            QMessageBox::Warning, WarningTitle,
            QStringLiteral("Не удалось открыть файл %1").arg(QDir::toNativeSeparators(fileName)),
            QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return false;
    }
    auto window = std::make_unique<MainWindow>(int(ModeOffline));
    if (!window->openFile(fileName))
        return false;
    MainWindow *shown = window.release();
    connect(shown, &MainWindow::actionAboutProgram, this, &StartWindow::onActionAboutProgram);
    connect(shown, &MainWindow::closed, this, [this]() { onMainWindowClosed(); });
    shown->showAsLastTime();
    setMainWindow(shown);
    return true;
}

void StartWindow::closeEvent(QCloseEvent *event)
{
    // A main window with unsaved work asks first; declined, both stay.
    if (m_mainWindow && !m_mainWindow->close()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void StartWindow::on_btnExit_clicked()
{
    if (m_mainWindow && !m_mainWindow->close())
        return;
    QApplication::closeAllWindows();
    QApplication::quit();
}

void StartWindow::on_btnOffline_clicked()
{
    openOfflineWindow();
}

void StartWindow::on_btnDefault_clicked()
{
    ui->baudRateBox->setCurrentIndex(ui->baudRateBox->count() - 1);
    ui->parityBox->setCurrentIndex(0);
    ui->stopBitsBox->setCurrentIndex(0);
    ui->checkBox->setChecked(false);
}

void StartWindow::on_btnDefaultEthernet_clicked()
{
    ui->leIp->setText(QString::fromLatin1(DefaultIp));
    ui->lePort->setText(QString::number(DefaultTcpPort));
    // One unit at identifier 1: the unit itself, no gateway.
    ui->leStartUnitId->setValue(1);
    m_unitIdRangeMode = 0;
    showRange(ui->btnHideUnitId, ui->leLastUnitId, false);
}

void StartWindow::on_btnHide_clicked()
{
    if (ui->btnHide->text() == QLatin1String("-")) {
        m_rangeMode = 0;
        ui->btnHide->setText(QStringLiteral("+"));
        ui->leLastSlave->hide();
    } else if (ui->btnHide->text() == QLatin1String("+")) {
        m_rangeMode = 1;
        ui->btnHide->setText(QStringLiteral("-"));
        ui->leLastSlave->show();
    }
}

void StartWindow::on_btnHideUnitId_clicked()
{
    m_unitIdRangeMode = m_unitIdRangeMode == 1 ? 0 : 1;
    showRange(ui->btnHideUnitId, ui->leLastUnitId, m_unitIdRangeMode == 1);
}

void StartWindow::on_tabWidget_currentChanged(int type)
{
    if (m_client) {
        // The old client's last signals must not reach the window any more.
        disconnect(m_client, nullptr, this, nullptr);
        m_scanner.setClient(nullptr);
        m_keepAlive.setClient(nullptr);
        m_client->disconnectDevice();
        m_client->deleteLater();
        m_client = nullptr;
        m_errorShown = false; // an error of the old transport says nothing now
        resetToUnconnected();
    }
    m_mode = 0;

    if (type == 0) {
        m_client = new QModbusRtuSerialMaster(this);
        m_mode |= ModeRtu;
    } else {
        auto *tcpClient = new QModbusTcpClient(this);
        // A system proxy must never stand between the PC and the unit.
        if (auto *socket = tcpClient->findChild<QTcpSocket *>())
            socket->setProxy(QNetworkProxy::NoProxy);
        else
            qCWarning(lcApp) << "StartWindow: the TCP client has no socket to set NoProxy on";
        m_client = tcpClient;
        m_mode |= ModeTcp;
    }

    ui->btnConnect->setEnabled(true);
    connect(m_client, &QModbusClient::stateChanged, this,
            [this](QModbusDevice::State state) { onStateChanged(state); });
    connect(m_client, &QModbusClient::errorOccurred, this, [this](QModbusDevice::Error) {
        if (!m_client)
            return;
        ui->labelError->setText(clientErrorText(*m_client));
        m_errorShown = true;
    });
    m_recorder.attach(m_client);
    m_scanner.setClient(m_client);
    m_keepAlive.setClient(m_client);
}

void StartWindow::on_btnConnect_clicked()
{
    if (!m_client)
        return;
    const QModbusDevice::State state = m_client->state();
    if (state == QModbusDevice::ConnectedState) {
        m_client->disconnectDevice();
        return;
    }
    if (state != QModbusDevice::UnconnectedState)
        return;

    m_scanner.clearStopFlag();
    saveSettings();
    if (m_mode & ModeTcp) {
        if (!setTcpParameters())
            return;
    } else {
        setSerialParameters();
    }

    // The picture in `label` stays: clearing its text would also clear it.
    if (!m_client->connectDevice()) {
        ui->labelError->setText(QStringLiteral("Ошибка подключения: ")
                                + clientErrorText(*m_client));
    }
}

bool StartWindow::setTcpParameters()
{
    const QUrl url = QUrl::fromUserInput(ui->leIp->text() + QLatin1Char(':') + ui->lePort->text());
    if (!ui->leIp->hasAcceptableInput() || !url.isValid() || url.port() < 1) {
        ui->labelError->setText(QStringLiteral("Ошибка подключения: неверный IP адрес или порт"));
        return false;
    }
    LinkSettings settings;
    settings.host = url.host();
    settings.port = url.port();
    settings.applyTo(m_client);
    return true;
}

void StartWindow::setSerialParameters()
{
    LinkSettings settings;
    settings.kind = LinkSettings::Kind::Serial;
    settings.serialPort = ui->boxPortName->currentText();
    settings.baud = ui->baudRateBox->currentData().toInt();
    settings.parity = QSerialPort::Parity(ui->parityBox->currentData().toInt());
    settings.stopBits = QSerialPort::StopBits(ui->stopBitsBox->currentData().toInt());
    settings.extraDelay = ui->checkBox->isChecked();
    settings.applyTo(m_client);
}

void StartWindow::onStateChanged(int state)
{
    switch (state) {
    case QModbusDevice::UnconnectedState:
        resetToUnconnected();
        qCDebug(lcApp) << "UnconnectedState";
        break;
    case QModbusDevice::ConnectingState:
        qCDebug(lcApp) << "ConnectingState";
        m_errorShown = false;
        ui->labelError->setText(QStringLiteral("Проверьте подключение"));
        break;
    case QModbusDevice::ClosingState:
        qCDebug(lcApp) << "ClosingState";
        m_scanner.requestStop();
        break;
    case QModbusDevice::ConnectedState:
        ui->tabWidget->setEnabled(false);
        qCDebug(lcApp) << "ConnectedState";
        ui->labelError->clear();
        ui->btnConnect->setText(QStringLiteral("Отключиться"));
        if (m_mainWindow) {
            // The main window brought its link back: no scan under it.
            if (m_mode & ModeTcp)
                m_keepAlive.start(KeepAliveMs);
            break;
        }
        startDiscovery();
        break;
    default:
        break;
    }
}

void StartWindow::resetToUnconnected()
{
    ui->progressBar->setValue(0);
    m_keepAlive.stop();
    ui->tabWidget->setEnabled(true);
    // A lost connection reports its error just before the state falls back:
    // that text is why the user is unconnected now, so it stays.
    if (!m_errorShown)
        ui->labelError->clear();
    m_errorShown = false;
    clearUnits();
    ui->btnConnect->setText(QStringLiteral("Подключиться"));
    ui->btnOnline->setEnabled(false);
    m_scanner.clearStopFlag();
    m_scanner.clear();
    ui->progressBar->hide();
    m_jumperQuestion = false;
}

void StartWindow::startDiscovery()
{
    int first = 0;
    int last = 0;
    if (m_mode & ModeTcp) {
        // Units behind a gateway are told apart by the unit identifier.
        first = ui->leStartUnitId->value();
        last = m_unitIdRangeMode == 1 ? ui->leLastUnitId->value() : first;
        m_keepAlive.setServerAddress(first);
        m_keepAlive.start(KeepAliveMs);
    } else {
        first = ui->leStartSlave->value();
        last = m_rangeMode == 1 ? ui->leLastSlave->value() : first;
    }
    statusBar()->clearMessage();
    ui->progressBar->setRange(first, last);
    ui->progressBar->reset(); // one below the minimum: nothing asked yet
    ui->progressBar->show();
    ui->progressBar->setEnabled(true);
    m_scanner.start(first, last);
}

void StartWindow::findModule(int serverAddress, TypeResponse typeResponse, int count)
{
    if (!m_client)
        return;
    statusBar()->clearMessage();
    m_scanner.findModule(serverAddress, typeResponse == 1, count);
}

void StartWindow::sendRequest()
{
    m_scanner.sendRequest();
}

void StartWindow::readReady(TypeResponse typeResponse)
{
    ui->progressBar->setValue(ui->progressBar->value() + 1);
    if (typeResponse == 1)
        ui->progressBar->hide();
}

void StartWindow::onAddressDone(int serverAddress, bool last)
{
    Q_UNUSED(serverAddress)
    readReady(static_cast<TypeResponse>(last ? 1 : 0));
    ui->labelError->clear();
    if (last && m_foundUnits.isEmpty()) {
        if (m_client)
            m_client->disconnectDevice();
        showNoUnitsMessage();
    }
}

void StartWindow::showNoUnitsMessage()
{
    auto *box
        = new QMessageBox(QMessageBox::Warning, WarningTitle, NoUnitsText, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void StartWindow::addUnit(const QVector<quint16> &moduleBlock, int serverAddress)
{
    if (moduleBlock.size() < ModuleTables::ModuleBlockSize)
        return;
    ModuleTables unit;
    unit.setModuleTable(moduleBlock);
    // The keep-alive goes to a unit that answers, not to an empty identifier
    // nor to a device that is not a unit.
    const int type = unit.moduleType();
    const auto known = [](const ModuleTables &found) {
        return isModuleType(found.moduleType());
    };
    if (isModuleType(type) && std::none_of(m_foundUnits.cbegin(), m_foundUnits.cend(), known))
        m_keepAlive.setServerAddress(serverAddress);

    const int row = ui->tableWidget->rowCount();
    ui->tableWidget->insertRow(row);
    ui->tableWidget->setCellWidget(row, 0, cellLabel(QString::number(unit.address())));
    // Listed so the user sees that something answers there; it is never opened.
    ui->tableWidget->setCellWidget(
        row, 1, cellLabel(isModuleType(type) ? moduleTypeName(type) : notUnitText(type)));
    ui->tableWidget->setCellWidget(row, 2,
                                   cellLabel(QString::number(unit.firmware() / 10.0, 'g', 6)));
    ui->tableWidget->setCellWidget(row, 3, cellLabel(QString::number(unit.countSubmodules())));
    m_foundUnits.append(unit);
    m_serverAddresses.append(serverAddress);

    ui->btnOnline->setEnabled(true);
    if (row == 0) {
        ui->tableWidget->setFocus();
        ui->tableWidget->selectRow(0);
    }
}

void StartWindow::clearUnits()
{
    m_foundUnits.clear();
    m_serverAddresses.clear();
    ui->tableWidget->clearContents();
    ui->tableWidget->setRowCount(0);
}

bool StartWindow::isOpeningUnit() const
{
    return m_scanner.isProbing() || m_jumperQuestion || !m_mainWindow.isNull();
}

void StartWindow::on_btnOnline_clicked()
{
    // A unit is opened once: a second click while it opens does nothing.
    if (isOpeningUnit())
        return;
    m_scanner.requestStop();

    const int row = ui->tableWidget->currentRow();
    if (row < 0 || row >= m_foundUnits.size()) {
        auto *box = new QMessageBox(QMessageBox::Warning, WarningTitle,
                                    QStringLiteral("Для подключения выберите модуль из списка "),
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }

    // Bits are set, never added: a second attempt must not carry into bit 4.
    m_mode = (m_mode & (ModeRtu | ModeTcp)) | ModeOnline;
    if (ui->checkBox->isChecked())
        m_mode |= ModeExtraDelay;

    const ModuleTables unit = m_foundUnits.at(row);
    const int serverAddress = m_serverAddresses.at(row);
    if (!isModuleType(unit.moduleType())) {
        auto *box = new QMessageBox(QMessageBox::Warning, WarningTitle,
                                    notUnitText(unit.moduleType()), QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    if (unit.firmware() < ModuleTables::JumperWordFirmware) {
        openUnit(unit, serverAddress);
        return;
    }

    // Ask for the block again with the jumper word; sent at once, since the
    // stop flag would make the discovery queue drop it.
    if (m_scanner.isBusy())
        ui->progressBar->hide();
    m_scanner.probe(serverAddress, ModuleTables::JumperBlockSize);
}

void StartWindow::versionSupport(QModbusReply *reply)
{
    m_scanner.probeReplied(reply);
}

void StartWindow::onUnitProbed(const QVector<quint16> &moduleBlock, int serverAddress)
{
    clearUnits();
    addUnit(moduleBlock, serverAddress);
    if (m_foundUnits.isEmpty())
        return;
    const ModuleTables unit = m_foundUnits.constFirst();
    if (moduleBlock.value(ModuleTables::WordJumper) == 1)
        askJumperThenOpen(unit, serverAddress);
    else
        openUnit(unit, serverAddress);
}

void StartWindow::askJumperThenOpen(const ModuleTables &unit, int serverAddress)
{
    auto *box = new QMessageBox(QMessageBox::Information, WarningTitle,
                                QStringLiteral("Снимите перемычку XS4 перед конфигурацие модуля"),
                                QMessageBox::NoButton, this);
    QPushButton *removed
        = box->addButton(QStringLiteral("Перемычка снята"), QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
    box->setDefaultButton(removed);
    box->setAttribute(Qt::WA_DeleteOnClose);

    m_jumperQuestion = true;
    const QPointer<QModbusClient> client = m_client;
    connect(box, &QMessageBox::finished, this, [this, box, removed, unit, serverAddress, client]() {
        m_jumperQuestion = false;
        if (box->clickedButton() != removed)
            return;
        if (client != m_client || !m_client || m_client->state() != QModbusDevice::ConnectedState)
            return; // the connection went away while the question was open
        openUnit(unit, serverAddress);
    });
    box->open();
}

void StartWindow::openUnit(const ModuleTables &unit, int serverAddress)
{
    // From now on every request goes to this unit, the keep-alive too.
    m_keepAlive.setServerAddress(serverAddress);
    openMainWindow(m_mode, unit, serverAddress);
}

void StartWindow::openMainWindow(int mode, const ModuleTables &unit, int serverAddress)
{
    // Disposed of by onMainWindowClosed(): the start window is its only owner.
    auto *window = new MainWindow(mode, unit, m_client);
    window->setServerAddress(serverAddress);
    connect(window, &MainWindow::actionAboutProgram, this, &StartWindow::onActionAboutProgram);
    connect(window, &MainWindow::closed, this, [this]() { onMainWindowClosed(); });
    window->showAsLastTime();
    setMainWindow(window);
}

void StartWindow::openOfflineWindow()
{
    auto window = std::make_unique<MainWindow>(int(ModeOffline));
    if (!window->createNew())
        return; // cancelled: never shown, discarded here
    MainWindow *shown = window.release();
    connect(shown, &MainWindow::actionAboutProgram, this, &StartWindow::onActionAboutProgram);
    connect(shown, &MainWindow::closed, this, [this]() { onMainWindowClosed(); });
    shown->showAsLastTime();
    setMainWindow(shown);
}

void StartWindow::setMainWindow(QWidget *window)
{
    m_mainWindow = window;
    if (window)
        hide();
}

void StartWindow::onMainWindowClosed()
{
    show();
    on_tabWidget_currentChanged(ui->tabWidget->currentIndex());
    if (m_mainWindow)
        m_mainWindow->deleteLater();
    m_mainWindow = nullptr;
}

void StartWindow::onTimeOut()
{
    m_keepAlive.sendRead();
}

void StartWindow::onActionAboutProgram()
{
    AboutDialog dialog(this);
    dialog.exec();
}
