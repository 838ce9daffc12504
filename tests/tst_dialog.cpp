// The About box and the lookup of the documents its links open.

#include "dialog.h"
#include "documentlocator.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

class TestDialog : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { m_opened.append(url); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void findFile_data();
    void findFile();
    void links_openShippedDocuments();

private:
    QList<QUrl> m_opened;
};

void TestDialog::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    // Links go to this object instead of the system's browser.
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
}

void TestDialog::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

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

// Every link of the box, taken from its own text, opens a shipped document.
void TestDialog::links_openShippedDocuments()
{
    Dialog dialog;
    auto *browser = dialog.findChild<QTextBrowser *>(QStringLiteral("textEdit"));
    QStringList opened;
    auto link
        = QRegularExpression(QStringLiteral("href=\"([^\"]+)\"")).globalMatch(Dialog::aboutHtml());
    while (link.hasNext()) {
        m_opened.clear();
        emit browser->anchorClicked(QUrl(link.next().captured(1)));
        QCOMPARE(m_opened.size(), 1);
        const QUrl url = m_opened.constFirst();
        QFile file(url.toLocalFile());
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(url.toString()));
        opened << QFileInfo(file).fileName() + (url.hasFragment() ? "#" + url.fragment() : "");
        if (url.hasFragment())
            QVERIFY(QString::fromUtf8(file.readAll())
                        .contains(QString("id=\"%1\"").arg(url.fragment())));
    }
    QCOMPARE(opened, (QStringList{"README.md", "manual.html#unit", "manual.html"}));
}

QTEST_MAIN(TestDialog)
#include "tst_dialog.moc"
