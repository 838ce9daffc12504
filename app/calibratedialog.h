#ifndef CALIBRATEDIALOG_H
#define CALIBRATEDIALOG_H

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <QVector>

#include <memory>

class Model;
class Module;
class Property;
class QModbusClient;
class QModbusReply;

namespace Ui {
class CalibrateDialog;
}

// Calibration mode: polls every channel parameter that has a register of its
// own, shows the analog channels' live values and writes the user's edits
// to the unit at once. On closing, the parameters edited here get back the
// value first read from the unit (the baseline), on the unit as well; reading
// alone never counts as an edit and nothing else is written.
//
// Polling is a timer-driven pass: one read every StepMs; the next pass starts
// when the poll timer ticks, PollIntervalMs after the latest reply. Replies are
// released when they end, whether or not the dialog still exists; reads still
// on the line when it closes are dropped at once, so the client sends no retry.
class CalibrateDialog : public QDialog
{
    Q_OBJECT

public:
    // The client is borrowed; its timeout and retries are changed while the
    // dialog is open and given back when it closes.
    CalibrateDialog(Module *module, QModbusClient *client, int serverAddress,
                    QWidget *parent = nullptr);
    ~CalibrateDialog() override;

    QList<Property *> polledParameters() const { return m_polled; }
    Model *model() const { return m_model; }
    bool isPassRunning() const { return m_passIndex >= 0; }

    void done(int result) override;

    static constexpr int PollIntervalMs = 500;
    static constexpr int StepMs = 50;
    static constexpr int ClientTimeoutMs = 50;
    static constexpr int ClientRetries = 1;

signals:
    // A note for the user (the main window's output pane), such as an edit
    // that could not be taken back.
    void notice(const QString &text);

private slots:
    void on_pushButton_clicked();
    void readProperty();

private:
    void collectParameters();
    void setUpView();
    void sendNextRead();
    void sendRead(Property *p);
    void sendWrite(Property *p);
    void watch(QModbusReply *reply, Property *p, bool write);
    void handleReply(QModbusReply *reply, Property *p, bool write);
    void storeRead(Property *p, const QVector<quint16> &values);
    void onValueChange(Property *p);
    // Stops polling, takes back this dialog's edits and returns the client's
    // settings. Runs once.
    void finish();
    void restoreEdits();

    std::unique_ptr<Ui::CalibrateDialog> ui;
    Module *m_module;                 // not owned
    QPointer<QModbusClient> m_client; // not owned
    int m_serverAddress;
    QList<Property *> m_polled; // not owned
    QTimer m_pollTimer;
    QTimer m_stepTimer;
    Model *m_model = nullptr; // child

    int m_passIndex = -1; // next parameter of the running pass, -1: none runs
    bool m_finished = false;
    bool m_restoring = false;
    int m_savedTimeout = -1;
    int m_savedRetries = -1;

    QVector<QPointer<QModbusReply>> m_pendingReads;
    QHash<Property *, QVariant> m_baseline; // first value read in this dialog
    QHash<Property *, bool> m_markAtOpen;   // edit marks held before the dialog opened
    QList<Property *> m_edited;             // edited here, in order of the first edit
};

#endif // CALIBRATEDIALOG_H
