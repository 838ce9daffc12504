#include "configfile.h"
#include "fuzzpaths.h"
#include "module.h"
#include "submodule.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Every file of a target's kept inputs and seeds, one row each.
void addFileRows(const QString &target)
{
    QTest::addColumn<QString>("path");
    const QStringList roots = {QStringLiteral(FUZZ_CASES_DIR), QStringLiteral(FUZZ_SEEDS_DIR)};
    for (const QString &root : roots) {
        const QDir dir(root + QLatin1Char('/') + target);
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
            QTest::newRow(qPrintable(QDir(root).dirName() + QLatin1Char('/') + name))
                << dir.filePath(name);
    }
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QList<int> boardTypes(const Module &module)
{
    QList<int> types;
    for (Submodule *board : module.submodules())
        types << board->submoduleType();
    return types;
}

} // namespace

class TestFuzzRegress : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void configFileInputs_data();
    void configFileInputs();
    void registerImageInputs_data();
    void registerImageInputs();
    void seedsHoldRealUnits_data();
    void seedsHoldRealUnits();
    void imageBytesLayout();
    void loadSizeLimit_data();
    void loadSizeLimit();

private:
    QTemporaryDir m_dir;
};

void TestFuzzRegress::initTestCase()
{
    // Hostile inputs make the model write many debug lines; they are expected.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QVERIFY(m_dir.isValid());
}

void TestFuzzRegress::configFileInputs_data()
{
    addFileRows(QStringLiteral("fuzz_configfile"));
}

void TestFuzzRegress::configFileInputs()
{
    QFETCH(QString, path);
    const QByteArray bytes = readFile(path);
    QCOMPARE(FuzzPaths::runConfigFile(bytes, m_dir.path()), QString());
}

void TestFuzzRegress::registerImageInputs_data()
{
    addFileRows(QStringLiteral("fuzz_tables"));
}

void TestFuzzRegress::registerImageInputs()
{
    QFETCH(QString, path);
    QCOMPARE(FuzzPaths::runTables(readFile(path)), QString());
}

void TestFuzzRegress::seedsHoldRealUnits_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<int>>("boards");
    QTest::newRow("six boards, file")
        << "fuzz_configfile/six_boards.brcf" << QList<int>{4, 5, 6, 8, 7, 9};
    QTest::newRow("outputs and DI6, file")
        << "fuzz_configfile/outputs_and_di6.brcf" << QList<int>{1, 2, 3, 10};
    QTest::newRow("six boards, image")
        << "fuzz_tables/six_boards.img" << QList<int>{4, 5, 6, 8, 7, 9};
    QTest::newRow("outputs and inputs, image")
        << "fuzz_tables/outputs_and_inputs.img" << QList<int>{1, 2, 3, 10, 6};
}

// The seeds must reach the boards' channel code, not stop at the frame.
void TestFuzzRegress::seedsHoldRealUnits()
{
    QFETCH(QString, file);
    QFETCH(QList<int>, boards);
    const QByteArray bytes = readFile(QStringLiteral(FUZZ_SEEDS_DIR "/") + file);
    QVERIFY(!bytes.isEmpty());
    Module module(1);
    if (file.endsWith(QLatin1String(".img")))
        module.fromTables(FuzzPaths::tablesFromBytes(bytes));
    else
        module.fromJson(QJsonDocument::fromJson(bytes).object());
    QCOMPARE(boardTypes(module), boards);
}

void TestFuzzRegress::imageBytesLayout()
{
    // Lengths 23, 2, 0 ... then the words little-endian; words missing at
    // the end of the input read as 0.
    QByteArray bytes(11, '\0');
    bytes[0] = 23;
    bytes[1] = 2;
    bytes.append("\x01\x00\x00\x00\x15\x00", 6);
    const ModuleTables image = FuzzPaths::tablesFromBytes(bytes);
    QVector<quint16> block(23, 0);
    block[0] = 1;
    block[2] = 21;
    QCOMPARE(image.moduleTable(), block);
    QCOMPARE(image.pwmDOTable(), QVector<quint16>(2, 0));
    QVERIFY(image.limitsAITable().isEmpty());

    ModuleTables written;
    written.setModuleTable(block);
    written.setLimitsAOTable({0x0000, 0xC128});
    QCOMPARE(FuzzPaths::tablesFromBytes(FuzzPaths::bytesFromTables(written)).limitsAOTable(),
             written.limitsAOTable());
}

void TestFuzzRegress::loadSizeLimit_data()
{
    QTest::addColumn<int>("padding");
    QTest::addColumn<bool>("loads");
    const int limit = 16 * 1024 * 1024;
    const int object = int(qstrlen(R"({"module":{"DEV_TYPE":"1"}})"));
    QTest::newRow("exactly the limit") << limit - object << true;
    QTest::newRow("one byte more") << limit - object + 1 << false;
}

// Files are read in chunks up to the limit; the limit itself must not move.
void TestFuzzRegress::loadSizeLimit()
{
    QFETCH(int, padding);
    QFETCH(bool, loads);
    const QString path = m_dir.filePath(QStringLiteral("padded.brcf"));
    QVERIFY(
        writeFile(path, QByteArray(R"({"module":{"DEV_TYPE":"1"}})") + QByteArray(padding, ' ')));
    if (!loads)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Configuration file too large"));
    const QJsonObject root = loadJsonObject(path);
    QCOMPARE(root.value("module").toObject().value("DEV_TYPE").toString(),
             loads ? QStringLiteral("1") : QString());
}

QTEST_GUILESS_MAIN(TestFuzzRegress)
#include "tst_fuzzregress.moc"
