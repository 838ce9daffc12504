// SPDX-License-Identifier: GPL-3.0-or-later
// brkctl run as a process against the simulated unit (in this process, over
// TCP loopback and a pty pair): what it sends, what the unit holds afterwards,
// what it prints and how it exits.

#include "configedit.h"
#include "processrun.h"
#include "ptypair.h"
#include "unitsimfixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>

Q_DECLARE_METATYPE(SimFaults)

namespace {

constexpr auto HoldingRegisters = QModbusDataUnit::HoldingRegisters;
const QString LowerLimit
    = QStringLiteral("Субмодуль AI (Слот B) / Аналоговый вход 2 / Нижний предел");
// Lower limit of analog input 3 (AI board in slot B, input 2): its high word.
constexpr int LimitHighWord = 813;
const QString LimitInput = QStringLiteral("1/1/"); // its channel in the file
// AIO and AI boards only: every brkctl run reads the unit, paced, block by block.
const QVector<int> Boards{5, 4, 0, 0, 0, 0};

// Runs brkctl while the event loop keeps the simulated units answering.
ProcessRun brkctl(const QStringList &arguments)
{
    return ProcessRun::run(QStringLiteral(BRKCTL_PATH), arguments);
}

QString target(const UnitSimFixture &sim, int unit)
{
    return QStringLiteral("tcp://127.0.0.1:%1?unit=%2").arg(sim.port()).arg(unit);
}

// Writes of configuration (function 5 or 6) as "<address> <hex value>".
QStringList writes(const UnitSimFixture &sim, int slave = -1)
{
    QStringList list;
    for (const SimRequestRecord &record : sim.requests()) {
        if ((record.function == 5 || record.function == 6) && (slave < 0 || record.slave == slave))
            list << QStringLiteral("%1 %2").arg(record.address).arg(record.values.value(0), 0, 16);
    }
    return list;
}

// The unit's configuration file with settings changed (see editedConfig()).
QString editedFile(const QString &source, const QString &path, const QStringList &edits)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    const QJsonObject root = QJsonDocument::fromJson(in.readAll()).object();
    return writeConfig(path, editedConfig(root, edits)) ? path : QString();
}

} // namespace

class TestBrkctl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readThenWriteChanged_sendsOnlyTheChangedRegisters();
    void refused_data();
    void refused();
    void writeFile_keepsTheUnitsLinkUnlessAsked_data();
    void writeFile_keepsTheUnitsLinkUnlessAsked();
    void onlyUnitsAndFreeAddresses_data();
    void onlyUnitsAndFreeAddresses();
    void interruptedWrite_endsCleanly();
    void fleetWrite_keepsEachUnitsLinkWords();
    void rtu_writesAndFollowsAnAddressChange();
    void mapCsv_isTheFileTheWindowExports();
    void helpAll_namesTheProgramAndFitsATerminal();
    void progress_fillsOnceOverTheWrite();

private:
    QTemporaryDir m_dir;
    QString m_unitFile;   // the default unit's configuration as brkctl read it
    QString m_editedFile; // … with the lower limit of LowerLimit at 4
};

void TestBrkctl::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Writes outside a plant are journalled in the user's data folder.
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
    UnitSimFixture sim({UnitSimFixture::unit(1, Boards)});
    QVERIFY(sim.start());
    m_unitFile = m_dir.filePath("unit.brcf");
    const ProcessRun read = brkctl({"read", target(sim, 1), "-o", m_unitFile});
    QCOMPARE(read.status, 0);
    m_editedFile
        = editedFile(m_unitFile, m_dir.filePath("edited.brcf"), {LimitInput + "LOWER_LIMIT=4"});
    QVERIFY(!m_editedFile.isEmpty());
}

void TestBrkctl::readThenWriteChanged_sendsOnlyTheChangedRegisters()
{
    UnitSimFixture sim({UnitSimFixture::unit(1, Boards)});
    QVERIFY(sim.start());

    // The unit's own file differs from the edited one in the limit, by its path.
    ProcessRun diff = brkctl({"diff", target(sim, 1), m_editedFile});
    QCOMPARE(diff.status, 1);
    QCOMPARE(diff.out, LowerLimit + ": 0.000 → 4.000\n");

    const ProcessRun write = brkctl({"write", target(sim, 1), m_editedFile, "--changed"});
    QVERIFY2(write.status == 0, qPrintable(write.err));
    // 4.0 is 0x40800000: only the high word changes, after its write-enable
    // command, inside the EEPROM flag.
    QCOMPARE(writes(sim), (QStringList{"2023 1", "2016 6c31", "813 4080", "2023 0"}));
    QCOMPARE(sim.reg(1, HoldingRegisters, LimitHighWord), 0x4080);
    QVERIFY2(write.err.contains("проверено чтением"), qPrintable(write.err));

    QFile journal(m_dir.filePath("data/virat/brk-configurator/journal.jsonl"));
    QVERIFY(journal.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = journal.readAll().split('\n');
    QCOMPARE(lines.size(), 2); // one line and its end
    const QJsonObject entry = QJsonDocument::fromJson(lines.first()).object();
    QCOMPARE(entry.value("outcome").toString(), QString("confirmed"));
    QCOMPARE(entry.value("action").toString(), QString("write"));
    QCOMPARE(entry.value("changes").toArray(),
             QJsonArray({QJsonObject{{"path", LowerLimit}, {"old", "0.000"}, {"new", "4.000"}}}));
}

void TestBrkctl::refused_data()
{
    QTest::addColumn<QVector<int>>("boards"); // of the simulated unit
    QTest::addColumn<SimFaults>("faults");
    QTest::addColumn<QStringList>("arguments"); // %T: the unit, %F: the edited file
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // in standard error
    QTest::addColumn<bool>("writesSent");

    QTest::newRow("file with other boards")
        << QVector<int>{4, 0, 0, 0, 0, 0} << SimFaults() << QStringList{"write", "%T", "%F"} << 4
        << "Не верная конфигурация загружаемого модуля. Ошибка: разное кол-во субмодулей" << false;
    QTest::newRow("out of range")
        << Boards << SimFaults() << QStringList{"set", "%T", LowerLimit + "=1000.5"} << 2
        << "недопустимое значение «1000.5», допустимо -1000.000 … 1000.000" << false;
    SimFaults silent;
    silent.silentAfter = 40; // the reads, the EEPROM flag, pairs: silent at a write-enable
    QTest::newRow("unit stops answering mid-write")
        << Boards << silent
        << QStringList{"write", "%T", "%F", "--timeout", "100", "--retries", "0"} << 5
        << "регистр 2016, команда разрешения записи; последний подтверждённый: регистр 802, "
           "пределы аналоговых входов, регистры 800–895 (wT800)"
        << true;
    SimFaults ignoring;
    ignoring.ignoreWrite.insert(LimitHighWord);
    QTest::newRow("write not kept")
        << Boards << ignoring << QStringList{"write", "%T", "%F", "--changed"} << 5
        << LowerLimit + " (регистр 813: записано 16512, считано 0)" << true;
    // Every value of a file is checked before the first write.
    QTest::newRow("file address out of range")
        << Boards << SimFaults() << QStringList{"write", "%T", "%M:DEV_ADDR=999", "--link"} << 4
        << "«Модуль / Адрес MODBUS»: недопустимое значение «999», допустимо 1 … 247" << false;
    QTest::newRow("file baud code outside the list, written with --link")
        << Boards << SimFaults() << QStringList{"write", "%T", "%M:PORT_CFG=11", "--link"} << 4
        << "«Модуль / Скорость, бит/с»: недопустимое значение «11»" << false;
    QTest::newRow("file limit out of range")
        << Boards << SimFaults() << QStringList{"write", "%T", "%C:LOWER_LIMIT=4000"} << 4
        << "Нижний предел»: недопустимое значение «4000.000», допустимо -1000.000" << false;
    QTest::newRow("file signal type unknown")
        << Boards << SimFaults() << QStringList{"write", "%T", "%C:SIGNAL_TYPE=77"} << 4
        << "Тип сигнала»: недопустимое значение «77», допустимо: " << false;
    QTest::newRow("reset without --yes")
        << Boards << SimFaults() << QStringList{"reset", "%T"} << 2 << "--yes" << false;
    // Address 0 is a broadcast: every unit on the line would take the write.
    QTest::newRow("broadcast target")
        << Boards << SimFaults() << QStringList{"write", "tcp://127.0.0.1:1?unit=0", "%F"} << 2
        << "unit должен быть адресом 1…247" << false;
    QTest::newRow("nobody at the address")
        << Boards << SimFaults()
        << QStringList{"get", "%T2", "IP-адрес", "--timeout", "100", "--retries", "0"} << 3
        << "нет ответа на чтение параметров модуля (регистры 2000–2022)" << false;
    SimFaults exception;
    exception.exceptionAt.insert(2000, 2);
    QTest::newRow("first read refused")
        << Boards << exception << QStringList{"get", "%T", "IP-адрес"} << 4
        << "модуль отклонил чтение параметров модуля" << false;
    SimFaults stays;
    stays.ignoreWrite.insert(2005); // the unit keeps its address
    QTest::newRow("address move not confirmed")
        << Boards << stays
        << QStringList{"set", "%T", "Адрес MODBUS=6", "--switch-over", "0", "--timeout", "100"} << 5
        << "адрес записан: модуль должен отвечать по адресу tcp://127.0.0.1:%P?unit=6" << true;
    QTest::newRow("new IP address, not checked over the old one")
        << Boards << SimFaults() << QStringList{"set", "%T", "IP-адрес=10.0.0.5"} << 5
        << "параметры связи записаны: модуль должен отвечать по адресу tcp://10.0.0.5" << true;
    QTest::newRow("switch-over not a number")
        << Boards << SimFaults()
        << QStringList{"set", "%T", "Адрес MODBUS=6", "--switch-over", "abc"} << 2
        << "--switch-over: нужно число" << false;
    QTest::newRow("switch-over negative")
        << Boards << SimFaults() << QStringList{"write", "%T", "%F", "--switch-over", "-5"} << 2
        << "--switch-over: нужно число" << false;
    QTest::newRow("key given twice, JSON")
        << Boards << SimFaults() << QStringList{"read", "--json", "%T&unit=7"} << 2
        << "параметр «unit» указан дважды" << false;
    QTest::newRow("host range outside scan")
        << Boards << SimFaults() << QStringList{"read", "tcp://127.0.0.1-3:1"} << 2
        << "диапазон адресов допустим только в команде scan" << false;
    QTest::newRow("journal of a missing plant")
        << Boards << SimFaults() << QStringList{"journal", "%F.brplant"} << 2
        << ".brplant: нет файла" << false;
    QTest::newRow("nobody in a scanned range")
        << Boards << SimFaults()
        << QStringList{"scan", "%T", "--from", "4", "--to", "6", "--timeout", "50"} << 3
        << "unit=4-6: модули не" << false;
    QTest::newRow("comment after a target")
        << Boards << SimFaults() << QStringList{"scan", "--targets", "%L"} << 0 << QString()
        << false;
}

void TestBrkctl::refused()
{
    QFETCH(QVector<int>, boards);
    QFETCH(SimFaults, faults);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(bool, writesSent);

    UnitSimFixture::Options options;
    options.units = {UnitSimFixture::unit(1, boards)};
    options.faults = faults;
    UnitSimFixture sim(options);
    QVERIFY(sim.start());
    QFile targets(m_dir.filePath("targets.txt"));
    QVERIFY(targets.open(QIODevice::WriteOnly)
            && targets.write((target(sim, 1) + "  # the unit by the door\n").toUtf8()) > 0);
    targets.close();
    for (QString &argument : arguments) {
        argument.replace("%T2", target(sim, 2));
        argument.replace("%T", target(sim, 1));
        argument.replace("%F", m_editedFile);
        if (argument.startsWith("%M:") || argument.startsWith("%C:")) // the edited file, edited
            argument = editedFile(m_editedFile, m_dir.filePath("bad.brcf"),
                                  {(argument.at(1) == 'C' ? LimitInput : "") + argument.mid(3)});
        argument.replace("%L", targets.fileName());
    }
    message.replace("%P", QString::number(sim.port()));
    const ProcessRun run = brkctl(arguments);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(run.status, status);
    if (arguments.contains("--json")) // the document a script waits for, whatever went wrong
        QCOMPARE(QJsonDocument::fromJson(run.out.toUtf8()).object().value("status").toInt(-1),
                 status);
    QCOMPARE(!writes(sim).isEmpty(), writesSent);
}

void TestBrkctl::fleetWrite_keepsEachUnitsLinkWords()
{
    // Two units alike but for their link words, and a third that does not keep a write.
    UnitSimFixture::Options options;
    options.units = {UnitSimFixture::unit(3, Boards), UnitSimFixture::unit(7, Boards),
                     UnitSimFixture::unit(9, Boards)};
    options.faults.units = {9};
    options.faults.ignoreWrite = {LimitHighWord};
    UnitSimFixture sim(options);
    QVERIFY(sim.start());
    const QMap<int, quint16> own7{{2006, 0x47},   {2010, 0x0A00}, {2011, 0x0007}, {2012, 0xFFFF},
                                  {2013, 0xFF00}, {2014, 0x0A00}, {2015, 0x0001}};
    for (auto it = own7.cbegin(); it != own7.cend(); ++it)
        QVERIFY(sim.setReg(7, HoldingRegisters, it.key(), it.value()));
    QMap<int, QMap<int, int>> before;
    for (int unit : {3, 7})
        for (int reg = 2004; reg <= 2015; ++reg)
            before[unit][reg] = sim.reg(unit, HoldingRegisters, reg);

    const ProcessRun run = brkctl({"write", target(sim, 3), target(sim, 7), target(sim, 9),
                                   m_editedFile, "--changed", "--jobs", "3", "--json"});
    QCOMPARE(run.status, 5); // the highest of the units' statuses
    const QJsonArray units
        = QJsonDocument::fromJson(run.out.toUtf8()).object().value("units").toArray();
    QCOMPARE(units.size(), 3);
    QCOMPARE(units.at(0).toObject().value("status").toInt(), 0);
    QCOMPARE(units.at(1).toObject().value("status").toInt(), 0);
    QCOMPARE(units.at(2).toObject().value("status").toInt(), 5);
    QCOMPARE(units.at(1).toObject().value("keptLinkWords").toBool(), true);

    for (int unit : {3, 7}) {
        // Address, port, IP, mask and gateway as they were; nothing else left out.
        for (int reg : {2005, 2006, 2010, 2011, 2012, 2013, 2014, 2015})
            QCOMPARE(sim.reg(unit, HoldingRegisters, reg), before[unit][reg]);
        QCOMPARE(sim.reg(unit, HoldingRegisters, LimitHighWord), 0x4080);
        for (const QString &write : writes(sim, unit)) {
            const int reg = write.section(' ', 0, 0).toInt();
            QVERIFY2(reg < 2005 || reg == 2016 || reg == 2023 || (reg > 2006 && reg < 2010),
                     qPrintable(write));
        }
    }
    // Side by side: the second unit's requests start before the first unit's end.
    QStringList slaves;
    for (const SimRequestRecord &record : sim.requests())
        slaves << QString::number(record.slave);
    QVERIFY(slaves.indexOf("7") >= 0 && slaves.indexOf("7") < slaves.lastIndexOf("3"));
}

void TestBrkctl::mapCsv_isTheFileTheWindowExports()
{
    UnitSimFixture sim; // AIO AI DI TMP DO6 DO4, as in the golden file
    QVERIFY(sim.start());
    QProcess map; // its bytes: a decoded text would lose the byte order mark
    QSignalSpy finished(&map, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    map.start(QStringLiteral(BRKCTL_PATH), {"map", "--csv", target(sim, 1)});
    QFile golden(QStringLiteral(BRK_TEST_DATA_DIR "/registermap_default.csv"));
    QVERIFY(finished.wait(30000) && golden.open(QIODevice::ReadOnly));
    QCOMPARE(map.readAllStandardOutput(), golden.readAll());
}

void TestBrkctl::rtu_writesAndFollowsAnAddressChange()
{
    if (!PtyPair::socatAvailable())
        QSKIP("socat is not installed (scripts/setup installs it)");
    PtyPair pty;
    QString error;
    QVERIFY2(pty.start(&error), qPrintable(error));
    UnitSimFixture sim({UnitSimFixture::unit(5, Boards)});
    QVERIFY2(sim.openSerial(pty.unitEnd(), &error), qPrintable(error));
    const QString unit = QStringLiteral("rtu:%1?baud=9600&unit=5").arg(pty.clientEnd());
    // Bytes that are no frame (a half frame, line noise) must not block the requests after.
    QSerialPort noise;
    noise.setPortName(pty.clientEnd());
    QVERIFY2(noise.open(QIODevice::ReadWrite), qPrintable(noise.errorString()));
    noise.write(QByteArray::fromHex("010307d0"));
    QVERIFY(noise.waitForBytesWritten(1000));
    noise.close();

    ProcessRun run;
    run = brkctl({"set", unit, "Адрес MODBUS=6", "--switch-over", "100"});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("модуль теперь отвечает по адресу rtu:%1?baud=9600&"
                                             "parity=none&stop=1&unit=6, проверено чтением")
                                  .arg(pty.clientEnd())),
             qPrintable(run.err));
    QVERIFY(sim.unitAt(6));
}

void TestBrkctl::writeFile_keepsTheUnitsLinkUnlessAsked_data()
{
    QTest::addColumn<QStringList>("moduleEdits"); // of the unit's own file
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("linkKept");
    QTest::addColumn<QString>("message");

    const QStringList offline{"DEV_ADDR=1", "PORT_CFG=3", "IP_1=0",   "IP_2=0",
                              "MASK_1=0",   "MASK_2=0",   "GATE_1=0", "GATE_2=0"};
    QTest::newRow("built offline")
        << offline << QStringList() << true
        << "оставлены параметры связи модуля: Адрес MODBUS 5 (в файле 1), Скорость, бит/с 9600 (в "
           "файле 1200), IP-адрес 10.0.7.50 (в файле 0.0.0.0)";
    QTest::newRow("from another unit, --link")
        << QStringList{"DEV_ADDR=6"} << QStringList{"--link"} << false
        << "модуль теперь отвечает по адресу tcp://127.0.0.1:%1?unit=6, проверено чтением";
}

void TestBrkctl::writeFile_keepsTheUnitsLinkUnlessAsked()
{
    QFETCH(QStringList, moduleEdits);
    QFETCH(QStringList, options);
    QFETCH(bool, linkKept);
    QFETCH(QString, message);
    UnitSimFixture sim({UnitSimFixture::unit(5, Boards)});
    QVERIFY(sim.start());
    const quint16 own[] = {0x0A00, 0x0732, 0xFFFF, 0xFF00, 0x0A00, 0x0701}; // IP, mask, gateway
    for (int i = 0; i < 6; ++i)
        QVERIFY(sim.setReg(5, HoldingRegisters, 2010 + i, own[i]));
    const QString read = m_dir.filePath("unit5.brcf");
    QCOMPARE(brkctl({"read", target(sim, 5), "-o", read}).status, 0);
    const QString file = editedFile(read, m_dir.filePath("link.brcf"),
                                    moduleEdits + QStringList{LimitInput + "LOWER_LIMIT=4"});
    QVERIFY(!file.isEmpty());
    QMap<int, int> before;
    for (int reg : {2005, 2006, 2010, 2011, 2012, 2013, 2014, 2015})
        before[reg] = sim.reg(5, HoldingRegisters, reg);
    sim.clearRequests();

    const ProcessRun run
        = brkctl(QStringList{"write", target(sim, 5), file, "--switch-over", "100"} + options);
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QVERIFY2(run.err.contains(message.replace("%1", QString::number(sim.port()))),
             qPrintable(run.err));
    QCOMPARE(sim.reg(linkKept ? 5 : 6, HoldingRegisters, LimitHighWord), 0x4080);
    const QString written = ',' + writes(sim).join(',');
    for (auto it = before.cbegin(); linkKept && it != before.cend(); ++it) {
        QCOMPARE(sim.reg(5, HoldingRegisters, it.key()), it.value());
        QVERIFY2(!written.contains(QString(",%1 ").arg(it.key())), qPrintable(written));
    }
    QCOMPARE(!sim.unitAt(6), linkKept);
}

void TestBrkctl::onlyUnitsAndFreeAddresses_data()
{
    QTest::addColumn<QStringList>("arguments"); // %T: unit 1, %X: the device at 3, %A: a file
    QTest::addColumn<int>("status");            // moving unit 1 to address 7
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("movedTo"); // 0: nothing written

    const QString notUnit = "не модуль БРК-40 (тип 7)";
    QTest::newRow("scan") << QStringList{"scan", "%X", "--from", "3", "--to", "3"} << 0
                          << "unit=3  " + notUnit << 0;
    QTest::newRow("read") << QStringList{"read", "%X"} << 4 << notUnit << 0;
    QTest::newRow("write") << QStringList{"write", "%X", "%A"} << 4 << notUnit << 0;
    QTest::newRow("set") << QStringList{"set", "%X", "Адрес MODBUS=5"} << 4 << notUnit << 0;
    QTest::newRow("reset") << QStringList{"reset", "%X", "--yes"} << 4 << notUnit << 0;
    const QString taken = "адрес 7 уже занят";
    QTest::newRow("set onto a unit")
        << QStringList{"set", "%T", "Адрес MODBUS=7"} << 4 << taken << 0;
    QTest::newRow("file onto a unit")
        << QStringList{"write", "%T", "%A", "--link"} << 4 << taken << 0;
    // The unit takes a new address 500 ms after the write.
    QTest::newRow("set onto a free address")
        << QStringList{"set", "%T", "Адрес MODBUS=8", "--switch-over", "600"} << 0
        << "проверено чтением" << 8;
    QTest::newRow("set onto a unit, forced")
        << QStringList{"set", "%T", "Адрес MODBUS=7", "--force", "--switch-over", "600"} << 0
        << "проверено чтением" << 7;
}

void TestBrkctl::onlyUnitsAndFreeAddresses()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, text);
    QFETCH(int, movedTo);
    SimUnitConfig device = UnitSimFixture::unit(3, Boards);
    device.moduleType = 7; // another slave that answers at 2000..2022
    UnitSimFixture sim({UnitSimFixture::unit(1, Boards), UnitSimFixture::unit(7, Boards), device});
    QVERIFY(sim.start());
    const bool toDevice = arguments.contains("%X");
    for (QString &argument : arguments) {
        argument.replace("%T", target(sim, 1)).replace("%X", target(sim, 3));
        argument.replace("%A", editedFile(m_unitFile, m_dir.filePath("a7.brcf"), {"DEV_ADDR=7"}));
    }
    const ProcessRun run = brkctl(arguments + QStringList{"--timeout", "300", "--retries", "0"});
    QVERIFY2(run.status == status, qPrintable(run.err));
    QVERIFY2((run.out + run.err).contains(text), qPrintable(run.out + run.err));
    // Nothing but the identifying read reaches a device that is not a unit.
    QStringList seen;
    for (const SimRequestRecord &record : sim.requests())
        seen << (record.slave == 3 ? UnitSimFixture::describe(record) : QString());
    seen.removeAll(QString());
    QCOMPARE(seen, toDevice ? QStringList{"3 2000 23"} : QStringList());
    QCOMPARE(!writes(sim).isEmpty(), movedTo != 0);
    if (movedTo)
        QTRY_VERIFY(!sim.unitAt(1) && sim.unitAt(movedTo));
}

void TestBrkctl::interruptedWrite_endsCleanly()
{
    UnitSimFixture sim({UnitSimFixture::unit(1, Boards)});
    QVERIFY(sim.start());
    QProcess write;
    QSignalSpy finished(&write, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    // Every register, so the write is still going when the signal comes.
    write.start(QStringLiteral(BRKCTL_PATH), {"write", target(sim, 1), m_editedFile});
    QTRY_VERIFY_WITH_TIMEOUT(writes(sim).size() >= 20, 20000);
    const int sent = writes(sim).size();
    // The unit answers only while this process spins: the request on the line waits.
    QCOMPARE(::kill(pid_t(write.processId()), SIGTERM), 0);
    QVERIFY(finished.wait(20000));
    QCOMPARE(write.exitStatus(), QProcess::NormalExit);
    QCOMPARE(write.exitCode(), 5);
    const QString err = QString::fromUtf8(write.readAllStandardError());
    QVERIFY2(err.contains("запись прервана по сигналу: подтверждено регистров"), qPrintable(err));
    // The requests on the line when it came, then the EEPROM flag off and nothing more.
    QTRY_COMPARE(writes(sim).constLast(), QString("2023 0"));
    QVERIFY2(writes(sim).size() <= sent + 3, qPrintable(writes(sim).mid(sent).join(", ")));
}

// Every command's help, as the manual page is made of it.
void TestBrkctl::helpAll_namesTheProgramAndFitsATerminal()
{
    const ProcessRun run = brkctl({"--help-all"});
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.contains("Использование: brkctl read [параметры] ЦЕЛЬ… [-o ФАЙЛ|КАТАЛОГ]"));
    QVERIFY(!run.out.contains(BRKCTL_PATH) && !run.out.contains("параметрами Qt"));
    for (const QString &command : QStringList{"scan", "reset"}) { // they take no file
        const QString help
            = run.out.section("Команда " + command + ":", 1, 1).section("Команда", 0, 0);
        QVERIFY2(help.contains("ЦЕЛЬ") && !help.contains("ФАЙЛ:"), qPrintable(help));
    }
    // A terminal would break a longer line inside its words.
    for (const QString &line : run.out.split('\n'))
        QVERIFY2(line.size() <= 79, qPrintable(line));
}

void TestBrkctl::progress_fillsOnceOverTheWrite()
{
    UnitSimFixture sim({UnitSimFixture::unit(1, Boards)});
    QVERIFY(sim.start());
    // The bar is drawn only on a terminal: script(1) gives brkctl one.
    const QString command
        = QStringLiteral("'%1' write '%2' '%3'").arg(BRKCTL_PATH, target(sim, 1), m_editedFile);
    const ProcessRun run = ProcessRun::run("script", {"-qec", command, "/dev/null"});
    QCOMPARE(run.status, 0);
    QVector<int> filled;
    for (const QString &piece : run.out.split('\r'))
        filled << (piece.startsWith('[') ? piece.count('#') : filled.value(filled.size() - 1));
    QVERIFY2(std::is_sorted(filled.cbegin(), filled.cend()), qPrintable(run.out)); // no refill
    QVERIFY2(filled.size() > 10 && filled.last() > 25, qPrintable(run.out));
}

QTEST_MAIN(TestBrkctl)
#include "tst_brkctl.moc"
