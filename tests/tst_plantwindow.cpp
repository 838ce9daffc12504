// SPDX-License-Identifier: GPL-3.0-or-later
// The plant window: its rows and statuses after a check against simulated
// units on one port, the check's differences in the CSV, and how long a plant
// of 1,000 units takes to load and show.

#include "plant.h"
#include "plantunitsmodel.h"
#include "plantwindow.h"
#include "processrun.h"
#include "unitsimfixture.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString LowerLimit
    = QStringLiteral("Субмодуль AI (Слот B) / Аналоговый вход 2 / Нижний предел");
constexpr int LimitHighWord = 813; // of LowerLimit's input
const QVector<int> Boards{5, 4, 0, 0, 0, 0};

QString cell(const PlantUnitsModel *model, int row, int column)
{
    return model->index(row, column).data().toString();
}

} // namespace

class TestPlantWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void check_showsEachUnitsStateAndDifferences();
    void thousandUnits_loadAndShowAndTakeAFoundUnit();
};

void TestPlantWindow::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("brk.*.debug=false"));
    qputenv("XDG_CONFIG_HOME", QDir::tempPath().toUtf8() + "/tst_plantwindow-config");
}

void TestPlantWindow::check_showsEachUnitsStateAndDifferences()
{
    QTemporaryDir dir;
    UnitSimFixture sim({UnitSimFixture::unit(1, Boards), UnitSimFixture::unit(2, Boards)});
    QVERIFY(sim.start());
    const QString base = QStringLiteral("tcp://127.0.0.1:%1?unit=").arg(sim.port());
    QVERIFY(QDir(dir.path()).mkpath("units"));
    for (int unit : {1, 2}) {
        const ProcessRun read = ProcessRun::run(
            QStringLiteral(BRKCTL_PATH), {"read", base + QString::number(unit), "-o",
                                          dir.filePath(QStringLiteral("units/%1.brcf").arg(unit))});
        QVERIFY2(read.status == 0, qPrintable(read.err));
    }
    Plant plant;
    plant.setName(QStringLiteral("Котельная"));
    plant.addUnit({QStringLiteral("Шкаф 1"), base + "1", QStringLiteral("units/1.brcf"), {}});
    plant.addUnit({QStringLiteral("Шкаф 2"), base + "2", QStringLiteral("units/2.brcf"), {}});
    plant.addUnit({QStringLiteral("Шкаф 3"), base + "3", QStringLiteral("units/1.brcf"), {}});
    plant.addUnit({QStringLiteral("Шкаф 4"), base + "1", QString(), {}});
    const QString path = dir.filePath("plant.brplant");
    QString error;
    QVERIFY2(plant.save(path, &error), qPrintable(error));
    // Unit 2 is changed behind the plant's back.
    QVERIFY(sim.setReg(2, QModbusDataUnit::HoldingRegisters, LimitHighWord, 0x4080));

    PlantWindow window;
    QVERIFY2(window.load(path, &error), qPrintable(error));
    const PlantUnitsModel *model = window.model();
    QCOMPARE(cell(model, 0, PlantUnitsModel::Status), QStringLiteral("не проверен"));
    QSignalSpy finished(&window, &PlantWindow::runFinished);
    window.check();
    QVERIFY(window.isRunning());
    QVERIFY(finished.wait(30000));

    const QString boards = QStringLiteral("A:AIO B:AI C:- D:- E:- F:-");
    const QVector<QStringList> expected{
        {"отвечает", "2.2", boards, "совпадает с файлом"},
        {"отвечает", "2.2", boards, "отличается: 1 параметров"},
        {"нет ответа", "", "", ""},
        {"отвечает", "2.2", boards, "нет файла"},
    };
    for (int row = 0; row < expected.size(); ++row) {
        const QStringList shown{
            cell(model, row, PlantUnitsModel::Status), cell(model, row, PlantUnitsModel::Firmware),
            cell(model, row, PlantUnitsModel::Boards), cell(model, row, PlantUnitsModel::File)};
        QCOMPARE(shown, expected.at(row));
    }

    const QString csvPath = dir.filePath("plant.csv");
    QVERIFY2(window.exportCsv(csvPath, &error), qPrintable(error));
    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(csv.readAll());
    QVERIFY2(text.contains("Шкаф 2: " + LowerLimit + ": 0.000 → 4.000"), qPrintable(text));
    QCOMPARE(text.count("\r\n\"Шкаф") + text.count("\r\nШкаф"), 4);
}

void TestPlantWindow::thousandUnits_loadAndShowAndTakeAFoundUnit()
{
    QTemporaryDir dir;
    Plant plant;
    plant.setName(QStringLiteral("Большой объект"));
    for (int i = 0; i < 1000; ++i)
        plant.addUnit({QStringLiteral("Шкаф %1").arg(i + 1),
                       QStringLiteral("tcp://10.1.%1.%2?unit=1").arg(i / 250).arg(i % 250 + 1),
                       QStringLiteral("units/%1.brcf").arg(i + 1),
                       {}});
    const QString path = dir.filePath("big.brplant");
    QString error;
    QVERIFY2(plant.save(path, &error), qPrintable(error));

    // bench/plant_window measures how long this takes.
    PlantWindow window;
    QVERIFY2(window.load(path, &error), qPrintable(error));
    window.show();
    QApplication::processEvents();
    QCOMPARE(window.model()->rowCount(), 1000);
    QCOMPARE(cell(window.model(), 999, PlantUnitsModel::File), QStringLiteral("нет файла"));

    // A unit found by the start window joins the plant file; a taken name is refused.
    QVERIFY(!window.addUnit({QStringLiteral("Шкаф 1"), "tcp://10.2.0.1?unit=1", {}, {}}, &error));
    QVERIFY2(window.addUnit({QStringLiteral("Новый"), "tcp://10.2.0.1?unit=1", {}, {}}, &error),
             qPrintable(error));
    Plant saved;
    QVERIFY2(Plant::load(path, nullptr, &saved, &error), qPrintable(error));
    QCOMPARE(saved.units().size(), 1001);
    QCOMPARE(saved.units().last().target, QStringLiteral("tcp://10.2.0.1?unit=1"));
}

QTEST_MAIN(TestPlantWindow)
#include "tst_plantwindow.moc"
