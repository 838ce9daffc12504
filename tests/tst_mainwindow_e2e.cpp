// An offline configuration end to end through the real widgets: from the
// start window's offline button to a file on disk and back into a new window.

#include "browseritem.h"
#include "browserproperty.h"
#include "mainwindow.h"
#include "moduleview.h"
#include "positionsubmoduledialog.h"
#include "startwindow.h"
#include "treepropertybrowser.h"

#include <channel.h>
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
#include <QModbusClient>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

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

void acceptTypeDialog()
{
    whenModal<QDialog>([](QDialog *dialog) {
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
}

void chooseFile(const QString &path)
{
    whenModal<QFileDialog>([path](QFileDialog *dialog) {
        // Typed, as a user would: selectFile() leaves a focused name field alone.
        dialog->selectFile(path);
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        static_cast<QDialog *>(dialog)->accept();
    });
}

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

QList<QMdiSubWindow *> subWindows(const MainWindow *window)
{
    return window->findChild<QMdiArea *>()->subWindowList(QMdiArea::CreationOrder);
}

void trigger(MainWindow *window, const char *name)
{
    window->findChild<QAction *>(QLatin1String(name))->trigger();
}

BrowserItem *itemAt(ModuleView *view, const QStringList &path)
{
    BrowserItem *at = view->findChild<TreePropertyBrowser *>()->topItem();
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
// channels in the order their boards make them.
const char ExpectedFile[] = R"({
"module": {"DEV_ADDR": "0", "DEV_STATE": "0", "DEV_TYPE": "1", "GATE_1": "0", "GATE_2": "0",
           "IP_1": "2560", "IP_2": "775", "MASK_1": "0", "MASK_2": "0", "PORT_CFG": "5",
           "RESP_DELAY": "0", "SF_REV": "0", "WDT": "0"},
"submodules": [
  {"POSITION_SUBMODULE": "1", "TYPE_SUBMODULE": "5", "channels": [
    {"DATA_FORMAT": "0", "DECIMAL_OFFSET": "0", "LOWER_LIMIT": "0", "NUMBER": "0",
     "NUMBER_GLOBAL": "0", "SIGNAL_TYPE": "0", "TYPE_CHANNEL": "0", "UPPER_LIMIT": "50.5"},
    {"DATA_FORMAT": "0", "DECIMAL_OFFSET": "0", "LOWER_LIMIT": "0", "NUMBER": "1",
     "NUMBER_GLOBAL": "1", "SIGNAL_TYPE": "0", "TYPE_CHANNEL": "0", "UPPER_LIMIT": "100"},
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
     "NUMBER_GLOBAL": "2", "SIGNAL_TYPE": "4", "TYPE_CHANNEL": "2", "UPPER_LIMIT": "100"},
    {"DATA_FORMAT": "0", "DECIMAL_OFFSET": "0", "LOWER_LIMIT": "0", "NUMBER": "1",
     "NUMBER_GLOBAL": "3", "SIGNAL_TYPE": "9", "TYPE_CHANNEL": "2", "UPPER_LIMIT": "100"}]}
]})";

// The start of the file as written: indented by four blanks, keys in order.
const char ExpectedHead[] = "{\n"
                            "    \"module\": {\n"
                            "        \"DEV_ADDR\": \"0\",\n"
                            "        \"DEV_STATE\": \"0\",\n";

} // namespace

class TestMainWindowE2e : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void offline_cancelledTypeChoiceShowsNothing();
    void offline_buildSaveCloseReopen();

private:
    // Presses "Создать конфигурацию оффлайн" and accepts the type dialog.
    MainWindow *openOffline();

    QTemporaryDir m_dir;
    std::unique_ptr<StartWindow> m_start;
};

void TestMainWindowE2e::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestMainWindowE2e::cleanup()
{
    if (MainWindow *window = shownMainWindow())
        window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_start.reset();
}

MainWindow *TestMainWindowE2e::openOffline()
{
    acceptTypeDialog();
    QTest::mouseClick(m_start->findChild<QPushButton *>("btnOffline"), Qt::LeftButton);
    return shownMainWindow();
}

void TestMainWindowE2e::offline_cancelledTypeChoiceShowsNothing()
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

void TestMainWindowE2e::offline_buildSaveCloseReopen()
{
    m_start = std::make_unique<StartWindow>();
    m_start->show();
    const QModbusClient *firstClient = m_start->client();
    QPointer<MainWindow> window = openOffline();
    QVERIFY(window);
    QVERIFY(window->isMaximized());
    QVERIFY(!m_start->isVisible());
    QCOMPARE(subWindows(window).size(), 1);
    QCOMPARE(subWindows(window).first()->windowTitle(), QStringLiteral("ВИРАТ БРК-40 "));
    ModuleView *view = window->currentView();
    QVERIFY(view);

    // Boards through the menu commands and the slot dialog.
    QString greyed;
    chooseSlot(1, &greyed);
    trigger(window, "actionA1_2_2");
    QCOMPARE(greyed, QString());
    chooseSlot(4, &greyed);
    trigger(window, "actionDO_6");
    QCOMPARE(greyed, QStringLiteral("B"));
    greyed.clear();
    chooseSlot(0, &greyed);
    trigger(window, "actionTM2");
    QCOMPARE(greyed, QStringLiteral("BE"));

    // Edits through the rows' own editors.
    auto *limit = qobject_cast<QDoubleSpinBox *>(editorAt(view, Ai1 + QStringList{"Верхний предел"}));
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
    trigger(window, "actionSave");
    QCOMPARE(subWindows(window).first()->windowTitle(),
             QStringLiteral("ВИРАТ БРК-40  unit.brcf"));
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
    trigger(window, "actionOpen");
    QCOMPARE(subWindows(window).size(), 2);
    QCOMPARE(subWindows(window).last()->windowTitle(), QStringLiteral("ВИРАТ БРК-40 unit.brcf"));
    auto *loaded = qobject_cast<ModuleView *>(subWindows(window).last()->widget());
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
    const QList<Board> boards = {{7, 0, {0, 1}, {2, 3}},
                                 {5, 1, {0, 1, 0, 1}, {0, 1, 0, 1}},
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

QTEST_MAIN(TestMainWindowE2e)
#include "tst_mainwindow_e2e.moc"
