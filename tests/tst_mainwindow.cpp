// The main window through its actions and its real dialogs: offline from the
// start window's button to a file on disk and back, and online against the
// simulated unit in-process over TCP.

#include "appsettings.h"
#include "mainwindow.h"
#include "modeflags.h"
#include "moduleview.h"
#include "positionsubmoduledialog.h"
#include "processsetup.h"
#include "startwindow.h"
#include "treepropertybrowser.h"
#include "browseritem.h"
#include "browserproperty.h"

#include "modalanswer.h"
#include "unitsimfixture.h"

#include <channel.h>
#include <module.h>
#include <property.h>
#include <submodule.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QModbusTcpClient>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QString Title = QStringLiteral("ВИРАТ БРК-40 ");
const QString Warning = QStringLiteral("Внимание");

// What a message box said; the box is closed with its default button.
struct SeenBox
{
    QString title;
    QString text;
    QString informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool seen = false;
};

void closeNextBox(SeenBox *seen)
{
    whenModal<QMessageBox>([seen](QMessageBox *box) {
        seen->seen = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->informative = box->informativeText();
        seen->icon = box->icon();
        box->accept();
    });
}

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

// Answers the next file dialog with `path`, then the message box that follows.
void chooseFile(const QString &path, SeenBox *box)
{
    chooseFile(path, [box] { closeNextBox(box); });
}

QAction *action(const MainWindow &window, const char *name)
{
    return window.findChild<QAction *>(QLatin1String(name));
}

QList<QMdiSubWindow *> subWindows(const MainWindow &window)
{
    return window.findChild<QMdiArea *>()->subWindowList(QMdiArea::CreationOrder);
}

QString outputPane(const MainWindow &window)
{
    return window.findChild<QTextEdit *>(QStringLiteral("textEdit"))->toPlainText();
}

BrowserItem *itemAt(ModuleView *view, const QStringList &path)
{
    return view->findChild<TreePropertyBrowser *>()->itemAt(path);
}

// Every parameter of the tree with its value, board by board in slot order.
QStringList dumpTree(const Device *device)
{
    QStringList lines;
    for (const Property *parameter : device->properties())
        lines << parameter->name() + '=' + parameter->value().toString();
    for (const QObject *child : device->children()) {
        if (const auto *childDevice = qobject_cast<const Device *>(child))
            lines += dumpTree(childDevice);
    }
    return lines;
}

bool createView(MainWindow *window)
{
    whenModal<QDialog>([](QDialog *dialog) {
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    return window->createNew();
}

// The actions this window governs itself; the unit's sequences and the
// calibration and map dialogs have their own tests.
const QStringList AllActions
    = {"actionA1_2_2", "actionA2_4",         "actionAboutProgram", "actionDI_4",   "actionDI_6",
       "actionDO_6",   "actionDelSubmodule", "actionNew",          "actionOK_4",   "actionOpen",
       "actionRL2",    "actionSM2",          "actionSave",         "actionSaveAs", "actionTM2",
       "actionU1_4",   "actionVerification"};
const QStringList BoardActions
    = {"actionDelSubmodule", "actionA1_2_2", "actionA2_4", "actionTM2",  "actionRL2", "actionU1_4",
       "actionOK_4",         "actionSM2",    "actionDO_6", "actionDI_4", "actionDI_6"};

// Picks `slot` in the slot dialog; `greyed` receives the letters it offered
// greyed.
void chooseSlot(int slot, QString *greyed)
{
    whenModal<PositionSubmoduleDialog>([slot, greyed](PositionSubmoduleDialog *dialog) {
        auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("comboBox"));
        auto *items = qobject_cast<QStandardItemModel *>(combo->model());
        for (int i = 0; i < combo->count(); ++i) {
            if (!items->item(i)->isEnabled())
                greyed->append(combo->itemText(i));
        }
        combo->setCurrentIndex(slot);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
}

MainWindow *shownMainWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *window = qobject_cast<MainWindow *>(widget);
        if (window && window->isVisible())
            return window;
    }
    return nullptr;
}

QWidget *editorAt(ModuleView *view, const QStringList &path)
{
    BrowserItem *item = itemAt(view, path);
    return item ? view->findChild<TreePropertyBrowser *>()->openEditor(item) : nullptr;
}

const QStringList Link = {"Параметры модуля", "Параметры связи"};
const QStringList Ai1 = {"Субмодуль AIO (Слот B)", "Аналоговый вход 1 "};
const QStringList Tmp2 = {"Субмодуль TMP (Слот A)", "Вход термосопротивлений 2 "};

// Written by hand from the file format: every value a JSON string except the
// discrete outputs' block values; boards in the order they were added,
// channels in the order their boards make them, numbered as the unit numbers
// them: by slot (the TMP inputs in A before the AIO inputs in B).
const char ExpectedFile[] = R"({
"module": {"DEV_ADDR": "1", "DEV_STATE": "0", "DEV_TYPE": "1", "GATE_1": "0", "GATE_2": "0",
           "IP_1": "2560", "IP_2": "775", "MASK_1": "0", "MASK_2": "0", "PORT_CFG": "5",
           "RESP_DELAY": "0", "SF_REV": "0", "WDT": "0"},
"submodules": [
  {"POSITION_SUBMODULE": "1", "TYPE_SUBMODULE": "5", "channels": [
    {"DATA_FORMAT": "0", "DECIMAL_OFFSET": "0", "LOWER_LIMIT": "0", "NUMBER": "0",
     "NUMBER_GLOBAL": "2", "SIGNAL_TYPE": "0", "TYPE_CHANNEL": "0", "UPPER_LIMIT": "50.5"},
    {"DATA_FORMAT": "0", "DECIMAL_OFFSET": "0", "LOWER_LIMIT": "0", "NUMBER": "1",
     "NUMBER_GLOBAL": "3", "SIGNAL_TYPE": "0", "TYPE_CHANNEL": "0", "UPPER_LIMIT": "100"},
    {"BLOCK_VALUE": "0", "DATA_FORMAT": "0", "DECIMAL_OFFSET": "0", "LOWER_LIMIT": "0",
     "NUMBER": "0", "NUMBER_GLOBAL": "0", "SIGNAL_TYPE": "0", "TYPE_CHANNEL": "1",
     "UPPER_LIMIT": "100"},
    {"BLOCK_VALUE": "0", "DATA_FORMAT": "0", "DECIMAL_OFFSET": "0", "LOWER_LIMIT": "0",
     "NUMBER": "1", "NUMBER_GLOBAL": "1", "SIGNAL_TYPE": "0", "TYPE_CHANNEL": "1",
     "UPPER_LIMIT": "100"}]},
  {"POSITION_SUBMODULE": "4", "TYPE_SUBMODULE": "8", "channels": [
    {"BLOCK_VALUE": false, "PWM": "0"}, {"BLOCK_VALUE": false, "PWM": "0"},
    {"BLOCK_VALUE": false, "PWM": "0"}, {"BLOCK_VALUE": false, "PWM": "0"},
    {"BLOCK_VALUE": false, "PWM": "0"}, {"BLOCK_VALUE": false, "PWM": "0"},
    {"NUMBER": "1", "NUMBER_GLOBAL": "0", "TYPE_CHANNEL": "5"},
    {"NUMBER": "4", "NUMBER_GLOBAL": "1", "TYPE_CHANNEL": "5"}]},
  {"POSITION_SUBMODULE": "0", "TYPE_SUBMODULE": "7", "channels": [
    {"DATA_FORMAT": "0", "DECIMAL_OFFSET": "0", "LOWER_LIMIT": "0", "NUMBER": "0",
     "NUMBER_GLOBAL": "0", "SIGNAL_TYPE": "4", "TYPE_CHANNEL": "2", "UPPER_LIMIT": "100"},
    {"DATA_FORMAT": "0", "DECIMAL_OFFSET": "0", "LOWER_LIMIT": "0", "NUMBER": "1",
     "NUMBER_GLOBAL": "1", "SIGNAL_TYPE": "9", "TYPE_CHANNEL": "2", "UPPER_LIMIT": "100"}]}
]})";

// The start of the file as written: indented by four blanks, keys in order.
const char ExpectedHead[] = "{\n"
                            "    \"module\": {\n"
                            "        \"DEV_ADDR\": \"1\",\n"
                            "        \"DEV_STATE\": \"0\",\n";

// The simulated unit's module block as discovery hands it to the window.
ModuleTables unitTables(const UnitSimFixture &sim)
{
    QVector<quint16> block;
    for (int i = 0; i < ModuleTables::ModuleBlockSize; ++i)
        block.append(quint16(sim.reg(1, QModbusDataUnit::HoldingRegisters, 2000 + i)));
    ModuleTables tables;
    tables.setModuleTable(block);
    return tables;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void actions_followModeAndActivation_data();
    void actions_followModeAndActivation();
    void outputPane_appendsLines_data();
    void outputPane_appendsLines();
    void commandsWithoutView_doNothing_data();
    void commandsWithoutView_doNothing();
    void createNew_addsViewOnlyWhenAccepted_data();
    void createNew_addsViewOnlyWhenAccepted();
    void save_offlineRenamesAndClearsMarks();
    void save_failedKeepsMarksAndTitle();
    void saveAs_addsSuffix_data();
    void saveAs_addsSuffix();
    void open_refusesWhatIsNotAConfiguration_data();
    void open_refusesWhatIsNotAConfiguration();
    void close_emitsClosedOnce();
    void close_asksBeforeDroppingChanges_data();
    void close_asksBeforeDroppingChanges();

    void offline_cancelledTypeChoiceShowsNothing();
    void offline_buildSaveCloseReopen();
    void offline_undoThroughEditMenu();

    void online_startWindowOpensUnitAndTakesItBack_data();
    void online_startWindowOpensUnitAndTakesItBack();
    void online_openWithoutReadModuleWarns();
    void online_readsUnitAndChecksFiles_data();
    void online_readsUnitAndChecksFiles();
    void qtTexts_inRussian();

    void fileFromCommandLine_recentFilesAndLayoutSurviveRestart();

private:
    // Presses "Создать конфигурацию оффлайн" and accepts the type dialog.
    MainWindow *openOffline();

    QTemporaryDir m_dir;
    std::unique_ptr<StartWindow> m_start;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestMainWindow::actions_followModeAndActivation_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("withClient");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QStringList>("enabledAfterActivation");

    const QStringList offline
        = QStringList{"actionNew", "actionOpen", "actionSave", "actionSaveAs", "actionAboutProgram"}
          + BoardActions;
    QTest::newRow("offline") << int(ModeOffline) << false << offline << offline;
    // The board commands never come on for a unit.
    const QStringList online = {"actionOpen", "actionSave", "actionSaveAs", "actionAboutProgram"};
    QTest::newRow("online tcp") << int(ModeOnline | ModeTcp) << true << online << online;
    QTest::newRow("online without client")
        << int(ModeOnline | ModeRtu) << false << online << online;
}

void TestMainWindow::actions_followModeAndActivation()
{
    QFETCH(int, mode);
    QFETCH(bool, withClient);
    QFETCH(QStringList, enabled);
    QFETCH(QStringList, enabledAfterActivation);

    QModbusTcpClient client;
    std::unique_ptr<MainWindow> window;
    if (mode & ModeOffline)
        window = std::make_unique<MainWindow>(mode);
    else
        window = std::make_unique<MainWindow>(mode, ModuleTables(), withClient ? &client : nullptr);
    auto enabledNow = [&window] {
        QStringList names;
        for (const QString &name : AllActions) {
            if (action(*window, name.toLatin1().constData())->isEnabled())
                names.append(name);
        }
        names.sort();
        return names;
    };
    enabled.sort();
    enabledAfterActivation.sort();
    QCOMPARE(enabledNow(), enabled);
    emit window->findChild<QMdiArea *>()->subWindowActivated(nullptr);
    QCOMPARE(enabledNow(), enabledAfterActivation);
}

void TestMainWindow::outputPane_appendsLines_data()
{
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("pane");
    QTest::newRow("one") << QStringList{"Модуль не найден"} << "Модуль не найден";
    QTest::newRow("two lines, no leading break") << QStringList{"a", "b"} << "a\nb";
    QTest::newRow("empty first keeps the second alone") << QStringList{"", "b"} << "b";
}

void TestMainWindow::outputPane_appendsLines()
{
    QFETCH(QStringList, messages);
    QFETCH(QString, pane);
    MainWindow window(ModeOffline);
    for (const QString &message : messages)
        emit window.addMessage(message);
    QCOMPARE(outputPane(window), pane);
}

void TestMainWindow::commandsWithoutView_doNothing_data()
{
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<QString>("pane");
    QTest::newRow("save") << "actionSave"
                          << "";
    QTest::newRow("save as") << "actionSaveAs"
                             << "";
    QTest::newRow("delete board") << "actionDelSubmodule"
                                  << "";
    QTest::newRow("add board") << "actionA1_2_2"
                               << "Модуль не найден";
    QTest::newRow("add DI6") << "actionDI_6"
                             << "Модуль не найден";
}

void TestMainWindow::commandsWithoutView_doNothing()
{
    QFETCH(QString, actionName);
    QFETCH(QString, pane);
    MainWindow window(ModeOffline);
    window.show();
    // Anything modal that opens is a fault.
    ModalWatch watch;
    action(window, actionName.toLatin1().constData())->trigger();
    QTest::qWait(50);
    QVERIFY(!watch.seen());
    QCOMPARE(outputPane(window), pane);
    QVERIFY(subWindows(window).isEmpty());
}

void TestMainWindow::createNew_addsViewOnlyWhenAccepted_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("accepted") << true;
    QTest::newRow("rejected") << false;
}

void TestMainWindow::createNew_addsViewOnlyWhenAccepted()
{
    QFETCH(bool, accept);
    MainWindow window(ModeOffline);
    QString dialogTitle;
    QStringList items;
    int data = -1;
    whenModal<QDialog>([&](QDialog *widget) {
        dialogTitle = widget->windowTitle();
        auto *combo = widget->findChild<QComboBox *>();
        for (int i = 0; i < combo->count(); ++i)
            items.append(combo->itemText(i));
        data = combo->currentData().toInt();
        if (accept)
            widget->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        else
            widget->reject();
    });
    QCOMPARE(window.createNew(), accept);
    QCOMPARE(dialogTitle, QStringLiteral("Выберите тип модуля"));
    QCOMPARE(items, QStringList{QStringLiteral("ВИРАТ7100.20 БРК")});
    QCOMPARE(data, 1);
    const QList<QMdiSubWindow *> windows = subWindows(window);
    QCOMPARE(windows.size(), accept ? 1 : 0);
    if (!accept)
        return;
    QCOMPARE(windows.first()->windowTitle(), Title);
    QCOMPARE(windows.first()->size(), QSize(800, 600));
    auto *view = qobject_cast<ModuleView *>(windows.first()->widget());
    QVERIFY(view);
    QCOMPARE(view->module()->value("Тип модуля").toInt(), 1);
    QCOMPARE(window.currentView(), view);
}

void TestMainWindow::save_offlineRenamesAndClearsMarks()
{
    MainWindow window(ModeOffline);
    window.show();
    QVERIFY(createView(&window));
    ModuleView *view = window.currentView();
    const QStringList path = {"Параметры модуля", "Параметры связи", "Адрес MODBUS"};
    auto *browser = view->findChild<TreePropertyBrowser *>();
    browser->openEditor(itemAt(view, path))->setProperty("value", 17);
    QVERIFY(view->hasChanges());
    QCOMPARE(browser->backgroundColor(itemAt(view, path)), QColor(Qt::cyan));
    QVERIFY(action(window, "actionSave")->isEnabled());

    const QString fileName = m_dir.filePath("saved.brcf");
    chooseFile(fileName);
    action(window, "actionSave")->trigger();

    QCOMPARE(subWindows(window).first()->windowTitle(), Title + " saved.brcf");
    QCOMPARE(view->fileName(), fileName);
    QVERIFY(!view->module()->isChanged());
    QVERIFY(!action(window, "actionSave")->isEnabled());
    QCOMPARE(browser->backgroundColor(itemAt(view, path)), QColor(Qt::white));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(saved.value("module").toObject().value("DEV_ADDR"), QJsonValue("17"));

    // Once it has a name, saving writes there again without asking.
    view->module()->setValue("Адрес MODBUS", 18);
    ModalWatch watch;
    action(window, "actionSave")->trigger();
    QTest::qWait(30);
    QVERIFY(!watch.seen());
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(file.readAll())
                 .object()
                 .value("module")
                 .toObject()
                 .value("DEV_ADDR"),
             QJsonValue("18"));
}

void TestMainWindow::save_failedKeepsMarksAndTitle()
{
    MainWindow window(ModeOffline);
    window.show();
    QVERIFY(createView(&window));
    ModuleView *view = window.currentView();
    // An address edit keeps its parameter's changed flag until a save.
    const QStringList path = {"Параметры модуля", "Параметры связи", "IP-адрес"};
    auto *browser = view->findChild<TreePropertyBrowser *>();
    auto *edit = qobject_cast<QLineEdit *>(browser->openEditor(itemAt(view, path)));
    QVERIFY(edit);
    edit->setText("10.0.3.7");
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(view->module()->isChanged());

    // The folder of the file went away since it was last saved.
    const QString fileName = m_dir.filePath("gone/config.brcf");
    view->setFileName(fileName);
    SeenBox box;
    closeNextBox(&box);
    action(window, "actionSave")->trigger();

    QVERIFY(box.seen);
    QCOMPARE(box.title, Warning);
    QCOMPARE(box.icon, QMessageBox::Warning);
    QVERIFY2(box.text.contains("config.brcf"), qPrintable(box.text));
    QVERIFY(!QFile::exists(fileName));
    QVERIFY(view->module()->isChanged());
    QVERIFY(view->hasChanges());
    QVERIFY(action(window, "actionSave")->isEnabled());
    QCOMPARE(subWindows(window).first()->windowTitle(), Title);
    QCOMPARE(browser->backgroundColor(itemAt(view, path)), QColor(Qt::cyan));
}

void TestMainWindow::saveAs_addsSuffix_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("no suffix") << "plain"
                               << "plain.brcf";
    QTest::newRow("another suffix kept") << "other.json"
                                         << "other.json";
}

void TestMainWindow::saveAs_addsSuffix()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    MainWindow window(ModeOffline);
    window.show();
    QVERIFY(createView(&window));
    chooseFile(m_dir.filePath(typed));
    action(window, "actionSaveAs")->trigger();
    QCOMPARE(window.currentView()->fileName(), m_dir.filePath(saved));
    QVERIFY(QFile::exists(m_dir.filePath(saved)));
    QCOMPARE(QFile::exists(m_dir.filePath(typed)), typed == saved);
}

void TestMainWindow::open_refusesWhatIsNotAConfiguration_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not JSON") << QByteArray("\x00\xff{[\"", 5);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("array") << QByteArray(R"([{"module": {"DEV_TYPE": "1"}}])");
    QTest::newRow("no module object") << QByteArray(R"({"submodules": []})");
    QTest::newRow("module not an object") << QByteArray(R"({"module": "1", "submodules": []})");
}

void TestMainWindow::open_refusesWhatIsNotAConfiguration()
{
    QFETCH(QByteArray, content);
    MainWindow window(ModeOffline);
    window.show();
    const QString fileName = m_dir.filePath("other.brcf");
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    SeenBox box;
    chooseFile(fileName, &box);
    action(window, "actionOpen")->trigger();
    QTRY_VERIFY(box.seen);
    QCOMPARE(box.title, Warning);
    QCOMPARE(box.text, QStringLiteral("Файл %1 не является файлом конфигурации модуля")
                           .arg(QDir::toNativeSeparators(fileName)));
    QVERIFY(subWindows(window).isEmpty());
}

void TestMainWindow::close_emitsClosedOnce()
{
    MainWindow window(ModeOffline);
    QSignalSpy closed(&window, &MainWindow::closed);
    window.show();
    window.close();
    window.close();
    QCOMPARE(closed.count(), 1);
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
    QTest::newRow("nothing changed") << ""
                                     << "sub-window" << 0 << true << false;
    QTest::newRow("board added, sub-window, cancel") << "add board"
                                                     << "sub-window" << cancel << false << false;
    QTest::newRow("board removed, sub-window, discard") << "remove board"
                                                        << "sub-window" << discard << true << false;
    QTest::newRow("edit, main window, save") << "edit"
                                             << "main window" << save << true << true;
    QTest::newRow("edit, main window, cancel") << "edit"
                                               << "main window" << cancel << false << false;
    QTest::newRow("edit saved, main window") << "edit, save"
                                             << "main window" << 0 << true << true;
    QTest::newRow("edit, start window, cancel") << "edit"
                                                << "start window" << cancel << false << false;
    QTest::newRow("edit, start window, discard") << "edit"
                                                 << "start window" << discard << true << false;
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
    action(*window, "actionA1_2_2")->trigger();
    const QString fileName = m_dir.filePath("close.brcf");
    QFile::remove(fileName);
    view->setFileName(fileName);
    action(*window, "actionSave")->trigger();
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray clean = file.readAll();
    file.close();

    if (change == "add board") {
        chooseSlot(1, &greyed);
        action(*window, "actionOK_4")->trigger();
    } else if (change == "remove board") {
        view->findChild<TreePropertyBrowser *>()->setCurrentItem(
            itemAt(view, {"Субмодуль AIO (Слот A)"}));
        action(*window, "actionDelSubmodule")->trigger();
    } else if (change.startsWith("edit")) {
        editorAt(view, Link + QStringList{"Адрес MODBUS"})->setProperty("value", 17);
    }
    if (change.endsWith("save"))
        action(*window, "actionSave")->trigger();
    // Saving follows the unsaved changes, also when the sub-window comes back.
    auto *area = window->findChild<QMdiArea *>();
    QMdiSubWindow *subWindow = subWindows(*window).first();
    area->setActiveSubWindow(nullptr);
    area->setActiveSubWindow(subWindow);
    QCOMPARE(action(*window, "actionSave")->isEnabled(), answer != 0);

    QString asked;
    std::unique_ptr<ModalWatch> watch; // closes a question nobody expects
    if (answer) {
        whenModal<QMessageBox>([&asked, answer](QMessageBox *box) {
            asked = box->text();
            box->button(QMessageBox::StandardButton(answer))->click();
        });
    } else {
        watch = std::make_unique<ModalWatch>();
    }
    if (closer == "sub-window")
        subWindow->close();
    else if (closer == "main window")
        window->close();
    else
        m_start->close();
    QVERIFY(!watch || !watch->seen());
    QCOMPARE(asked, answer ? QStringLiteral("Сохранить изменения в файле close.brcf?") : QString());
    if (closer == "sub-window")
        QTRY_COMPARE(subWindows(*window).isEmpty(), closed);
    else if (closed)
        QTRY_VERIFY(window.isNull());
    else
        QVERIFY(window->isVisible() && !subWindows(*window).isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll() != clean, saved);
    if (window && !subWindows(*window).isEmpty() && !change.isEmpty()) {
        // Let the cleanup close it.
        whenModal<QMessageBox>(
            [](QMessageBox *box) { box->button(QMessageBox::Discard)->click(); });
        window->close();
    }
}

void TestMainWindow::cleanup()
{
    if (MainWindow *window = shownMainWindow())
        window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_start.reset();
    AppSettings::useFile(QString());
}

MainWindow *TestMainWindow::openOffline()
{
    whenModal<QDialog>([](QDialog *dialog) {
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    QTest::mouseClick(m_start->findChild<QPushButton *>("btnOffline"), Qt::LeftButton);
    return shownMainWindow();
}

void TestMainWindow::offline_cancelledTypeChoiceShowsNothing()
{
    m_start = std::make_unique<StartWindow>();
    m_start->show();
    whenModal<QDialog>([](QDialog *dialog) { dialog->reject(); });
    QTest::mouseClick(m_start->findChild<QPushButton *>("btnOffline"), Qt::LeftButton);
    QVERIFY(m_start->isVisible());
    QVERIFY(!shownMainWindow());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<MainWindow *>(widget));
}

void TestMainWindow::offline_buildSaveCloseReopen()
{
    m_start = std::make_unique<StartWindow>();
    m_start->show();
    const QModbusClient *firstClient = m_start->client();
    QPointer<MainWindow> window = openOffline();
    QVERIFY(window);
    QVERIFY(window->isMaximized());
    QVERIFY(!m_start->isVisible());
    QCOMPARE(subWindows(*window).size(), 1);
    QCOMPARE(subWindows(*window).first()->windowTitle(), QStringLiteral("ВИРАТ БРК-40 "));
    ModuleView *view = window->currentView();
    QVERIFY(view);

    // Boards through the menu commands and the slot dialog.
    QString greyed;
    chooseSlot(1, &greyed);
    action(*window, "actionA1_2_2")->trigger();
    QCOMPARE(greyed, QString());
    chooseSlot(4, &greyed);
    action(*window, "actionDO_6")->trigger();
    QCOMPARE(greyed, QStringLiteral("B"));
    greyed.clear();
    chooseSlot(0, &greyed);
    action(*window, "actionTM2")->trigger();
    QCOMPARE(greyed, QStringLiteral("BE"));

    // Edits through the rows' own editors.
    auto *limit
        = qobject_cast<QDoubleSpinBox *>(editorAt(view, Ai1 + QStringList{"Верхний предел"}));
    QVERIFY(limit);
    limit->setValue(50.5);
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
    action(*window, "actionSave")->trigger();
    QCOMPARE(subWindows(*window).first()->windowTitle(), QStringLiteral("ВИРАТ БРК-40  unit.brcf"));
    QVERIFY(!window->findChild<QAction *>("actionSave")->isEnabled());

    QFile file(fileName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QJsonParseError error;
    const QJsonDocument expected = QJsonDocument::fromJson(ExpectedFile, &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    QCOMPARE(QJsonDocument::fromJson(written), expected);
    QVERIFY(written.startsWith(ExpectedHead));
    QCOMPARE(written, expected.toJson());

    // Close: the start window comes back with a new client, the window goes.
    window->close();
    QVERIFY(m_start->isVisible());
    QVERIFY(m_start->client() != firstClient);
    QTRY_VERIFY(window.isNull());

    // Reopen the file in a new offline window.
    window = openOffline();
    QVERIFY(window);
    chooseFile(fileName);
    action(*window, "actionOpen")->trigger();
    QCOMPARE(subWindows(*window).size(), 2);
    QCOMPARE(subWindows(*window).last()->windowTitle(), QStringLiteral("ВИРАТ БРК-40 unit.brcf"));
    auto *loaded = qobject_cast<ModuleView *>(subWindows(*window).last()->widget());
    QVERIFY(loaded);
    QCOMPARE(loaded->fileName(), fileName);
    Module *module = loaded->module();
    QCOMPARE(module->value("IP-адрес").toString(), QStringLiteral("10.0.3.7"));
    QCOMPARE(module->value("Скорость, бит/с").toInt(), 5);
    QCOMPARE(module->value("Настройка последовательного порта RS-485").toInt(), 5);

    struct Board
    {
        int type;
        int slot;
        QList<int> numbers;       // "Номер канала" of each channel
        QList<int> globalNumbers; // "Глобальный номер канала"
    };
    // Sorted by slot; the discrete outputs carry no numbers in the file and
    // get those of their board again.
    const QList<Board> boards = {{7, 0, {0, 1}, {0, 1}},
                                 {5, 1, {0, 1, 0, 1}, {2, 3, 0, 1}},
                                 {8, 4, {0, 1, 2, 3, 4, 5, 1, 4}, {0, 1, 2, 3, 4, 5, 0, 1}}};
    const QList<Submodule *> submodules = module->submodules();
    QCOMPARE(submodules.size(), boards.size());
    for (int i = 0; i < boards.size(); ++i) {
        QCOMPARE(submodules.at(i)->value(SubmoduleParam::Type).toInt(), boards.at(i).type);
        QCOMPARE(submodules.at(i)->value(SubmoduleParam::Slot).toInt(), boards.at(i).slot);
        const QList<Channel *> channels = submodules.at(i)->channels();
        QCOMPARE(channels.size(), boards.at(i).numbers.size());
        for (int c = 0; c < channels.size(); ++c) {
            QCOMPARE(channels.at(c)->value(ChannelParam::Number).toInt(),
                     boards.at(i).numbers.at(c));
            QCOMPARE(channels.at(c)->value(ChannelParam::GlobalNumber).toInt(),
                     boards.at(i).globalNumbers.at(c));
        }
    }
    QCOMPARE(submodules.at(0)->channels().at(1)->value(ChannelParam::SignalType).toInt(), 9);
    QCOMPARE(submodules.at(1)->channels().at(0)->value(ChannelParam::UpperLimit).toDouble(), 50.5);

    // And the tree shows them.
    QCOMPARE(itemAt(loaded, Link + QStringList{"IP-адрес"})->property()->value().toString(),
             QStringLiteral("10.0.3.7"));
    QCOMPARE(itemAt(loaded, Link + QStringList{"Скорость, бит/с"})->property()->value().toInt(), 2);
    QCOMPARE(itemAt(loaded, Tmp2 + QStringList{"Тип сигнала"})->property()->value().toInt(), 5);
    QCOMPARE(itemAt(loaded, Ai1 + QStringList{"Верхний предел"})->property()->value().toDouble(),
             50.5);
}

void TestMainWindow::offline_undoThroughEditMenu()
{
    m_start = std::make_unique<StartWindow>();
    m_start->show();
    MainWindow *window = openOffline();
    QVERIFY(window);
    ModuleView *view = window->currentView();
    Module *module = view->module();
    QString greyed;
    chooseSlot(0, &greyed);
    action(*window, "actionTM2")->trigger();
    chooseSlot(1, &greyed);
    action(*window, "actionA1_2_2")->trigger();
    auto *limit
        = qobject_cast<QDoubleSpinBox *>(editorAt(view, Ai1 + QStringList{"Верхний предел"}));
    QVERIFY(limit);
    limit->setValue(50.5);
    const QStringList built = dumpTree(module);

    // The board goes with the menu command and comes back with Ctrl+Z, settings and all.
    view->findChild<TreePropertyBrowser *>()->setCurrentItem(itemAt(view, {Ai1.first()}));
    action(*window, "actionDelSubmodule")->trigger();
    QCOMPARE(module->submodules().size(), 1);
    QAction *undo = action(*window, "actionUndo");
    QCOMPARE(undo->text(), QStringLiteral("Отменить удаление субмодуля AIO (слот B)"));
    window->activateWindow(); // the slot dialogs had it
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(dumpTree(module), built);
    QVERIFY(itemAt(view, Ai1 + QStringList{"Верхний предел"}));
    QCOMPARE(undo->text(),
             QStringLiteral("Отменить изменение «Верхний предел» (Аналоговый вход 1)"));
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(itemAt(view, Ai1 + QStringList{"Верхний предел"})->property()->value().toDouble(),
             100.0);
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(module->submodules().size(), 1);

    // The tool bars are offered by their titles in the window's context menu.
    const std::unique_ptr<QMenu> popup(window->createPopupMenu());
    QStringList titles;
    for (const QAction *entry : popup->actions())
        titles << entry->text();
    for (const char *title : {"Файл", "Модуль", "Субмодули"})
        QVERIFY2(titles.contains(QString::fromUtf8(title)), qPrintable(titles.join(", ")));

    // Never saved: all changes undone is the empty configuration.
    QVERIFY(action(*window, "actionRevertAll")->isEnabled());
    action(*window, "actionRevertAll")->trigger();
    QVERIFY(module->submodules().isEmpty());
    QVERIFY(!action(*window, "actionRevertAll")->isEnabled());
    QVERIFY(!action(*window, "actionSave")->isEnabled());
    window->close();
}

void TestMainWindow::online_startWindowOpensUnitAndTakesItBack_data()
{
    QTest::addColumn<int>("unitId");
    QTest::addColumn<int>("lastId"); // 0: the Ethernet tab asks one identifier
    QTest::newRow("the unit itself") << 1 << 0;
    // Every silent identifier costs the client's time-out four times: 12 s here.
    QTest::newRow("behind a gateway, identifier 7 of 1..10") << 7 << 10;
}

void TestMainWindow::online_startWindowOpensUnitAndTakesItBack()
{
    QFETCH(int, unitId);
    QFETCH(int, lastId);
    UnitSimFixture sim({UnitSimFixture::unit(unitId, {5, 4, 6, 7, 8, 1})});
    QString error;
    QVERIFY2(sim.start(&error), qPrintable(error));
    m_start = std::make_unique<StartWindow>();
    m_start->show();
    m_start->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
    m_start->findChild<QLineEdit *>("leIp")->setText(sim.host());
    m_start->findChild<QLineEdit *>("lePort")->setText(QString::number(sim.port()));
    if (lastId) {
        QTest::mouseClick(m_start->findChild<QPushButton *>("btnHideUnitId"), Qt::LeftButton);
        m_start->findChild<QSpinBox *>("leLastUnitId")->setValue(lastId);
    }
    QTest::mouseClick(m_start->findChild<QPushButton *>("btnConnect"), Qt::LeftButton);
    auto *online = m_start->findChild<QPushButton *>("btnOnline");
    QTRY_VERIFY_WITH_TIMEOUT(online->isEnabled(), 20000);
    const QModbusClient *client = m_start->client();

    sim.clearRequests();
    QTest::mouseClick(online, Qt::LeftButton);
    QTRY_VERIFY(shownMainWindow());
    QPointer<MainWindow> window = shownMainWindow();
    QVERIFY(window->isMaximized());
    QVERIFY(!m_start->isVisible());
    QCOMPARE(window->mode(), int(ModeOnline | ModeTcp));
    // Its first show reads the unit over the start window's client.
    QTRY_VERIFY_WITH_TIMEOUT(window->deviceModule() != nullptr, 10000);
    QCOMPARE(window->deviceModule()->submodules().size(), 6);
    QCOMPARE(subWindows(*window).first()->windowTitle(), Title + "127.0.0.1");
    // Its traffic monitor holds the whole run: the start window's scan comes first.
    const QAbstractItemModel *traffic = window->findChild<QTableView *>("trafficTable")->model();
    QTRY_VERIFY(traffic->rowCount() > 0);
    QCOMPARE(traffic->index(0, 3).data().toString() + ' ' + traffic->index(0, 4).data().toString(),
             QStringLiteral("2000 23"));

    // A write, and the keep-alive, go to the unit's identifier too.
    auto *delay = qobject_cast<QSpinBox *>(
        editorAt(window->currentView(), Link + QStringList{"Задержка ответа, мс"}));
    QVERIFY(delay);
    delay->setValue(5);
    QTest::qWait(1100);
    SeenBox written;
    closeNextBox(&written);
    action(*window, "actionWriteEditable")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(written.seen, 10000);
    QCOMPARE(written.text, QStringLiteral("Конфигурация успешно записана!"));
    QCOMPARE(sim.reg(unitId, QModbusDataUnit::HoldingRegisters, 2007), 5);
    int keepAlive = 0;
    for (const SimRequestRecord &record : sim.requests()) {
        if (record.result == SimRequestRecord::Event)
            continue;
        QCOMPARE(record.slave, unitId);
        keepAlive += record.function == 3 && record.address == 2000 && record.count == 1;
    }
    QVERIFY(keepAlive >= 1);

    QTRY_VERIFY(m_start->isVisible());
    QVERIFY(m_start->client() != client);
    QCOMPARE(m_start->client()->state(), QModbusDevice::UnconnectedState);
    QTRY_VERIFY(window.isNull());
}

void TestMainWindow::online_openWithoutReadModuleWarns()
{
    // No client: nothing is read, so there is nothing to check a file against.
    MainWindow window(ModeOnline | ModeTcp, ModuleTables(), nullptr);
    window.show();
    const QString fileName = m_dir.filePath("any.brcf");
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"module": {"DEV_TYPE": "1"}, "submodules": []})");
    file.close();

    SeenBox box;
    chooseFile(fileName, &box);
    action(window, "actionOpen")->trigger();
    QTRY_VERIFY(box.seen);
    QCOMPARE(box.title, Warning);
    QCOMPARE(
        box.text,
        QStringLiteral("Не возможно сверить конфигурацию, создайте модуль и повторите загрузку"));
    QVERIFY(subWindows(window).isEmpty());
}

void TestMainWindow::online_readsUnitAndChecksFiles_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: the file saved from the unit's view
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("boards"); // under the warning, slot by slot
    QTest::addColumn<bool>("shown");

    QTest::newRow("saved from this unit") << QByteArray() << "Конфигурация успешно загружена"
                                          << "" << true;
    QTest::newRow("not a configuration")
        << QByteArray("[1, 2]") << "Файл %1 не является файлом конфигурации модуля"
        << "" << false;
    QTest::newRow("other module type")
        << QByteArray(R"({"module": {"DEV_TYPE": "2"}, "submodules": [
                          {"TYPE_SUBMODULE": "5", "POSITION_SUBMODULE": "0"},
                          {"TYPE_SUBMODULE": "4", "POSITION_SUBMODULE": "1"},
                          {"TYPE_SUBMODULE": "6", "POSITION_SUBMODULE": "2"},
                          {"TYPE_SUBMODULE": "7", "POSITION_SUBMODULE": "3"},
                          {"TYPE_SUBMODULE": "8", "POSITION_SUBMODULE": "4"},
                          {"TYPE_SUBMODULE": "1", "POSITION_SUBMODULE": "5"}]})")
        << "Не верная конфигурация загружаемого модуля. Ошибка: разные типы модулей"
        << "" << false;
    QTest::newRow("fewer boards")
        << QByteArray(R"({"module": {"DEV_TYPE": "1"},
                          "submodules": [{"TYPE_SUBMODULE": "5", "POSITION_SUBMODULE": "0"},
                                         {"TYPE_SUBMODULE": "4", "POSITION_SUBMODULE": "2"}]})")
        << "Не верная конфигурация загружаемого модуля. Ошибка: разное кол-во субмодулей"
        << "Слот B: в модуле Субмодуль AI, в файле пусто\n"
           "Слот C: в модуле Субмодуль DI, в файле Субмодуль AI\n"
           "Слот D: в модуле Субмодуль TMP, в файле пусто\n"
           "Слот E: в модуле Субмодуль DO6, в файле пусто\n"
           "Слот F: в модуле Субмодуль DO4, в файле пусто"
        << false;
    // The unit holds AIO AI DI TMP DO6 DO4; here the first board is an AI.
    QTest::newRow("other first board")
        << QByteArray(R"({"module": {"DEV_TYPE": "1"}, "submodules": [
                          {"TYPE_SUBMODULE": "4", "POSITION_SUBMODULE": "0"},
                          {"TYPE_SUBMODULE": "4", "POSITION_SUBMODULE": "1"},
                          {"TYPE_SUBMODULE": "6", "POSITION_SUBMODULE": "2"},
                          {"TYPE_SUBMODULE": "7", "POSITION_SUBMODULE": "3"},
                          {"TYPE_SUBMODULE": "8", "POSITION_SUBMODULE": "4"},
                          {"TYPE_SUBMODULE": "1", "POSITION_SUBMODULE": "5"}]})")
        << "Не верная конфигурация загружаемого модуля. Ошибка: разные типы субмодулей"
        << "Слот A: в модуле Субмодуль AIO, в файле Субмодуль AI" << false;
}

void TestMainWindow::online_readsUnitAndChecksFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    QFETCH(QString, boards);
    QFETCH(bool, shown);

    UnitSimFixture sim;
    QString error;
    QVERIFY2(sim.start(&error), qPrintable(error));
    QModbusTcpClient client;
    client.setConnectionParameter(QModbusDevice::NetworkAddressParameter, sim.host());
    client.setConnectionParameter(QModbusDevice::NetworkPortParameter, sim.port());
    client.setTimeout(500);
    QVERIFY(client.connectDevice());
    QTRY_COMPARE(client.state(), QModbusDevice::ConnectedState);

    auto window = std::make_unique<MainWindow>(ModeOnline | ModeTcp, unitTables(sim), &client);
    window->show();
    QTRY_VERIFY_WITH_TIMEOUT(window->deviceModule() != nullptr, 10000);
    QCOMPARE(subWindows(*window).size(), 1);
    QCOMPARE(subWindows(*window).first()->windowTitle(), Title + "127.0.0.1");
    ModuleView *unitView = window->currentView();
    QCOMPARE(unitView->module(), window->deviceModule());
    QCOMPARE(window->deviceModule()->submodules().size(), 6);

    const QString fileName = m_dir.filePath(QStringLiteral("online.brcf"));
    QFile::remove(fileName);
    if (content.isEmpty()) {
        // Saved from the unit's own view: online the title stays.
        chooseFile(fileName);
        action(*window, "actionSaveAs")->trigger();
        QCOMPARE(subWindows(*window).first()->windowTitle(), Title + "127.0.0.1");
    } else {
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QVERIFY(QFile::exists(fileName));

    SeenBox box;
    chooseFile(fileName, &box);
    action(*window, "actionOpen")->trigger();
    QTRY_VERIFY(box.seen);
    QCOMPARE(box.title, Warning);
    QCOMPARE(box.text, text.replace("%1", QDir::toNativeSeparators(fileName)));
    QCOMPARE(box.informative, boards);
    QCOMPARE(box.icon, shown ? QMessageBox::Information : QMessageBox::Warning);
    QCOMPARE(subWindows(*window).size(), shown ? 2 : 1);
    // A rejected file leaves no view and no module behind.
    QCOMPARE(window->findChildren<ModuleView *>().size(), shown ? 2 : 1);
    if (shown)
        QCOMPARE(subWindows(*window).last()->windowTitle(), Title + "online.brcf");

    // Closing deletes the views before the module they may point into.
    QPointer<ModuleView> first = unitView;
    window.reset();
    QVERIFY(first.isNull());
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

    // As main() does with a file on the command line; the first open is maximised.
    QVERIFY(m_start->openFile(files.at(0)));
    MainWindow *window = shownMainWindow();
    QVERIFY(window && window->isMaximized() && !m_start->isVisible());
    QCOMPARE(subWindows(*window).first()->windowTitle(), Title + "f0.brcf");
    for (int i = 1; i < 9; ++i)
        QVERIFY(window->openFile(files.at(i)));
    auto *recent = window->findChild<QMenu *>(QStringLiteral("menuRecent"));
    QCOMPARE(recent->title(), QStringLiteral("Недавние файлы"));
    emit recent->aboutToShow();
    auto recentNames = [recent]() {
        QStringList names;
        for (QAction *entry : recent->actions())
            names << QFileInfo(entry->text()).fileName();
        return names.join(' ');
    };
    QCOMPARE(recentNames(), QStringLiteral("f8.brcf f7.brcf f6.brcf f5.brcf f4.brcf f3.brcf "
                                           "f2.brcf f1.brcf"));

    // A missing file is dropped with a line in the status bar; a present one opens.
    QVERIFY(QFile::remove(files.at(5)));
    recent->actions().at(3)->trigger();
    QVERIFY(window->statusBar()->currentMessage().contains("f5.brcf"));
    QCOMPARE(recentNames(), QStringLiteral("f8.brcf f7.brcf f6.brcf f4.brcf f3.brcf f2.brcf "
                                           "f1.brcf"));
    const int views = subWindows(*window).size();
    recent->actions().last()->trigger();
    QCOMPARE(subWindows(*window).size(), views + 1);
    QCOMPARE(subWindows(*window).last()->windowTitle(), Title + "f1.brcf");

    // The file dialogs start in the folder used last.
    QString dialogFolder;
    whenModal<QFileDialog>([&dialogFolder](QFileDialog *dialog) {
        dialogFolder = dialog->directory().absolutePath();
        dialog->reject();
    });
    action(*window, "actionOpen")->trigger();
    QCOMPARE(dialogFolder, QFileInfo(folder.path()).absoluteFilePath());

    // Layout: a smaller window with the output pane shown; the write check on.
    QAction *verify = action(*window, "actionVerifyWrite");
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
    QVERIFY(action(*window, "actionVerifyWrite")->isChecked());
    emit window->findChild<QMenu *>(QStringLiteral("menuRecent"))->aboutToShow();
    QCOMPARE(window->findChild<QMenu *>(QStringLiteral("menuRecent"))->actions().first()->text(),
             QDir::toNativeSeparators(files.at(2)));
    AppSettings::useFile(QString());
}

void TestMainWindow::qtTexts_inRussian()
{
    QVERIFY2(ProcessSetup::loadQtTranslations(qApp), "qttranslations5-l10n is not installed");
    QMessageBox box(QMessageBox::Question, Warning, QString(),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    QStringList texts;
    for (QMessageBox::StandardButton button :
         {QMessageBox::Save, QMessageBox::Discard, QMessageBox::Cancel})
        texts << box.button(button)->text().remove(QLatin1Char('&'));
    const auto translators = qApp->findChildren<QTranslator *>();
    for (QTranslator *translator : translators) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    QCOMPARE(texts, (QStringList{"Сохранить", "Отклонить", "Отмена"}));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
