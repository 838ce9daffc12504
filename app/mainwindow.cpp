// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "applogging.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "calibratedialog.h"
#include "configdiffdialog.h"
#include "modeflags.h"
#include "prewritecheck.h"
#include "moduleview.h"
#include "plantwindow.h"
#include "recentfiles.h"
#include "registermapwindow.h"
#include "reportdialog.h"
#include "trafficdock.h"
#include "windowjournal.h"

#include <codes.h>
#include <configfile.h>
#include <discoveryscanner.h>
#include <linkreconnector.h>
#include <linkstatus.h>
#include <module.h>
#include <registerblocks.h>
#include <trafficrecorder.h>
#include <transfersequence.h>
#include <writejob.h>

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QModbusClient>
#include <QRandomGenerator>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QUndoGroup>
#include <QUndoStack>

#include <utility>

namespace {

const QString WarningTitle = QStringLiteral("Внимание");
const QString TitlePrefix = QStringLiteral("ВИРАТ БРК-40 ");
const QString FileFilter = QStringLiteral("brcf (*.brcf)");
constexpr int SubWindowWidth = 800;
constexpr int SubWindowHeight = 600;
constexpr int StatusTimeoutMs = 5000;
const QString GeometryKey = QStringLiteral("main/geometry");
const QString DockStateKey = QStringLiteral("main/state");
const QString VerifyWriteKey = QStringLiteral("write/verify");
const QString WrittenText = QStringLiteral("Конфигурация успешно записана!");
const QString NothingToWriteText = QStringLiteral("Нет изменений для записи");
const QString NotConfirmedText
    = QStringLiteral("Запись не подтверждена: модуль хранит не то, что записано.");
// Lines of a read-back report a box shows; the output pane gets them all.
constexpr int ReportBoxLines = 10;

} // namespace

MainWindow::MainWindow(int mode, QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
    , m_mode(mode)
{
    ui->setupUi(this);
    ui->dockWidget_2->hide();
    ui->progressBar->hide();
    ui->actionOpen->setEnabled(true);
    ui->actionSaveAs->setEnabled(true);

    // Absent on most platforms: then the application's style stays.
    m_style = QStyleFactory::create(QStringLiteral("WindowsXP"));
    if (m_style)
        setStyle(m_style);

    connectActions();
    setupEditMenu();
    connect(this, &MainWindow::addMessage, this, &MainWindow::onAddMessage);
    connect(this, &MainWindow::addInfoProperty, this, &MainWindow::onAddInfoProperty);
    connect(ui->mdiArea, &QMdiArea::subWindowActivated, this, &MainWindow::onSubWindowActivated);

    if (m_mode & ModeOffline) {
        enableBoardCommands(true);
        ui->actionNew->setEnabled(true);
    }

    PlantWindow::addMenuEntry(ui->menu, this);
    m_recentMenu = ui->menu->addMenu(QStringLiteral("Недавние файлы"));
    m_recentMenu->setObjectName(QStringLiteral("menuRecent"));
    connect(RecentFiles::instance(), &RecentFiles::changed, this, &MainWindow::fillRecentMenu);
    fillRecentMenu();

    setUpTrafficAndLink();
    restoreState(AppSettings::value(DockStateKey).toByteArray());
    ui->actionVerifyWrite->setChecked(AppSettings::value(VerifyWriteKey, false).toBool());
    connect(ui->actionVerifyWrite, &QAction::toggled, this,
            [](bool on) { AppSettings::setValue(VerifyWriteKey, on); });
}

MainWindow::MainWindow(int mode, ModuleTables tables, QModbusClient *client, QWidget *parent)
    : MainWindow(mode, parent)
{
    m_client = client;
    m_recorder = TrafficRecorder::of(client);
    if (!m_recorder && client) {
        m_recorder = new TrafficRecorder(this);
        m_recorder->attach(client);
    }
    m_trafficDock->setRecorder(m_recorder);
    m_serverAddress = tables.address();
    m_version = tables.firmware();
    m_tables = tables;
    if (client) {
        m_linkStatus = new LinkStatus(client, m_serverAddress, m_recorder, this);
        connect(m_linkStatus, &LinkStatus::changed, this, &MainWindow::showLinkStatus);
        showLinkStatus();
        m_reconnector = new LinkReconnector(client, this);
        connect(m_reconnector, &LinkReconnector::reconnectingChanged, m_linkStatus,
                &LinkStatus::setReconnecting);
    }

    // The structure of a connected unit is read, not edited: the board
    // commands stay off.
    enableSequenceActions(true);
    ui->actionOpenMapRegisters->setEnabled(true);
    if (m_mode & ModeOnline)
        m_keepModule = true;
    connect(this, &MainWindow::dataTransferComplete, this, &MainWindow::onCreateModule);

    if (m_client) {
        m_transfer = new TransferSequence(m_client, this);
        m_transfer->setServerAddress(m_serverAddress);
        m_transfer->setFirmwareVersion(m_version);
        m_transfer->setMode(m_mode);
        connect(m_transfer, &TransferSequence::progress, ui->progressBar, &QProgressBar::setValue);
        connect(m_transfer, &TransferSequence::message, this, &MainWindow::addMessage);
        connect(m_transfer, &TransferSequence::errorMessage, this, [this](const QString &text) {
            statusBar()->showMessage(text, StatusTimeoutMs);
            emit addMessage(text);
        });
        connect(m_transfer, &TransferSequence::warning, this, &MainWindow::onTransferWarning);
        connect(m_transfer, &TransferSequence::finished, this,
                [this](TransferSequence::Kind kind, TransferSequence::Result result) {
                    onTransferFinished(int(kind), int(result));
                });
        m_writeJob = new WriteJob(m_transfer, this);
        connect(m_writeJob, &WriteJob::message, this, &MainWindow::addMessage);
        connect(m_writeJob, &WriteJob::verifyStarted, this, [this] {
            ui->progressBar->setRange(rT300, rT1600 + 1);
            ui->progressBar->setValue(rT300);
        });
        connect(m_writeJob, &WriteJob::finished, this, &MainWindow::finishWrite);
    }
}

void MainWindow::setUpTrafficAndLink()
{
    // Hidden until asked for, below the other panes at full width.
    m_trafficDock = new TrafficDock(nullptr, this);
    addDockWidget(Qt::BottomDockWidgetArea, m_trafficDock, Qt::Vertical);
    m_trafficDock->hide();
    QAction *toggle = m_trafficDock->toggleViewAction();
    toggle->setObjectName(QStringLiteral("actionTraffic"));
    toggle->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    auto *viewMenu = new QMenu(QStringLiteral("Вид"), this);
    viewMenu->setObjectName(QStringLiteral("menuView"));
    viewMenu->addAction(toggle);
    menuBar()->insertMenu(ui->menu_4->menuAction(), viewMenu);

    m_linkLabel = new QLabel;
    m_linkLabel->setObjectName(QStringLiteral("linkStatus"));
    statusBar()->addPermanentWidget(m_linkLabel);
    showLinkStatus();
}

void MainWindow::showLinkStatus()
{
    m_linkLabel->setText(m_linkStatus ? m_linkStatus->text() : QStringLiteral("Оффлайн"));
}

MainWindow::~MainWindow()
{
    if (m_transfer)
        m_transfer->cancel();
    // The views may point into the device module: they go before it does.
    disconnect(ui->mdiArea, nullptr, this, nullptr);
    qDeleteAll(ui->mdiArea->subWindowList());
    m_deviceModule.reset();
    if (m_style) {
        setStyle(nullptr);
        delete m_style;
    }
}

void MainWindow::setServerAddress(int serverAddress)
{
    m_serverAddress = serverAddress;
    if (m_transfer)
        m_transfer->setServerAddress(serverAddress);
    if (m_linkStatus)
        m_linkStatus->setServerAddress(serverAddress);
}

void MainWindow::connectActions()
{
    connect(ui->actionNew, &QAction::triggered, this, &MainWindow::createNew);
    connect(ui->actionOpen, &QAction::triggered, this, &MainWindow::openFileJson);
    connect(ui->actionSave, &QAction::triggered, this, &MainWindow::save);
    connect(ui->actionSaveAs, &QAction::triggered, this, &MainWindow::saveAs);
    connect(ui->actionRead, &QAction::triggered, this, &MainWindow::readFromDevice);
    connect(ui->actionWrite, &QAction::triggered, this, &MainWindow::writeToDevice);
    connect(ui->actionWriteEditable, &QAction::triggered, this, &MainWindow::writeEditableToDevice);
    connect(ui->actionResetConfig, &QAction::triggered, this, &MainWindow::resetConfig);
    connect(ui->actionDelSubmodule, &QAction::triggered, this, &MainWindow::deleteSubmodule);
    connect(ui->actionAboutProgram, &QAction::triggered, this, &MainWindow::actionAboutProgram);
    connect(ui->actionCalibrate, &QAction::triggered, this, &MainWindow::onCalibrate);
    connect(ui->actionOpenMapRegisters, &QAction::triggered, this, &MainWindow::onOpenMapRegisters);
    connect(ui->actionReport, &QAction::triggered, this, &MainWindow::onReport);

    const std::pair<QAction *, SubmoduleType> boards[] = {
        {ui->actionA1_2_2, SubmoduleAIO}, {ui->actionA2_4, SubmoduleAI},
        {ui->actionTM2, SubmoduleTMP},    {ui->actionRL2, SubmoduleR},
        {ui->actionU1_4, SubmoduleDI},    {ui->actionOK_4, SubmoduleDO4},
        {ui->actionSM2, SubmoduleSIM},    {ui->actionDO_6, SubmoduleDO6},
        {ui->actionDI_4, SubmoduleDI},    {ui->actionDI_6, SubmoduleDI6},
    };
    for (const auto &board : boards) {
        const SubmoduleType type = board.second;
        connect(board.first, &QAction::triggered, this, [this, type]() { addSubmodule(type); });
    }
}

void MainWindow::setupEditMenu()
{
    m_undoGroup = new QUndoGroup(this);
    QAction *undo = m_undoGroup->createUndoAction(this, QStringLiteral("Отменить"));
    undo->setObjectName(QStringLiteral("actionUndo"));
    undo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
    QAction *redo = m_undoGroup->createRedoAction(this, QStringLiteral("Повторить"));
    redo->setObjectName(QStringLiteral("actionRedo"));
    redo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
    ui->menuEdit->insertActions(ui->actionRevertAll, {undo, redo});
    ui->menuEdit->insertSeparator(ui->actionRevertAll);
    connect(m_undoGroup, &QUndoGroup::cleanChanged, ui->actionRevertAll,
            [this](bool clean) { ui->actionRevertAll->setEnabled(!clean); });
    connect(ui->actionRevertAll, &QAction::triggered, this, [this] {
        if (ModuleView *view = currentView())
            view->revertAll();
    });
}

void MainWindow::enableBoardCommands(bool enabled)
{
    for (QAction *action : {ui->actionA1_2_2, ui->actionA2_4, ui->actionDO_6, ui->actionRL2,
                            ui->actionU1_4, ui->actionOK_4, ui->actionSM2, ui->actionTM2,
                            ui->actionDI_4, ui->actionDI_6, ui->actionDelSubmodule})
        action->setEnabled(enabled);
}

ModuleView *MainWindow::currentView() const
{
    QMdiSubWindow *subWindow = ui->mdiArea->activeSubWindow();
    if (!subWindow) {
        const QList<QMdiSubWindow *> windows = ui->mdiArea->subWindowList(QMdiArea::CreationOrder);
        if (windows.isEmpty())
            return nullptr;
        subWindow = windows.constFirst();
    }
    return qobject_cast<ModuleView *>(subWindow->widget());
}

QMdiSubWindow *MainWindow::subWindowOf(const ModuleView *view) const
{
    const QList<QMdiSubWindow *> windows = ui->mdiArea->subWindowList();
    for (QMdiSubWindow *subWindow : windows) {
        if (subWindow->widget() == view)
            return subWindow;
    }
    return nullptr;
}

QString MainWindow::defaultTitle() const
{
    QString title = TitlePrefix;
    if (!m_client)
        return title;
    if (m_mode & ModeTcp)
        title += m_client->connectionParameter(QModbusDevice::NetworkAddressParameter).toString();
    else if (m_mode & ModeRtu)
        title += m_client->connectionParameter(QModbusDevice::SerialPortNameParameter).toString();
    // Units behind one gateway or on one line differ only in their address.
    if (m_serverAddress != 1)
        title += QStringLiteral(" (адрес %1)").arg(m_serverAddress);
    return title;
}

void MainWindow::addView(ModuleView *view, QString title)
{
    if (title.isEmpty())
        title = defaultTitle();
    QMdiSubWindow *subWindow = ui->mdiArea->addSubWindow(view);
    subWindow->setWindowTitle(title);
    QRandomGenerator *random = QRandomGenerator::global();
    const int y = random->bounded(100);
    const int x = random->bounded(100);
    subWindow->setGeometry(x, y, SubWindowWidth, SubWindowHeight);
    subWindow->show();

    connect(view, &ModuleView::addMessage, this, &MainWindow::addMessage);
    connect(view, &ModuleView::addInfoProperty, this, &MainWindow::addInfoProperty);
    connect(view, &ModuleView::enableSave, ui->actionSave, &QAction::setEnabled);
    view->installEventFilter(this);
    m_undoGroup->addStack(view->undoStack());
    m_undoGroup->setActiveStack(view->undoStack());
}

bool MainWindow::createNew()
{
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Выберите тип модуля"));
    dialog.setMinimumWidth(250);
    auto *layout = new QHBoxLayout(&dialog);
    auto *types = new QComboBox(&dialog);
    types->setSizePolicy(QSizePolicy::Expanding, types->sizePolicy().verticalPolicy());
    types->addItem(moduleTypeName(1), 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(types);
    layout->addWidget(buttons);

    if (dialog.exec() != QDialog::Accepted)
        return false;
    addView(new ModuleView(m_mode, types->currentData().toInt(), this), QString());
    return true;
}

void MainWindow::addSubmodule(SubmoduleType typeSubModule)
{
    if (ModuleView *view = currentView()) {
        view->addSubmodule(typeSubModule);
        return;
    }
    qCDebug(lcApp) << "<MainWindow::mapped> Модуль не найден";
    emit addMessage(QStringLiteral("Модуль не найден"));
}

void MainWindow::deleteSubmodule()
{
    if (ModuleView *view = currentView())
        view->deleteSelectedSubmodule();
}

void MainWindow::save()
{
    if (ModuleView *view = currentView())
        saveView(view, false);
}

void MainWindow::saveAs()
{
    if (ModuleView *view = currentView())
        saveView(view, true);
}

bool MainWindow::saveView(ModuleView *view, bool askName)
{
    // The dialog is modal, but the view may still close under it.
    const QPointer<ModuleView> guard = view;
    QString fileName = view->fileName();
    if (askName || fileName.isEmpty())
        fileName = askSaveName();
    if (fileName.isEmpty() || !guard)
        return false;
    return saveTo(guard, fileName);
}

QString MainWindow::askSaveName()
{
    QFileDialog dialog(this, QStringLiteral("Save File"), RecentFiles::lastFolder(), FileFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without a suffix gets ours, or the Open dialog's filter
    // would hide the file; the dialog asks before replacing that file.
    dialog.setDefaultSuffix(QStringLiteral("brcf"));
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

bool MainWindow::saveTo(ModuleView *view, const QString &fileName)
{
    Module *module = view->module();
    if (!module)
        return false;
    // A file that was not written leaves everything as it was: the marks
    // still show what is unsaved.
    if (!saveJsonObject(module->toJson(), fileName)) {
        warn(QStringLiteral("Не удалось записать файл %1").arg(QDir::toNativeSeparators(fileName)));
        return false;
    }
    view->setFileName(fileName);
    RecentFiles::add(fileName);
    if (m_mode & ModeOffline) {
        if (QMdiSubWindow *subWindow = subWindowOf(view))
            subWindow->setWindowTitle(TitlePrefix + QLatin1Char(' ')
                                      + QFileInfo(fileName).fileName());
    }
    module->setChanged(false);
    view->refreshColors();
    view->markSaved();
    ui->actionSave->setEnabled(false);
    return true;
}

void MainWindow::openFileJson()
{
    const QString fileName = QFileDialog::getOpenFileName(this, QStringLiteral("Open File"),
                                                          RecentFiles::lastFolder(), FileFilter);
    if (!fileName.isEmpty())
        openFile(fileName);
}

bool MainWindow::openFile(const QString &fileName)
{
    const QString title = TitlePrefix + QFileInfo(fileName).fileName();
    bool opened = false;
    if (m_mode & ModeOffline)
        opened = openOffline(fileName, title);
    else if (m_mode & ModeOnline)
        opened = openOnline(fileName, title);
    if (opened)
        RecentFiles::add(fileName);
    return opened;
}

void MainWindow::fillRecentMenu()
{
    m_recentMenu->clear();
    const QStringList files = RecentFiles::load();
    for (const QString &fileName : files) {
        QAction *action = m_recentMenu->addAction(QDir::toNativeSeparators(fileName));
        connect(action, &QAction::triggered, this, [this, fileName]() { openRecent(fileName); });
    }
    m_recentMenu->setEnabled(!files.isEmpty());
}

void MainWindow::openRecent(const QString &fileName)
{
    if (!QFileInfo(fileName).isFile()) {
        RecentFiles::remove(fileName);
        statusBar()->showMessage(QStringLiteral("Файл не найден, убран из недавних: %1")
                                     .arg(QDir::toNativeSeparators(fileName)),
                                 StatusTimeoutMs);
        return;
    }
    if (PlantWindow::isPlantFile(fileName)) {
        PlantWindow::openPlant(fileName, this);
        return;
    }
    openFile(fileName);
}

std::unique_ptr<Module> MainWindow::openModule(const QString &fileName)
{
    QString error;
    std::unique_ptr<Module> module = loadModule(fileName, &error);
    if (!module)
        warn(error);
    return module;
}

bool MainWindow::openOffline(const QString &fileName, const QString &title)
{
    std::unique_ptr<Module> module = openModule(fileName);
    if (!module)
        return false;
    auto *view = new ModuleView(m_mode, module.release(), this);
    view->setFileName(fileName);
    addView(view, title);
    return true;
}

bool MainWindow::openOnline(const QString &fileName, const QString &title)
{
    if (!m_deviceModule) {
        warn(QStringLiteral(
            "Не возможно сверить конфигурацию, создайте модуль и повторите загрузку"));
        return false;
    }
    std::unique_ptr<Module> module = openModule(fileName);
    if (!module)
        return false;
    // Checked before a view exists: a rejected file leaves nothing behind.
    const int code = m_deviceModule->compare(module.get());
    const QVector<ConfigDiff::Difference> differences
        = ConfigDiff::compare(*m_deviceModule, *module);
    if (code != CompareMatch) {
        QMessageBox box(QMessageBox::Warning, WarningTitle, fileCheckWarning(code), QMessageBox::Ok,
                        this);
        box.setInformativeText(ConfigDiffDialog::boardLines(differences));
        box.exec();
        return false;
    }
    // What loading would change, before anything is shown; the rows that
    // differ become the edited ones, which a write of the edits sends.
    if (!differences.isEmpty()) {
        ConfigDiffDialog review(differences, this);
        if (review.exec() != QDialog::Accepted)
            return false;
        ConfigDiff::markEdited(*module, differences);
    }
    auto *view = new ModuleView(m_mode, module.release(), this);
    view->setFileName(fileName);
    view->setHeldPort(m_tables.portWord());
    // Link rows as the file brought them: a write asks before it moves the unit.
    view->setFileLink(PreWriteCheck::linkTexts(*view->module()));
    addView(view, title);
    QMessageBox::information(this, WarningTitle, QStringLiteral("Конфигурация успешно загружена"));
    return true;
}

void MainWindow::onSubWindowActivated(QMdiSubWindow *subWindows)
{
    if (!ui->mdiArea->activeSubWindow())
        enableBoardCommands(false);
    if (m_mode & ModeOffline)
        enableBoardCommands(true);
    // The view the commands act on, also while the area has no active window.
    ModuleView *current = currentView();
    m_undoGroup->setActiveStack(current ? current->undoStack() : nullptr);
    if (!subWindows)
        return;
    if (auto *view = qobject_cast<ModuleView *>(subWindows->widget()))
        ui->actionSave->setEnabled(view->hasChanges());
}

void MainWindow::onEnableSave(bool param)
{
    ui->actionSave->setEnabled(param);
}

void MainWindow::onAddMessage(const QString &msg)
{
    const QString text = ui->textEdit->toPlainText();
    ui->textEdit->setPlainText(text.isEmpty() ? msg : text + QLatin1Char('\n') + msg);
    QScrollBar *bar = ui->textEdit->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void MainWindow::onAddInfoProperty(const QString &info)
{
    ui->tePropertyInfo->setPlainText(info);
    QScrollBar *bar = ui->tePropertyInfo->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void MainWindow::onCalibrate()
{
    // The dialog polls over the same client: never during a sequence.
    if (!m_client || m_state != State::Idle || (m_transfer && m_transfer->isRunning()))
        return;
    ModuleView *view = currentView();
    Module *module = view ? view->module() : nullptr;
    if (!module || !linkUp())
        return;
    setEnabled(false);
    CalibrateDialog dialog(module, m_client, m_serverAddress, this);
    connect(&dialog, &CalibrateDialog::notice, this, &MainWindow::addMessage);
    dialog.exec();
    setEnabled(true);
}

void MainWindow::onReport()
{
    ModuleView *view = currentView();
    if (Module *module = view ? view->module() : nullptr)
        ReportDialog(module, QString(), this).exec();
}

void MainWindow::onOpenMapRegisters()
{
    ModuleView *view = currentView();
    Module *module = view ? view->module() : nullptr;
    if (!module)
        return;
    if (module->submodules().isEmpty()) {
        warn(QStringLiteral("Ни один субмодуль не установлен"));
        return;
    }
    setEnabled(false);
    RegisterMapWindow map(module, this);
    map.exec();
    setEnabled(true);
}

void MainWindow::warn(const QString &text)
{
    QMessageBox::warning(this, WarningTitle, text, QMessageBox::Ok);
}

bool MainWindow::linkUp()
{
    if (m_client && m_client->state() == QModbusDevice::ConnectedState)
        return true;
    warn(QStringLiteral("Нет связи с модулем. Дождитесь переподключения и повторите."));
    return false;
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_firstShow && m_client)
        readFromDevice();
    m_firstShow = false;
}

void MainWindow::showAsLastTime()
{
    if (restoreGeometry(AppSettings::value(GeometryKey).toByteArray()))
        show();
    else
        showMaximized();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_ownClose && !m_closedEmitted) {
        const QList<QMdiSubWindow *> windows = ui->mdiArea->subWindowList(QMdiArea::CreationOrder);
        for (QMdiSubWindow *subWindow : windows) {
            auto *view = qobject_cast<ModuleView *>(subWindow->widget());
            if (view && !mayClose(view)) {
                event->ignore();
                return;
            }
        }
    }
    AppSettings::setValue(GeometryKey, saveGeometry());
    AppSettings::setValue(DockStateKey, saveState());
    if (m_transfer)
        m_transfer->cancel();
    if (m_reconnector)
        m_reconnector->stop();
    // Once: the start window replaces the client when it hears it.
    if (!m_closedEmitted) {
        m_closedEmitted = true;
        emit closed();
    }
    QMainWindow::closeEvent(event);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close && !m_ownClose) {
        auto *view = qobject_cast<ModuleView *>(watched);
        if (view && !mayClose(view)) {
            event->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::mayClose(ModuleView *view)
{
    if (m_mode & ModeOnline) {
        if (!view->hasUnwrittenEdits())
            return true;
        const auto answer = QMessageBox::question(
            this, WarningTitle,
            QStringLiteral("Изменения не записаны в модуль. Закрыть без записи?"),
            QMessageBox::Close | QMessageBox::Cancel, QMessageBox::Cancel);
        return answer == QMessageBox::Close;
    }
    if (!view->hasChanges())
        return true;
    const QString text = view->fileName().isEmpty()
                             ? QStringLiteral("Сохранить новую конфигурацию?")
                             : QStringLiteral("Сохранить изменения в файле %1?")
                                   .arg(QFileInfo(view->fileName()).fileName());
    const auto answer = QMessageBox::question(
        this, WarningTitle, text, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
        QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return saveView(view, false);
    return answer == QMessageBox::Discard;
}

void MainWindow::closeOnOwn()
{
    m_ownClose = true;
    close();
}

void MainWindow::enableSequenceActions(bool enabled)
{
    const bool on = enabled && m_client;
    for (QAction *action : {ui->actionRead, ui->actionWrite, ui->actionWriteEditable,
                            ui->actionResetConfig, ui->actionCalibrate})
        action->setEnabled(on);
}

void MainWindow::readFromDevice()
{
    if (!m_client || !m_transfer)
        return;
    if (m_transfer->isRunning())
        return; // one sequence at a time
    if (!linkUp())
        return;
    ui->progressBar->setRange(rT300, rT1600 + 1);
    ui->progressBar->setValue(rT300);
    ui->progressBar->show();
    m_state = State::Reading;
    const TransferSequence::Start start = m_transfer->startRead(m_tables);
    if (start != TransferSequence::Start::Started) {
        m_state = State::Idle;
        ui->progressBar->hide();
        return;
    }
    enableSequenceActions(false);
}

void MainWindow::writeEditableToDevice()
{
    m_editedOnly = true;
    writeToDevice();
}

void MainWindow::writeToDevice()
{
    // Cleared on every way out, so it never carries into the next full write.
    const bool editedOnly = m_editedOnly;
    m_editedOnly = false;
    if (!m_client || !m_transfer || m_transfer->isRunning())
        return;
    ModuleView *view = currentView();
    Module *module = view ? view->module() : nullptr;
    if (!module || !linkUp())
        return;

    WriteJob::Options options;
    options.mode
        = editedOnly ? TransferSequence::WriteMode::ChangedOnly : TransferSequence::WriteMode::All;
    options.verify = ui->actionVerifyWrite->isChecked();
    const QPointer<ModuleView> target(view);
    if (!askBeforeWrite(view, &options))
        return;
    // The questions ran their own event loops.
    if (!target || !m_client || m_transfer->isRunning())
        return;
    const int address = module->value(ModuleParam::Address).toInt();
    if (address == m_tables.moduleWord(ModuleTables::WordAddress))
        startWrite(view, options);
    else
        probeAddressThenWrite(view, options, address);
}

bool MainWindow::askBeforeWrite(ModuleView *view, WriteJob::Options *options)
{
    Module *module = view->module();
    const std::unique_ptr<Module> unit = moduleFromTables(m_tables);
    const QMap<QString, QString> *loaded = view->fileLink();
    // A file's port word is checked once it is known to be written.
    const bool asking = loaded != nullptr;
    if (PreWriteCheck::refuseBadValues(this, *module, asking ? nullptr : unit.get()))
        return false;
    if (!asking)
        return true;
    switch (PreWriteCheck::askFileLink(this, *unit, *module, *loaded)) {
    case PreWriteCheck::LinkAnswer::Cancel:
        return false;
    case PreWriteCheck::LinkAnswer::Keep:
        options->kept = PreWriteCheck::keptRegisters(*unit, *module);
        view->reshow();
        return true;
    default:
        return !PreWriteCheck::refuseBadValues(this, *module, unit.get());
    }
}

void MainWindow::probeAddressThenWrite(ModuleView *view, const WriteJob::Options &options,
                                       int address)
{
    // Two units at one address collide on every request to it: ask it first.
    auto *scanner = new DiscoveryScanner(this);
    scanner->setClient(m_client);
    auto answered = std::make_shared<bool>(false);
    const QPointer<ModuleView> target(view);
    connect(scanner, &DiscoveryScanner::unitFound, this, [answered] { *answered = true; });
    connect(scanner, &DiscoveryScanner::addressDone, this, [=] {
        scanner->deleteLater();
        setEnabled(true);
        if (!target || !m_client || m_transfer->isRunning())
            return;
        if (*answered
            && QMessageBox::question(this, WarningTitle,
                                     QStringLiteral("Адрес %1 уже занят: там отвечает другое "
                                                    "устройство. Всё равно записать?")
                                         .arg(address),
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
                   != QMessageBox::Yes)
            return;
        startWrite(target, options);
    });
    setEnabled(false);
    scanner->findModule(address, true);
    scanner->sendRequest();
}

void MainWindow::startWrite(ModuleView *view, const WriteJob::Options &options)
{
    const ModuleTables before = m_tables;
    const TransferSequence::Start start = m_writeJob->start(*view->module(), before, options);
    if (start == TransferSequence::Start::Empty) {
        emit addMessage(NothingToWriteText);
        statusBar()->showMessage(NothingToWriteText, StatusTimeoutMs);
    }
    if (start != TransferSequence::Start::Started)
        return;

    m_writeView = view;
    m_linkChanged = false;
    m_pendingWarning.clear();
    setEnabled(false);
    ui->progressBar->setRange(wT300, wT2000 + 1);
    ui->progressBar->setValue(wT300);
    ui->progressBar->setEnabled(true);
    ui->progressBar->show();
    m_state = State::Writing;
    enableSequenceActions(false);
}

void MainWindow::resetConfig()
{
    if (!m_client || !m_transfer || m_transfer->isRunning() || !linkUp())
        return;
    const auto answer = QMessageBox::question(
        this, WarningTitle, QStringLiteral("Сбросить конфигурацию модуля к заводской?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    // The question runs its own event loop: a sequence may have started.
    if (answer != QMessageBox::Yes || m_transfer->isRunning())
        return;
    if (m_transfer->startReset() != TransferSequence::Start::Started)
        return;
    m_state = State::Resetting;
    enableSequenceActions(false);
    // Asked once above; the views read before the reset say nothing now.
    const QScopedValueRollback<bool> unasked(m_ownClose, true);
    ui->mdiArea->closeAllSubWindows();
}

void MainWindow::rebootModule()
{
    if (!m_client || !m_transfer || m_transfer->isRunning() || !linkUp())
        return;
    if (m_transfer->startReboot() == TransferSequence::Start::Started)
        enableSequenceActions(false);
}

void MainWindow::onTransferWarning(const QString &text)
{
    // A box opened now would run its own event loop while the write ends,
    // and the window may close under it: the write shows it when it has ended.
    if (m_state == State::Writing) {
        if (m_pendingWarning.isEmpty())
            m_pendingWarning = text;
        return;
    }
    warn(text);
}

void MainWindow::showPendingWarning()
{
    const QString text = m_pendingWarning;
    m_pendingWarning.clear();
    if (!text.isEmpty())
        warn(text);
}

void MainWindow::onTransferFinished(int kind, int result)
{
    using Kind = TransferSequence::Kind;
    using Result = TransferSequence::Result;
    const Result outcome = Result(result);
    switch (Kind(kind)) {
    case Kind::Read: {
        const bool afterReset = std::exchange(m_readAfterReset, false);
        if (outcome == Result::Cancelled)
            break;
        // Blocks that failed keep what they held and are listed in the output
        // pane; the view shows what was read.
        m_tables = m_transfer->tables();
        emit dataTransferComplete();
        if (afterReset && outcome == Result::Completed)
            statusBar()->showMessage(QStringLiteral("Заводская конфигурация считана из модуля"));
        return;
    }
    case Kind::Write:
    case Kind::Verify:
        return; // the write job's
    case Kind::Reset:
        if (const QString error = WindowJournal::resetFinished(m_client, m_serverAddress, m_tables,
                                                               *m_transfer, outcome);
            !error.isEmpty())
            addMessage(error);
        if (outcome == Result::Completed) {
            emit dataTransferComplete();
            return;
        }
        break; // already reported; the sub-windows stay closed
    case Kind::Reboot:
    case Kind::None:
        break;
    }
    m_state = State::Idle;
    ui->progressBar->hide();
    enableSequenceActions(true);
}

void MainWindow::finishWrite(WriteJob::Outcome outcome)
{
    // Every write the window makes goes into the journal of changes.
    const QString journalError = WindowJournal::writeFinished(
        m_client, m_serverAddress, m_writeJob->before(), m_writeJob->written(), outcome);
    if (!journalError.isEmpty())
        addMessage(journalError);

    using Outcome = WriteJob::Outcome;
    if (outcome != Outcome::Cancelled)
        takeWhatUnitHolds();
    if (outcome == Outcome::Completed) {
        m_linkChanged = m_writeJob->linkChanged();
        if (m_writeJob->verified()) {
            ui->progressBar->hide();
            showReadBackResult(true);
        }
        emit dataTransferComplete();
        return;
    }
    m_state = State::Idle;
    setEnabled(true);
    ui->progressBar->hide();
    enableSequenceActions(true);
    if (outcome == Outcome::Cancelled) {
        m_pendingWarning.clear();
        return;
    }
    if (outcome == Outcome::VerifyFailed) {
        showReadBackResult(false);
        return;
    }
    showPendingWarning();
    // The unit may answer at another address or speed now: back to the start
    // window to find it again. Elsewhere the marks show what it has not taken.
    if (m_writeJob->linkChanged())
        closeOnOwn();
}

// The view's base and marks follow what the unit confirmed, so "write
// changed" sends again what it did not take.
void MainWindow::takeWhatUnitHolds()
{
    m_tables = m_writeJob->held();
    if (!m_writeView || !m_writeView->module())
        return;
    m_writeView->module()->settleMarks(m_tables);
    m_writeView->refreshColors();
}

void MainWindow::showReadBackResult(bool equal)
{
    const QString text = m_writeJob->verifyReport(ReportBoxLines);
    // A box of a disabled window would be disabled too.
    const bool enabled = isEnabled();
    setEnabled(true);
    if (equal) {
        QMessageBox::information(this, WarningTitle, text, QMessageBox::Ok);
    } else {
        emit addMessage(NotConfirmedText);
        warn(text + QLatin1Char('\n') + NotConfirmedText);
    }
    setEnabled(enabled);
}

// Blocks never read from the unit were not written: that is no success.
QString MainWindow::writtenText() const
{
    QStringList unread;
    for (const int type : RegisterBlocks::unreadBlocks(m_tables))
        unread << typeResponseName(type);
    if (unread.isEmpty())
        return WrittenText;
    return QStringLiteral("Не записаны блоки, не считанные из модуля: %1").arg(unread.join(", "));
}

void MainWindow::reportWriteSuccess()
{
    if (m_closedEmitted)
        return;
    setEnabled(true);
    warn(writtenText());
    closeOnOwn();
}

void MainWindow::onCreateModule()
{
    const State state = m_state;
    m_state = State::Idle;
    switch (state) {
    case State::Reading: {
        const int mode = m_keepModule ? (m_mode | ModeKeepsModule) : m_mode;
        auto *view = new ModuleView(mode, m_tables, this);
        addView(view, QString());
        ui->progressBar->hide();
        enableSequenceActions(true);
        if (m_keepModule) {
            // Only the first read provides the module files are checked against.
            m_deviceModule.reset(view->module());
            m_keepModule = false;
        }
        return;
    }
    case State::Resetting:
        enableSequenceActions(true);
        m_readAfterReset = true;
        readFromDevice();
        return;
    case State::Writing:
        if (m_writeView && m_writeView->module() && !m_writeView->module()->isChanged())
            m_writeView->markWritten(m_tables);
        ui->progressBar->hide();
        if ((m_mode & ModeTcp) || m_linkChanged) {
            // The unit may answer elsewhere now: the start window reconnects.
            QTimer::singleShot(1000, this, &MainWindow::reportWriteSuccess);
            return;
        }
        setEnabled(true);
        enableSequenceActions(true);
        statusBar()->showMessage(writtenText(), StatusTimeoutMs);
        return;
    default:
        return;
    }
}
