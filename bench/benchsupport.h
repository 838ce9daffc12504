// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include "simbus.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QList>
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#include <QVector>

#include <memory>

class MainWindow;
class QModbusTcpClient;
class QString;
class QWidget;
class UnitSimFixture;

// What the benchmarks share: the configurator's resources, pictures of
// windows, an online main window and a simulated unit on a thread of its own.
namespace BenchSupport {

// Runs the process set-up the configurator runs before its application object
// (no OpenGL integration unless the environment asks for it).
struct BeforeApplication
{
    explicit BeforeApplication(const char *argv0);
};

// The configurator's application: set up as it starts, with its icons and help
// texts, without debug lines.
class Application : private BeforeApplication, public QApplication
{
public:
    Application(int &argc, char **argv);
};

// Saves a picture of the widget and says so on standard output.
bool savePicture(QWidget *widget, const QString &path);

// The main window online against the simulated unit as the start window
// opens it: client connected, module block read. Null when that fails.
std::unique_ptr<MainWindow> openOnline(const UnitSimFixture &sim, QModbusTcpClient *client);

// Ticks as often as it can and remembers the longest gap between two ticks:
// how long the event loop was kept from running.
class StallMeter : public QObject
{
public:
    StallMeter();
    void start();
    void stop() { m_timer.stop(); }
    // Longest gap beyond the timer's own interval.
    double longestStallMs() const { return qMax(0.0, m_longestNs / 1e6 - m_timer.interval()); }
    // When that gap ended, from start().
    double longestStallAtMs() const { return m_longestAtNs / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
    qint64 m_longestAtNs = 0;
};

// Simulated units (the default one unless told) served over TCP loopback on
// one port by another thread, so that their answers do not wait for the event
// loop measured here.
class UnitThread : public QThread
{
public:
    // Frozen: the inputs do not change. keepLog: requests() after the end.
    explicit UnitThread(bool frozen, bool keepLog = false,
                        QList<SimUnitConfig> units = {SimUnitConfig()});
    // Starts the thread; false when the unit did not listen.
    bool startServing();
    quint16 port() const { return m_port; }
    // Points the client at the unit.
    void aim(QModbusTcpClient *client, int timeoutMs, int retries) const;
    QVector<SimRequestRecord> requests() const { return m_records; }

protected:
    void run() override;

private:
    const bool m_frozen;
    const bool m_keepLog;
    const QList<SimUnitConfig> m_units;
    quint16 m_port = 0;
    QSemaphore m_ready;
    QVector<SimRequestRecord> m_records; // filled when the thread ends
};

} // namespace BenchSupport

#endif // BENCHSUPPORT_H
