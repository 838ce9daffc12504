// The main window through its actions and its real dialogs, offline and
// online (against the simulated unit in-process over TCP).

#include "mainwindow.h"
#include "modeflags.h"
#include "moduleview.h"
#include "treepropertybrowser.h"
#include "browseritem.h"
#include "browserproperty.h"

#include "unitsimfixture.h"

#include <module.h>
#include <submodule.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QModbusTcpClient>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QString Title = QStringLiteral("ВИРАТ БРК-40 ");
const QString Warning = QStringLiteral("Внимание");

// Runs `act` on the next modal widget of class T; gives up after 30 s so that
// a dialog that never came cannot be answered by a later one. The widget must
// be seen on two timer ticks: a dialog answered while exec() is still showing
// it, before its event loop runs, would wait forever.
template<typename T>
void whenModal(std::function<void(T *)> act)
{
    auto *timer = new QTimer;
    auto *clock = new QElapsedTimer;
    auto *sighted = new QPointer<T>;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, sighted, act] {
        T *shown = qobject_cast<T *>(QApplication::activeModalWidget());
        const bool ready = shown && shown == *sighted;
        *sighted = shown;
        if (!ready && clock->elapsed() < 30000)
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        delete sighted;
        if (ready)
            act(shown);
    });
    timer->start(10);
}

// What a message box said; the box is closed with its default button.
struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool seen = false;
};

void closeNextBox(SeenBox *seen)
{
    whenModal<QMessageBox>([seen](QMessageBox *box) {
        seen->seen = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
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

// Answers the next file dialog with `path`; then, when `box` is given, the
// message box that follows.
void chooseFile(const QString &path, SeenBox *box = nullptr)
{
    whenModal<QFileDialog>([path, box](QFileDialog *dialog) {
        // Typed, as a user would: selectFile() leaves a focused name field alone.
        dialog->selectFile(path);
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        static_cast<QDialog *>(dialog)->accept();
        if (box)
            closeNextBox(box);
    });
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
    auto *browser = view->findChild<TreePropertyBrowser *>();
    BrowserItem *at = browser->topItem();
    for (const QString &name : path) {
        BrowserItem *next = nullptr;
        for (BrowserItem *child : at->children()) {
            if (child->property()->propertyName() == name)
                next = child;
        }
        if (!next)
            return nullptr;
        at = next;
    }
    return at;
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
const QStringList AllActions = {
    "actionA1_2_2", "actionA2_4", "actionAboutProgram", "actionDI_4", "actionDI_6",
    "actionDO_6", "actionDelSubmodule", "actionNew", "actionOK_4", "actionOpen", "actionRL2",
    "actionSM2", "actionSave", "actionSaveAs", "actionTM2", "actionU1_4", "actionVerification"};
const QStringList BoardActions = {
    "actionDelSubmodule", "actionA1_2_2", "actionA2_4", "actionTM2", "actionRL2", "actionU1_4",
    "actionOK_4", "actionSM2", "actionDO_6", "actionDI_4", "actionDI_6"};

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
    void close_emitsClosedOnce();

    void online_openWithoutReadModuleWarns();
    void online_readsUnitAndChecksFiles_data();
    void online_readsUnitAndChecksFiles();

private:
    QTemporaryDir m_dir;
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

    const QStringList offline = QStringList{"actionNew", "actionOpen", "actionSave",
                                            "actionSaveAs", "actionAboutProgram"}
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
        window = std::make_unique<MainWindow>(mode, ModuleTables(),
                                              withClient ? &client : nullptr);
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
    QTest::newRow("save") << "actionSave" << "";
    QTest::newRow("save as") << "actionSaveAs" << "";
    QTest::newRow("delete board") << "actionDelSubmodule" << "";
    QTest::newRow("add board") << "actionA1_2_2" << "Модуль не найден";
    QTest::newRow("add DI6") << "actionDI_6" << "Модуль не найден";
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
    QCOMPARE(QJsonDocument::fromJson(file.readAll()).object().value("module").toObject().value(
                 "DEV_ADDR"),
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

void TestMainWindow::close_emitsClosedOnce()
{
    MainWindow window(ModeOffline);
    QSignalSpy closed(&window, &MainWindow::closed);
    window.show();
    window.close();
    window.close();
    QCOMPARE(closed.count(), 1);
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
    QCOMPARE(box.text, QStringLiteral(
        "Не возможно сверить конфигурацию, создайте модуль и повторите загрузку"));
    QVERIFY(subWindows(window).isEmpty());
}

void TestMainWindow::online_readsUnitAndChecksFiles_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: the file saved from the unit's view
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shown");

    QTest::newRow("saved from this unit")
        << QByteArray() << "Конфигурация успешно загружена" << true;
    QTest::newRow("other module type")
        << QByteArray(R"({"module": {"DEV_TYPE": "2"}, "submodules": []})")
        << "Не верная конфигурация загружаемого модуля. Ошибка: разные типы модулей" << false;
    QTest::newRow("fewer boards")
        << QByteArray(R"({"module": {"DEV_TYPE": "1"},
                          "submodules": [{"TYPE_SUBMODULE": "5", "POSITION_SUBMODULE": "0"}]})")
        << "Не верная конфигурация загружаемого модуля. Ошибка: разное кол-во субмодулей"
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
        << "Не верная конфигурация загружаемого модуля. Ошибка: разные типы субмодулей" << false;
}

void TestMainWindow::online_readsUnitAndChecksFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
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
    QCOMPARE(box.text, text);
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

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
