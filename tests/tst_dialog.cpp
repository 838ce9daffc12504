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

    void aboutBox_layout();
    void links_openShippedDocuments_data();
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

    QTest::newRow("beside the executable")
        << QStringList{"app/docs/manual.html"} << QStringList{"app"} << "docs/manual.html"
        << "app/docs/manual.html";
    QTest::newRow("build tree inside the source tree")
        << QStringList{"docs/manual.html"} << QStringList{"build/app"} << "docs/manual.html"
        << "docs/manual.html";
    QTest::newRow("nearest copy wins")
        << QStringList{"docs/manual.html", "build/app/docs/manual.html"} << QStringList{"build/app"}
        << "docs/manual.html"
        << "build/app/docs/manual.html";
    QTest::newRow("four levels up is too far")
        << QStringList{"README.md"} << QStringList{"a/b/c/d"} << "README.md"
        << "";
    QTest::newRow("second folder searched when the first has nothing")
        << QStringList{"src/docs/manual.html"} << QStringList{"build/app", "src/app"}
        << "docs/manual.html"
        << "src/docs/manual.html";
    QTest::newRow("a folder is not a document")
        << QStringList{"docs/manual.html/x"} << QStringList{"docs"} << "docs/manual.html"
        << "";
    QTest::newRow("no way out of the folders")
        << QStringList{"secret.txt"} << QStringList{"app/docs"} << "../secret.txt"
        << "";
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

    const QString found = DocumentLocator::findFile(path, dirs);
    if (expected.isEmpty())
        QCOMPARE(found, QString());
    else
        QCOMPARE(found, QFileInfo(dir.filePath(expected)).canonicalFilePath());
}

void TestDialog::aboutBox_layout()
{
    Dialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(dialog.minimumSize(), QSize(0, 300));
    QCOMPARE(dialog.maximumSize(), QSize(600, 320));
    QVERIFY(!dialog.windowIcon().isNull());

    auto *browser = dialog.findChild<QTextBrowser *>(QStringLiteral("textEdit"));
    QCOMPARE(browser->textInteractionFlags(), Qt::LinksAccessibleByMouse);
    const QString text = browser->toPlainText();
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("Конфигуратор БРК"));
    QVERIFY(lines.contains(QStringLiteral("Версия программы: 1.4.1")));
    QVERIFY(lines.contains(QStringLiteral("Дата выпуска: 11.2023")));
}

void TestDialog::links_openShippedDocuments_data()
{
    QTest::addColumn<QString>("href");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("fragment");

    // Every link of the box, taken from its own text.
    const QRegularExpression link(QStringLiteral("href=\"([^\"]+)\""));
    auto it = link.globalMatch(Dialog::aboutHtml());
    QStringList hrefs;
    while (it.hasNext())
        hrefs << it.next().captured(1);
    QCOMPARE(hrefs.size(), 3);

    QTest::newRow("readme") << hrefs.value(0) << "README.md"
                            << "";
    QTest::newRow("unit description") << hrefs.value(1) << "manual.html"
                                      << "unit";
    QTest::newRow("manual") << hrefs.value(2) << "manual.html"
                            << "";
}

void TestDialog::links_openShippedDocuments()
{
    QFETCH(QString, href);
    QFETCH(QString, fileName);
    QFETCH(QString, fragment);

    Dialog dialog;
    auto *browser = dialog.findChild<QTextBrowser *>(QStringLiteral("textEdit"));
    m_opened.clear();
    emit browser->anchorClicked(QUrl(href));

    QCOMPARE(m_opened.size(), 1);
    const QUrl url = m_opened.constFirst();
    QVERIFY(url.isLocalFile());
    const QFileInfo file(url.toLocalFile());
    QVERIFY2(file.isFile(), qPrintable(url.toString()));
    QCOMPARE(file.fileName(), fileName);
    QCOMPARE(url.fragment(), fragment);
    if (!fragment.isEmpty()) {
        // The anchor exists in the document.
        QFile f(file.filePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(f.readAll()).contains(QStringLiteral("id=\"%1\"").arg(fragment)));
    }
}

QTEST_MAIN(TestDialog)
#include "tst_dialog.moc"
