// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef STARTWINDOW_H
#define STARTWINDOW_H

#include "discoveryscanner.h"
#include "keepalive.h"
#include "linksettings.h"
#include "trafficrecorder.h"
#include "typeresponse.h"

#include <moduletables.h>

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <memory>

namespace Ui {
class StartWindow;
}
class QComboBox;

#include <QModbusClient>
#include <QModbusReply>

// The window the program starts with: chooses the transport and its
// parameters, owns the one Modbus client of the run, lists the units found on
// the line and opens one of them (or an offline configuration).
class CommandLine;

class StartWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit StartWindow(QWidget *parent = nullptr);
    ~StartWindow() override;

    QModbusClient *client() const { return m_client; }
    int mode() const { return m_mode; }

    // Puts the connection given on the command line into the fields.
    void applyCommandLine(const CommandLine &commandLine);
    // Opens a configuration file in an offline main window; false (with a
    // warning) when it cannot be read.
    bool openFile(const QString &fileName);

    // Factory IPv4 address of the unit's Ethernet board.
    static const char *const DefaultIp;
    static constexpr int DefaultTcpPort = LinkSettings::DefaultTcpPort;
    static constexpr int KeepAliveMs = KeepAlive::IntervalMs;
    static constexpr int MinUnitRows = 5; // of the found units, beside the traffic monitor

public slots:
    // Discovery entry points: queue a module-block read (marker 1 = the last
    // address of a scan), send the first queued one, and count an address as
    // done. The scanner does the work; these keep the window's interface.
    void findModule(int serverAddress, TypeResponse typeResponse,
                    int count = ModuleTables::ModuleBlockSize);
    void readReady(TypeResponse typeResponse);
    void sendRequest();

protected:
    // Opens the main window for a found unit; `serverAddress` is the address
    // (the unit identifier behind a gateway) the unit answered at.
    virtual void openMainWindow(int mode, const ModuleTables &unit, int serverAddress);
    // Opens an empty configuration without a unit.
    virtual void openOfflineWindow();

    // Records the main window now using the client: while it lives no other
    // unit can be opened. The start window hides.
    void setMainWindow(QWidget *window);
    void closeEvent(QCloseEvent *event) override;
    // Brings the start window back with a fresh, unconnected client.
    void onMainWindowClosed();

private slots:
    void on_btnExit_clicked();
    void on_btnOffline_clicked();
    void on_btnDefault_clicked();
    void on_btnConnect_clicked();
    void onStateChanged(int state);
    void on_tabWidget_currentChanged(int type);
    void on_btnOnline_clicked();
    void versionSupport(QModbusReply *reply);
    void onTimeOut();
    void onActionAboutProgram();
    void on_btnDefaultEthernet_clicked();
    void on_btnHide_clicked();
    void on_btnHideUnitId_clicked();

private:
    void fillPortParameters();
    void addTrafficMonitor();
    void loadSettings();
    void saveSettings() const;
    void selectByData(QComboBox *box, const QVariant &data);
    bool setTcpParameters();
    void setSerialParameters();
    void startDiscovery();
    void resetToUnconnected();
    void addUnit(const QVector<quint16> &moduleBlock, int serverAddress);
    void clearUnits();
    void onAddressDone(int serverAddress, bool last);
    void showNoUnitsMessage();
    void onUnitProbed(const QVector<quint16> &moduleBlock, int serverAddress);
    void askJumperThenOpen(const ModuleTables &unit, int serverAddress);
    void openUnit(const ModuleTables &unit, int serverAddress);
    bool isOpeningUnit() const;

    std::unique_ptr<Ui::StartWindow> ui;
    int m_rangeMode = 0;
    int m_unitIdRangeMode = 0;         // the same for the unit identifiers of the Ethernet tab
    QModbusClient *m_client = nullptr; // child of this window
    QList<ModuleTables> m_foundUnits;
    QList<int> m_serverAddresses; // where each found unit answered, in the same order
    int m_mode = 0;
    DiscoveryScanner m_scanner;
    KeepAlive m_keepAlive; // the keep-alive of the Ethernet tab
    // Every request of the run, of this window's clients and of the windows
    // that borrow them.
    TrafficRecorder m_recorder;
    bool m_errorShown = false;      // the client reported an error since connecting
    bool m_jumperQuestion = false;  // the jumper question is open
    QPointer<QWidget> m_mainWindow; // not owned here
};

#endif // STARTWINDOW_H
