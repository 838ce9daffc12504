// SPDX-License-Identifier: GPL-3.0-or-later
// Run by the package test from the bin folder of the unpacked package, in a
// working directory without data: the configurator's code must find what the
// package installed under ../share/brk-configurator.

#include "aboutdialog.h"
#include "documentlocator.h"
#include "mainwindowdriver.h"
#include "modeflags.h"
#include "module.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

class TestInstalled : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sixBoardFile_showsInstalledHelpText();
    void aboutLinks_openInstalledDocuments_data();
    void aboutLinks_openInstalledDocuments();

private:
    QTemporaryDir m_emptyDir;
    QString m_dataDir;
};

void TestInstalled::initTestCase()
{
    QVERIFY(m_emptyDir.isValid());
    QVERIFY(QDir::setCurrent(m_emptyDir.path()));
    m_dataDir = QDir(QCoreApplication::applicationDirPath() + "/../share/brk-configurator")
                    .canonicalPath();
    QVERIFY2(!m_dataDir.isEmpty(), "no share/brk-configurator beside the bin folder");
}

void TestInstalled::sixBoardFile_showsInstalledHelpText()
{
    QFile helpFile(m_dataDir + "/information.json");
    QVERIFY(helpFile.open(QIODevice::ReadOnly));
    const QString limitHelp
        = QJsonDocument::fromJson(helpFile.readAll()).object().value("Верхний предел").toString();
    QVERIFY(!limitHelp.isEmpty());

    MainWindow window(ModeOffline);
    window.show();
    chooseFile(QStringLiteral(BRK_SIX_BOARDS));
    action(&window, "actionOpen")->trigger();
    ModuleView *view = window.currentView();
    QVERIFY(view);
    QCOMPARE(view->module()->submodules().size(), 6);
    BrowserItem *limit
        = itemAt(view, {"Субмодуль AI (Слот A)", "Аналоговый вход 1 ", "Верхний предел"});
    QVERIFY(limit);
    view->findChild<TreePropertyBrowser *>()->setCurrentItem(limit);
    QCOMPARE(window.findChild<QTextEdit *>("tePropertyInfo")->toPlainText(), limitHelp);
}

void TestInstalled::aboutLinks_openInstalledDocuments_data()
{
    QTest::addColumn<QString>("href");
    const QString html = AboutDialog::aboutHtml();
    // The user manual, not the developers' README.
    QVERIFY(!html.contains("README"));
    QVERIFY(html.contains("href=\"docs/manual.html\""));
    QTest::newRow("manual") << "docs/manual.html";
    QTest::newRow("picture in the manual") << "docs/screenshots/mainwindow.png";
}

void TestInstalled::aboutLinks_openInstalledDocuments()
{
    QFETCH(QString, href);
    QCOMPARE(DocumentLocator::resolve(QUrl(href)).toLocalFile(), m_dataDir + "/" + href);
}

QTEST_MAIN(TestInstalled)
#include "tst_installed.moc"
