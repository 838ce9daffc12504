// Scans 30 addresses that nobody answers through the real start window over
// Modbus RTU on a pty pair at 115200 bit/s and prints the time per silent
// address against the floor the client's timeout and retries set, and the
// longest time the event loop was kept from running (the window must stay
// responsive during a scan).
//
// Usage: QT_QPA_PLATFORM=offscreen discovery_scan [addresses]

#include "startwindow.h"

#include "ptypair.h"
#include "unitsimfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

namespace {

// Ticks as often as it can and remembers the longest gap between two ticks.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this]() {
            const qint64 now = m_clock.nsecsElapsed();
            if (now - m_lastNs > m_longestNs) {
                m_longestNs = now - m_lastNs;
                m_longestAtNs = now;
            }
            m_lastNs = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_lastNs = 0;
        m_timer.start();
    }
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

template<typename T>
T *child(QObject *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    const int addresses = argc > 1 ? qBound(1, atoi(argv[1]), 246) : 30;

    if (!PtyPair::socatAvailable()) {
        std::fprintf(stderr, "discovery_scan: socat is needed for the virtual serial line\n");
        return 1;
    }
    PtyPair pty;
    QString error;
    if (!pty.start(&error)) {
        std::fprintf(stderr, "discovery_scan: %s\n", qPrintable(error));
        return 1;
    }
    // The only unit on the line sits above the scanned range: every asked
    // address stays silent.
    UnitSimFixture::Options options;
    options.units = {UnitSimFixture::unit(247, {5, 4, 6, 7, 8, 1}, 22)};
    UnitSimFixture sim(options);
    if (!sim.openSerial(pty.unitEnd(), &error)) {
        std::fprintf(stderr, "discovery_scan: %s\n", qPrintable(error));
        return 1;
    }

    StartWindow window;
    window.show();
    child<QTabWidget>(&window, "tabWidget")->setCurrentIndex(0);
    child<QComboBox>(&window, "boxPortName")->setEditText(pty.clientEnd());
    child<QComboBox>(&window, "baudRateBox")->setCurrentText(QStringLiteral("115200"));
    child<QPushButton>(&window, "btnHide")->click();
    child<QSpinBox>(&window, "leStartSlave")->setValue(1);
    child<QSpinBox>(&window, "leLastSlave")->setValue(addresses);

    auto *progress = child<QProgressBar>(&window, "progressBar");
    StallMeter meter;
    QElapsedTimer clock;
    qint64 endMs = -1;
    QObject::connect(progress, &QProgressBar::valueChanged, &window, [&](int value) {
        if (value == addresses && endMs < 0) {
            endMs = clock.elapsed();
            meter.stop();
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
        }
    });
    // Give up after twice the longest time the scan may take.
    QTimer::singleShot(addresses * 1000 * 2 + 5000, &app, &QCoreApplication::quit);

    QTimer::singleShot(100, &window, [&]() {
        meter.start();
        clock.start();
        child<QPushButton>(&window, "btnConnect")->click();
    });
    app.exec();

    if (endMs < 0) {
        std::fprintf(stderr, "discovery_scan: the scan did not finish\n");
        return 1;
    }
    const int timeout = window.client()->timeout();
    const int tries = window.client()->numberOfRetries() + 1;
    const double perAddress = double(endMs) / addresses;
    const int floor = timeout * tries;
    std::printf("discovery_scan: %d silent addresses over RTU at 115200 bit/s: %lld ms, "
                "%.1f ms per address, floor %d ms (timeout %d ms x %d tries), ratio %.3f; "
                "longest event-loop stall %.1f ms (ending %.0f ms into the scan)\n",
                addresses, endMs, perAddress, floor, timeout, tries, perAddress / floor,
                meter.longestStallMs(), meter.longestStallAtMs());
    return 0;
}
