// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the online window's three hand-on views against the default
// six-board simulated unit (values moving): the register map with its export
// buttons, the slot dialog, the calibration dialog with three channels on the trend and a gap
// where the unit was silent, and the comparison of an edited file with the
// unit before it is loaded.
// Usage: online_shots OUTPUT-DIR   (run under a real X server; scripts/screenshots uses Xvfb)

#include "benchsupport.h"
#include "calibratedialog.h"
#include "configdiffdialog.h"
#include "mainwindow.h"
#include "modalanswer.h"
#include "positionsubmoduledialog.h"
#include "registermapwindow.h"
#include "trendchart.h"
#include "unitsimfixture.h"

#include <module.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QModbusTcpClient>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

// The unit's configuration with the address, the lock time-out, a signal type
// and a lower limit changed by hand.
QByteArray editedFile(const Module &unit)
{
    QJsonObject root = const_cast<Module &>(unit).toJson();
    QJsonObject module = root.value("module").toObject();
    module.insert("WDT", "2.5");
    module.insert("DEV_ADDR", "3");
    root.insert("module", module);
    QJsonArray boards = root.value("submodules").toArray();
    for (int s = 0; s < boards.size(); ++s) {
        QJsonObject board = boards.at(s).toObject();
        const int slot = board.value("POSITION_SUBMODULE").toString().toInt();
        if (slot > 1)
            continue;
        QJsonArray channels = board.value("channels").toArray();
        QJsonObject channel = channels.at(1).toObject();
        channel.insert(slot == 0 ? "SIGNAL_TYPE" : "LOWER_LIMIT", slot == 0 ? "2" : "12.3");
        channels.replace(1, channel);
        board.insert("channels", channels);
        boards.replace(s, board);
    }
    root.insert("submodules", boards);
    return QJsonDocument(root).toJson();
}

} // namespace

int main(int argc, char *argv[])
{
    BenchSupport::Application app(argc, argv);
    if (argc < 2)
        return 2;
    const QDir out(QString::fromLocal8Bit(argv[1]));

    UnitSimFixture::Options options;
    options.frozen = false;
    UnitSimFixture sim(options);
    QModbusTcpClient client;
    if (!sim.start())
        return 1;
    const std::unique_ptr<MainWindow> window = BenchSupport::openOnline(sim, &client);
    if (!window)
        return 1;
    bool ok = true;

    whenModal<RegisterMapWindow>([&](RegisterMapWindow *map) {
        ok &= BenchSupport::savePicture(map, out.filePath("registermap.png"));
        map->reject();
    });
    window->findChild<QAction *>("actionOpenMapRegisters")->trigger();

    {
        PositionSubmoduleDialog slotDialog(window->deviceModule());
        slotDialog.show();
        QTest::qWait(200);
        ok &= BenchSupport::savePicture(&slotDialog, out.filePath("slotdialog.png"));
    }

    whenModal<CalibrateDialog>([&](CalibrateDialog *dialog) {
        // The default 5-minute window.
        TrendChart *trend = dialog->trend();
        for (int id : {4, 8})
            trend->setSeriesShown(id, true);
        QTimer::singleShot(20000, dialog, [&sim] { sim.setSilent(true); });
        QTimer::singleShot(26000, dialog, [&sim] { sim.setSilent(false); });
        QTimer::singleShot(45000, dialog, [&, dialog] {
            dialog->trend()->refresh(QDateTime::currentDateTime());
            ok &= BenchSupport::savePicture(dialog, out.filePath("calibration.png"));
            dialog->reject();
        });
    });
    window->findChild<QAction *>("actionCalibrate")->trigger();

    QTemporaryDir dir;
    const QString fileName = dir.filePath("unit.brcf");
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(editedFile(*window->deviceModule())) <= 0)
        return 1;
    file.close();
    chooseFile(fileName, [&] {
        whenModal<ConfigDiffDialog>([&](ConfigDiffDialog *diff) {
            ok &= BenchSupport::savePicture(diff, out.filePath("configdiff.png"));
            diff->reject();
        });
    });
    window->findChild<QAction *>("actionOpen")->trigger();

    window->close();
    return ok ? 0 : 1;
}
