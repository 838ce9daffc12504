// SPDX-License-Identifier: GPL-3.0-or-later
// The plant: its file refused with the line and the reason, the backup
// archive that keeps a version only on a change, the journal's filters, and
// brkctl's plant commands against simulated units on one port and a serial line.

#include "backuparchive.h"
#include "configfile.h"
#include "journal.h"
#include "module.h"
#include "parametertree.h"
#include "plant.h"
#include "target.h"
#include "processrun.h"
#include "ptypair.h"
#include "submodule.h"
#include "unitsimfixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString LowerLimit
    = QStringLiteral("Субмодуль AI (Слот B) / Аналоговый вход 2 / Нижний предел");
constexpr int LimitHighWord = 813; // of LowerLimit's input
constexpr int GatewayWord = 2014;
const QVector<int> Boards{5, 4, 0, 0, 0, 0};

ProcessRun brkctl(const QStringList &arguments)
{
    return ProcessRun::run(QStringLiteral(BRKCTL_PATH), arguments);
}

bool writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

std::unique_ptr<Module> aiModule(const QString &lowerLimit)
{
    auto module = std::make_unique<Module>(1);
    module->createSubmodule(4)->setValue(SubmoduleParam::Slot, 1);
    QString error;
    if (!ParameterTree::set(*module, LowerLimit, lowerLimit, &error))
        qWarning() << error;
    return module;
}

QByteArray plantText(const QStringList &targets)
{
    Plant plant;
    plant.setName(QStringLiteral("Котельная №2"));
    for (int i = 0; i < targets.size(); ++i)
        plant.addUnit({QStringLiteral("Шкаф %1").arg(i + 1), targets.at(i),
                       QStringLiteral("units/%1.brcf").arg(i + 1), QString()});
    return plant.toJson();
}

} // namespace

class TestPlant : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void badPlant_refusedWithLineAndReason_data();
    void badPlant_refusedWithLineAndReason();
    void savedPlant_readsBackTheSame();
    void backup_keepsAVersionOnlyOnAChange();
    void journal_filters_data();
    void journal_filters();
    void plantCommands_againstSimulatedUnits();
    void badPlant_writesNothing();
    void plantReport_unitsReadOrFromTheirFiles();
};

void TestPlant::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("brk.model.debug=false"));
}

void TestPlant::badPlant_refusedWithLineAndReason_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");

    const QByteArray head = "{\n  \"plant\": \"П\",\n  \"units\": [\n";
    const QByteArray unit1 = "    {\"name\": \"A\", \"target\": \"tcp://10.0.0.1?unit=1\"}";
    QTest::newRow("not JSON") << head + unit1 + ",\n  ]\n}"
                              << "строка 5: не JSON";
    QTest::newRow("unknown key") << head + unit1
                                        + ",\n    {\"name\": \"B\",\n     \"taget\": "
                                          "\"tcp://10.0.0.2\"}\n  ]\n}"
                                 << "строка 6: неизвестный ключ «taget»";
    QTest::newRow("duplicate name")
        << head + unit1 + ",\n    {\"name\": \"A\", \"target\": \"tcp://10.0.0.2\"}\n  ]\n}"
        << "строка 5: имя «A» уже есть у модуля в строке 4";
    QTest::newRow("bad target")
        << head + unit1 + ",\n    {\"name\": \"B\", \"target\": \"tcp://10.0.0.2?unit=0\"}\n  ]\n}"
        << "строка 5: неверная цель «tcp://10.0.0.2?unit=0»";
    QTest::newRow("repeated key")
        << head + "    {\"name\": \"A\",\n     \"name\": \"B\", \"target\": \"tcp://h\"}\n  ]\n}"
        << "строка 5: ключ «name» повторяется";
    QTest::newRow("no target") << head + "    {\"name\": \"A\"}\n  ]\n}"
                               << "строка 4: у модуля нет «target»";
    QTest::newRow("unknown top key")
        << QByteArray("{\"plant\": \"П\",\n \"unit\": []}") << "строка 2: неизвестный ключ «unit»";
}

void TestPlant::badPlant_refusedWithLineAndReason()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    Plant plant;
    plant.setName(QStringLiteral("kept"));
    QString reason;
    QVERIFY(!Plant::parse(text, &Target::check, &plant, &reason));
    QVERIFY2(reason.startsWith(error), qPrintable(reason));
    QCOMPARE(plant.name(), QStringLiteral("kept"));
}

void TestPlant::savedPlant_readsBackTheSame()
{
    const QByteArray text = plantText({"tcp://10.0.0.21:502?unit=1", "rtu:/dev/ttyS0?unit=3"});
    Plant plant;
    QString error;
    QVERIFY2(Plant::parse(text, &Target::check, &plant, &error), qPrintable(error));
    QCOMPARE(plant.name(), QStringLiteral("Котельная №2"));
    QCOMPARE(plant.units().size(), 2);
    QCOMPARE(plant.units().at(1).target, QStringLiteral("rtu:/dev/ttyS0?unit=3"));
    QCOMPARE(plant.toJson(), text);
}

void TestPlant::backup_keepsAVersionOnlyOnAChange()
{
    QTemporaryDir dir;
    BackupArchive archive(dir.filePath("backups"));
    const QString unit = QStringLiteral("Шкаф 1/узел 3");
    const QDateTime at(QDate(2026, 3, 1), QTime(2, 0), Qt::UTC);
    QString path;
    QString error;
    std::unique_ptr<Module> module = aiModule("1");
    QCOMPARE(archive.add(unit, *module, at, &path, &error), BackupArchive::Added::Stored);
    QCOMPARE(archive.add(unit, *module, at.addDays(1), &path, &error),
             BackupArchive::Added::Unchanged);
    module = aiModule("4");
    QCOMPARE(archive.add(unit, *module, at, &path, &error), BackupArchive::Added::Stored);
    QStringList names;
    for (const QString &version : archive.versions(unit))
        names << BackupArchive::versionName(version);
    QCOMPARE(names, (QStringList{"2026-03-01T020000-2", "2026-03-01T020000"}));
    QVERIFY(archive.unitFolder(unit).startsWith(archive.root() + "/"));
    QVERIFY(!archive.unitFolder(unit).mid(archive.root().size() + 1).contains('/'));
}

void TestPlant::journal_filters_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QDateTime>("since");
    QTest::addColumn<QStringList>("outcomes");

    const QDateTime t2(QDate(2026, 3, 2), QTime(0, 0), Qt::UTC);
    QTest::newRow("all") << QString() << QDateTime() << QStringList{"a1", "b2", "a3"};
    QTest::newRow("by name") << "A" << QDateTime() << QStringList{"a1", "a3"};
    QTest::newRow("by target") << "tcp://b" << QDateTime() << QStringList{"b2"};
    QTest::newRow("since") << QString() << t2 << QStringList{"b2", "a3"};
    QTest::newRow("both") << "A" << t2 << QStringList{"a3"};
}

void TestPlant::journal_filters()
{
    QFETCH(QString, unit);
    QFETCH(QDateTime, since);
    QFETCH(QStringList, outcomes);
    QTemporaryDir dir;
    const QString path = Journal::besidePlant(dir.path());
    const QStringList written{"a1", "b2", "a3"};
    for (int day = 1; day <= 3; ++day) {
        JournalEntry entry = JournalEntry::now();
        entry.time = QDateTime(QDate(2026, 3, day), QTime(12, 0), Qt::UTC);
        entry.unit = day == 2 ? "B" : "A";
        entry.target = day == 2 ? "tcp://b" : "tcp://a";
        entry.outcome = written.at(day - 1); // tells the entries apart
        QString error;
        QVERIFY2(Journal::append(path, entry, &error), qPrintable(error));
    }
    QFile journal(path); // and a line cut short by a crash
    QVERIFY(journal.open(QIODevice::Append));
    journal.write("{\"time\": \"20");
    journal.close();

    const Journal::Read read = Journal::read(path, {unit, since});
    QStringList found;
    for (const JournalEntry &entry : read.entries)
        found << entry.outcome;
    QCOMPARE(found, outcomes);
    QCOMPARE(read.skipped, 1);
}

void TestPlant::plantCommands_againstSimulatedUnits()
{
    QTemporaryDir dir;
    UnitSimFixture sim({UnitSimFixture::unit(1, Boards), UnitSimFixture::unit(2, Boards),
                        UnitSimFixture::unit(3, Boards)});
    QVERIFY(sim.start());
    QStringList targets;
    for (int unit : {1, 2})
        targets << QStringLiteral("tcp://127.0.0.1:%1?unit=%2").arg(sim.port()).arg(unit);
    PtyPair pty;
    if (PtyPair::socatAvailable() && pty.start() && sim.openSerial(pty.unitEnd()))
        targets << QStringLiteral("rtu:%1?baud=115200&unit=3").arg(pty.clientEnd());
    else
        targets << QStringLiteral("tcp://127.0.0.1:%1?unit=3").arg(sim.port());
    const QString plant = dir.filePath("plant.brplant");
    QVERIFY(writeText(plant, plantText(targets)));
    QVERIFY(QDir(dir.path()).mkpath("units"));
    for (int i = 0; i < 3; ++i) {
        const ProcessRun read = brkctl({"read", targets.at(i), "-o",
                                        dir.filePath(QStringLiteral("units/%1.brcf").arg(i + 1))});
        QVERIFY2(read.status == 0, qPrintable(read.err));
    }

    ProcessRun run = brkctl({"plant", "status", plant, "--jobs", "3"});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(run.out.count("  отвечает  ВИРАТ7100.20 БРК  ПО 2.2  A:AIO B:AI C:- "), 3);

    // Unit 2 is changed behind the plant's back.
    QVERIFY(sim.setReg(2, QModbusDataUnit::HoldingRegisters, LimitHighWord, 0x4080));
    run = brkctl({"plant", "check", plant, "--jobs", "3"});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, "Шкаф 2: " + LowerLimit + ": 0.000 → 4.000\n");

    run = brkctl({"plant", "backup", plant});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(run.out.count("новая версия"), 3);
    run = brkctl({"plant", "backup", plant});
    QCOMPARE(run.out, QString());
    QVERIFY(sim.setReg(1, QModbusDataUnit::HoldingRegisters, LimitHighWord, 0x4080));
    run = brkctl({"plant", "backup", plant, "--json"});
    const QJsonArray units
        = QJsonDocument::fromJson(run.out.toUtf8()).object().value("units").toArray();
    QCOMPARE(units.size(), 3);
    QCOMPARE(units.at(0).toObject().value("newVersion").toBool(), true);
    QCOMPARE(units.at(1).toObject().value("newVersion").toBool(), false);
    run = brkctl({"plant", "history", plant, "Шкаф 1"});
    const QStringList versions = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(versions.size(), 2);
    run = brkctl({"plant", "history", plant, "Шкаф 1", "--diff", versions.at(1), versions.at(0)});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, LowerLimit + ": 0.000 → 4.000\n");

    // Unit 2 gets its file back, and keeps its own gateway; nobody else is written.
    QVERIFY(sim.setReg(2, QModbusDataUnit::HoldingRegisters, GatewayWord, 0x0A01));
    sim.clearRequests();
    run = brkctl({"plant", "write", plant, "--only", "Шкаф 2"});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(sim.reg(2, QModbusDataUnit::HoldingRegisters, LimitHighWord), 0);
    QCOMPARE(sim.reg(2, QModbusDataUnit::HoldingRegisters, GatewayWord), 0x0A01);
    QCOMPARE(sim.reg(1, QModbusDataUnit::HoldingRegisters, LimitHighWord), 0x4080);
    for (const SimRequestRecord &record : sim.requests())
        QCOMPARE(record.slave, 2);

    run = brkctl({"journal", plant, "--unit", "Шкаф 2", "--json"});
    const QJsonArray entries = QJsonDocument::fromJson(run.out.toUtf8())
                                   .object()
                                   .value("units")
                                   .toArray()
                                   .at(0)
                                   .toObject()
                                   .value("entries")
                                   .toArray();
    QCOMPARE(entries.size(), 1);
    const QJsonObject entry = entries.at(0).toObject();
    QCOMPARE(entry.value("outcome").toString(), JournalEntry::Confirmed);
    QCOMPARE(entry.value("target").toString(), targets.at(1));
    QCOMPARE(entry.value("changes").toArray(),
             QJsonArray({QJsonObject{{"path", LowerLimit}, {"old", "4.000"}, {"new", "0.000"}}}));

    // A journal that cannot be written does not stop the write, but says so.
    const QString journal = dir.filePath("journal.jsonl");
    QVERIFY(QFile::remove(journal) && QDir().mkdir(journal));
    run = brkctl({"plant", "write", plant, "--only", "Шкаф 1"});
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains("журнал изменений " + journal + " не записан"), qPrintable(run.err));
    QCOMPARE(sim.reg(1, QModbusDataUnit::HoldingRegisters, LimitHighWord), 0);
    run = brkctl({"plant", "history", plant, "Шкаф 1", "--diff", versions.at(0), "unit"});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, LowerLimit + ": 4.000 → 0.000\n");
}

void TestPlant::badPlant_writesNothing()
{
    QTemporaryDir dir;
    UnitSimFixture sim({UnitSimFixture::unit(1, Boards)});
    QVERIFY(sim.start());
    const QString plant = dir.filePath("plant.brplant");
    const QString good = QStringLiteral("tcp://127.0.0.1:%1?unit=1").arg(sim.port());
    QVERIFY(writeText(plant, plantText({good, "tcp://127.0.0.1:1?unit=300"})));
    const ProcessRun run = brkctl({"plant", "write", plant});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains("строка 11: неверная цель"), qPrintable(run.err));
    QVERIFY(sim.requests().isEmpty());
}

void TestPlant::plantReport_unitsReadOrFromTheirFiles()
{
    QTemporaryDir dir;
    UnitSimFixture sim({UnitSimFixture::unit(1, Boards)});
    QVERIFY(sim.start());
    const QString plant = dir.filePath("plant.brplant");
    QVERIFY(
        writeText(plant, plantText({QStringLiteral("tcp://127.0.0.1:%1?unit=1").arg(sim.port()),
                                    QStringLiteral("tcp://127.0.0.1:%1?unit=2").arg(sim.port()),
                                    QStringLiteral("tcp://127.0.0.1:%1?unit=3").arg(sim.port())})));
    QVERIFY(QDir(dir.path()).mkpath("units"));
    QVERIFY(saveJsonObject(aiModule("4")->toJson(), dir.filePath("units/2.brcf")));
    const QString html = dir.filePath("plant.html");
    const ProcessRun run = brkctl({"plant", "report", plant, "-o", html, "--json"});
    // Unit 3 neither answers nor has a file: the report is written without it, and that fails.
    QCOMPARE(run.status, 3);
    QFile file(html);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.contains("Шкаф 1"));
    QVERIFY(text.contains("Шкаф 2 (модуль не ответил, по файлу)"));
    QVERIFY(!text.contains("Шкаф 3"));
    const QJsonArray units
        = QJsonDocument::fromJson(run.out.toUtf8()).object().value("units").toArray();
    QCOMPARE(units.size(), 3);
    QCOMPARE(units.at(0).toObject().value("message").toString(), "прочитан из модуля");
}

QTEST_MAIN(TestPlant)
#include "tst_plant.moc"
