// SPDX-License-Identifier: GPL-3.0-or-later
// The main window offline, through its actions and its real dialogs: from the
// start window's button to a file on disk and back.

#include "appsettings.h"
#include "mainwindowdriver.h"
#include "modeflags.h"
#include "reportdialog.h"
#include "startwindow.h"

#include <channel.h>
#include <module.h>
#include <property.h>
#include <submodule.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString Title = QStringLiteral("ВИРАТ БРК-40 ");
const QString Warning = QStringLiteral("Внимание");

// While it lives, records and closes every modal widget that opens: for
// commands that must not ask anything.
class ModalWatch
{
public:
    ModalWatch()
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            if (QWidget *widget = QApplication::activeModalWidget()) {
                m_seen = true;
                widget->close();
            }
        });
        m_timer.start(5);
    }
    bool seen() const { return m_seen; }

private:
    QTimer m_timer;
    bool m_seen = false;
};

const QStringList Link = {"Параметры модуля", "Параметры связи"};
const QStringList Ai1 = {"Субмодуль AIO (Слот B)", "Аналоговый вход 1 "};
const QStringList Tmp2 = {"Субмодуль TMP (Слот A)", "Вход термосопротивлений 2 "};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void commandsWithoutView_doNothing_data();
    void commandsWithoutView_doNothing();
    void save_failedKeepsMarksThenSavedUnderName();
    void report_ofTheViewsModuleByTheNameTyped();
    void open_refusesWhatIsNotAConfiguration_data();
    void open_refusesWhatIsNotAConfiguration();
    void close_asksBeforeDroppingChanges_data();
    void close_asksBeforeDroppingChanges();
    void offline_buildSaveCloseReopen();
    void fileFromCommandLine_recentFilesAndLayoutSurviveRestart();

private:
    // Presses "Создать конфигурацию оффлайн" and accepts the type dialog.
    MainWindow *openOffline();

    QTemporaryDir m_dir;
    std::unique_ptr<StartWindow> m_start;
    QString m_typeChoice; // what the module type dialog offered and gave
};

void TestMainWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestMainWindow::commandsWithoutView_doNothing_data()
{
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<QString>("pane");
    for (const char *name : {"actionSave", "actionSaveAs", "actionDelSubmodule", "actionReport"})
        QTest::newRow(name) << name << QString();
    QTest::newRow("add board") << "actionA1_2_2" << QStringLiteral("Модуль не найден");
}

void TestMainWindow::commandsWithoutView_doNothing()
{
    QFETCH(QString, actionName);
    QFETCH(QString, pane);
    MainWindow window(ModeOffline);
    window.show();
    // Anything modal that opens is a fault.
    ModalWatch watch;
    action(&window, actionName.toLatin1().constData())->trigger();
    QTest::qWait(50);
    QVERIFY(!watch.seen());
    QCOMPARE(outputPane(&window), pane);
    QVERIFY(subWindows(&window).isEmpty());
}

void TestMainWindow::report_ofTheViewsModuleByTheNameTyped()
{
    MainWindow window(ModeOffline);
    window.show();
    QVERIFY(createView(&window));
    Report report;
    whenModal<ReportDialog>([&](ReportDialog *dialog) {
        auto *author = dialog->findChild<QLineEdit *>("authorEdit");
        author->setText(" Петров ");
        report = dialog->report();
        dialog->reject();
    });
    action(&window, "actionReport")->trigger();
    QCOMPARE(report.sections.size(), 1);
    QCOMPARE(report.sections.first().tables.first().rows.last().value(1).text, "Петров");
}

void TestMainWindow::save_failedKeepsMarksThenSavedUnderName()
{
    MainWindow window(ModeOffline);
    window.show();
    QVERIFY(createView(&window));
    ModuleView *view = window.currentView();
    // An address edit keeps its parameter's changed flag until a save.
    const QStringList ip = Link + QStringList{"IP-адрес"};
    auto *browser = view->findChild<TreePropertyBrowser *>();
    auto *edit = qobject_cast<QLineEdit *>(editorAt(view, ip));
    QVERIFY(edit);
    edit->setText("10.0.3.7");
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(view->module()->isChanged());
    QCOMPARE(browser->backgroundColor(itemAt(view, ip)), QColor(Qt::cyan));
    // Never saved: all changes undone is the new configuration.
    QVERIFY(action(&window, "actionRevertAll")->isEnabled());
    action(&window, "actionRevertAll")->trigger();
    QCOMPARE(treeValue(view, ip).toString(), QStringLiteral("0.0.0.0"));
    QVERIFY(!action(&window, "actionRevertAll")->isEnabled());
    QVERIFY(!action(&window, "actionSave")->isEnabled());
    edit = qobject_cast<QLineEdit *>(editorAt(view, ip));
    edit->setText("10.0.3.7");
    QTest::keyClick(edit, Qt::Key_Return);

    // The folder of the file went away since it was last saved.
    const QString gone = m_dir.filePath("gone/config.brcf");
    view->setFileName(gone);
    {
        BoxRecorder boxes;
        action(&window, "actionSave")->trigger();
        QCOMPARE(boxes.boxes().size(), 1);
        QCOMPARE(boxes.boxes().first().title, Warning);
        QCOMPARE(boxes.boxes().first().icon, QMessageBox::Warning);
        QVERIFY2(boxes.texts().first().contains("config.brcf"), qPrintable(boxes.texts().first()));
    }
    QVERIFY(!QFile::exists(gone));
    QVERIFY(view->module()->isChanged() && view->hasChanges());
    QVERIFY(action(&window, "actionSave")->isEnabled());
    QCOMPARE(subWindows(&window).first()->windowTitle(), Title);
    QCOMPARE(browser->backgroundColor(itemAt(view, ip)), QColor(Qt::cyan));

    // A name typed without a suffix gets ours; the title follows, the marks go.
    chooseFile(m_dir.filePath("plain"));
    action(&window, "actionSaveAs")->trigger();
    const QString fileName = m_dir.filePath("plain.brcf");
    QCOMPARE(view->fileName(), fileName);
    QVERIFY(!QFile::exists(m_dir.filePath("plain")));
    QCOMPARE(subWindows(&window).first()->windowTitle(), Title + " plain.brcf");
    QVERIFY(!view->module()->isChanged());
    QVERIFY(!action(&window, "actionSave")->isEnabled());
    QCOMPARE(browser->backgroundColor(itemAt(view, ip)), QColor(Qt::white));
    auto savedAddress = [](const QString &name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly)
                   ? QJsonDocument::fromJson(file.readAll())["module"]["DEV_ADDR"].toString()
                   : QString();
    };
    QCOMPARE(savedAddress(fileName), QStringLiteral("1"));

    // Once it has a name, saving writes there again without asking.
    view->module()->setValue("Адрес MODBUS", 18);
    {
        ModalWatch watch;
        action(&window, "actionSave")->trigger();
        QTest::qWait(30);
        QVERIFY(!watch.seen());
    }
    QCOMPARE(savedAddress(fileName), QStringLiteral("18"));
    // Another suffix is the user's choice.
    chooseFile(m_dir.filePath("other.json"));
    action(&window, "actionSaveAs")->trigger();
    QCOMPARE(view->fileName(), m_dir.filePath("other.json"));
    QCOMPARE(savedAddress(m_dir.filePath("other.json")), QStringLiteral("18"));
}

void TestMainWindow::open_refusesWhatIsNotAConfiguration_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text");
    const QString notOurs = "Файл %1 не является файлом конфигурации модуля";
    QTest::newRow("not JSON") << int(ModeOffline) << QByteArray("\x00\xff{[\"", 5) << notOurs;
    QTest::newRow("empty") << int(ModeOffline) << QByteArray() << notOurs;
    QTest::newRow("array") << int(ModeOffline) << QByteArray(R"([{"module": {"DEV_TYPE": "1"}}])")
                           << notOurs;
    QTest::newRow("no module object")
        << int(ModeOffline) << QByteArray(R"({"submodules": []})") << notOurs;
    QTest::newRow("module not an object")
        << int(ModeOffline) << QByteArray(R"({"module": "1", "submodules": []})") << notOurs;
    // Without the types it does not know, a save would write an empty file over it.
    QTest::newRow("unknown module type")
        << int(ModeOffline) << QByteArray(R"({"module": {"DEV_TYPE": "99"}})")
        << notOurs + ": неизвестный тип модуля 99";
    QTest::newRow("unknown board type")
        << int(ModeOffline)
        << QByteArray(R"({"module": {"DEV_TYPE": "1"}, "submodules": [{"TYPE_SUBMODULE": "77"}]})")
        << notOurs + ": неизвестный тип субмодуля 77";
    // Online with nothing read there is nothing to check a file against.
    QTest::newRow("online, no unit read")
        << int(ModeOnline | ModeTcp)
        << QByteArray(R"({"module": {"DEV_TYPE": "1"}, "submodules": []})")
        << "Не возможно сверить конфигурацию, создайте модуль и повторите загрузку";
}

void TestMainWindow::open_refusesWhatIsNotAConfiguration()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    MainWindow window(mode, ModuleTables(), nullptr);
    window.show();
    const QString fileName = m_dir.filePath("other.brcf");
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    BoxRecorder boxes;
    chooseFile(fileName);
    action(&window, "actionOpen")->trigger();
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.boxes().first().title, Warning);
    QCOMPARE(boxes.texts().first(), text.arg(QDir::toNativeSeparators(fileName)));
    QVERIFY(subWindows(&window).isEmpty());
}

void TestMainWindow::close_asksBeforeDroppingChanges_data()
{
    QTest::addColumn<QString>("change"); // after the configuration was saved
    QTest::addColumn<QString>("closer");
    QTest::addColumn<int>("answer"); // button pressed in the question; 0: no question
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("saved"); // the change reached the file

    const int save = QMessageBox::Save;
    const int discard = QMessageBox::Discard;
    const int cancel = QMessageBox::Cancel;
    // clang-format off
    QTest::newRow("nothing changed") << "" << "sub-window" << 0 << true << false;
    QTest::newRow("board added, sub-window, cancel") << "add board" << "sub-window" << cancel << false << false;
    QTest::newRow("board removed, sub-window, discard") << "remove board" << "sub-window" << discard << true << false;
    QTest::newRow("edit, main window, save") << "edit" << "main window" << save << true << true;
    QTest::newRow("edit, main window, cancel") << "edit" << "main window" << cancel << false << false;
    QTest::newRow("edit saved, main window") << "edit, save" << "main window" << 0 << true << true;
    QTest::newRow("edit, start window, cancel") << "edit" << "start window" << cancel << false << false;
    QTest::newRow("edit, start window, discard") << "edit" << "start window" << discard << true << false;
    // clang-format on
}

void TestMainWindow::close_asksBeforeDroppingChanges()
{
    QFETCH(QString, change);
    QFETCH(QString, closer);
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(bool, saved);

    m_start = std::make_unique<StartWindow>();
    m_start->show();
    QPointer<MainWindow> window = openOffline();
    QVERIFY(window);
    ModuleView *view = window->currentView();
    QString greyed;
    chooseSlot(0, &greyed);
    action(window, "actionA1_2_2")->trigger();
    const QString fileName = m_dir.filePath("close.brcf");
    QFile::remove(fileName);
    view->setFileName(fileName);
    action(window, "actionSave")->trigger();
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray clean = file.readAll();
    file.close();

    if (change == "add board") {
        chooseSlot(1, &greyed);
        action(window, "actionOK_4")->trigger();
    } else if (change == "remove board") {
        view->findChild<TreePropertyBrowser *>()->setCurrentItem(
            itemAt(view, {"Субмодуль AIO (Слот A)"}));
        action(window, "actionDelSubmodule")->trigger();
    } else if (change.startsWith("edit")) {
        editorAt(view, Link + QStringList{"Адрес MODBUS"})->setProperty("value", 17);
    }
    if (change.endsWith("save"))
        action(window, "actionSave")->trigger();
    // Saving follows the unsaved changes, also when the sub-window comes back.
    auto *area = window->findChild<QMdiArea *>();
    QMdiSubWindow *subWindow = subWindows(window).first();
    area->setActiveSubWindow(nullptr);
    area->setActiveSubWindow(subWindow);
    QCOMPARE(action(window, "actionSave")->isEnabled(), answer != 0);

    QString asked;
    std::unique_ptr<ModalWatch> watch; // closes a question nobody expects
    if (answer)
        answerNext(QMessageBox::StandardButton(answer), &asked);
    else
        watch = std::make_unique<ModalWatch>();
    if (closer == "sub-window")
        subWindow->close();
    else if (closer == "main window")
        window->close();
    else
        m_start->close();
    QVERIFY(!watch || !watch->seen());
    QCOMPARE(asked, answer ? QStringLiteral("Сохранить изменения в файле close.brcf?") : QString());
    if (closer == "sub-window")
        QTRY_COMPARE(subWindows(window).isEmpty(), closed);
    else if (closed)
        QTRY_VERIFY(window.isNull());
    else
        QVERIFY(window->isVisible() && !subWindows(window).isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll() != clean, saved);
}

void TestMainWindow::cleanup()
{
    // A test that failed half-way may leave changes behind: they go unsaved.
    QTimer discard;
    QObject::connect(&discard, &QTimer::timeout, [] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && box->button(QMessageBox::Discard))
            box->button(QMessageBox::Discard)->click();
    });
    discard.start(10);
    if (MainWindow *window = shownMainWindow())
        window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_start.reset();
    AppSettings::useFile(QString());
}

MainWindow *TestMainWindow::openOffline()
{
    whenModal<QDialog>([this](QDialog *dialog) {
        auto *types = dialog->findChild<QComboBox *>();
        m_typeChoice = dialog->windowTitle() + ": " + QString::number(types->count()) + " "
                       + types->currentText() + " = " + types->currentData().toString();
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    QTest::mouseClick(m_start->findChild<QPushButton *>("btnOffline"), Qt::LeftButton);
    return shownMainWindow();
}

void TestMainWindow::offline_buildSaveCloseReopen()
{
    m_start = std::make_unique<StartWindow>();
    m_start->show();
    // The type choice cancelled: no window, not even a hidden one.
    whenModal<QDialog>([](QDialog *dialog) { dialog->reject(); });
    QTest::mouseClick(m_start->findChild<QPushButton *>("btnOffline"), Qt::LeftButton);
    QVERIFY(m_start->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<MainWindow *>(widget));

    const QModbusClient *firstClient = m_start->client();
    QPointer<MainWindow> window = openOffline();
    QVERIFY(window);
    QVERIFY(window->isMaximized());
    QVERIFY(!m_start->isVisible());
    QCOMPARE(m_typeChoice, QStringLiteral("Выберите тип модуля: 1 ВИРАТ7100.20 БРК = 1"));
    QCOMPARE(subWindows(window).size(), 1);
    QCOMPARE(subWindows(window).first()->windowTitle(), Title);
    QCOMPARE(subWindows(window).first()->size(), QSize(800, 600));
    ModuleView *view = window->currentView();
    QCOMPARE(view->module()->value("Тип модуля").toInt(), 1);
    // No board yet: the register map has nothing to list.
    BoxRecorder boxes;
    QVERIFY(QMetaObject::invokeMethod(window, "onOpenMapRegisters"));
    QCOMPARE(boxes.texts(), QStringList{"Ни один субмодуль не установлен"});

    // Boards through the menu commands and the slot dialog.
    QString greyed;
    chooseSlot(1, &greyed);
    action(window, "actionA1_2_2")->trigger();
    QCOMPARE(greyed, QString());
    chooseSlot(4, &greyed);
    action(window, "actionDO_6")->trigger();
    QCOMPARE(greyed, QStringLiteral("B"));
    greyed.clear();
    chooseSlot(0, &greyed);
    action(window, "actionTM2")->trigger();
    QCOMPARE(greyed, QStringLiteral("BE"));

    // Edits through the rows' own editors.
    auto *limit
        = qobject_cast<QDoubleSpinBox *>(editorAt(view, Ai1 + QStringList{"Верхний предел"}));
    QVERIFY(limit);
    limit->setValue(50.5);

    // A board goes with the menu command and comes back with Ctrl+Z, settings
    // and all; the edit before it goes with the next Ctrl+Z, and comes back.
    Module *module = view->module();
    const QJsonObject built = module->toJson();
    view->findChild<TreePropertyBrowser *>()->setCurrentItem(itemAt(view, {Tmp2.first()}));
    action(window, "actionDelSubmodule")->trigger();
    QCOMPARE(module->submodules().size(), 2);
    QAction *undo = action(window, "actionUndo");
    QCOMPARE(undo->text(), QStringLiteral("Отменить удаление субмодуля TMP (слот A)"));
    window->activateWindow(); // the slot dialogs had it
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(module->toJson(), built);
    QCOMPARE(undo->text(),
             QStringLiteral("Отменить изменение «Верхний предел» (Аналоговый вход 1)"));
    const QStringList upper = Ai1 + QStringList{"Верхний предел"};
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(treeValue(view, upper).toDouble(), 100.0);
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(treeValue(view, upper).toDouble(), 50.5);

    auto *ip = qobject_cast<QLineEdit *>(editorAt(view, Link + QStringList{"IP-адрес"}));
    QVERIFY(ip);
    ip->setText("10.0.3.7");
    QTest::keyClick(ip, Qt::Key_Return);
    auto *baud = qobject_cast<QComboBox *>(editorAt(view, Link + QStringList{"Скорость, бит/с"}));
    QVERIFY(baud);
    baud->setCurrentIndex(2);
    auto *signal = qobject_cast<QComboBox *>(editorAt(view, Tmp2 + QStringList{"Тип сигнала"}));
    QVERIFY(signal);
    signal->setCurrentIndex(5);
    QVERIFY(window->findChild<QAction *>("actionSave")->isEnabled());

    // Save: no name yet, so the file dialog asks for one.
    const QString fileName = m_dir.filePath("unit.brcf");
    chooseFile(fileName);
    action(window, "actionSave")->trigger();
    QCOMPARE(subWindows(window).first()->windowTitle(), QStringLiteral("ВИРАТ БРК-40  unit.brcf"));
    QVERIFY(!window->findChild<QAction *>("actionSave")->isEnabled());

    // Written by hand from the file format: every value a JSON string except the
    // discrete outputs' block values, indented by four blanks, keys in order; boards
    // in the order they were added, channels in the order their boards make them,
    // numbered as the unit numbers them: by slot (the TMP inputs in A before the
    // AIO inputs in B).
    QFile golden(QStringLiteral(BRK_TEST_DATA_DIR "/offline_unit.brcf"));
    QFile file(fileName);
    QVERIFY(golden.open(QIODevice::ReadOnly) && file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), golden.readAll());

    // Close: the start window comes back with a new client, the window goes.
    QSignalSpy closed(window, &MainWindow::closed);
    window->close();
    window->close();
    QCOMPARE(closed.count(), 1);
    QVERIFY(m_start->isVisible());
    QVERIFY(m_start->client() != firstClient);
    QTRY_VERIFY(window.isNull());

    // Reopen the file in a new offline window.
    window = openOffline();
    QVERIFY(window);
    chooseFile(fileName);
    action(window, "actionOpen")->trigger();
    QCOMPARE(subWindows(window).size(), 2);
    QCOMPARE(subWindows(window).last()->windowTitle(), QStringLiteral("ВИРАТ БРК-40 unit.brcf"));
    auto *loaded = qobject_cast<ModuleView *>(subWindows(window).last()->widget());
    QVERIFY(loaded);
    QCOMPARE(loaded->fileName(), fileName);
    module = loaded->module();
    QCOMPARE(module->value("IP-адрес").toString(), QStringLiteral("10.0.3.7"));
    QCOMPARE(module->value("Скорость, бит/с").toInt(), 5);
    QCOMPARE(module->value("Настройка последовательного порта RS-485").toInt(), 5);

    // Sorted by slot, "type@slot: number/global" of each channel; the discrete
    // outputs carry no numbers in the file and get those of their board again.
    QStringList boards;
    for (const Submodule *board : module->submodules()) {
        boards << QString("%1@%2:")
                      .arg(board->value(SubmoduleParam::Type).toInt())
                      .arg(board->value(SubmoduleParam::Slot).toInt());
        for (const Channel *channel : board->channels())
            boards.last() += QString(" %1/%2")
                                 .arg(channel->value(ChannelParam::Number).toInt())
                                 .arg(channel->value(ChannelParam::GlobalNumber).toInt());
    }
    QCOMPARE(boards, (QStringList{"7@0: 0/0 1/1", "5@1: 0/2 1/3 0/0 1/1",
                                  "8@4: 0/0 1/1 2/2 3/3 4/4 5/5 1/0 4/1"}));
}

void TestMainWindow::fileFromCommandLine_recentFilesAndLayoutSurviveRestart()
{
    AppSettings::useFile(m_dir.filePath(QStringLiteral("settings.ini")));
    QStringList files; // f0 .. f8 in a folder of their own
    QTemporaryDir folder;
    for (int i = 0; i < 9; ++i) {
        files << folder.filePath(QStringLiteral("f%1.brcf").arg(i));
        QFile file(files.last());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"module": {"DEV_TYPE": "1"}, "submodules": []})");
    }

    // A file that is not there leaves the start window with a warning.
    m_start = std::make_unique<StartWindow>();
    m_start->show();
    QVERIFY(!m_start->openFile(m_dir.filePath(QStringLiteral("missing.brcf"))));
    QVERIFY(!shownMainWindow());
    QTRY_VERIFY(m_start->findChild<QMessageBox *>());
    QVERIFY(m_start->findChild<QMessageBox *>()->text().startsWith("Не удалось открыть файл"));

    // Every window's menu follows the list, one opened while it was empty too.
    MainWindow other(ModeOffline);
    // As main() does with a file on the command line; the first open is maximised.
    QVERIFY(m_start->openFile(files.at(0)));
    MainWindow *window = shownMainWindow();
    QVERIFY(window && window->isMaximized() && !m_start->isVisible());
    QCOMPARE(subWindows(window).first()->windowTitle(), Title + "f0.brcf");
    for (int i = 1; i < 9; ++i)
        QVERIFY(window->openFile(files.at(i)));
    auto *recent = window->findChild<QMenu *>(QStringLiteral("menuRecent"));
    QCOMPARE(recent->title(), QStringLiteral("Недавние файлы"));
    auto recentNames = [recent]() {
        QStringList names;
        for (QAction *entry : recent->actions())
            names << QFileInfo(entry->text()).fileName();
        return names.join(' ');
    };
    QCOMPARE(recentNames(), QStringLiteral("f8.brcf f7.brcf f6.brcf f5.brcf f4.brcf f3.brcf "
                                           "f2.brcf f1.brcf"));
    const QMenu *otherRecent = other.findChild<QMenu *>(QStringLiteral("menuRecent"));
    QVERIFY(recent->isEnabled() && otherRecent->isEnabled()
            && otherRecent->actions().size() == recent->actions().size());

    // A missing file is dropped with a line in the status bar; a present one opens.
    QVERIFY(QFile::remove(files.at(5)));
    recent->actions().at(3)->trigger();
    QVERIFY(window->statusBar()->currentMessage().contains("f5.brcf"));
    QCOMPARE(recentNames(), QStringLiteral("f8.brcf f7.brcf f6.brcf f4.brcf f3.brcf f2.brcf "
                                           "f1.brcf"));
    const int views = subWindows(window).size();
    recent->actions().last()->trigger();
    QCOMPARE(subWindows(window).size(), views + 1);
    QCOMPARE(subWindows(window).last()->windowTitle(), Title + "f1.brcf");

    // Layout: a smaller window with the output pane shown; the write check on.
    QAction *verify = action(window, "actionVerifyWrite");
    QVERIFY(!verify->isChecked());
    verify->trigger();
    window->showNormal();
    window->setGeometry(40, 50, 900, 600);
    window->findChild<QDockWidget *>(QStringLiteral("dockWidget_2"))->show();
    window->close();
    QTRY_VERIFY(!shownMainWindow());

    QVERIFY(m_start->openFile(files.at(2)));
    window = shownMainWindow();
    QVERIFY(window && !window->isMaximized());
    QCOMPARE(window->size(), QSize(900, 600));
    QVERIFY(window->findChild<QDockWidget *>(QStringLiteral("dockWidget_2"))->isVisible());
    QVERIFY(action(window, "actionVerifyWrite")->isChecked());
    emit window->findChild<QMenu *>(QStringLiteral("menuRecent"))->aboutToShow();
    QCOMPARE(window->findChild<QMenu *>(QStringLiteral("menuRecent"))->actions().first()->text(),
             QDir::toNativeSeparators(files.at(2)));
    AppSettings::useFile(QString());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
