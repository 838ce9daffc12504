// SPDX-License-Identifier: GPL-3.0-or-later
// brkctl plant check of 64 units on one simulated TCP port with --jobs 64,
// against the check of a plant of one of them: the plant should take at most
// 1.3 times one unit's check. Also the load of a plant of 1,000 units.
#include "plant.h"
#include "target.h"
#include "processrun.h"
#include "unitsimfixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int Units = 64;
const QVector<int> Boards{5, 4, 6, 7, 8, 1};

ProcessRun brkctl(const QStringList &arguments)
{
    return ProcessRun::run(QStringLiteral(BRKCTL_PATH), arguments, 120000);
}

QString target(const UnitSimFixture &sim, int unit)
{
    return QStringLiteral("tcp://127.0.0.1:%1?unit=%2").arg(sim.port()).arg(unit);
}

// A plant of `count` units that all share one configuration file.
bool writePlant(const QString &path, const UnitSimFixture &sim, int count)
{
    Plant plant;
    plant.setName(QStringLiteral("bench"));
    for (int unit = 1; unit <= count; ++unit)
        plant.addUnit({QStringLiteral("unit %1").arg(unit), target(sim, unit),
                       QStringLiteral("unit.brcf"), QString()});
    QString error;
    return plant.save(path, &error);
}

qint64 loadMs(const QTemporaryDir &dir)
{
    Plant plant;
    for (int unit = 1; unit <= 1000; ++unit)
        plant.addUnit(
            {QStringLiteral("Шкаф %1, узел 3").arg(unit),
             QStringLiteral("tcp://10.0.%1.%2:502?unit=1").arg(unit / 250).arg(unit % 250),
             QStringLiteral("units/%1.brcf").arg(unit), QStringLiteral("насосная")});
    const QString path = dir.filePath("large.brplant");
    QString error;
    if (!plant.save(path, &error))
        return -1;
    QElapsedTimer clock;
    clock.start();
    Plant loaded;
    if (!Plant::load(path, &Target::check, &loaded, &error))
        return -1;
    return clock.elapsed();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QList<SimUnitConfig> units;
    for (int unit = 1; unit <= Units; ++unit)
        units << UnitSimFixture::unit(unit, Boards);
    UnitSimFixture sim(units);
    QTemporaryDir dir;
    if (!sim.start() || !dir.isValid()) {
        std::fprintf(stderr, "plant_check: the simulated units do not start\n");
        return 1;
    }
    const ProcessRun read = brkctl({"read", target(sim, 1), "-o", dir.filePath("unit.brcf")});
    const QString one = dir.filePath("one.brplant");
    const QString all = dir.filePath("all.brplant");
    if (read.status != 0 || !writePlant(one, sim, 1) || !writePlant(all, sim, Units)) {
        std::fprintf(stderr, "plant_check: no plant to check (%d)\n", read.status);
        return 1;
    }
    const ProcessRun single = brkctl({"plant", "check", one});
    const ProcessRun plant = brkctl({"plant", "check", all, "--jobs", QString::number(Units)});
    if (single.status != 0 || plant.status != 0) {
        std::fprintf(stderr, "plant_check: a check failed (%d, %d)\n%s", single.status,
                     plant.status, qPrintable(plant.err));
        return 1;
    }
    std::printf("plant check of %d units: %lld ms, one unit %lld ms, ratio %.3f\n", Units,
                static_cast<long long>(plant.ms), static_cast<long long>(single.ms),
                double(plant.ms) / double(single.ms));
    std::printf("plant of 1000 units loaded in %lld ms\n", static_cast<long long>(loadMs(dir)));
    return 0;
}
