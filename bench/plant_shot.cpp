// SPDX-License-Identifier: GPL-3.0-or-later
// For scripts/screenshots: the plant window after a check of simulated units on
// one port (one matches its file, one differs, one has no file, one does not answer).
// Usage: plant_shot OUTPUT.png   (run under a real X server; scripts/screenshots uses Xvfb)

#include "benchsupport.h"
#include "plant.h"
#include "plantwindow.h"
#include "processrun.h"
#include "unitsimfixture.h"

#include <QDir>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int LimitHighWord = 813; // the lower limit of slot B's second input

bool readFile(const QString &target, const QString &path)
{
    const ProcessRun read
        = ProcessRun::run(QStringLiteral(BRKCTL_PATH), {"read", target, "-o", path});
    if (read.status != 0)
        std::fprintf(stderr, "%s\n", qPrintable(read.err));
    return read.status == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    BenchSupport::Application app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: plant_shot OUTPUT.png\n");
        return 2;
    }
    UnitSimFixture sim({UnitSimFixture::unit(1, {5, 4, 0, 0, 0, 0}),
                        UnitSimFixture::unit(2, {4, 0, 6, 0, 0, 1}),
                        UnitSimFixture::unit(3, {5, 4, 6, 7, 8, 1}, 21)});
    QTemporaryDir dir;
    if (!sim.start() || !QDir(dir.path()).mkpath("units"))
        return 1;
    const QString base = QStringLiteral("tcp://127.0.0.1:%1?unit=").arg(sim.port());
    Plant plant;
    plant.setName(QStringLiteral("Котельная №2"));
    const QStringList names{"Шкаф КИП-1", "Шкаф КИП-2", "Насосная", "Щит вентиляции", "Резерв"};
    for (int i = 0; i < names.size(); ++i) {
        const QString file = i == 3 ? QString() : QStringLiteral("units/%1.brcf").arg(i + 1);
        plant.addUnit({names.at(i), base + QString::number(i == 3 ? 1 : i + 1), file, {}});
        if (i < 3 && !readFile(base + QString::number(i + 1), dir.filePath(file)))
            return 1;
    }
    const QString path = dir.filePath("plant.brplant");
    QString error;
    if (!plant.save(path, &error))
        return 1;
    sim.setReg(2, QModbusDataUnit::HoldingRegisters, LimitHighWord, 0x4080);

    PlantWindow window;
    if (!window.load(path, &error))
        return 1;
    window.resize(1100, 300);
    window.show();
    QSignalSpy finished(&window, &PlantWindow::runFinished);
    window.check();
    if (!finished.wait(30000))
        return 1;
    window.table()->resizeColumnsToContents();
    window.table()->horizontalHeader()->setStretchLastSection(true);
    return BenchSupport::savePicture(&window, QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
