// SPDX-License-Identifier: GPL-3.0-or-later
// The traffic monitor during a read, as a user gets there: the start window
// prefilled as by "--tcp", "Подключиться", "Конфигурирование модуля", then
// "Вид" > "Обмен с модулем" while the main window reads the unit. The
// simulated unit answers late and refuses one block, so the picture shows
// answered, pending and failed requests. Saves the main window to the file
// given and, with a second file, the start window with its monitor open after
// the scan. Both monitors open at the height they take by themselves. Run it
// under a real X server (scripts/screenshots uses Xvfb).

#include "benchsupport.h"
#include "commandline.h"
#include "mainwindowdriver.h"
#include "startwindow.h"
#include "trafficdock.h"
#include "unitsimfixture.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

int fail(const char *what)
{
    std::fprintf(stderr, "monitor_shot: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    BenchSupport::Application app(argc, argv);
    if (argc < 2)
        return fail("usage: monitor_shot PICTURE.png [START-PICTURE.png]");

    UnitSimFixture::Options options;
    options.faults.delayMs = 120;
    options.faults.exceptionAt.insert(800, 2); // the AI limits
    UnitSimFixture sim(options);
    QString error;
    if (!sim.start(&error))
        return fail(qPrintable(error));

    StartWindow start;
    CommandLine commandLine;
    commandLine.parse({QStringLiteral("brk-configurator"), QStringLiteral("--tcp"),
                       QStringLiteral("127.0.0.1:%1").arg(sim.port())});
    start.applyCommandLine(commandLine);
    start.show();
    start.findChild<QPushButton *>(QStringLiteral("btnConnect"))->click();
    auto *online = start.findChild<QPushButton *>(QStringLiteral("btnOnline"));
    if (!QTest::qWaitFor([online] { return online->isEnabled(); }, 10000))
        return fail("no unit found");
    if (argc > 2) {
        start.findChild<TrafficDock *>()->toggleViewAction()->trigger();
        QTest::qWait(500);
        const QString startPicture = QString::fromLocal8Bit(argv[2]);
        // The whole screen: on one this small the monitor opens as a window of its own.
        if (!QGuiApplication::primaryScreen()->grabWindow(0).save(startPicture))
            return fail("could not save the start window");
        std::printf("Saved %s\n", qPrintable(startPicture));
    }
    online->click();
    if (!QTest::qWaitFor([] { return shownMainWindow() != nullptr; }, 10000))
        return fail("no main window");
    MainWindow *window = shownMainWindow();
    window->findChild<QAction *>(QStringLiteral("actionTraffic"))->trigger();
    auto *dock = window->findChild<TrafficDock *>();

    // Past the refused block, with the next ones still on the way. Polled by
    // a timer: the window's warning about the block runs its own event loop.
    const QAbstractItemModel *rows = dock->findChild<QTableView *>()->model();
    const QString picture = QString::fromLocal8Bit(argv[1]);
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, &app, [&]() {
        if (clock.elapsed() > 20000) {
            fail("the read did not show");
            QApplication::exit(1);
        }
        const int last = rows->rowCount() - 1;
        const bool pending = last >= 0 && rows->index(last, 6).data().toString().isEmpty();
        if (last < 7 || !pending)
            return;
        poll.stop();
        QTimer::singleShot(20, &app, [&]() {
            QApplication::exit(BenchSupport::savePicture(window, picture) ? 0 : 1);
        });
    });
    poll.start(20);
    return app.exec();
}
