// SPDX-License-Identifier: GPL-3.0-or-later
// The lookup of the documents the About box's links open (the package test
// follows every link in the installed tree).

#include "documentlocator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestDialog : public QObject
{
    Q_OBJECT

private slots:
    void findFile_data();
    void findFile();
};

void TestDialog::findFile_data()
{
    QTest::addColumn<QStringList>("files");     // created under a temporary root
    QTest::addColumn<QStringList>("startDirs"); // relative to the root
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected"); // relative to the root, empty: not found

    const QString none;
    QTest::newRow("four levels up is too far")
        << QStringList{"README.md"} << QStringList{"a/b/c/d"} << "README.md" << none;
    QTest::newRow("second folder searched when the first has nothing")
        << QStringList{"src/docs/manual.html"} << QStringList{"build/app", "src/app"}
        << "docs/manual.html"
        << "src/docs/manual.html";
    QTest::newRow("no way out of the folders")
        << QStringList{"secret.txt"} << QStringList{"app/docs"} << "../secret.txt" << none;
}

void TestDialog::findFile()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, startDirs);
    QFETCH(QString, path);
    QFETCH(QString, expected);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QDir dir(root.path());
    for (const QString &file : files) {
        QVERIFY(dir.mkpath(QFileInfo(dir.filePath(file)).path()));
        QFile f(dir.filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QStringList dirs;
    for (const QString &start : startDirs) {
        QVERIFY(dir.mkpath(start));
        dirs << dir.filePath(start);
    }

    QCOMPARE(DocumentLocator::findFile(path, dirs),
             expected.isEmpty() ? QString()
                                : QFileInfo(dir.filePath(expected)).canonicalFilePath());
}

QTEST_MAIN(TestDialog)
#include "tst_aboutdialog.moc"
