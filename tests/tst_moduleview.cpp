#include "browseritem.h"
#include "browserproperty.h"
#include "channel.h"
#include "modeflags.h"
#include "module.h"
#include "moduleview.h"
#include "property.h"
#include "submodule.h"
#include "treepropertybrowser.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QString kLink = QStringLiteral("Параметры связи");
const QString kParams = QStringLiteral("Параметры модуля");
const QStringList kAllLinkRows = {
    QStringLiteral("Таймаут включения блокировки, с"), QStringLiteral("Адрес MODBUS"),
    QStringLiteral("Задержка ответа, мс"), QStringLiteral("Скорость, бит/с"),
    QStringLiteral("Четность, стоп-биты"), QStringLiteral("IP-адрес"),
    QStringLiteral("Маска сети"), QStringLiteral("Адрес шлюза")};

// Runs `act` on the next modal dialog or popup, once it is up.
void whenShown(std::function<void(QWidget *)> act, bool popup = false)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, popup] {
        QWidget *shown = popup ? QApplication::activePopupWidget()
                               : QApplication::activeModalWidget();
        if (!shown)
            return;
        timer->deleteLater();
        timer->stop();
        act(shown);
    });
    timer->start(10);
}

struct View
{
    std::unique_ptr<ModuleView> view;
    TreePropertyBrowser *browser;

    explicit View(Module *module, int mode = ModeOffline)
        : view(new ModuleView(mode, module))
        , browser(view->findChild<TreePropertyBrowser *>())
    {
    }

    // The item at a path of row names below "Модуль".
    BrowserItem *item(const QStringList &path) const
    {
        BrowserItem *at = browser->topItem();
        for (const QString &name : path) {
            BrowserItem *next = nullptr;
            for (BrowserItem *child : at->children())
                next = child->property()->propertyName() == name ? child : next;
            if (!next)
                return nullptr;
            at = next;
        }
        return at;
    }
    BrowserProperty *row(const QStringList &path) const
    {
        BrowserItem *found = item(path);
        return found ? found->property() : nullptr;
    }
    static QStringList names(const BrowserItem *item)
    {
        QStringList result;
        for (const BrowserItem *child : item->children())
            result.append(child->property()->propertyName());
        return result;
    }
    void addBoard(int type, int slot)
    {
        whenShown([slot](QWidget *dialog) {
            dialog->findChild<QComboBox *>()->setCurrentIndex(slot);
            qobject_cast<QDialog *>(dialog)->accept();
        });
        view->addSubmodule(type);
    }
};

// A module with an AIO board in slot B and a TMP board in slot D.
Module *twoBoards()
{
    auto *module = new Module(1);
    module->createSubmodule(5)->setValue(SubmoduleParam::Slot, 1);
    module->createSubmodule(7)->setValue(SubmoduleParam::Slot, 3);
    module->setChanged(false);
    return module;
}

const QStringList kAi1 = {QStringLiteral("Субмодуль AIO (Слот B)"),
                          QStringLiteral("Аналоговый вход 1 ")};
const QStringList kTmp2 = {QStringLiteral("Субмодуль TMP (Слот D)"),
                           QStringLiteral("Вход термосопротивлений 2 ")};
const QStringList kAo1 = {QStringLiteral("Субмодуль AIO (Слот B)"),
                          QStringLiteral("Аналоговый выход 1 ")};

} // namespace

class TestModuleView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void moduleRows_followMode_data();
    void moduleRows_followMode();
    void boardGroups_labelsAndRows_data();
    void boardGroups_labelsAndRows();
    void addressEdit_setsWordsAndKeepsText_data();
    void addressEdit_setsWordsAndKeepsText();
    void enumerationEdit_storesCodes_data();
    void enumerationEdit_storesCodes();
    void outOfListValue_becomesFirstEntry_data();
    void outOfListValue_becomesFirstEntry();
    void emptyNameList_rowWithoutEntries();
    void numericRows_keepTheirLimits_data();
    void numericRows_keepTheirLimits();
    void changeMarks_andEnableSave();
    void removeBoard_data();
    void removeBoard();
    void deleteCommand_withoutBoardWarns();
    void addBoard_cancelledAddsNothing();
    void helpText_data();
    void helpText();
    void destruction_respectsModuleOwner();
};

void TestModuleView::initTestCase()
{
    // The model announces every destroyed parameter.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void TestModuleView::moduleRows_followMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("linkRows");
    QTest::newRow("offline") << int(ModeOffline) << kAllLinkRows;
    QTest::newRow("rtu") << int(ModeOnline | ModeRtu) << QStringList(kAllLinkRows.mid(0, 5));
    QTest::newRow("tcp") << int(ModeOnline | ModeTcp)
                         << QStringList(kAllLinkRows.mid(0, 3) + kAllLinkRows.mid(5));
}

void TestModuleView::moduleRows_followMode()
{
    QFETCH(int, mode);
    QFETCH(QStringList, linkRows);
    auto *module = new Module(1);
    module->setValue(ModuleParam::Errors, 0x1A); // bits 1, 3, 4
    View v(module, mode);
    QCOMPARE(View::names(v.browser->topItem()), QStringList{kParams});
    QCOMPARE(View::names(v.item({kParams})),
             (QStringList{QStringLiteral("Тип модуля"), QStringLiteral("Версия ПО"),
                          QStringLiteral("Признаки имеющихся ошибок"), kLink}));
    QCOMPARE(View::names(v.item({kParams, kLink})), linkRows);
    QCOMPARE(v.row({kParams, QStringLiteral("Тип модуля")})->value().toString(),
             QStringLiteral("ВИРАТ7100.20 БРК"));

    const BrowserItem *errors = v.item({kParams, QStringLiteral("Признаки имеющихся ошибок")});
    QStringList texts;
    for (const BrowserItem *flag : errors->children())
        texts << flag->property()->value().toString();
    QCOMPARE(View::names(errors),
             (QStringList{QStringLiteral("Сигнал внешней блокировки"),
                          QStringLiteral("Блокировка по таймауту запроса"),
                          QStringLiteral("Watchdog reset"),
                          QStringLiteral("Ошибка конфиг. в eeprom с восстановлением из резервного банка"),
                          QStringLiteral("Невосст. ошибка конфиг. в eeprom")}));
    QCOMPARE(texts, (QStringList{"нет", "есть", "нет", "нет", "нет"}));
    // Only the top row is open.
    QVERIFY(v.browser->isExpanded(v.browser->topItem()));
    QVERIFY(!v.browser->isExpanded(v.item({kParams})));
}

void TestModuleView::boardGroups_labelsAndRows_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("channels"); // "label|row,row"
    const QString ai = QStringLiteral("Тип сигнала,Нижний предел,Верхний предел,Формат данных,Множитель");
    const QString ao = ai + QStringLiteral(",Блокировочное значение");
    const QString dout = QStringLiteral("Блокировочное значение,Значение ШИМ");
    QTest::newRow("AIO") << 5 << 1 << "Субмодуль AIO (Слот B)"
                         << QStringList{"Аналоговый вход 1 |" + ai, "Аналоговый вход 2 |" + ai,
                                        "Аналоговый выход 1 |" + ao, "Аналоговый выход 2 |" + ao};
    QTest::newRow("TMP") << 7 << 0 << "Субмодуль TMP (Слот A)"
                         << QStringList{"Вход термосопротивлений 1 |" + ai,
                                        "Вход термосопротивлений 2 |" + ai};
    QTest::newRow("DI") << 6 << 5 << "Субмодуль DI (Слот F)"
                        << QStringList{"Дискретный вход 1 |", "Дискретный вход 2 |",
                                       "Дискретный вход 3 |Антидребезг",
                                       "Дискретный вход 4 |Антидребезг", "Счетный регистр 3 |",
                                       "Счетный регистр 4 |"};
    QTest::newRow("DO6") << 8 << 4 << "Субмодуль DO6 (Слот E)"
                         << QStringList{"Дискретный выход 1 |" + dout, "Дискретный выход 2 |" + dout,
                                        "Дискретный выход 3 |" + dout, "Дискретный выход 4 |" + dout,
                                        "Дискретный выход 5 |" + dout, "Дискретный выход 6 |" + dout,
                                        "Регистр частоты импульсов ШИМ 2 |",
                                        "Регистр частоты импульсов ШИМ 5 |"};
    QTest::newRow("ENI2") << 9 << 2 << "Субмодуль ENI2 (Слот C)" << QStringList{};
}

void TestModuleView::boardGroups_labelsAndRows()
{
    QFETCH(int, type);
    QFETCH(int, slot);
    QFETCH(QString, label);
    QFETCH(QStringList, channels);
    auto *module = new Module(1);
    module->createSubmodule(type)->setValue(SubmoduleParam::Slot, slot);
    View v(module);
    QCOMPARE(View::names(v.browser->topItem()), (QStringList{kParams, label}));
    QStringList shown;
    for (const BrowserItem *channel : v.item({label})->children())
        shown << channel->property()->propertyName() + '|' + View::names(channel).join(',');
    QCOMPARE(shown, channels);
}

void TestModuleView::addressEdit_setsWordsAndKeepsText_data()
{
    QTest::addColumn<QString>("rowName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("highWord");
    QTest::addColumn<QString>("lowWord");
    QTest::addColumn<int>("high"); // -1: the text is refused
    QTest::addColumn<int>("low");
    QTest::newRow("ip") << "IP-адрес" << "10.0.3.7" << "IP-1" << "IP-2" << 2560 << 775;
    QTest::newRow("mask") << "Маска сети" << "255.255.255.0" << "MASK-1" << "MASK-2" << 65535 << 65280;
    QTest::newRow("gateway") << "Адрес шлюза" << "192.168.1.1" << "GATE-1" << "GATE-2" << 49320 << 257;
    QTest::newRow("octet 256") << "IP-адрес" << "10.0.3.256" << "IP-1" << "IP-2" << -1 << -1;
    QTest::newRow("three octets") << "IP-адрес" << "10.0.3" << "IP-1" << "IP-2" << -1 << -1;
    QTest::newRow("five octets") << "IP-адрес" << "10.0.3.7.1" << "IP-1" << "IP-2" << -1 << -1;
}

void TestModuleView::addressEdit_setsWordsAndKeepsText()
{
    QFETCH(QString, rowName);
    QFETCH(QString, text);
    QFETCH(QString, highWord);
    QFETCH(QString, lowWord);
    QFETCH(int, high);
    QFETCH(int, low);
    auto *module = new Module(1);
    View v(module);
    const QStringList path = {kParams, kLink, rowName};
    // Through the row's own editor, as the user types it.
    auto *edit = qobject_cast<QLineEdit *>(v.browser->openEditor(v.item(path)));
    QVERIFY(edit);
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
    if (high < 0) {
        QCOMPARE(module->value(highWord).toInt(), 0);
        QCOMPARE(module->value(lowWord).toInt(), 0);
        QCOMPARE(v.row(path)->value().toString(), QStringLiteral("0.0.0.0"));
        QVERIFY(!v.view->hasChanges());
        return;
    }
    QCOMPARE(module->value(highWord).toInt(), high);
    QCOMPARE(module->value(lowWord).toInt(), low);
    // A rebuild shows the address that will be written, still marked.
    v.addBoard(1, 0);
    QCOMPARE(v.row(path)->value().toString(), text);
    QCOMPARE(v.browser->backgroundColor(v.item(path)), QColor(Qt::cyan));
    QVERIFY(v.view->hasChanges());
}

void TestModuleView::enumerationEdit_storesCodes_data()
{
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("other"); // a second row set first, or empty
    QTest::addColumn<int>("otherIndex");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("portWord"); // -1: not looked at
    const QStringList baud = {kParams, kLink, "Скорость, бит/с"};
    QTest::newRow("baud 2, parity 1") << baud << 2 << "Четность, стоп-биты" << 1 << 5 << 69;
    QTest::newRow("baud 7, parity 3") << baud << 7 << "Четность, стоп-биты" << 3 << 10 << 202;
    QTest::newRow("parity 2 after baud 4")
        << QStringList{kParams, kLink, "Четность, стоп-биты"} << 2 << "Скорость, бит/с" << 4 << 2
        << 135;
    QTest::newRow("temperature entry 0") << (kTmp2 + QStringList{"Тип сигнала"}) << 0 << ""
                                         << 0 << 4 << -1;
    QTest::newRow("temperature entry 5") << (kTmp2 + QStringList{"Тип сигнала"}) << 5 << ""
                                         << 0 << 9 << -1;
    QTest::newRow("analog input entry 2") << (kAi1 + QStringList{"Тип сигнала"}) << 2 << "" << 0
                                          << 2 << -1;
}

void TestModuleView::enumerationEdit_storesCodes()
{
    QFETCH(QStringList, path);
    QFETCH(int, index);
    QFETCH(QString, other);
    QFETCH(int, otherIndex);
    QFETCH(int, stored);
    QFETCH(int, portWord);
    Module *module = twoBoards();
    // A temperature input starts on code 4; move it away so entry 0 is a change.
    module->submodules().at(1)->channels().at(1)->setValue("Тип сигнала", 6);
    View v(module);
    if (!other.isEmpty())
        v.row({kParams, kLink, other})->setValue(otherIndex);
    auto *combo = qobject_cast<QComboBox *>(v.browser->openEditor(v.item(path)));
    QVERIFY(combo);
    combo->setCurrentIndex(index);
    const Device *device = v.browser->findProperty(v.row(path))->device();
    QCOMPARE(device->value(path.last()).toInt(), stored);
    if (portWord >= 0)
        QCOMPARE(module->value("Настройка последовательного порта RS-485").toInt(), portWord);
}

void TestModuleView::outOfListValue_becomesFirstEntry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("other");
    QTest::addColumn<int>("otherValue");
    QTest::addColumn<int>("reset");
    QTest::addColumn<int>("portWord");
    QTest::newRow("baud 20, parity 1") << "Скорость, бит/с" << 20 << "Четность, стоп-биты" << 1 << 3 << 67;
    QTest::newRow("baud 2, parity 2") << "Скорость, бит/с" << 2 << "Четность, стоп-биты" << 2 << 3 << 131;
    QTest::newRow("parity 9, baud 5") << "Четность, стоп-биты" << 9 << "Скорость, бит/с" << 5 << 0 << 5;
}

void TestModuleView::outOfListValue_becomesFirstEntry()
{
    QFETCH(QString, name);
    QFETCH(int, value);
    QFETCH(QString, other);
    QFETCH(int, otherValue);
    QFETCH(int, reset);
    QFETCH(int, portWord);
    auto *module = new Module(1);
    module->setValue(name, value);
    module->setValue(other, otherValue);
    module->setValue("Настройка последовательного порта RS-485", 0);
    View v(module);
    QCOMPARE(module->value(name).toInt(), reset);
    QVERIFY(module->property(name)->isChanged());
    // What is written is what is shown.
    QCOMPARE(module->value("Настройка последовательного порта RS-485").toInt(), portWord);
    QCOMPARE(v.row({kParams, kLink, name})->value().toInt(), 0);
    QCOMPARE(v.browser->backgroundColor(v.item({kParams, kLink, name})), QColor(Qt::cyan));
    QVERIFY(v.view->hasChanges());
}

void TestModuleView::emptyNameList_rowWithoutEntries()
{
    // The antibounce channels of a board just added have no names yet.
    auto *module = new Module(1);
    module->createSubmodule(6)->setValue(SubmoduleParam::Slot, 2);
    module->setChanged(false);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=true"));
    QTest::ignoreMessage(QtDebugMsg, "Error set combobox property");
    QTest::ignoreMessage(QtDebugMsg, "Error set combobox property");
    View v(module);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const QStringList path = {"Субмодуль DI (Слот C)", "Дискретный вход 3 ", "Антидребезг"};
    QVERIFY(v.row(path)->attributeValue("enumNames").toStringList().isEmpty());
    QVERIFY(v.browser->findProperty(v.row(path))->isChanged());
    QCOMPARE(v.browser->backgroundColor(v.item(path)), QColor(Qt::cyan));
    QVERIFY(v.view->hasChanges());
}

void TestModuleView::numericRows_keepTheirLimits_data()
{
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<int>("decimals"); // -1: an integer row
    QTest::newRow("address") << QStringList{kParams, kLink, "Адрес MODBUS"} << 0.0 << 65535.0 << -1;
    QTest::newRow("delay") << QStringList{kParams, kLink, "Задержка ответа, мс"} << 0.0 << 65535.0 << -1;
    QTest::newRow("lock timeout") << QStringList{kParams, kLink, "Таймаут включения блокировки, с"}
                                  << 0.0 << 25.5 << 1;
    QTest::newRow("lower limit") << (kAi1 + QStringList{"Нижний предел"}) << -1000.0 << 1000.0 << 3;
    QTest::newRow("upper limit") << (kAo1 + QStringList{"Верхний предел"}) << -1000.0 << 1000.0 << 3;
    QTest::newRow("block value") << (kAo1 + QStringList{"Блокировочное значение"}) << 0.0
                                 << 16777215.0 << 3;
}

void TestModuleView::numericRows_keepTheirLimits()
{
    QFETCH(QStringList, path);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(int, decimals);
    Module *module = twoBoards();
    View v(module);
    BrowserProperty *row = v.row(path);
    QVERIFY(row);
    QCOMPARE(row->type(), decimals < 0 ? BrowserProperty::Integer : BrowserProperty::Real);
    if (decimals >= 0)
        QCOMPARE(row->attributeValue("decimals").toInt(), decimals);
    const Device *device = v.browser->findProperty(row)->device();
    // One past a limit reaches the model as the limit, never wrapped.
    row->setValue(maximum + 1);
    QCOMPARE(device->value(path.last()).toDouble(), maximum);
    row->setValue(minimum - 1);
    QCOMPARE(device->value(path.last()).toDouble(), minimum);
}

void TestModuleView::changeMarks_andEnableSave()
{
    Module *module = twoBoards();
    View v(module);
    QSignalSpy save(v.view.get(), &ModuleView::enableSave);
    const QStringList limit = kAi1 + QStringList{"Верхний предел"};
    const QStringList address = {kParams, kLink, "Адрес MODBUS"};
    const QStringList ip = {kParams, kLink, "IP-адрес"};
    QCOMPARE(v.browser->backgroundColor(v.item(limit)), QColor(Qt::white));
    QVERIFY(!v.browser->backgroundColor(v.item(kAi1)).isValid()); // no parameter, no mark

    v.row(limit)->setValue(50.5);
    QCOMPARE(v.browser->backgroundColor(v.item(limit)), QColor(Qt::cyan));
    QCOMPARE(v.browser->backgroundColor(v.item(address)), QColor(Qt::white));
    QCOMPARE(save.takeLast().at(0).toBool(), true);
    QVERIFY(v.view->hasChanges());

    // A rebuild colours from the model: the limit is stored and unmarked,
    // an address text keeps its mark.
    v.row(ip)->setValue("10.1.1.1");
    v.addBoard(9, 5);
    QCOMPARE(module->submodules().at(0)->channels().at(0)->value("Верхний предел").toDouble(), 50.5);
    QCOMPARE(v.browser->backgroundColor(v.item(limit)), QColor(Qt::white));
    QCOMPARE(v.browser->backgroundColor(v.item(ip)), QColor(Qt::cyan));

    // After a save the host clears the flags and disables saving; the next
    // edit enables it again.
    module->setChanged(false);
    v.view->refreshColors();
    QCOMPARE(v.browser->backgroundColor(v.item(ip)), QColor(Qt::white));
    save.clear();
    v.row(address)->setValue(17);
    QCOMPARE(save.count(), 1);
    QCOMPARE(save.at(0).at(0).toBool(), true);
    QCOMPARE(module->value("Адрес MODBUS").toInt(), 17);
}

void TestModuleView::removeBoard_data()
{
    QTest::addColumn<bool>("byMenu");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("board");
    QTest::addColumn<bool>("removed");
    QTest::newRow("command") << false << int(ModeOffline) << "Субмодуль AIO (Слот B)" << true;
    QTest::newRow("command, board without channels") << false << int(ModeOffline)
                                                     << "Субмодуль ENI2 (Слот F)" << true;
    QTest::newRow("menu") << true << int(ModeOffline) << "Субмодуль TMP (Слот D)" << true;
    QTest::newRow("menu, online") << true << int(ModeOnline | ModeTcp)
                                  << "Субмодуль TMP (Слот D)" << false;
}

void TestModuleView::removeBoard()
{
    QFETCH(bool, byMenu);
    QFETCH(int, mode);
    QFETCH(QString, board);
    QFETCH(bool, removed);
    Module *module = twoBoards();
    module->createSubmodule(9)->setValue(SubmoduleParam::Slot, 5);
    View v(module, mode);
    v.browser->setCurrentItem(v.item({board}));
    bool menuShown = false;
    if (byMenu) {
        whenShown([&menuShown](QWidget *popup) {
            menuShown = true;
            auto *menu = qobject_cast<QMenu *>(popup);
            QCOMPARE(menu->actions().size(), 1);
            QCOMPARE(menu->actions().first()->text(), QStringLiteral("Удалить субмодуль"));
            menu->setActiveAction(menu->actions().first());
            QTest::keyClick(menu, Qt::Key_Return);
        }, true);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
        QApplication::sendEvent(v.browser, &event);
        QTest::qWait(50);
        QCOMPARE(menuShown, removed);
    } else {
        v.view->deleteSelectedSubmodule();
    }
    QCOMPARE(module->submodules().size(), removed ? 2 : 3);
    QCOMPARE(v.item({board}) == nullptr, removed);
    QVERIFY(!v.browser->isExpanded(v.item({kParams})));
    // Every row left must still lead to a live parameter (ASan watches).
    std::function<void(BrowserItem *)> visit = [&](BrowserItem *item) {
        v.browser->setCurrentItem(item);
        if (const Property *p = v.browser->findProperty(item->property()))
            QVERIFY(!p->name().isEmpty() && p->device());
        for (BrowserItem *child : item->children())
            visit(child);
    };
    visit(v.browser->topItem());
    v.view->refreshColors();
    v.row({kParams, kLink, "Адрес MODBUS"})->setValue(33);
    QCOMPARE(module->value("Адрес MODBUS").toInt(), 33);
}

void TestModuleView::deleteCommand_withoutBoardWarns()
{
    Module *module = twoBoards();
    View v(module);
    v.browser->setCurrentItem(v.item(kAi1 + QStringList{"Нижний предел"}));
    QString warning;
    whenShown([&warning](QWidget *box) {
        warning = box->windowTitle() + '|' + qobject_cast<QMessageBox *>(box)->text();
        qobject_cast<QMessageBox *>(box)->accept();
    });
    v.view->deleteSelectedSubmodule();
    QCOMPARE(warning, QStringLiteral("Внимание|Выберите субмодуль для удаления!"));
    QCOMPARE(module->submodules().size(), 2);
}

void TestModuleView::addBoard_cancelledAddsNothing()
{
    Module *module = twoBoards();
    View v(module);
    // OK without a slot, then Cancel after choosing one.
    whenShown([](QWidget *dialog) { qobject_cast<QDialog *>(dialog)->accept(); });
    v.view->addSubmodule(1);
    whenShown([](QWidget *dialog) {
        dialog->findChild<QComboBox *>()->setCurrentIndex(0);
        qobject_cast<QDialog *>(dialog)->reject();
    });
    v.view->addSubmodule(1);
    QCOMPARE(module->submodules().size(), 2);
    v.addBoard(1, 2);
    QCOMPARE(View::names(v.browser->topItem()),
             (QStringList{kParams, "Субмодуль AIO (Слот B)", "Субмодуль DO4 (Слот C)",
                          "Субмодуль TMP (Слот D)"}));
}

void TestModuleView::helpText_data()
{
    QTest::addColumn<QString>("workingFile"); // empty: no file there
    QTest::addColumn<QString>("besideFile");
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QString>("text");
    const QString help = R"({"Адрес MODBUS": "адрес", "Group": "плата", "Нижний предел": 5})";
    const QStringList address = {kParams, kLink, "Адрес MODBUS"};
    QTest::newRow("parameter") << help << "" << address << "адрес";
    QTest::newRow("board group") << help << "" << QStringList{"Субмодуль AIO (Слот B)"} << "плата";
    QTest::newRow("number value") << help << "" << (kAi1 + QStringList{"Нижний предел"}) << "5";
    QTest::newRow("group without parameter") << help << "" << QStringList{kParams, kLink} << "";
    QTest::newRow("no such key") << help << "" << (kAi1 + QStringList{"Верхний предел"}) << "";
    QTest::newRow("beside executable") << "" << help << address << "адрес";
    QTest::newRow("working directory first") << R"({"Адрес MODBUS": "здесь"})" << help << address
                                             << "здесь";
    QTest::newRow("malformed") << "{\"Адрес MODBUS\": " << "" << address << "";
    QTest::newRow("no file") << "" << "" << address << "";
}

void TestModuleView::helpText()
{
    QFETCH(QString, workingFile);
    QFETCH(QString, besideFile);
    QFETCH(QStringList, path);
    QFETCH(QString, text);
    QTemporaryDir working;
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(working.path()));
    const QString beside = QCoreApplication::applicationDirPath() + "/information.json";
    auto write = [](const QString &path, const QString &content) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content.toUtf8()) >= 0;
    };
    if (!workingFile.isEmpty())
        QVERIFY(write("information.json", workingFile));
    if (!besideFile.isEmpty())
        QVERIFY(write(beside, besideFile));
    Module *module = twoBoards();
    View v(module);
    QSignalSpy info(v.view.get(), &ModuleView::addInfoProperty);
    v.browser->setCurrentItem(v.item(path));
    QFile::remove(beside);
    QDir::setCurrent(saved);
    QCOMPARE(info.count(), 1);
    QCOMPARE(info.at(0).at(0).toString(), text);
}

void TestModuleView::destruction_respectsModuleOwner()
{
    for (int mode : {int(ModeOffline), int(ModeOnline | ModeKeepsModule)}) {
        Module *module = twoBoards();
        QPointer<Module> watch(module);
        { View v(module, mode); }
        QCOMPARE(watch.isNull(), !(mode & ModeKeepsModule));
        delete watch.data();
    }
}

QTEST_MAIN(TestModuleView)
#include "tst_moduleview.moc"
