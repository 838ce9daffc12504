// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CALIBRATEDIALOG_H
#define CALIBRATEDIALOG_H

#include <QDialog>
#include <QHash>
#include <QList>

#include <memory>

class CalibrationPoller;
class CalibrationModel;
class Module;
class Property;
class QModbusClient;
class TrendChart;

namespace Ui {
class CalibrateDialog;
}

// Calibration mode on screen: the analog channels' live values in a tree
// table whose edits go to the unit at once. The polling, the writes and the
// taking back of edits on closing are the CalibrationPoller's; while the unit
// does not answer, the values are greyed and a line says so. Below the table,
// a trend of the engineering values the user ticks, fed by the same polling.
class CalibrateDialog : public QDialog
{
    Q_OBJECT

public:
    // The client is borrowed; its timeout and retries are changed while the
    // dialog is open and given back when it closes.
    CalibrateDialog(Module *module, QModbusClient *client, int serverAddress,
                    QWidget *parent = nullptr);
    ~CalibrateDialog() override;

    CalibrationPoller *poller() const { return m_poller; }
    QList<Property *> polledParameters() const;
    CalibrationModel *model() const { return m_model; }
    bool isPassRunning() const;
    TrendChart *trend() const { return m_trend; }
    // The trend series of a polled parameter, -1 for none.
    int trendSeries(const Property *parameter) const { return m_trendSeries.value(parameter, -1); }

    // The table keeps about its old 480 pixels less the trend's share.
    static constexpr int DialogWidth = 800; // at least
    static constexpr int DialogHeight = 760;
    static constexpr int TrendHeight = 330;

    void done(int result) override;

signals:
    // A note for the user (the main window's output pane), such as an edit
    // that could not be taken back.
    void notice(const QString &text);

private slots:
    void on_pushButton_clicked();
    void onValueChange();
    void readProperty();

private:
    void setUpView(Module *module);
    void setUpTrend();
    // Every write to the unit goes into the journal of changes.
    void watchWrites(Module *module, QModbusClient *client, int serverAddress);
    void showStale(bool stale);
    // Drops an open editor and ends polling. Runs once.
    void finish();

    std::unique_ptr<Ui::CalibrateDialog> ui;
    CalibrationPoller *m_poller = nullptr; // child
    CalibrationModel *m_model = nullptr;   // child
    TrendChart *m_trend = nullptr;         // child
    QHash<const Property *, int> m_trendSeries;
    bool m_finished = false;
};

#endif // CALIBRATEDIALOG_H
