// SPDX-License-Identifier: GPL-3.0-or-later
// Scans 30 addresses that nobody answers through the real start window over
// Modbus RTU on a pty pair at 115200 bit/s and prints the time per silent
// address against the floor the client's timeout and retries set, and the
// longest time the event loop was kept from running (the window must stay
// responsive during a scan).
//
// With --tcp: scans identifiers 1..247 behind a TCP gateway with one unit,
// once with silent identifiers and once with a gateway that answers them with
// exception 0x0B after 100 ms, and prints both times.
//
// Usage: QT_QPA_PLATFORM=offscreen discovery_scan [addresses | --tcp]

#include "startwindow.h"

#include "benchsupport.h"
#include "ptypair.h"
#include "unitsimfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

template<typename T>
T *child(QObject *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}

// Milliseconds until the progress bar reaches `last`, -1 when the scan did not end.
qint64 timeScan(QApplication *app, StartWindow *window, int last, int limitMs)
{
    auto *progress = child<QProgressBar>(window, "progressBar");
    QElapsedTimer clock;
    qint64 endMs = -1;
    const QMetaObject::Connection done
        = QObject::connect(progress, &QProgressBar::valueChanged, window, [&](int value) {
              if (value == last && endMs < 0) {
                  endMs = clock.elapsed();
                  QTimer::singleShot(0, app, &QCoreApplication::quit);
              }
          });
    QTimer::singleShot(limitMs, app, &QCoreApplication::quit);
    QTimer::singleShot(100, window, [&]() {
        clock.start();
        child<QPushButton>(window, "btnConnect")->click();
    });
    app->exec();
    QObject::disconnect(done);
    return endMs;
}

// Identifiers 1..247 with one unit (at 100), the rest silent or, behind a
// gateway, answered with 0x0B after gatewayDelayMs.
qint64 scanBehindGateway(QApplication *app, int gatewayDelayMs)
{
    constexpr int Last = 247;
    UnitSimFixture::Options options;
    options.units = {UnitSimFixture::unit(100, {5, 4, 0, 0, 0, 0}, 22)};
    options.gatewayDelayMs = gatewayDelayMs;
    UnitSimFixture sim(options);
    if (!sim.start())
        return -1;
    StartWindow window;
    window.show();
    child<QTabWidget>(&window, "tabWidget")->setCurrentIndex(1);
    child<QLineEdit>(&window, "leIp")->setText(sim.host());
    child<QLineEdit>(&window, "lePort")->setText(QString::number(sim.port()));
    child<QPushButton>(&window, "btnHideUnitId")->click();
    child<QSpinBox>(&window, "leStartUnitId")->setValue(1);
    child<QSpinBox>(&window, "leLastUnitId")->setValue(Last);
    return timeScan(app, &window, Last, 10 * 60 * 1000);
}

int benchTcp(QApplication *app)
{
    const qint64 silent = scanBehindGateway(app, -1);
    const qint64 gateway = scanBehindGateway(app, 100);
    if (silent < 0 || gateway < 0) {
        std::fprintf(stderr, "discovery_scan: a scan behind the gateway did not finish\n");
        return 1;
    }
    std::printf("discovery_scan: identifiers 1..247 over TCP, one unit: %.1f s with silent "
                "identifiers (goal 150 s), %.1f s with a gateway answering 0x0B after 100 ms "
                "(goal 30 s)\n",
                silent / 1000.0, gateway / 1000.0);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    if (argc > 1 && strcmp(argv[1], "--tcp") == 0)
        return benchTcp(&app);
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
    BenchSupport::StallMeter meter;
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
