// SPDX-License-Identifier: GPL-3.0-or-later
#include "channel.h"
#include "configfile.h"
#include "csvwriter.h"
#include "module.h"
#include "property.h"
#include "submodule.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using Words = QVector<quint16>;
using Boards = QVector<QVector<int>>; // type, slot, ordinal (-1 for none)

namespace {

// A unit with AI, AIO, DI, DO6, TMP and ENI2 boards in slots A to F and a
// distinct setting in every channel word, or (blank) every channel word zero.
ModuleTables unitImage(bool blank = false)
{
    const auto set = [blank](Words words) {
        if (blank)
            words.fill(0);
        return words;
    };
    ModuleTables image;
    image.setModuleTable({1,      0,      21,     0,      15, 17, 0x00C6, 5, 0, 0, 0x0A14, 0x1E28,
                          0xFFFF, 0xFF00, 0x0A14, 0x1E01, 0,  4,  5,      6, 8, 7, 9});
    Words types, limits, flags;
    for (int g = 0; g < 8; ++g) {
        types << quint16(g < 6 ? g % 4 : 4 + g);
        limits << 0x1234 << quint16(0x4000 + g) << 0x0000 << quint16(0xC100 + g);
        flags << quint16(((g % 4) << 6) | ((g % 3) << 4)) << 0;
    }
    image.setTypesValueAITable(set(types));
    image.setLimitsAITable(set(limits));
    image.setFlagsAITable(set(flags));
    image.setTypesValueAOTable(set({1, 2}));
    image.setLimitsAOTable(set({0, 0x3F80, 0, 0x4148, 0, 0xC128, 0, 0x42C8}));
    image.setFlagsAOTable(set({0x0050, 0, 0x0020, 0}));
    image.setBlockValuesAOTable(set({0x0000, 0x4148, 0x0000, 0x40E8}));
    image.setAntibounceDITable(set({0x0008}));
    image.setPwmDOTable(set({0, 10, 20, 30, 40, 100}));
    image.setBlockValuesDOTable(set({1, 0, 1, 0, 0, 1}));
    return image;
}

QVector<Words> channelTables(const ModuleTables &t)
{
    return {t.typesValueAITable(),  t.limitsAITable(),     t.flagsAITable(),
            t.typesValueAOTable(),  t.limitsAOTable(),     t.flagsAOTable(),
            t.blockValuesAOTable(), t.antibounceDITable(), t.pwmDOTable(),
            t.blockValuesDOTable()};
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Stands in for a full disk: writes beyond `bytes` fail with EFBIG.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old;
};

} // namespace

class TestConfigFile : public QObject
{
    Q_OBJECT

private slots:
    void roundTripThroughFileKeepsEveryRegister();
    void load_data();
    void load();
    void shortChannelListKeepsDefaults();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void unreadableFileGivesEmptyObject();
    void csvDelimiter();

private:
    QTemporaryDir m_dir;
};

void TestConfigFile::roundTripThroughFileKeepsEveryRegister()
{
    const ModuleTables unit = unitImage();
    Module read(1);
    read.fromTables(unit);

    const QString path = m_dir.filePath("unit.brcf");
    QVERIFY(saveJsonObject(read.toJson(), path));
    const QByteArray text = readFile(path);
    QVERIFY(text.contains("    \"module\": {\n        \"DEV_ADDR\": \"17\",\n"));
    QVERIFY(text.contains("\"BLOCK_VALUE\": true,\n                    \"PWM\": \"20\"\n"));

    Module loaded(-1);
    loaded.fromJson(loadJsonObject(path));
    QCOMPARE(read.compare(&loaded), 0);
    QCOMPARE(loaded.value("Тип модуля"), QVariant(QStringLiteral("1")));
    QCOMPARE(loaded.value("IP-1"), QVariant(QStringLiteral("2580")));
    QCOMPARE(loaded.value("Маска сети"), QVariant(QStringLiteral("255.255.255.0")));
    QCOMPARE(loaded.value("Четность, стоп-биты"), QVariant(3));
    QVERIFY(!loaded.isChanged());

    QCOMPARE(loaded.submodules().size(), 6);
    // Every channel word written back where it was read: numbers and slots kept.
    const ModuleTables written = loaded.toTables(unitImage(true));
    QCOMPARE(written.moduleTable(), unit.moduleTable());
    QCOMPARE(channelTables(written), channelTables(unit));
}

void TestConfigFile::load_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<Boards>("boards");
    QTest::addColumn<bool>("configuration"); // a module object: the window opens it

    QTest::newRow("port word 198") << QByteArray(R"({"module":{"PORT_CFG":"198"}})")
                                   << "Скорость, бит/с" << QVariant(6) << Boards{} << true;
    QTest::newRow("type as a JSON number")
        << QByteArray(R"({"module":{"DEV_TYPE":1}})") << "Тип модуля" << QVariant(QString(""))
        << Boards{} << true;
    QTest::newRow("missing address word counts as 0")
        << QByteArray(R"({"module":{"IP_1":"2580"}})") << "IP-адрес"
        << QVariant(QStringLiteral("10.20.0.0")) << Boards{} << true;
    QTest::newRow("unknown board types skipped")
        << QByteArray(R"({"submodules":[{"TYPE_SUBMODULE":"0","POSITION_SUBMODULE":"0"},
              {"TYPE_SUBMODULE":"11","POSITION_SUBMODULE":"2"},
              {"TYPE_SUBMODULE":"4","POSITION_SUBMODULE":"1"}]})")
        << "Тип модуля" << QVariant(-1) << Boards{{4, 1, 0}} << false;
    QTest::newRow("slots outside A-F or taken skipped")
        << QByteArray(R"({"submodules":[{"TYPE_SUBMODULE":"4","POSITION_SUBMODULE":"6"},
              {"TYPE_SUBMODULE":"4","POSITION_SUBMODULE":"-1"},
              {"TYPE_SUBMODULE":"4","POSITION_SUBMODULE":"0"},
              {"TYPE_SUBMODULE":"7","POSITION_SUBMODULE":"0"},
              {"TYPE_SUBMODULE":"8","POSITION_SUBMODULE":"3"},
              {"TYPE_SUBMODULE":"9","POSITION_SUBMODULE":"4"},
              {"TYPE_SUBMODULE":"4","POSITION_SUBMODULE":"5"}]})")
        << "Тип модуля" << QVariant(-1) << Boards{{4, 0, 0}, {8, 3, 0}, {9, 4, -1}, {4, 5, 1}}
        << false;
}

void TestConfigFile::load()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, name);
    QFETCH(QVariant, expected);
    QFETCH(Boards, boards);
    QFETCH(bool, configuration);

    const QString path = m_dir.filePath("load.brcf");
    QVERIFY(writeFile(path, json));
    QCOMPARE(isConfiguration(loadJsonObject(path)), configuration);
    Module module(-1);
    module.fromJson(loadJsonObject(path));
    QCOMPARE(module.value(name), expected);
    const QList<Submodule *> found = module.submodules();
    QCOMPARE(found.size(), boards.size());
    for (int i = 0; i < boards.size(); ++i) {
        QCOMPARE(found.at(i)->submoduleType(), boards.at(i).at(0));
        QCOMPARE(found.at(i)->value("Слот субмодуля"), QVariant(boards.at(i).at(1)));
        const QVariant ordinal = found.at(i)->value("Порядковый номер субмодуля данного типа");
        QCOMPARE(ordinal.isValid() ? ordinal.toInt() : -1, boards.at(i).at(2));
    }
}

void TestConfigFile::shortChannelListKeepsDefaults()
{
    // A TMP board in slot B listed before an AI board in slot A, numbered in
    // that order by the file: the unit numbers the AI board's inputs first.
    const QJsonObject root{
        {"submodules",
         QJsonArray{QJsonObject{{"TYPE_SUBMODULE", "7"},
                                {"POSITION_SUBMODULE", "1"},
                                {"channels", QJsonArray{}}},
                    QJsonObject{{"TYPE_SUBMODULE", "4"},
                                {"POSITION_SUBMODULE", "0"},
                                {"channels", QJsonArray{QJsonObject{{"SIGNAL_TYPE", "2"},
                                                                    {"NUMBER_GLOBAL", "9"}}}}}}}};
    Module module(-1);
    QTest::ignoreMessage(QtDebugMsg, "Channel numbers of the file corrected to slot order: 6");
    module.fromJson(root);
    const QList<Submodule *> boards = module.submodules();
    QVector<int> found, registers;
    for (Submodule *board : boards) {
        for (Channel *channel : board->channels()) {
            found << channel->value("Глобальный номер канала").toInt();
            registers << channel->property("Значение канала в ед. изм.")->address();
        }
    }
    QCOMPARE(found, (QVector<int>{0, 1, 2, 3, 4, 5}));
    // The live values move with the numbers: input registers 2g.
    QCOMPARE(registers, (QVector<int>{0, 2, 4, 6, 8, 10}));
    QCOMPARE(boards.at(0)->channels().at(0)->value("Тип сигнала").toInt(), 2);
    QCOMPARE(boards.at(0)->channels().at(1)->value("Верхний предел").toInt(), 100);
}

void TestConfigFile::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("diskFull");
    QTest::newRow("folder gone") << "gone/unit.brcf" << false;
    QTest::newRow("disk full part-way") << "full.brcf" << true;
}

void TestConfigFile::failedSaveKeepsOldFile()
{
    QFETCH(QString, target);
    QFETCH(bool, diskFull);
    const QString path = m_dir.filePath(target);
    const QByteArray previous = "{\"module\": {}}\n";
    if (diskFull)
        QVERIFY(writeFile(path, previous));

    // Larger than the write buffer, so the failure shows in write() itself.
    const QJsonObject big{{"module", QJsonObject{{"pad", QString(100000, QLatin1Char('x'))}}}};

    bool saved = true;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Couldn't (open|write) save file"));
    {
        FileSizeLimit limit(diskFull ? 4096 : RLIM_INFINITY);
        saved = saveJsonObject(big, path);
    }
    QVERIFY(!saved);
    if (diskFull)
        QCOMPARE(readFile(path), previous);
    else
        QVERIFY(!QFileInfo(path).isFile());
}

void TestConfigFile::unreadableFileGivesEmptyObject()
{
    QTest::ignoreMessage(QtWarningMsg, "Couldn't open save file.");
    QVERIFY(loadJsonObject(m_dir.filePath("missing.brcf")).isEmpty());
}

QTEST_GUILESS_MAIN(TestConfigFile)
// A field is quoted exactly when it holds the delimiter, a quote or a line break.
void TestConfigFile::csvDelimiter()
{
    CsvWriter csv({QStringLiteral("h")}, QLatin1Char(','));
    csv.addRow({QStringLiteral("4,25"), QStringLiteral("x;y"), QStringLiteral("1\r2")});
    QCOMPARE(csv.text(), QStringLiteral("h\r\n\"4,25\",x;y,\"1\r2\"\r\n"));
}

#include "tst_configfile.moc"
