#include "browseritem.h"
#include "browserproperty.h"
#include "propertybrowser.h"
#include "propertyeditorfactory.h"
#include "propertymanager.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QtTest>

#include <limits>
#include <memory>

Q_DECLARE_METATYPE(BrowserProperty *)
Q_DECLARE_METATYPE(BrowserItem *)

namespace {

const QString kOctet = QStringLiteral("(?:[0-1]?[0-9]?[0-9]|2[0-4][0-9]|25[0-5])");
const QString kIpv4 = QStringLiteral("^%1\\.%1\\.%1\\.%1$").arg(kOctet);

using Attributes = QVariantMap;

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

struct Fixture
{
    PropertyManager manager;
    PropertyEditorFactory factory;
    MenuBrowser browser;

    Fixture() { browser.setFactoryForManager(&manager, &factory); }

    BrowserProperty *row(int type, const QString &name, const Attributes &attributes = {})
    {
        BrowserProperty *property = manager.addProperty(BrowserProperty::Type(type), name);
        for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
            property->setAttribute(it.key(), it.value());
        return property;
    }

    // "Модуль" > "Параметры модуля" > "Адрес MODBUS", "Модуль" > two boards.
    BrowserItem *moduleTree()
    {
        BrowserProperty *module = row(BrowserProperty::Group, QStringLiteral("Модуль"));
        BrowserProperty *params = row(BrowserProperty::Group, QStringLiteral("Параметры модуля"));
        params->addSubProperty(row(BrowserProperty::Integer, QStringLiteral("Адрес MODBUS")));
        module->addSubProperty(params);
        module->addSubProperty(
            row(BrowserProperty::Group, QStringLiteral("Субмодуль AIO (Слот B)")));
        module->addSubProperty(
            row(BrowserProperty::Group, QStringLiteral("Субмодуль DO6 (Слот E)")));
        return browser.addProperty(module);
    }

    QTreeWidget *tree() { return browser.findChild<QTreeWidget *>(); }

    QTreeWidgetItem *shown(const QString &name)
    {
        const auto found = tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.size() == 1 ? found.first() : nullptr;
    }

    QStringList names(const BrowserItem *item) const
    {
        QStringList result;
        for (const BrowserItem *child : item->children())
            result << child->property()->propertyName();
        return result;
    }
};

} // namespace

class TestPropertyEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void setValue_keepsWithinAttributes_data();
    void setValue_keepsWithinAttributes();
    void attributeChange_keepsValueWithinLimits_data();
    void attributeChange_keepsValueWithinLimits();
    void subProperties_refuseCycles();

    void editor_neverCommitsOutsideLimits_data();
    void editor_neverCommitsOutsideLimits();
    void lineEditor_bypassedValidator_managerRefuses();
    void comboEditor_commitsChosenIndex();
    void rowsWithoutEditor_data();
    void rowsWithoutEditor();

    void valueColumn_showsValueText_data();
    void valueColumn_showsValueText();
    void browser_followsRowChanges();
    void backgroundColors_data();
    void backgroundColors();
    void expandCollapse_depthFirst();
    void clearThenRebuild_leavesNoStaleItems();
    void contextMenu_seesClickedRowAsCurrent();
};

void TestPropertyEditor::initTestCase()
{
    // Decimal point of the C locale in editors and texts.
    QLocale::setDefault(QLocale::c());
    qRegisterMetaType<BrowserProperty *>();
    qRegisterMetaType<BrowserItem *>();
}

void TestPropertyEditor::setValue_keepsWithinAttributes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<Attributes>("attributes");
    QTest::addColumn<QVariant>("start");
    QTest::addColumn<QVariant>("input");
    QTest::addColumn<QVariant>("expected");

    const int integer = BrowserProperty::Integer;
    const Attributes percent{{PropertyAttribute::Minimum, 10}, {PropertyAttribute::Maximum, 100}};
    const Attributes word{{PropertyAttribute::Minimum, 0}, {PropertyAttribute::Maximum, 65535}};
    const Attributes wide{{PropertyAttribute::Minimum, -16777215}, {PropertyAttribute::Maximum, 16777215}};
    QTest::newRow("int inside") << integer << percent << QVariant(50) << QVariant(42)
                                << QVariant(42);
    QTest::newRow("int 65536 in a word")
        << integer << word << QVariant(1) << QVariant(65536) << QVariant(65535);
    QTest::newRow("int below minimum")
        << integer << percent << QVariant(50) << QVariant(-5) << QVariant(10);
    QTest::newRow("int from 2^40")
        << integer << wide << QVariant(1) << QVariant(qlonglong(1) << 40) << QVariant(16777215);
    QTest::newRow("int from -2^40")
        << integer << wide << QVariant(1) << QVariant(-(qlonglong(1) << 40)) << QVariant(-16777215);
    QTest::newRow("int from text")
        << integer << percent << QVariant(50) << QVariant("77") << QVariant(77);
    QTest::newRow("int from junk")
        << integer << percent << QVariant(50) << QVariant("abc") << QVariant(50);
    QTest::newRow("int from real")
        << integer << percent << QVariant(50) << QVariant(20.6) << QVariant(21);
    QTest::newRow("int unchanged")
        << integer << percent << QVariant(50) << QVariant(50) << QVariant(50);

    const int real = BrowserProperty::Real;
    const Attributes timeout{{PropertyAttribute::Minimum, 0.0}, {PropertyAttribute::Maximum, 25.5}, {PropertyAttribute::Decimals, 1}};
    const Attributes limit{{PropertyAttribute::Minimum, -1000.0}, {PropertyAttribute::Maximum, 1000.0}, {PropertyAttribute::Decimals, 3}};
    QTest::newRow("real rounds down")
        << real << timeout << QVariant(5.0) << QVariant(12.34) << QVariant(12.3);
    QTest::newRow("real rounds up")
        << real << timeout << QVariant(5.0) << QVariant(1.26) << QVariant(1.3);
    QTest::newRow("real above maximum")
        << real << timeout << QVariant(5.0) << QVariant(30.0) << QVariant(25.5);
    QTest::newRow("real 3 decimals")
        << real << limit << QVariant(5.0) << QVariant(0.12345) << QVariant(0.123);
    QTest::newRow("real below minimum")
        << real << limit << QVariant(5.0) << QVariant(-1000.5) << QVariant(-1000.0);
    QTest::newRow("real rounding past maximum")
        << real << Attributes{{PropertyAttribute::Maximum, 0.55}, {PropertyAttribute::Decimals, 1}} << QVariant(0.5) << QVariant(0.55)
        << QVariant(0.55);
    QTest::newRow("real infinity")
        << real << limit << QVariant(5.0) << QVariant(std::numeric_limits<double>::infinity())
        << QVariant(1000.0);
    QTest::newRow("real NaN") << real << limit << QVariant(5.0)
                              << QVariant(std::numeric_limits<double>::quiet_NaN())
                              << QVariant(5.0);

    const int list = BrowserProperty::Enumeration;
    const Attributes baud{{PropertyAttribute::EnumNames, QStringList{"1200", "2400", "4800", "9600"}}};
    QTest::newRow("enum inside") << list << baud << QVariant(0) << QVariant(2) << QVariant(2);
    QTest::newRow("enum last") << list << baud << QVariant(0) << QVariant(3) << QVariant(3);
    QTest::newRow("enum past the end") << list << baud << QVariant(1) << QVariant(4) << QVariant(1);
    QTest::newRow("enum negative") << list << baud << QVariant(1) << QVariant(-1) << QVariant(1);
    QTest::newRow("enum without names")
        << list << Attributes() << QVariant(0) << QVariant(0) << QVariant(-1);

    const int text = BrowserProperty::Text;
    const QVariant old("192.168.0.1");
    const Attributes address{{PropertyAttribute::RegExp, QRegularExpression(kIpv4)}};
    const QVariant good("10.0.3.7");
    QTest::newRow("address") << text << address << old << good << good;
    QTest::newRow("octet 256") << text << address << old << QVariant("10.0.3.256") << old;
    QTest::newRow("three octets") << text << address << old << QVariant("10.0.3") << old;
    QTest::newRow("five octets") << text << address << old << QVariant("10.0.3.7.1") << old;
    QTest::newRow("trailing blank") << text << address << old << QVariant("10.0.3.7 ") << old;
    QTest::newRow("empty") << text << address << old << QVariant("") << old;
    const Attributes digits{{PropertyAttribute::RegExp, QRegularExpression("[0-9]+")}};
    QTest::newRow("unanchored, prefix only")
        << text << digits << QVariant("1") << QVariant("12a") << QVariant("1");
    QTest::newRow("unanchored, whole")
        << text << digits << QVariant("1") << QVariant("12") << QVariant("12");
    QTest::newRow("no expression")
        << text << Attributes() << old << QVariant("любой") << QVariant("любой");
}

void TestPropertyEditor::setValue_keepsWithinAttributes()
{
    QFETCH(int, type);
    QFETCH(Attributes, attributes);
    QFETCH(QVariant, start);
    QFETCH(QVariant, input);
    QFETCH(QVariant, expected);

    Fixture f;
    BrowserProperty *row = f.row(type, QStringLiteral("row"), attributes);
    row->setValue(start);
    const QVariant before = row->value();
    QSignalSpy spy(&f.manager, &PropertyManager::valueChanged);

    row->setValue(input);

    QCOMPARE(row->value(), expected);
    QCOMPARE(spy.count(), expected == before ? 0 : 1);
    if (!spy.isEmpty()) {
        QCOMPARE(spy.first().at(0).value<BrowserProperty *>(), row);
        QCOMPARE(spy.first().at(1).value<QVariant>(), expected);
    }
}

void TestPropertyEditor::attributeChange_keepsValueWithinLimits_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("attribute");
    QTest::addColumn<QVariant>("setting");
    QTest::addColumn<QVariant>("expected");

    const int integer = BrowserProperty::Integer;
    const int list = BrowserProperty::Enumeration;
    QTest::newRow("lower maximum")
        << integer << QVariant(500) << PropertyAttribute::Maximum << QVariant(100) << QVariant(100);
    QTest::newRow("raise minimum")
        << integer << QVariant(5) << PropertyAttribute::Minimum << QVariant(10) << QVariant(10);
    QTest::newRow("fewer decimals") << int(BrowserProperty::Real) << QVariant(1.26) << PropertyAttribute::Decimals
                                    << QVariant(1) << QVariant(1.3);
    QTest::newRow("shorter list") << list << QVariant(4) << PropertyAttribute::EnumNames
                                  << QVariant(QStringList{"а", "б"}) << QVariant(0);
    QTest::newRow("list emptied") << list << QVariant(4) << PropertyAttribute::EnumNames << QVariant(QStringList())
                                  << QVariant(-1);
}

void TestPropertyEditor::attributeChange_keepsValueWithinLimits()
{
    QFETCH(int, type);
    QFETCH(QVariant, value);
    QFETCH(QString, attribute);
    QFETCH(QVariant, setting);
    QFETCH(QVariant, expected);

    Fixture f;
    BrowserProperty *row = f.row(type, QStringLiteral("row"));
    if (type == BrowserProperty::Real)
        row->setAttribute(PropertyAttribute::Decimals, 3);
    if (type == BrowserProperty::Enumeration)
        row->setAttribute(PropertyAttribute::EnumNames, QStringList{"а", "б", "в", "г", "д"});
    row->setValue(value);
    QCOMPARE(row->value(), value);
    QSignalSpy spy(&f.manager, &PropertyManager::valueChanged);

    QVERIFY(row->setAttribute(attribute, setting));

    QCOMPARE(row->value(), expected);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(1).value<QVariant>(), expected);
}

void TestPropertyEditor::subProperties_refuseCycles()
{
    Fixture f;
    BrowserProperty *top = f.row(BrowserProperty::Group, QStringLiteral("top"));
    BrowserProperty *middle = f.row(BrowserProperty::Group, QStringLiteral("middle"));
    BrowserProperty *leaf = f.row(BrowserProperty::Group, QStringLiteral("leaf"));
    top->addSubProperty(middle);
    middle->addSubProperty(leaf);

    leaf->addSubProperty(top);
    middle->addSubProperty(middle);
    top->addSubProperty(middle);

    QVERIFY(leaf->subProperties().isEmpty());
    QCOMPARE(middle->subProperties(), QList<BrowserProperty *>{leaf});
    QCOMPARE(top->subProperties(), QList<BrowserProperty *>{middle});
}

void TestPropertyEditor::editor_neverCommitsOutsideLimits_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<Attributes>("attributes");
    QTest::addColumn<QVariant>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QVariant>("expected");

    // A key that would leave the limits is refused by the editor itself.
    const int integer = BrowserProperty::Integer;
    const Attributes percent{{PropertyAttribute::Minimum, 0}, {PropertyAttribute::Maximum, 100}};
    const Attributes word{{PropertyAttribute::Minimum, 0}, {PropertyAttribute::Maximum, 65535}};
    QTest::newRow("percent, 150") << integer << percent << QVariant(1) << "150" << QVariant(15);
    QTest::newRow("word, 65536") << integer << word << QVariant(1) << "65536" << QVariant(6553);
    QTest::newRow("word, 65535") << integer << word << QVariant(1) << "65535" << QVariant(65535);

    const int real = BrowserProperty::Real;
    const Attributes timeout{{PropertyAttribute::Decimals, 1}, {PropertyAttribute::Minimum, 0.0}, {PropertyAttribute::Maximum, 25.5}};
    const Attributes limit{{PropertyAttribute::Decimals, 3}, {PropertyAttribute::Minimum, -1000.0}, {PropertyAttribute::Maximum, 1000.0}};
    QTest::newRow("timeout, 30") << real << timeout << QVariant(1.0) << "30" << QVariant(3.0);
    QTest::newRow("timeout, 12.34")
        << real << timeout << QVariant(1.0) << "12.34" << QVariant(12.3);
    QTest::newRow("limit, -1000.5")
        << real << limit << QVariant(1.0) << "-1000.5" << QVariant(-1000.0);

    const int text = BrowserProperty::Text;
    const Attributes address{{PropertyAttribute::RegExp, QRegularExpression(kIpv4)}};
    const QVariant old("192.168.0.1");
    QTest::newRow("address") << text << address << old << "10.0.3.7" << QVariant("10.0.3.7");
    QTest::newRow("octet 256") << text << address << old << "10.0.3.256" << QVariant("10.0.3.25");
    QTest::newRow("three octets") << text << address << old << "10.0.3" << old;
    QTest::newRow("trailing dot") << text << address << old << "10.0.3.7." << QVariant("10.0.3.7");
}

void TestPropertyEditor::editor_neverCommitsOutsideLimits()
{
    QFETCH(int, type);
    QFETCH(Attributes, attributes);
    QFETCH(QVariant, start);
    QFETCH(QString, typed);
    QFETCH(QVariant, expected);

    Fixture f;
    BrowserProperty *row = f.row(type, QStringLiteral("row"), attributes);
    row->setValue(start);
    BrowserItem *item = f.browser.addProperty(row);
    f.browser.show();
    QSignalSpy spy(&f.manager, &PropertyManager::valueChanged);

    QWidget *editor = f.browser.openEditor(item);
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, typed);
    QTest::keyClick(editor, Qt::Key_Return);

    QCOMPARE(row->value(), expected);
    QCOMPARE(spy.count(), expected == start ? 0 : 1); // not one commit per key
    QCOMPARE(f.shown(QStringLiteral("row"))->text(1), row->valueText());
}

void TestPropertyEditor::lineEditor_bypassedValidator_managerRefuses()
{
    Fixture f;
    BrowserProperty *row = f.row(BrowserProperty::Text, QStringLiteral("Маска сети"),
                                 {{PropertyAttribute::RegExp, QRegularExpression(kIpv4)}});
    row->setValue(QStringLiteral("255.255.255.0"));
    BrowserItem *item = f.browser.addProperty(row);
    BrowserItem *other
        = f.browser.addProperty(f.row(BrowserProperty::Integer, QStringLiteral("Адрес")));
    f.browser.show();
    QSignalSpy spy(&f.manager, &PropertyManager::valueChanged);

    auto *editor = qobject_cast<QLineEdit *>(f.browser.openEditor(item));
    QVERIFY(editor);
    editor->setText(QStringLiteral("255.255.300.0")); // setText skips the validator
    QPointer<QLineEdit> guard(editor);
    f.browser.openEditor(other); // leaving the field commits and closes it

    QCOMPARE(row->value().toString(), QStringLiteral("255.255.255.0"));
    QCOMPARE(spy.count(), 0);
    QTRY_VERIFY(guard.isNull());
}

void TestPropertyEditor::comboEditor_commitsChosenIndex()
{
    Fixture f;
    const QStringList names{"9600", "19200", "38400", "57600", "115200"};
    BrowserProperty *row = f.row(BrowserProperty::Enumeration, QStringLiteral("Скорость, бит/с"),
                                 {{PropertyAttribute::EnumNames, names}});
    BrowserItem *item = f.browser.addProperty(row);
    f.browser.show();
    QSignalSpy spy(&f.manager, &PropertyManager::valueChanged);

    auto *combo = qobject_cast<QComboBox *>(f.browser.openEditor(item));
    QVERIFY(combo);
    QCOMPARE(combo->count(), names.size());
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);

    QCOMPARE(row->value().toInt(), 2);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.last().at(0).value<BrowserProperty *>(), row);
    QCOMPARE(spy.last().at(1).value<QVariant>().toInt(), 2);
    QCOMPARE(f.shown(row->propertyName())->text(1), QStringLiteral("38400"));
}

void TestPropertyEditor::rowsWithoutEditor_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("withFactory");
    QTest::addColumn<bool>("editor");

    QTest::newRow("text") << int(BrowserProperty::Text) << false << true << true;
    QTest::newRow("read-only text type")
        << int(BrowserProperty::ReadOnlyText) << true << true << false;
    QTest::newRow("text marked read-only") << int(BrowserProperty::Text) << true << true << false;
    QTest::newRow("integer marked read-only")
        << int(BrowserProperty::Integer) << true << true << false;
    QTest::newRow("group") << int(BrowserProperty::Group) << false << true << false;
    QTest::newRow("manager without factory")
        << int(BrowserProperty::Integer) << false << false << false;
}

void TestPropertyEditor::rowsWithoutEditor()
{
    QFETCH(int, type);
    QFETCH(bool, readOnly);
    QFETCH(bool, withFactory);
    QFETCH(bool, editor);

    Fixture f;
    if (!withFactory)
        f.browser.unsetFactoryForManager(&f.manager);
    BrowserProperty *row = f.row(type, QStringLiteral("Версия ПО"));
    if (readOnly)
        QVERIFY(row->setAttribute(PropertyAttribute::ReadOnly, true));
    BrowserItem *item = f.browser.addProperty(row);
    f.browser.show();

    QCOMPARE(f.browser.openEditor(item) != nullptr, editor);
}

void TestPropertyEditor::valueColumn_showsValueText_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("integer") << int(BrowserProperty::Integer) << QVariant(247) << "247";
    QTest::newRow("real, three decimals")
        << int(BrowserProperty::Real) << QVariant(-12.5) << "-12.500";
    QTest::newRow("enumeration shows the name")
        << int(BrowserProperty::Enumeration) << QVariant(1) << "чет";
    QTest::newRow("text") << int(BrowserProperty::Text) << QVariant("10.0.3.7") << "10.0.3.7";
    QTest::newRow("read-only text")
        << int(BrowserProperty::ReadOnlyText) << QVariant("есть") << "есть";
    QTest::newRow("group shows nothing") << int(BrowserProperty::Group) << QVariant(5) << "";
}

void TestPropertyEditor::valueColumn_showsValueText()
{
    QFETCH(int, type);
    QFETCH(QVariant, value);
    QFETCH(QString, text);

    Fixture f;
    BrowserProperty *row = f.row(type, QStringLiteral("row"));
    f.browser.addProperty(row);
    // Set after adding: the row must follow the manager.
    if (type == BrowserProperty::Real)
        row->setAttribute(PropertyAttribute::Decimals, 3);
    if (type == BrowserProperty::Enumeration)
        row->setAttribute(PropertyAttribute::EnumNames, QStringList{"нет", "чет", "нечет"});
    row->setValue(value);

    QCOMPARE(f.shown(QStringLiteral("row"))->text(1), text);
}

void TestPropertyEditor::browser_followsRowChanges()
{
    Fixture f;
    auto readOnly = std::make_unique<PropertyManager>();
    BrowserProperty *flags = f.row(BrowserProperty::Group, QStringLiteral("Признаки"));
    BrowserProperty *a = readOnly->addProperty(BrowserProperty::ReadOnlyText, QStringLiteral("a"));
    BrowserProperty *b = readOnly->addProperty(BrowserProperty::ReadOnlyText, QStringLiteral("b"));
    BrowserProperty *c = f.row(BrowserProperty::Text, QStringLiteral("c"));
    flags->addSubProperty(a);
    BrowserItem *top = f.browser.addProperty(flags);
    QCOMPARE(f.browser.addProperty(flags), nullptr); // already shown
    f.browser.addProperty(b);                        // b shown twice

    flags->addSubProperty(c);
    flags->insertSubProperty(b, a);
    QCOMPARE(f.names(top), (QStringList{"a", "b", "c"}));
    QCOMPARE(top->children().at(1)->parent(), top);
    flags->removeSubProperty(a);
    c->setPropertyName(QStringLiteral("c2"));
    QCOMPARE(f.names(top), (QStringList{"b", "c2"}));
    QVERIFY(f.browser.items(a).isEmpty());
    QCOMPARE(f.browser.items(b).size(), 2);

    // The read-only manager goes first, with the current row among its rows.
    f.browser.setCurrentItem(top->children().first());
    QSignalSpy spy(&f.browser, &PropertyBrowser::currentItemChanged);
    readOnly.reset();

    QCOMPARE(f.names(top), QStringList{"c2"});
    QCOMPARE(f.browser.topLevelItems(), QList<BrowserItem *>{top});
    QCOMPARE(f.tree()->topLevelItemCount(), 1);
    QCOMPARE(f.shown(QStringLiteral("Признаки"))->childCount(), 1);
    QCOMPARE(spy.count(), 1);
    BrowserItem *announced = spy.first().at(0).value<BrowserItem *>();
    QVERIFY(announced == nullptr || announced == top || announced == top->children().first());
    QCOMPARE(f.browser.currentItem(), announced);
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

    Fixture f;
    BrowserItem *top = f.moduleTree();
    BrowserItem *address = top->children().first()->children().first();
    f.browser.setBackgroundColor(address, Qt::red);

    f.browser.setBackgroundColor(address, color);

    QCOMPARE(f.browser.backgroundColor(address), color);
    QCOMPARE(f.browser.backgroundColor(top), QColor());
    for (int column = 0; column < 2; ++column) {
        const QVariant shown
            = f.shown(QStringLiteral("Адрес MODBUS"))->data(column, Qt::BackgroundRole);
        QCOMPARE(shown.isValid(), color.isValid());
        QCOMPARE(shown.value<QBrush>().color(), color.isValid() ? color : QColor(Qt::black));
    }
}

void TestPropertyEditor::expandCollapse_depthFirst()
{
    Fixture f;
    BrowserItem *top = f.moduleTree();
    BrowserItem *params = top->children().first();
    QVERIFY(f.browser.isExpanded(top));
    QVERIFY(f.browser.isExpanded(params));

    std::function<void(BrowserItem *)> collapse = [&](BrowserItem *item) {
        for (BrowserItem *child : item->children()) {
            collapse(child);
            f.browser.setExpanded(child, false);
        }
    };
    collapse(top);

    QVERIFY(f.browser.isExpanded(top));
    QVERIFY(!f.browser.isExpanded(params));
    QVERIFY(!f.shown(QStringLiteral("Параметры модуля"))->isExpanded());
    f.browser.setExpanded(params, true);
    QVERIFY(f.shown(QStringLiteral("Параметры модуля"))->isExpanded());
}

void TestPropertyEditor::clearThenRebuild_leavesNoStaleItems()
{
    Fixture f;
    BrowserItem *address = f.moduleTree()->children().first()->children().first();
    QSignalSpy spy(&f.browser, &PropertyBrowser::currentItemChanged);
    f.browser.setCurrentItem(address);
    QCOMPARE(f.browser.currentItem(), address);
    QCOMPARE(spy.takeFirst().at(0).value<BrowserItem *>(), address);

    f.browser.clear();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.takeFirst().at(0).value<BrowserItem *>(), nullptr);
    QCOMPARE(f.browser.currentItem(), nullptr);
    QVERIFY(f.browser.topLevelItems().isEmpty());
    f.manager.clear();
    QVERIFY(f.manager.properties().isEmpty());

    BrowserItem *top = f.moduleTree();
    QCOMPARE(f.browser.topLevelItems(), QList<BrowserItem *>{top});
    QCOMPARE(f.tree()->topLevelItemCount(), 1);
    QCOMPARE(f.names(top),
             (QStringList{"Параметры модуля", "Субмодуль AIO (Слот B)", "Субмодуль DO6 (Слот E)"}));
    f.browser.setCurrentItem(top);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).value<BrowserItem *>(), top);
}

void TestPropertyEditor::contextMenu_seesClickedRowAsCurrent()
{
    Fixture f;
    BrowserItem *board = f.moduleTree()->children().at(2);
    f.browser.resize(400, 300);
    f.browser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.browser));
    QWidget *viewport = f.tree()->viewport();
    const QPoint point
        = f.tree()->visualItemRect(f.shown(QStringLiteral("Субмодуль DO6 (Слот E)"))).center();

    QTest::mousePress(viewport, Qt::RightButton, Qt::NoModifier, point);
    QContextMenuEvent event(QContextMenuEvent::Mouse, point, viewport->mapToGlobal(point));
    QApplication::sendEvent(viewport, &event);
    QTest::mouseRelease(viewport, Qt::RightButton, Qt::NoModifier, point);

    QCOMPARE(f.browser.menuRequests, 1);
    QCOMPARE(f.browser.menuItem, board);
}

QTEST_MAIN(TestPropertyEditor)
#include "tst_propertyeditor.moc"
