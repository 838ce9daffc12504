#include "browseritem.h"
#include "browserproperty.h"
#include "propertybrowser.h"
#include "propertyeditorfactory.h"
#include "propertymanager.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QRegExp>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTreeWidget>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

Q_DECLARE_METATYPE(BrowserProperty *)
Q_DECLARE_METATYPE(BrowserItem *)

namespace {

const QString kOctet = QStringLiteral("(?:[0-1]?[0-9]?[0-9]|2[0-4][0-9]|25[0-5])");
const QString kIpv4 = QStringLiteral("^") + kOctet + QStringLiteral("\\.") + kOctet
                      + QStringLiteral("\\.") + kOctet + QStringLiteral("\\.") + kOctet
                      + QStringLiteral("$");

// A browser that remembers which item was current when a menu was asked for.
class MenuBrowser : public PropertyBrowser
{
public:
    BrowserItem *menuItem = nullptr;
    int menuRequests = 0;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override
    {
        ++menuRequests;
        menuItem = currentItem();
        event->accept();
    }
};

QList<BrowserItem *> allItems(const PropertyBrowser &browser)
{
    QList<BrowserItem *> result;
    QList<BrowserItem *> pending = browser.topLevelItems();
    while (!pending.isEmpty()) {
        BrowserItem *item = pending.takeFirst();
        result.append(item);
        pending.append(item->children());
    }
    return result;
}

QTreeWidgetItem *treeItemOf(PropertyBrowser &browser, const BrowserItem *item)
{
    auto *tree = browser.findChild<QTreeWidget *>();
    QList<const BrowserItem *> path;
    for (const BrowserItem *step = item; step; step = step->parent())
        path.prepend(step);
    QTreeWidgetItem *treeItem = tree->topLevelItem(browser.topLevelItems().indexOf(
        const_cast<BrowserItem *>(path.first())));
    for (int i = 1; i < path.size(); ++i)
        treeItem = treeItem->child(path[i - 1]->children().indexOf(const_cast<BrowserItem *>(path[i])));
    return treeItem;
}

} // namespace

class TestPropertyEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void integerValue_clampedToLimits_data();
    void integerValue_clampedToLimits();
    void realValue_clampedAndRounded_data();
    void realValue_clampedAndRounded();
    void textValue_takenOnlyOnWholeMatch_data();
    void textValue_takenOnlyOnWholeMatch();
    void enumIndex_outsideNamesRejected_data();
    void enumIndex_outsideNamesRejected();
    void attributeChange_keepsValueWithinLimits_data();
    void attributeChange_keepsValueWithinLimits();
    void subProperties_refuseCycles();

    void spinEditors_neverCommitOutsideLimits_data();
    void spinEditors_neverCommitOutsideLimits();
    void lineEditor_takesOnlyWholeAddresses_data();
    void lineEditor_takesOnlyWholeAddresses();
    void lineEditor_bypassedValidator_managerRefuses();
    void comboEditor_commitsChosenIndex();
    void rowsWithoutEditor_data();
    void rowsWithoutEditor();

    void valueColumn_showsValueText_data();
    void valueColumn_showsValueText();
    void browser_followsSubPropertyChanges();
    void backgroundColors_data();
    void backgroundColors();
    void expandCollapse_depthFirst();
    void clearThenRebuild_leavesNoStaleItems();
    void deletedManager_takesItsRowsAndCurrentItemAlong();
    void contextMenu_seesClickedRowAsCurrent();
    void rowDeletedWhileEdited_closesEditor();
};

void TestPropertyEditor::initTestCase()
{
    // Decimal point and digit grouping of the C locale in editors and texts.
    QLocale::setDefault(QLocale::c());
    qRegisterMetaType<BrowserProperty *>();
    qRegisterMetaType<BrowserItem *>();
}

namespace {

// Sets what applies to the row's type; the rest would only be refused.
void setCommonAttributes(BrowserProperty *row, int decimals)
{
    if (row->type() == BrowserProperty::Real)
        row->setAttribute(QStringLiteral("decimals"), decimals);
    if (row->type() == BrowserProperty::Enumeration)
        row->setAttribute(QStringLiteral("enumNames"), QStringList{"нет", "чет", "нечет", "г", "д"});
}

} // namespace

void TestPropertyEditor::integerValue_clampedToLimits_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QVariant>("input");
    QTest::addColumn<int>("expected");

    QTest::newRow("inside") << 0 << 100 << QVariant(42) << 42;
    QTest::newRow("16-bit word, one above") << 0 << 65535 << QVariant(65536) << 65535;
    QTest::newRow("below minimum") << 10 << 100 << QVariant(-5) << 10;
    QTest::newRow("64-bit input does not wrap") << 0 << 16777215 << QVariant(qlonglong(1) << 40)
                                                << 16777215;
    QTest::newRow("negative 64-bit input") << -100 << 100 << QVariant(-(qlonglong(1) << 40)) << -100;
    QTest::newRow("number as text") << 0 << 100 << QVariant(QStringLiteral("77")) << 77;
    QTest::newRow("not a number") << 0 << 100 << QVariant(QStringLiteral("abc")) << 50;
    QTest::newRow("real rounds") << 0 << 100 << QVariant(2.6) << 3;
    QTest::newRow("same value") << 0 << 100 << QVariant(50) << 50;
}

void TestPropertyEditor::integerValue_clampedToLimits()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(QVariant, input);
    QFETCH(int, expected);

    PropertyManager manager;
    BrowserProperty *row = manager.addProperty(BrowserProperty::Integer, QStringLiteral("Адрес"));
    QVERIFY(row->setAttribute(QStringLiteral("minimum"), minimum));
    QVERIFY(row->setAttribute(QStringLiteral("maximum"), maximum));
    row->setValue(50);
    QSignalSpy spy(&manager, &PropertyManager::valueChanged);

    row->setValue(input);

    QCOMPARE(row->value().toInt(), expected);
    QCOMPARE(spy.count(), expected == 50 ? 0 : 1);
    if (!spy.isEmpty()) {
        QCOMPARE(spy.first().at(0).value<BrowserProperty *>(), row);
        QCOMPARE(spy.first().at(1).value<QVariant>().toInt(), expected);
    }
}

void TestPropertyEditor::realValue_clampedAndRounded_data()
{
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("input");
    QTest::addColumn<double>("expected");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("one decimal") << 0.0 << 25.5 << 1 << 12.34 << 12.3;
    QTest::newRow("rounds up") << 0.0 << 25.5 << 1 << 1.26 << 1.3;
    QTest::newRow("above maximum") << 0.0 << 25.5 << 1 << 30.0 << 25.5;
    QTest::newRow("three decimals") << -1000.0 << 1000.0 << 3 << 0.12345 << 0.123;
    QTest::newRow("below minimum") << -1000.0 << 1000.0 << 3 << -1000.5 << -1000.0;
    QTest::newRow("rounding past the maximum") << 0.0 << 0.55 << 1 << 0.55 << 0.55;
    QTest::newRow("infinity") << 0.0 << 16777215.0 << 3 << inf << 16777215.0;
    QTest::newRow("not a number") << 0.0 << 25.5 << 1 << nan << 5.0;
}

void TestPropertyEditor::realValue_clampedAndRounded()
{
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(int, decimals);
    QFETCH(double, input);
    QFETCH(double, expected);

    PropertyManager manager;
    BrowserProperty *row = manager.addProperty(BrowserProperty::Real, QStringLiteral("Предел"));
    row->setAttribute(QStringLiteral("minimum"), minimum);
    row->setAttribute(QStringLiteral("maximum"), maximum);
    row->setAttribute(QStringLiteral("decimals"), decimals);
    row->setValue(5.0);

    row->setValue(input);

    const double stored = row->value().toDouble();
    QVERIFY(stored >= minimum && stored <= maximum);
    QCOMPARE(stored, expected);
}

void TestPropertyEditor::textValue_takenOnlyOnWholeMatch_data()
{
    QTest::addColumn<bool>("asRegExp");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("taken");

    struct Row {
        const char *name;
        QString pattern;
        QString input;
        bool taken;
    };
    const Row rows[] = {
        {"address", kIpv4, QStringLiteral("10.0.3.7"), true},
        {"mask", kIpv4, QStringLiteral("255.255.255.0"), true},
        {"octet above 255", kIpv4, QStringLiteral("10.0.3.256"), false},
        {"three octets", kIpv4, QStringLiteral("10.0.3"), false},
        {"five octets", kIpv4, QStringLiteral("10.0.3.7.1"), false},
        {"trailing blank", kIpv4, QStringLiteral("10.0.3.7 "), false},
        {"empty", kIpv4, QString(), false},
        {"unanchored pattern, partial", QStringLiteral("[0-9]+"), QStringLiteral("12a"), false},
        {"unanchored pattern, whole", QStringLiteral("[0-9]+"), QStringLiteral("12"), true},
        {"no pattern", QString(), QStringLiteral("anything"), true},
    };
    for (const bool asRegExp : {false, true}) {
        for (const Row &row : rows) {
            QTest::addRow("%s %s", asRegExp ? "QRegExp" : "QRegularExpression", row.name)
                << asRegExp << row.pattern << row.input << row.taken;
        }
    }
}

void TestPropertyEditor::textValue_takenOnlyOnWholeMatch()
{
    QFETCH(bool, asRegExp);
    QFETCH(QString, pattern);
    QFETCH(QString, input);
    QFETCH(bool, taken);

    PropertyManager manager;
    BrowserProperty *row = manager.addProperty(BrowserProperty::Text, QStringLiteral("IP-адрес"));
    const QString before = QStringLiteral("192.168.0.1");
    row->setValue(before);
    const QVariant expression = asRegExp ? QVariant(QRegExp(pattern))
                                         : QVariant(QRegularExpression(pattern));
    QVERIFY(row->setAttribute(QStringLiteral("regExp"), expression));

    row->setValue(input);

    QCOMPARE(row->value().toString(), taken ? input : before);
}

void TestPropertyEditor::enumIndex_outsideNamesRejected_data()
{
    QTest::addColumn<int>("names");
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("expected");

    QTest::newRow("inside") << 9 << 2 << 2;
    QTest::newRow("last") << 9 << 8 << 8;
    QTest::newRow("one past the end") << 9 << 9 << 0;
    QTest::newRow("negative") << 9 << -1 << 0;
    QTest::newRow("no names at all") << 0 << 0 << -1;
}

void TestPropertyEditor::enumIndex_outsideNamesRejected()
{
    QFETCH(int, names);
    QFETCH(int, input);
    QFETCH(int, expected);

    QStringList list;
    for (int i = 0; i < names; ++i)
        list << QString::number(1200 << i);
    PropertyManager manager;
    BrowserProperty *row = manager.addProperty(BrowserProperty::Enumeration, QStringLiteral("Скорость, бит/с"));
    row->setAttribute(QStringLiteral("enumNames"), list);
    QSignalSpy spy(&manager, &PropertyManager::valueChanged);

    row->setValue(input);

    QCOMPARE(row->value().toInt(), expected);
    QCOMPARE(spy.count(), input == expected && input != 0 ? 1 : 0);
}

void TestPropertyEditor::attributeChange_keepsValueWithinLimits_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("attribute");
    QTest::addColumn<QVariant>("setting");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("lower maximum") << int(BrowserProperty::Integer) << QVariant(500)
                                   << "maximum" << QVariant(100) << QVariant(100);
    QTest::newRow("raise minimum") << int(BrowserProperty::Integer) << QVariant(5)
                                   << "minimum" << QVariant(10) << QVariant(10);
    QTest::newRow("fewer decimals") << int(BrowserProperty::Real) << QVariant(1.26)
                                    << "decimals" << QVariant(1) << QVariant(1.3);
    QTest::newRow("shorter list") << int(BrowserProperty::Enumeration) << QVariant(4)
                                  << "enumNames" << QVariant(QStringList{"а", "б"}) << QVariant(0);
    QTest::newRow("list emptied") << int(BrowserProperty::Enumeration) << QVariant(4)
                                  << "enumNames" << QVariant(QStringList()) << QVariant(-1);
}

void TestPropertyEditor::attributeChange_keepsValueWithinLimits()
{
    QFETCH(int, type);
    QFETCH(QVariant, value);
    QFETCH(QString, attribute);
    QFETCH(QVariant, setting);
    QFETCH(QVariant, expected);

    PropertyManager manager;
    BrowserProperty *row = manager.addProperty(BrowserProperty::Type(type), QStringLiteral("row"));
    setCommonAttributes(row, 3);
    row->setValue(value);
    QCOMPARE(row->value(), value);
    QSignalSpy spy(&manager, &PropertyManager::valueChanged);

    QVERIFY(row->setAttribute(attribute, setting));

    QCOMPARE(row->value(), expected);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(1).value<QVariant>(), expected);
}

void TestPropertyEditor::subProperties_refuseCycles()
{
    PropertyManager manager;
    BrowserProperty *top = manager.addProperty(BrowserProperty::Group, QStringLiteral("Модуль"));
    BrowserProperty *middle = manager.addProperty(BrowserProperty::Group, QStringLiteral("Параметры модуля"));
    BrowserProperty *leaf = manager.addProperty(BrowserProperty::Group, QStringLiteral("Параметры связи"));
    top->addSubProperty(middle);
    middle->addSubProperty(leaf);

    leaf->addSubProperty(top);
    middle->addSubProperty(middle);
    top->addSubProperty(middle);

    QVERIFY(leaf->subProperties().isEmpty());
    QCOMPARE(middle->subProperties(), QList<BrowserProperty *>{leaf});
    QCOMPARE(top->subProperties(), QList<BrowserProperty *>{middle});
}

void TestPropertyEditor::spinEditors_neverCommitOutsideLimits_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("expected");

    // A key that would leave the limits is refused by the editor.
    QTest::newRow("percent, 150") << int(BrowserProperty::Integer) << 0.0 << 100.0 << 0 << "150" << 15.0;
    QTest::newRow("16-bit word, 65536") << int(BrowserProperty::Integer) << 0.0 << 65535.0 << 0
                                        << "65536" << 6553.0;
    QTest::newRow("16-bit word, 65535") << int(BrowserProperty::Integer) << 0.0 << 65535.0 << 0
                                        << "65535" << 65535.0;
    QTest::newRow("timeout, 30") << int(BrowserProperty::Real) << 0.0 << 25.5 << 1 << "30" << 3.0;
    QTest::newRow("timeout, extra digit") << int(BrowserProperty::Real) << 0.0 << 25.5 << 1
                                          << "12.34" << 12.3;
    QTest::newRow("limit, below") << int(BrowserProperty::Real) << -1000.0 << 1000.0 << 3
                                  << "-1000.5" << -1000.0;
}

void TestPropertyEditor::spinEditors_neverCommitOutsideLimits()
{
    QFETCH(int, type);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(int, decimals);
    QFETCH(QString, typed);
    QFETCH(double, expected);

    PropertyManager manager;
    PropertyEditorFactory factory;
    PropertyBrowser browser;
    browser.setFactoryForManager(&manager, &factory);
    BrowserProperty *row = manager.addProperty(BrowserProperty::Type(type), QStringLiteral("row"));
    setCommonAttributes(row, decimals);
    row->setAttribute(QStringLiteral("minimum"), minimum);
    row->setAttribute(QStringLiteral("maximum"), maximum);
    row->setValue(minimum + 1);
    BrowserItem *item = browser.addProperty(row);
    browser.show();
    QSignalSpy spy(&manager, &PropertyManager::valueChanged);

    auto *editor = qobject_cast<QAbstractSpinBox *>(browser.openEditor(item));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, typed);
    QTest::keyClick(editor, Qt::Key_Return);

    QCOMPARE(row->value().toDouble(), expected);
    QCOMPARE(spy.count(), 1); // no commit per typed digit
    QCOMPARE(spy.first().at(0).value<BrowserProperty *>(), row);
    QCOMPARE(spy.first().at(1).value<QVariant>().toDouble(), expected);
}

void TestPropertyEditor::lineEditor_takesOnlyWholeAddresses_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    QTest::newRow("address") << "10.0.3.7" << "10.0.3.7";
    QTest::newRow("octet above 255") << "10.0.3.256" << "10.0.3.25";
    QTest::newRow("three octets") << "10.0.3" << "192.168.0.1";
    QTest::newRow("trailing dot") << "10.0.3.7." << "10.0.3.7";
}

void TestPropertyEditor::lineEditor_takesOnlyWholeAddresses()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);

    PropertyManager manager;
    PropertyEditorFactory factory;
    PropertyBrowser browser;
    browser.setFactoryForManager(&manager, &factory);
    BrowserProperty *row = manager.addProperty(BrowserProperty::Text, QStringLiteral("IP-адрес"));
    row->setAttribute(QStringLiteral("regExp"), QRegExp(kIpv4));
    row->setValue(QStringLiteral("192.168.0.1"));
    BrowserItem *item = browser.addProperty(row);
    browser.show();

    auto *editor = qobject_cast<QLineEdit *>(browser.openEditor(item));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, typed);
    QTest::keyClick(editor, Qt::Key_Return);

    QCOMPARE(row->value().toString(), expected);
    QCOMPARE(treeItemOf(browser, item)->text(1), expected);
}

void TestPropertyEditor::lineEditor_bypassedValidator_managerRefuses()
{
    PropertyManager manager;
    PropertyEditorFactory factory;
    PropertyBrowser browser;
    browser.setFactoryForManager(&manager, &factory);
    BrowserProperty *row = manager.addProperty(BrowserProperty::Text, QStringLiteral("Маска сети"));
    row->setAttribute(QStringLiteral("regExp"), QRegularExpression(kIpv4));
    row->setValue(QStringLiteral("255.255.255.0"));
    BrowserProperty *other = manager.addProperty(BrowserProperty::Integer, QStringLiteral("Адрес MODBUS"));
    BrowserItem *item = browser.addProperty(row);
    BrowserItem *otherItem = browser.addProperty(other);
    browser.show();
    QSignalSpy spy(&manager, &PropertyManager::valueChanged);

    auto *editor = qobject_cast<QLineEdit *>(browser.openEditor(item));
    QVERIFY(editor);
    editor->setText(QStringLiteral("255.255.300.0")); // no validator on this path
    QPointer<QLineEdit> guard(editor);
    browser.openEditor(otherItem); // leaving the field commits and closes it

    QCOMPARE(row->value().toString(), QStringLiteral("255.255.255.0"));
    QCOMPARE(spy.count(), 0);
    QTRY_VERIFY(guard.isNull());
}

void TestPropertyEditor::comboEditor_commitsChosenIndex()
{
    PropertyManager manager;
    PropertyEditorFactory factory;
    PropertyBrowser browser;
    browser.setFactoryForManager(&manager, &factory);
    BrowserProperty *row = manager.addProperty(BrowserProperty::Enumeration, QStringLiteral("Скорость, бит/с"));
    const QStringList names{"9600", "19200", "38400", "57600", "115200"};
    row->setAttribute(QStringLiteral("enumNames"), names);
    BrowserItem *item = browser.addProperty(row);
    browser.show();
    QSignalSpy spy(&manager, &PropertyManager::valueChanged);

    auto *combo = qobject_cast<QComboBox *>(browser.openEditor(item));
    QVERIFY(combo);
    QCOMPARE(combo->count(), names.size());
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);

    QCOMPARE(row->value().toInt(), 2);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.last().at(0).value<BrowserProperty *>(), row);
    QCOMPARE(spy.last().at(1).value<QVariant>().toInt(), 2);
    QCOMPARE(treeItemOf(browser, item)->text(1), QStringLiteral("38400"));
}

void TestPropertyEditor::rowsWithoutEditor_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("withFactory");
    QTest::addColumn<bool>("editor");

    QTest::newRow("text") << int(BrowserProperty::Text) << false << true << true;
    QTest::newRow("read-only text type") << int(BrowserProperty::ReadOnlyText) << true << true << false;
    QTest::newRow("text marked read-only") << int(BrowserProperty::Text) << true << true << false;
    QTest::newRow("integer marked read-only") << int(BrowserProperty::Integer) << true << true << false;
    QTest::newRow("group") << int(BrowserProperty::Group) << false << true << false;
    QTest::newRow("manager without factory") << int(BrowserProperty::Integer) << false << false << false;
}

void TestPropertyEditor::rowsWithoutEditor()
{
    QFETCH(int, type);
    QFETCH(bool, readOnly);
    QFETCH(bool, withFactory);
    QFETCH(bool, editor);

    PropertyManager manager;
    PropertyEditorFactory factory;
    PropertyBrowser browser;
    if (withFactory)
        browser.setFactoryForManager(&manager, &factory);
    BrowserProperty *row = manager.addProperty(BrowserProperty::Type(type), QStringLiteral("Версия ПО"));
    if (readOnly)
        row->setAttribute(QStringLiteral("readOnly"), true);
    BrowserItem *item = browser.addProperty(row);
    browser.show();

    QCOMPARE(browser.openEditor(item) != nullptr, editor);
}

void TestPropertyEditor::valueColumn_showsValueText_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("integer") << int(BrowserProperty::Integer) << QVariant(247) << "247";
    QTest::newRow("real, three decimals") << int(BrowserProperty::Real) << QVariant(-12.5) << "-12.500";
    QTest::newRow("enumeration shows the name") << int(BrowserProperty::Enumeration) << QVariant(1) << "чет";
    QTest::newRow("text") << int(BrowserProperty::Text) << QVariant("10.0.3.7") << "10.0.3.7";
    QTest::newRow("read-only text") << int(BrowserProperty::ReadOnlyText) << QVariant("есть") << "есть";
    QTest::newRow("group shows nothing") << int(BrowserProperty::Group) << QVariant(5) << "";
}

void TestPropertyEditor::valueColumn_showsValueText()
{
    QFETCH(int, type);
    QFETCH(QVariant, value);
    QFETCH(QString, text);

    PropertyManager manager;
    PropertyBrowser browser;
    BrowserProperty *row = manager.addProperty(BrowserProperty::Type(type), QStringLiteral("row"));
    BrowserItem *item = browser.addProperty(row);
    setCommonAttributes(row, 3);
    row->setValue(value); // after adding: the row must follow the manager

    QCOMPARE(treeItemOf(browser, item)->text(0), QStringLiteral("row"));
    QCOMPARE(treeItemOf(browser, item)->text(1), text);
}

void TestPropertyEditor::browser_followsSubPropertyChanges()
{
    PropertyManager manager;
    PropertyManager readOnly;
    PropertyBrowser browser;
    BrowserProperty *flags = manager.addProperty(BrowserProperty::Group, QStringLiteral("Признаки"));
    BrowserProperty *a = readOnly.addProperty(BrowserProperty::ReadOnlyText, QStringLiteral("a"));
    BrowserProperty *b = readOnly.addProperty(BrowserProperty::ReadOnlyText, QStringLiteral("b"));
    BrowserProperty *c = readOnly.addProperty(BrowserProperty::ReadOnlyText, QStringLiteral("c"));
    flags->addSubProperty(a);
    BrowserItem *top = browser.addProperty(flags);
    QCOMPARE(browser.addProperty(flags), nullptr); // already shown

    flags->addSubProperty(c);
    flags->insertSubProperty(b, a);
    auto names = [top] {
        QStringList result;
        for (const BrowserItem *child : top->children())
            result << child->property()->propertyName();
        return result;
    };
    QCOMPARE(names(), (QStringList{"a", "b", "c"}));
    QCOMPARE(top->children().at(1)->parent(), top);

    flags->removeSubProperty(a);
    readOnly.deleteProperty(c);
    b->setPropertyName(QStringLiteral("b2"));

    QCOMPARE(names(), QStringList{"b2"});
    QCOMPARE(treeItemOf(browser, top)->childCount(), 1);
    QCOMPARE(treeItemOf(browser, top->children().first())->text(0), QStringLiteral("b2"));
    QCOMPARE(allItems(browser).size(), 2);
    QVERIFY(browser.items(a).isEmpty());
}

void TestPropertyEditor::backgroundColors_data()
{
    QTest::addColumn<QColor>("color");

    QTest::newRow("changed") << QColor(Qt::cyan);
    QTest::newRow("unchanged") << QColor(Qt::color0);
    QTest::newRow("default") << QColor();
}

void TestPropertyEditor::backgroundColors()
{
    QFETCH(QColor, color);

    PropertyManager manager;
    PropertyBrowser browser;
    BrowserProperty *group = manager.addProperty(BrowserProperty::Group, QStringLiteral("Параметры связи"));
    BrowserProperty *row = manager.addProperty(BrowserProperty::Integer, QStringLiteral("Адрес MODBUS"));
    group->addSubProperty(row);
    BrowserItem *top = browser.addProperty(group);
    BrowserItem *item = top->children().first();
    browser.setBackgroundColor(item, Qt::red);

    browser.setBackgroundColor(item, color);

    QCOMPARE(browser.backgroundColor(item), color);
    QCOMPARE(browser.backgroundColor(top), QColor());
    QTreeWidgetItem *treeItem = treeItemOf(browser, item);
    for (int column = 0; column < 2; ++column) {
        const QVariant shown = treeItem->data(column, Qt::BackgroundRole);
        QCOMPARE(shown.isValid(), color.isValid());
        if (color.isValid())
            QCOMPARE(shown.value<QBrush>().color(), color);
    }
}

void TestPropertyEditor::expandCollapse_depthFirst()
{
    PropertyManager manager;
    PropertyBrowser browser;
    BrowserProperty *module = manager.addProperty(BrowserProperty::Group, QStringLiteral("Модуль"));
    BrowserProperty *params = manager.addProperty(BrowserProperty::Group, QStringLiteral("Параметры модуля"));
    BrowserProperty *link = manager.addProperty(BrowserProperty::Group, QStringLiteral("Параметры связи"));
    link->addSubProperty(manager.addProperty(BrowserProperty::Integer, QStringLiteral("Адрес MODBUS")));
    params->addSubProperty(link);
    module->addSubProperty(params);
    BrowserItem *top = browser.addProperty(module);
    BrowserItem *paramsItem = top->children().first();
    BrowserItem *linkItem = paramsItem->children().first();
    QVERIFY(browser.isExpanded(top));
    QVERIFY(browser.isExpanded(paramsItem));
    QVERIFY(browser.isExpanded(linkItem));

    std::function<void(BrowserItem *)> collapse = [&](BrowserItem *item) {
        for (BrowserItem *child : item->children()) {
            collapse(child);
            browser.setExpanded(child, false);
        }
    };
    collapse(top);

    QVERIFY(browser.isExpanded(top));
    QVERIFY(!browser.isExpanded(paramsItem));
    QVERIFY(!browser.isExpanded(linkItem));
    QVERIFY(!treeItemOf(browser, paramsItem)->isExpanded());
    browser.setExpanded(paramsItem, true);
    QVERIFY(browser.isExpanded(paramsItem));
    QVERIFY(!browser.isExpanded(linkItem));
}

void TestPropertyEditor::clearThenRebuild_leavesNoStaleItems()
{
    PropertyManager manager;
    PropertyBrowser browser;
    auto build = [&manager, &browser](const QString &slot) {
        BrowserProperty *module = manager.addProperty(BrowserProperty::Group, QStringLiteral("Модуль"));
        BrowserProperty *board = manager.addProperty(BrowserProperty::Group, slot);
        board->addSubProperty(manager.addProperty(BrowserProperty::Integer, QStringLiteral("Значение ШИМ")));
        module->addSubProperty(board);
        return browser.addProperty(module);
    };
    BrowserItem *top = build(QStringLiteral("Слот A"));
    BrowserItem *pwm = top->children().first()->children().first();
    QSignalSpy spy(&browser, &PropertyBrowser::currentItemChanged);
    browser.setCurrentItem(pwm);
    QCOMPARE(browser.currentItem(), pwm);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.takeFirst().at(0).value<BrowserItem *>(), pwm);

    browser.clear();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.takeFirst().at(0).value<BrowserItem *>(), nullptr);
    QCOMPARE(browser.currentItem(), nullptr);
    QVERIFY(browser.topLevelItems().isEmpty());
    manager.clear();
    QVERIFY(manager.properties().isEmpty());

    top = build(QStringLiteral("Слот E"));
    QCOMPARE(browser.topLevelItems(), QList<BrowserItem *>{top});
    QCOMPARE(browser.findChild<QTreeWidget *>()->topLevelItemCount(), 1);
    QCOMPARE(top->children().first()->property()->propertyName(), QStringLiteral("Слот E"));
    browser.setCurrentItem(top);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).value<BrowserItem *>(), top);
}

void TestPropertyEditor::deletedManager_takesItsRowsAndCurrentItemAlong()
{
    PropertyManager manager;
    auto readOnly = std::make_unique<PropertyManager>();
    PropertyBrowser browser;
    BrowserProperty *flags = manager.addProperty(BrowserProperty::Group, QStringLiteral("Признаки"));
    BrowserProperty *flag = readOnly->addProperty(BrowserProperty::ReadOnlyText, QStringLiteral("Ошибка"));
    flags->addSubProperty(flag);
    BrowserItem *top = browser.addProperty(flags);
    browser.addProperty(flag); // the same row shown twice
    browser.setCurrentItem(top->children().first());
    QSignalSpy spy(&browser, &PropertyBrowser::currentItemChanged);

    readOnly.reset();

    QVERIFY(flags->subProperties().isEmpty());
    QCOMPARE(allItems(browser), QList<BrowserItem *>{top});
    QCOMPARE(browser.findChild<QTreeWidget *>()->topLevelItemCount(), 1);
    QCOMPARE(spy.count(), 1);
    BrowserItem *announced = spy.first().at(0).value<BrowserItem *>();
    QVERIFY(announced == nullptr || announced == top);
    QCOMPARE(browser.currentItem(), announced);
}

void TestPropertyEditor::contextMenu_seesClickedRowAsCurrent()
{
    PropertyManager manager;
    MenuBrowser browser;
    BrowserProperty *module = manager.addProperty(BrowserProperty::Group, QStringLiteral("Модуль"));
    BrowserProperty *boardA = manager.addProperty(BrowserProperty::Group, QStringLiteral("Субмодуль AIO (Слот B)"));
    BrowserProperty *boardE = manager.addProperty(BrowserProperty::Group, QStringLiteral("Субмодуль DO6 (Слот E)"));
    module->addSubProperty(boardA);
    module->addSubProperty(boardE);
    BrowserItem *top = browser.addProperty(module);
    browser.resize(400, 300);
    browser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&browser));
    auto *tree = browser.findChild<QTreeWidget *>();
    const QRect rect = tree->visualItemRect(treeItemOf(browser, top->children().at(1)));

    QTest::mousePress(tree->viewport(), Qt::RightButton, Qt::NoModifier, rect.center());
    QContextMenuEvent event(QContextMenuEvent::Mouse, rect.center(),
                            tree->viewport()->mapToGlobal(rect.center()));
    QApplication::sendEvent(tree->viewport(), &event);
    QTest::mouseRelease(tree->viewport(), Qt::RightButton, Qt::NoModifier, rect.center());

    QCOMPARE(browser.menuRequests, 1);
    QCOMPARE(browser.menuItem, top->children().at(1));
}

void TestPropertyEditor::rowDeletedWhileEdited_closesEditor()
{
    PropertyManager manager;
    PropertyEditorFactory factory;
    PropertyBrowser browser;
    browser.setFactoryForManager(&manager, &factory);
    BrowserProperty *row = manager.addProperty(BrowserProperty::Text, QStringLiteral("Адрес шлюза"));
    row->setAttribute(QStringLiteral("regExp"), QRegularExpression(kIpv4));
    BrowserProperty *other = manager.addProperty(BrowserProperty::Integer, QStringLiteral("Адрес MODBUS"));
    browser.addProperty(other);
    BrowserItem *item = browser.addProperty(row);
    browser.show();
    QApplication::setActiveWindow(&browser);
    QPointer<QLineEdit> editor = qobject_cast<QLineEdit *>(browser.openEditor(item));
    QVERIFY(editor);
    editor->setFocus();
    QTest::keyClicks(editor, QStringLiteral("10.0.0.254"));
    QSignalSpy spy(&manager, &PropertyManager::valueChanged);

    manager.deleteProperty(row);
    browser.openEditor(browser.topLevelItems().first()); // focus moves on

    QCOMPARE(browser.topLevelItems().size(), 1);
    QCOMPARE(spy.count(), 0);
    QTRY_VERIFY(editor.isNull());
}

QTEST_MAIN(TestPropertyEditor)
#include "tst_propertyeditor.moc"
