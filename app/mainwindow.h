// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <codes.h>
#include <moduletables.h>
#include <typeresponse.h>
#include <writejob.h>

#include <QMainWindow>
#include <QPointer>

#include <memory>

namespace Ui {
class MainWindow;
}

class Module;
class ModuleView;
class QMdiSubWindow;
class LinkReconnector;
class LinkStatus;
class QLabel;
class QMenu;
class TrafficDock;
class TrafficRecorder;
class QModbusClient;
class QStyle;
class QUndoGroup;
class TransferSequence;

// The configuration window: module views as MDI sub-windows, the file,
// module and board commands, the output and help panes. Online it borrows
// the start window's Modbus client and reads the unit on its first show.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The sequence a window runs; the values are those the unit's tools log.
    enum class State { Idle = -1, Resetting = 29, Writing = 31, Reading = 32 };

    // Offline window (mode 1) and the common part of the online one.
    explicit MainWindow(int mode, QWidget *parent = nullptr);
    // Online window for a found unit; `tables` holds its module block, the
    // client is not owned.
    MainWindow(int mode, ModuleTables tables, QModbusClient *client, QWidget *parent = nullptr);
    ~MainWindow() override;

    int mode() const { return m_mode; }
    // The address the unit answers at when it is not its module word 5 (the
    // unit identifier behind a gateway). Before the first show.
    void setServerAddress(int serverAddress);
    int serverAddress() const { return m_serverAddress; }
    // The module read from the unit, against which opened files are checked.
    Module *deviceModule() const { return m_deviceModule.get(); }
    // The view the file and board commands act on, or null.
    ModuleView *currentView() const;

    // Opens a configuration file as the window's mode does it (offline: as a
    // new view; online: checked against the unit first). True when a view
    // was added.
    bool openFile(const QString &fileName);
    // Shown with the geometry it had when it was last closed, maximised the
    // first time.
    void showAsLastTime();

signals:
    void closed();
    void addMessage(const QString &msg);
    void addInfoProperty(const QString &info);
    void actionAboutProgram();
    void dataTransferComplete();

public slots:
    // Asks for the module type of a new configuration; false when cancelled.
    bool createNew();

private slots:
    void addSubmodule(SubmoduleType typeSubModule);
    void readFromDevice();
    void writeToDevice();
    void writeEditableToDevice();
    void save();
    void saveAs();
    void openFileJson();
    void deleteSubmodule();
    void resetConfig();
    void rebootModule();
    void onAddMessage(const QString &msg);
    void onAddInfoProperty(const QString &info);
    void onEnableSave(bool param);
    void onSubWindowActivated(QMdiSubWindow *subWindows);
    void onCalibrate();
    void onOpenMapRegisters();
    void onReport();
    void onCreateModule();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Asks before a view with unsaved or unwritten changes is closed.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectActions();
    // "Правка": undo and redo of the active view's stack, and back to its base.
    void setupEditMenu();
    void enableBoardCommands(bool enabled);
    QString defaultTitle() const;
    void addView(ModuleView *view, QString title);
    QMdiSubWindow *subWindowOf(const ModuleView *view) const;
    // Saves to the view's file, asking for a name when it has none or when
    // `askName` is set; false when nothing was saved.
    bool saveView(ModuleView *view, bool askName);
    QString askSaveName();
    bool saveTo(ModuleView *view, const QString &fileName);
    // The module of a configuration file, or null after telling why not.
    std::unique_ptr<Module> openModule(const QString &fileName);
    bool openOffline(const QString &fileName, const QString &title);
    bool openOnline(const QString &fileName, const QString &title);
    void fillRecentMenu();
    void openRecent(const QString &fileName);
    // Whether a close the user asked for may drop the view's changes.
    bool mayClose(ModuleView *view);
    // Closes for the window's own reasons: nothing is asked.
    void closeOnOwn();
    void setUpTrafficAndLink();
    void showLinkStatus();
    void warn(const QString &text);
    // True when the unit can be asked now; otherwise says why not.
    bool linkUp();
    void onTransferFinished(int kind, int result);
    // Read, write, reset and calibration wait while a sequence runs.
    void enableSequenceActions(bool enabled);
    void onTransferWarning(const QString &text);
    void finishWrite(WriteJob::Outcome outcome);
    // Bad values, link settings from a file, an occupied address: before anything is sent.
    bool askBeforeWrite(ModuleView *view, WriteJob::Options *options);
    void probeAddressThenWrite(ModuleView *view, const WriteJob::Options &options, int address);
    void startWrite(ModuleView *view, const WriteJob::Options &options);
    void showPendingWarning();
    void reportWriteSuccess();
    void showReadBackResult(bool equal);
    void takeWhatUnitHolds();
    QString writtenText() const;

    bool m_linkChanged = false;
    bool m_firstShow = true;
    bool m_keepModule = false;
    std::unique_ptr<Module> m_deviceModule;
    QStyle *m_style = nullptr; // owned; null where the platform lacks the style
    std::unique_ptr<Ui::MainWindow> ui;
    int m_serverAddress = 0;
    QPointer<QModbusClient> m_client; // not owned
    ModuleTables m_tables;
    bool m_editedOnly = false;
    int m_version = 0;
    int m_mode = 0;
    State m_state = State::Idle;
    TransferSequence *m_transfer = nullptr; // child object, online windows only
    WriteJob *m_writeJob = nullptr;         // child object, over m_transfer
    QUndoGroup *m_undoGroup = nullptr;      // child object; one stack per view
    bool m_closedEmitted = false;
    bool m_ownClose = false;       // the window closes views or itself, unasked
    bool m_readAfterReset = false; // the running read follows a reset
    // The running write: its view and the warning
    // held back until the write has ended.
    QPointer<ModuleView> m_writeView;
    QString m_pendingWarning;
    QMenu *m_recentMenu = nullptr; // child of the file menu
    // The run's recorder, found on the client (or the window's own child).
    TrafficRecorder *m_recorder = nullptr;
    TrafficDock *m_trafficDock = nullptr;     // child
    LinkStatus *m_linkStatus = nullptr;       // child, online windows only
    LinkReconnector *m_reconnector = nullptr; // child, online windows only
    QLabel *m_linkLabel = nullptr;            // in the status bar
};

#endif // MAINWINDOW_H
