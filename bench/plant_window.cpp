// SPDX-License-Identifier: GPL-3.0-or-later
// The plant window: the longest time its event loop was kept from running
// while it checks 64 units served on one port by another thread (it must stay
// responsive: no stall over 50 ms), and the time a plant of 1,000 units takes
// to load and show in the table (under a second; no unit is asked).
//
// Usage: QT_QPA_PLATFORM=offscreen plant_window

#include "benchsupport.h"
#include "plant.h"
#include "plantunitsmodel.h"
#include "plantwindow.h"
#include "processrun.h"
#include "unitsimfixture.h"

#include <QEventLoop>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

constexpr int Units = 64;

QString target(quint16 port, int unit)
{
    return QStringLiteral("tcp://127.0.0.1:%1?unit=%2").arg(port).arg(unit);
}

bool savePlant(const QString &path, int count, const std::function<PlantUnit(int)> &unitOf)
{
    Plant plant;
    plant.setName(QStringLiteral("bench"));
    for (int unit = 1; unit <= count; ++unit)
        plant.addUnit(unitOf(unit));
    QString error;
    if (plant.save(path, &error))
        return true;
    std::fprintf(stderr, "plant_window: %s\n", qPrintable(error));
    return false;
}

// Milliseconds from opening the plant file to the table painted.
qint64 showMs(const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    PlantWindow window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    QString error;
    if (!window.load(path, &error))
        return -1;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return -1;
    window.repaint();
    return clock.elapsed();
}

// The longest stall during a check of every unit, and the check's time.
bool checkStall(const QString &path, double *stallMs, qint64 *checkMs)
{
    PlantWindow window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    QString error;
    if (!window.load(path, &error) || (window.show(), !QTest::qWaitForWindowExposed(&window)))
        return false;
    BenchSupport::StallMeter meter;
    QEventLoop loop;
    QObject::connect(&window, &PlantWindow::runFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    meter.start();
    clock.start();
    window.check();
    loop.exec();
    *checkMs = clock.elapsed();
    meter.stop();
    *stallMs = meter.longestStallMs();
    // Every unit answered and was compared with its file.
    const PlantUnitsModel *model = window.model();
    for (int row = 0; row < Units; ++row) {
        const QString state = model->index(row, PlantUnitsModel::File).data().toString();
        if (state != QStringLiteral("совпадает с файлом")) {
            std::fprintf(stderr, "plant_window: unit %d: %s\n", row + 1, qPrintable(state));
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    BenchSupport::Application app(argc, argv);
    QList<SimUnitConfig> configs;
    for (int unit = 1; unit <= Units; ++unit)
        configs << UnitSimFixture::unit(unit, {5, 4, 6, 7, 8, 1});
    BenchSupport::UnitThread units(true, false, configs);
    QTemporaryDir dir;
    if (!units.startServing() || !dir.isValid())
        return 1;
    const ProcessRun read
        = ProcessRun::run(QStringLiteral(BRKCTL_PATH),
                          {"read", target(units.port(), 1), "-o", dir.filePath("unit.brcf")});
    const QString checked = dir.filePath("checked.brplant");
    const QString large = dir.filePath("large.brplant");
    const bool saved
        = read.status == 0
          && savePlant(checked, Units,
                       [&units](int unit) {
                           return PlantUnit{QStringLiteral("unit %1").arg(unit),
                                            target(units.port(), unit), QStringLiteral("unit.brcf"),
                                            QString()};
                       })
          && savePlant(large, 1000, [](int unit) {
                 return PlantUnit{
                     QStringLiteral("Шкаф %1, узел 3").arg(unit),
                     QStringLiteral("tcp://10.0.%1.%2:502?unit=1").arg(unit / 250).arg(unit % 250),
                     QStringLiteral("units/%1.brcf").arg(unit), QStringLiteral("насосная")};
             });
    double stallMs = 0;
    qint64 checkMs = 0;
    const bool ran = saved && checkStall(checked, &stallMs, &checkMs);
    units.quit();
    units.wait();
    if (!ran)
        return 1;
    std::printf("plant window check of %d units: %lld ms, longest event-loop stall %.1f ms\n",
                Units, static_cast<long long>(checkMs), stallMs);
    std::printf("plant of 1000 units loaded and shown in %lld ms\n",
                static_cast<long long>(showMs(large)));
    return 0;
}
