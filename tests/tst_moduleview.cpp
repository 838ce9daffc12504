// SPDX-License-Identifier: GPL-3.0-or-later
#include "browseritem.h"
#include "browserproperty.h"
#include "channel.h"
#include "modeflags.h"
#include "module.h"
#include "modalanswer.h"
#include "moduletables.h"
#include "moduleview.h"
#include "positionsubmoduledialog.h"
#include "property.h"
#include "registerblocks.h"
#include "submodule.h"
#include "treepropertybrowser.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUndoStack>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QString kParams = QStringLiteral("Параметры модуля");
const QString kLink = QStringLiteral("Параметры связи");
const QString kPort = QStringLiteral("Настройка последовательного порта RS-485");
const QString kAio = QStringLiteral("Субмодуль AIO (Слот B)");
const QString kTmp = QStringLiteral("Субмодуль TMP (Слот D)");
const QStringList kLinkRows = QStringLiteral("Таймаут включения блокировки, с|Адрес MODBUS|"
                                             "Задержка ответа, мс|Скорость, бит/с|Четность, "
                                             "стоп-биты|IP-адрес|Маска сети|Адрес шлюза")
                                  .split('|');
const QStringList kAi1 = {kAio, "Аналоговый вход 1 "};
const QStringList kAo1 = {kAio, "Аналоговый выход 1 "};
const QStringList kTmp2 = {kTmp, "Вход термосопротивлений 2 "};

QStringList link(const QString &row)
{
    return {kParams, kLink, row};
}
QStringList operator+(const QStringList &path, const char *row)
{
    return path + QStringList{row};
}

// Every parameter of the tree, its value and its edit mark ("*").
QStringList dump(const Device *device)
{
    QStringList lines;
    for (const Property *parameter : device->properties())
        lines << parameter->name() + '=' + parameter->value().toString()
                     + (parameter->isChanged() ? "*" : "");
    for (const QObject *child : device->children()) {
        if (const auto *childDevice = qobject_cast<const Device *>(child))
            lines += dump(childDevice);
    }
    return lines;
}

// The module block as a write would encode it.
QVector<quint16> moduleWords(Module *module)
{
    ModuleTables tables;
    tables.setModuleTable(QVector<quint16>(ModuleTables::ModuleBlockSize, 0));
    return module->toTables(tables).moduleTable();
}

// A module with an AIO board in slot B and a TMP board in slot D.
Module *twoBoards()
{
    auto *module = new Module(1);
    module->createSubmodule(5)->setValue(SubmoduleParam::Slot, 1);
    module->createSubmodule(7)->setValue(SubmoduleParam::Slot, 3);
    module->setChanged(false);
    return module;
}

struct View
{
    std::unique_ptr<ModuleView> view;
    TreePropertyBrowser *browser;

    explicit View(Module *module, int mode = ModeOffline)
        : View(new ModuleView(mode, module))
    {}
    explicit View(ModuleView *shown)
        : view(shown)
        , browser(view->findChild<TreePropertyBrowser *>())
    {}
    // The item at a path of row names below "Модуль".
    BrowserItem *item(const QStringList &path) const { return browser->itemAt(path); }
    BrowserProperty *row(const QStringList &path) const { return item(path)->property(); }
    Property *parameter(const QStringList &path) const { return browser->findProperty(row(path)); }
    QColor color(const QStringList &path) const { return browser->backgroundColor(item(path)); }
    QStringList names(const QStringList &path) const
    {
        QStringList result;
        for (const BrowserItem *child : item(path)->children())
            result << child->property()->propertyName();
        return result;
    }
    void addBoard(int type, int slot)
    {
        whenModal<QDialog>([slot](QDialog *dialog) {
            dialog->findChild<QComboBox *>()->setCurrentIndex(slot);
            dialog->accept();
        });
        view->addSubmodule(type);
    }
};

} // namespace

class TestModuleView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void moduleRows_followMode_data();
    void moduleRows_followMode();
    void outOfListValue_shownAndKept_data();
    void outOfListValue_shownAndKept();
    void changeMarks_andEnableSave();
    void undoRedo_restoreEditExactly_data();
    void undoRedo_restoreEditExactly();
    void revertAll_returnsToBase();
    void removeBoard_data();
    void removeBoard();
    void addBoard_onlyWithAChosenSlot_offersListEntries();
    void helpText_data();
    void helpText();
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
    QTest::newRow("offline") << int(ModeOffline) << kLinkRows;
    QTest::newRow("rtu") << int(ModeOnline | ModeRtu) << QStringList(kLinkRows.mid(0, 5));
    QTest::newRow("tcp") << int(ModeOnline | ModeTcp)
                         << QStringList(kLinkRows.mid(0, 3) + kLinkRows.mid(5));
}

void TestModuleView::moduleRows_followMode()
{
    QFETCH(int, mode);
    QFETCH(QStringList, linkRows);
    auto *module = new Module(1);
    module->setValue("Признаки имеющихся ошибок", 0x1A); // bits 1, 3, 4
    View v(module, mode);
    QCOMPARE(v.names({}), QStringList{kParams});
    QCOMPARE(v.names({kParams}),
             (QStringList{"Тип модуля", "Версия ПО", "Признаки имеющихся ошибок", kLink}));
    QCOMPARE(v.names({kParams, kLink}), linkRows);
    QStringList flags;
    for (const BrowserItem *flag : v.item({kParams, "Признаки имеющихся ошибок"})->children())
        flags << flag->property()->propertyName() + ": " + flag->property()->value().toString();
    QCOMPARE(flags,
             (QStringList{"Сигнал внешней блокировки: нет", "Блокировка по таймауту запроса: есть",
                          "Watchdog reset: нет",
                          "Ошибка конфиг. в eeprom с восстановлением из резервного банка: нет",
                          "Невосст. ошибка конфиг. в eeprom: нет"}));
}

void TestModuleView::outOfListValue_shownAndKept_data()
{
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<int>("slot"); // of the board, -1 for the module's own rows
    QTest::addColumn<int>("channel");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("edit");   // set on the row: a list entry's index or a number
    QTest::addColumn<int>("result"); // what the edit stores
    const QStringList address = link("Адрес MODBUS");
    QTest::newRow("baud bits 20") << link("Скорость, бит/с") << -1 << 0 << QVariant(20) << 0 << 3;
    QTest::newRow("analog input signal 7")
        << kAi1 + "Тип сигнала" << 1 << 0 << QVariant(7) << 0 << 0;
    QTest::newRow("temperature signal 3 from a file")
        << kTmp2 + "Тип сигнала" << 3 << 1 << QVariant("3") << 0 << 4;
    // Only unit addresses can be entered; what a file or unit holds is kept.
    QTest::newRow("address 0 from a file, one step up")
        << address << -1 << 0 << QVariant("0") << 1 << 1;
    QTest::newRow("address 300 from a unit, one step down")
        << address << -1 << 0 << QVariant(300) << 299 << 247;
}

void TestModuleView::outOfListValue_shownAndKept()
{
    QFETCH(QStringList, path);
    QFETCH(int, slot);
    QFETCH(int, channel);
    QFETCH(QVariant, stored);
    QFETCH(int, edit);
    QFETCH(int, result);
    Module *module = twoBoards();
    Device *device = module;
    for (Submodule *board : module->submodules()) {
        if (board->value(SubmoduleParam::Slot).toInt() == slot)
            device = board->channels().at(channel);
    }
    const QString name = path.last();
    device->setValue(name, stored);
    module->setValue(kPort, 0x0254); // a word the lists cannot all say
    View v(module);

    const QStringList entries
        = v.row(path)->attributeValue(PropertyAttribute::EnumNames).toStringList();
    const bool list = !entries.isEmpty();
    if (list)
        QCOMPARE(entries.last(),
                 QStringLiteral("Неизвестное значение (%1)").arg(stored.toString()));
    QCOMPARE(v.row(path)->value().toInt(), list ? entries.size() - 1 : stored.toInt());
    QCOMPARE(device->value(name), stored);
    QCOMPARE(module->value(kPort).toInt(), 0x0254);
    QVERIFY(!module->isChanged());
    QVERIFY(!v.view->hasChanges());
    // Kept, and marked as a value no write takes; the rows around it are not.
    QCOMPARE(v.color(path), ModuleView::badValueColor());
    QCOMPARE(v.color(link("Задержка ответа, мс")), QColor(Qt::white));

    // A picked entry is an edit; the unknown entry brings the stored value back.
    v.row(path)->setValue(edit);
    QCOMPARE(device->value(name).toInt(), result);
    QCOMPARE(v.color(path), QColor(Qt::cyan));
    if (!list) {
        QCOMPARE(v.row(path)->attributeValue(PropertyAttribute::Minimum).toInt(), 1);
        QCOMPARE(v.row(path)->attributeValue(PropertyAttribute::Maximum).toInt(), 247);
    } else {
        v.row(path)->setValue(entries.size() - 1);
        QCOMPARE(device->value(name), stored);
        QCOMPARE(v.color(path), ModuleView::badValueColor());
    }
}

void TestModuleView::changeMarks_andEnableSave()
{
    Module *module = twoBoards();
    View v(module);
    QSignalSpy save(v.view.get(), &ModuleView::enableSave);
    const QStringList limit = kAi1 + "Верхний предел";
    QVERIFY(!v.color(kAi1).isValid()); // a row without parameter keeps the tree's colour
    v.row(limit)->setValue(50.5);
    QCOMPARE(save.takeLast().at(0).toBool(), true);

    // A rebuild colours from the model: every edit keeps its mark.
    auto *edit = qobject_cast<QLineEdit *>(v.browser->openEditor(v.item(link("IP-адрес"))));
    QVERIFY(edit);
    edit->setText("10.0.3.7");
    QTest::keyClick(edit, Qt::Key_Return);
    v.addBoard(9, 5);
    QCOMPARE(v.parameter(limit)->value().toDouble(), 50.5);
    QCOMPARE(v.color(limit), QColor(Qt::cyan));
    QCOMPARE(v.row(link("IP-адрес"))->value().toString(), QStringLiteral("10.0.3.7"));
    QCOMPARE(v.color(link("IP-адрес")), QColor(Qt::cyan));
    QVERIFY(v.view->hasChanges());
}

void TestModuleView::undoRedo_restoreEditExactly_data()
{
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QVariant>("earlier"); // an edit of the row before, or none
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored"); // a parameter of the row's device and its value after

    // clang-format off
    QTest::newRow("ip and its two words") << link("IP-адрес") << QVariant() << QVariant("10.0.3.7")
        << "изменение «IP-адрес»" << "IP-2=775";
    QTest::newRow("baud and the port word") << link("Скорость, бит/с") << QVariant() << QVariant(2)
        << "изменение «Скорость, бит/с»" << "Скорость, бит/с=5";
    // Parity in bits 6-7 of the port word, the baud code below.
    QTest::newRow("parity") << link("Четность, стоп-биты") << QVariant() << QVariant(3)
        << "изменение «Четность, стоп-биты»" << kPort + "=195";
    QTest::newRow("lock timeout, one decimal") << link("Таймаут включения блокировки, с")
        << QVariant() << QVariant(2.46) << "изменение «Таймаут включения блокировки, с»"
        << "Таймаут включения блокировки, с=2.5";
    // The row was painted by its earlier edit although the model holds no mark.
    QTest::newRow("lower limit edited twice") << kAi1 + "Нижний предел" << QVariant(-5.0)
        << QVariant(12.5) << "изменение «Нижний предел» (Аналоговый вход 1)" << "Нижний предел=12.5";
    QTest::newRow("upper limit, three decimals") << kAo1 + "Верхний предел" << QVariant()
        << QVariant(12.3456) << "изменение «Верхний предел» (Аналоговый выход 1)"
        << "Верхний предел=12.346";
    QTest::newRow("temperature signal type") << kTmp2 + "Тип сигнала" << QVariant() << QVariant(3)
        << "изменение «Тип сигнала» (Вход термосопротивлений 2)" << "Тип сигнала=7";
    // clang-format on
}

void TestModuleView::undoRedo_restoreEditExactly()
{
    QFETCH(QStringList, path);
    QFETCH(QVariant, earlier);
    QFETCH(QVariant, value);
    QFETCH(QString, text);
    QFETCH(QString, stored);
    Module *module = twoBoards();
    View v(module);
    QUndoStack *stack = v.view->undoStack();
    if (earlier.isValid()) {
        v.row(path)->setValue(earlier);
        v.row(link("Адрес MODBUS"))->setValue(9); // so the next edit stands on its own
    }
    // Encoding normalises some values and their marks: before the dump.
    const QVector<quint16> wordsBefore = moduleWords(module);
    const QStringList before = dump(module);
    const QVariant shownBefore = v.row(path)->value();
    const QColor colorBefore = v.color(path);

    v.row(path)->setValue(value);
    const QStringList after = dump(module);
    const QVariant shownAfter = v.row(path)->value();
    QVERIFY(after != before);
    QCOMPARE(stack->undoText(), text);
    QCOMPARE(v.parameter(path)->device()->value(stored.section('=', 0, 0)).toString(),
             stored.section('=', 1));

    stack->undo();
    QCOMPARE(dump(module), before);
    QCOMPARE(moduleWords(module), wordsBefore);
    QCOMPARE(v.row(path)->value(), shownBefore);
    QCOMPARE(v.color(path), colorBefore);
    QCOMPARE(v.view->hasChanges(), earlier.isValid());

    stack->redo();
    QCOMPARE(dump(module), after);
    QCOMPARE(v.row(path)->value(), shownAfter);
    QCOMPARE(v.color(path), QColor(Qt::cyan));
    QVERIFY(v.view->hasChanges());
    QCOMPARE(stack->count(), earlier.isValid() ? 3 : 1);
}

void TestModuleView::revertAll_returnsToBase()
{
    // Online: the base is the image last read or written.
    QVector<quint16> words(ModuleTables::ModuleBlockSize, 0);
    words[ModuleTables::WordModuleType] = 1;
    words[ModuleTables::WordAddress] = 4;
    words[ModuleTables::FirstSlotWord + 1] = 5; // AIO in slot B
    ModuleTables image;
    image.setModuleTable(words);
    for (int type = rT300; type <= rT1600; ++type)
        RegisterBlocks::storeReadValues(
            type, QVector<quint16>(RegisterBlocks::readCount(type, image), 0), &image);
    View v(new ModuleView(ModeOnline | ModeRtu, image));
    ModuleView &view = *v.view;
    // Baud code 0 is in no list, but it is the unit's own word.
    QCOMPARE(v.color(link("Скорость, бит/с")), QColor(Qt::white));
    Module *module = view.module();
    const QStringList address = link("Адрес MODBUS");
    const QStringList limit = kAi1 + "Нижний предел";
    // Written, then undone below it and edited: the way back is gone, the
    // image is decoded anew. (Reverting through the stack is the main window's.)
    v.row(address)->setValue(7);
    words[ModuleTables::WordAddress] = 7;
    image.setModuleTable(words);
    view.markWritten(image);
    view.undoStack()->undo();
    v.row(limit)->setValue(-2.0);
    QCOMPARE(view.undoStack()->cleanIndex(), -1);
    QVERIFY(view.hasUnwrittenEdits());
    view.revertAll();
    QCOMPARE(module->value("Адрес MODBUS").toInt(), 7);
    QCOMPARE(v.row(address)->value().toInt(), 7);
    QCOMPARE(v.parameter(limit)->value().toDouble(), 0.0);
    QVERIFY(!view.hasUnwrittenEdits());
    QCOMPARE(view.undoStack()->count(), 0);
}

void TestModuleView::removeBoard_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("current");
    QTest::addColumn<QString>("asked"); // the menu entry shown, if any
    QTest::addColumn<bool>("removed");
    const int offline = ModeOffline;
    QTest::newRow("board row") << offline << QStringList{kTmp} << "Удалить субмодуль" << true;
    QTest::newRow("channel row") << offline << kTmp2 << "" << false;
    QTest::newRow("online") << int(ModeOnline | ModeTcp) << QStringList{kTmp} << "" << false;
}

void TestModuleView::removeBoard()
{
    QFETCH(int, mode);
    QFETCH(QStringList, current);
    QFETCH(QString, asked);
    QFETCH(bool, removed);
    Module *module = twoBoards();
    module->createSubmodule(9)->setValue(SubmoduleParam::Slot, 5);
    View v(module, mode);
    QString seen;
    // Another row is current: the right click must make its own row current.
    v.browser->setCurrentItem(v.item({kAio}));
    v.view->resize(500, 800);
    v.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(v.view.get()));
    auto *tree = v.browser->findChild<QTreeWidget *>();
    QTreeWidgetItem *row
        = tree->findItems(current.last(), Qt::MatchExactly | Qt::MatchRecursive).value(0);
    QVERIFY(row);
    tree->scrollToItem(row);
    const QPoint at = tree->visualItemRect(row).center();
    QTimer::singleShot(50, v.browser, [&seen] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            seen = menu->actions().size() == 1 ? menu->actions().first()->text() : "?";
            menu->setActiveAction(menu->actions().first());
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    QTest::mousePress(tree->viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree->viewport(), &event);
    QTest::qWait(100);
    QCOMPARE(seen, asked);
    QCOMPARE(module->submodules().size(), removed ? 2 : 3);
    QCOMPARE(v.item({current.first()}) == nullptr, removed);
    // Whatever is left still leads to live parameters (ASan watches).
    std::function<void(BrowserItem *)> visit = [&](BrowserItem *item) {
        v.browser->setCurrentItem(item);
        for (BrowserItem *child : item->children())
            visit(child);
    };
    visit(v.browser->topItem());
    v.view->refreshColors();
    v.row(link("Адрес MODBUS"))->setValue(33);
    QCOMPARE(module->value("Адрес MODBUS").toInt(), 33);
}

void TestModuleView::addBoard_onlyWithAChosenSlot_offersListEntries()
{
    Module *module = twoBoards();
    View v(module);
    QString seen; // one letter per slot A … F, '-' greyed; then the slot chosen
    whenModal<PositionSubmoduleDialog>([&seen](PositionSubmoduleDialog *dialog) {
        auto *combo = dialog->findChild<QComboBox *>();
        const auto *items = qobject_cast<QStandardItemModel *>(combo->model());
        seen = dialog->windowTitle() + ' ';
        for (int i = 0; i < combo->count(); ++i)
            seen += items->item(i)->isEnabled() ? combo->itemText(i) : QStringLiteral("-");
        seen += QString::number(dialog->position());
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    v.view->addSubmodule(1); // OK without a slot
    QCOMPARE(seen, QStringLiteral("Выберите слот субмодуля A-C-EF-1"));
    whenModal<QDialog>([](QDialog *dialog) {
        dialog->findChild<QComboBox *>()->setCurrentIndex(0);
        dialog->reject();
    });
    v.view->addSubmodule(1);
    QCOMPARE(module->submodules().size(), 2);
    // The keyboard never lands on a greyed slot.
    whenModal<QDialog>([](QDialog *dialog) {
        auto *combo = dialog->findChild<QComboBox *>();
        combo->setCurrentIndex(0);
        QTest::keyClick(combo, Qt::Key_Down);
        dialog->accept();
    });
    v.view->addSubmodule(6);
    v.addBoard(10, 4);
    QCOMPARE(v.names({}),
             (QStringList{kParams, kAio, "Субмодуль DI (Слот C)", kTmp, "Субмодуль DI6 (Слот E)"}));
    // An added board's list rows offer their entries at once, unmarked.
    for (const QStringList &path : {QStringList{"Субмодуль DI (Слот C)", "Дискретный вход 3 "},
                                    QStringList{"Субмодуль DI6 (Слот E)", "Дискретный вход 4 "}}) {
        auto *combo
            = qobject_cast<QComboBox *>(v.browser->openEditor(v.item(path + "Антидребезг")));
        QVERIFY(combo);
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0) + combo->itemText(1), QStringLiteral("ВыклВкл"));
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(!v.parameter(path + "Антидребезг")->isChanged());
    }
}

// The installed file is the package test's; here one in the working directory.
void TestModuleView::helpText_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QString>("text");
    const QString help = R"({"Адрес MODBUS": "адрес", "Group": "плата"})";
    QTest::newRow("parameter") << help << link("Адрес MODBUS") << "адрес";
    QTest::newRow("board group") << help << QStringList{kAio} << "плата";
    QTest::newRow("row without parameter") << help << QStringList{kParams, kLink} << "";
    QTest::newRow("malformed") << "{\"Адрес MODBUS\": " << link("Адрес MODBUS") << "";
}

void TestModuleView::helpText()
{
    QFETCH(QString, file);
    QFETCH(QStringList, path);
    QFETCH(QString, text);
    QTemporaryDir working;
    const QString saved = QDir::currentPath();
    QFile out(working.filePath("information.json"));
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file.toUtf8()) > 0);
    out.close();
    QVERIFY(QDir::setCurrent(working.path()));
    View v(twoBoards());
    QSignalSpy info(v.view.get(), &ModuleView::addInfoProperty);
    v.browser->setCurrentItem(v.item(path));
    QDir::setCurrent(saved);
    QCOMPARE(info.count(), 1);
    QCOMPARE(info.at(0).at(0).toString(), text);
}

QTEST_MAIN(TestModuleView)
#include "tst_moduleview.moc"
