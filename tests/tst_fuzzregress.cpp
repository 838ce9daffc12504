// SPDX-License-Identifier: GPL-3.0-or-later
#include "configfile.h"
#include "fuzzpaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The model traces every object it destroys ("~Property()"); thousands of those
// would use up the test's message budget and hide what the inputs themselves cause.
QtMessageHandler previousHandler = nullptr;
void dropLifetimeTraces(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtDebugMsg || !text.startsWith(QLatin1Char('~')))
        previousHandler(type, context, text);
}

} // namespace

class TestFuzzRegress : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keptInputs_data();
    void keptInputs();
    void loadSizeLimit_data();
    void loadSizeLimit();

private:
    QTemporaryDir m_dir;
};

void TestFuzzRegress::initTestCase()
{
    previousHandler = qInstallMessageHandler(dropLifetimeTraces);
    QVERIFY(m_dir.isValid());
}

// Every kept input and seed of both fuzz targets, one row each.
void TestFuzzRegress::keptInputs_data()
{
    QTest::addColumn<QString>("path");
    for (const QString &root : {QStringLiteral(FUZZ_CASES_DIR), QStringLiteral(FUZZ_SEEDS_DIR)}) {
        for (const char *target : {"fuzz_configfile", "fuzz_tables"}) {
            const QDir dir(root + QLatin1Char('/') + target);
            for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
                QTest::newRow(qPrintable(QDir(root).dirName() + '/' + target + '/' + name))
                    << dir.filePath(name);
        }
    }
}

void TestFuzzRegress::keptInputs()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(path.contains("fuzz_tables") ? FuzzPaths::runTables(bytes)
                                          : FuzzPaths::runConfigFile(bytes, m_dir.path()),
             QString());
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
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray data = QByteArray(R"({"module":{"DEV_TYPE":"1"}})") + QByteArray(padding, ' ');
    QCOMPARE(file.write(data), qint64(data.size()));
    file.close();
    if (!loads)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Configuration file too large"));
    const QJsonObject root = loadJsonObject(path);
    QCOMPARE(root.value("module").toObject().value("DEV_TYPE").toString(),
             loads ? QStringLiteral("1") : QString());
}

QTEST_GUILESS_MAIN(TestFuzzRegress)
#include "tst_fuzzregress.moc"
