// SPDX-License-Identifier: GPL-3.0-or-later
#include "browseritem.h"
#include "browserproperty.h"
#include "ipv4address.h"
#include "propertybrowser.h"
#include "propertyeditorfactory.h"
#include "propertymanager.h"

#include <QComboBox>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QtTest>

#include <limits>
#include <memory>

Q_DECLARE_METATYPE(BrowserProperty *)
Q_DECLARE_METATYPE(BrowserItem *)

namespace {

const QRegularExpression kIpv4 = ipv4AddressExpression();

using Attributes = QVariantMap;
namespace A = PropertyAttribute;

struct Fixture
{
    PropertyManager manager;
    PropertyEditorFactory factory;
    PropertyBrowser browser;

    Fixture() { browser.setFactoryForManager(&manager, &factory); }

    BrowserProperty *row(int type, const QString &name, const Attributes &attributes = {})
    {
        BrowserProperty *property = manager.addProperty(BrowserProperty::Type(type), name);
        for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
            property->setAttribute(it.key(), it.value());
        return property;
    }

    QTreeWidgetItem *shown(const QString &name)
    {
        const auto found = browser.findChild<QTreeWidget *>()->findItems(
            name, Qt::MatchExactly | Qt::MatchRecursive);
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
    void value_keptWithinAttributes_data();
    void value_keptWithinAttributes();
    void subProperties_refuseCycles();
    void browser_followsRowChanges();
};

void TestPropertyEditor::initTestCase()
{
    // Decimal point of the C locale in editors and texts.
    QLocale::setDefault(QLocale::c());
    qRegisterMetaType<BrowserProperty *>();
    qRegisterMetaType<BrowserItem *>();
}

void TestPropertyEditor::value_keptWithinAttributes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<Attributes>("attributes");
    QTest::addColumn<QVariant>("start");
    QTest::addColumn<bool>("typed"); // keys into the row's editor, else set on the row
    QTest::addColumn<QVariant>("input");
    QTest::addColumn<QVariant>("expected");

    const int integer = BrowserProperty::Integer;
    const Attributes percent{{A::Minimum, 0}, {A::Maximum, 100}};
    QTest::newRow("int from 2^40")
        << integer << Attributes{{A::Minimum, -16777215}, {A::Maximum, 16777215}} << QVariant(1)
        << false << QVariant(qlonglong(1) << 40) << QVariant(16777215);
    QTest::newRow("int from junk")
        << integer << percent << QVariant(50) << false << QVariant("abc") << QVariant(50);
    // A key that would leave the limits is refused by the editor itself.
    QTest::newRow("int typed 150")
        << integer << percent << QVariant(1) << true << QVariant("150") << QVariant(15);
    QTest::newRow("int typed 65535") << integer << Attributes{{A::Minimum, 0}, {A::Maximum, 65535}}
                                     << QVariant(1) << true << QVariant("65535") << QVariant(65535);

    const int real = BrowserProperty::Real;
    const Attributes timeout{{A::Minimum, 0.0}, {A::Maximum, 25.5}, {A::Decimals, 1}};
    QTest::newRow("real rounds") << real << timeout << QVariant(5.0) << false << QVariant(12.34)
                                 << QVariant(12.3);
    QTest::newRow("real above maximum")
        << real << timeout << QVariant(5.0) << false << QVariant(30.0) << QVariant(25.5);
    QTest::newRow("real rounding past maximum")
        << real << Attributes{{A::Maximum, 0.55}, {A::Decimals, 1}} << QVariant(0.5) << false
        << QVariant(0.55) << QVariant(0.55);
    QTest::newRow("real NaN") << real << timeout << QVariant(5.0) << false
                              << QVariant(std::numeric_limits<double>::quiet_NaN())
                              << QVariant(5.0);
    QTest::newRow("real typed 12.3456")
        << real << Attributes{{A::Decimals, 3}, {A::Minimum, -1000.0}, {A::Maximum, 1000.0}}
        << QVariant(1.0) << true << QVariant("12.3456") << QVariant(12.345);

    const int list = BrowserProperty::Enumeration;
    const Attributes baud{{A::EnumNames, QStringList{"1200", "2400", "4800", "9600"}}};
    QTest::newRow("enum past the end")
        << list << baud << QVariant(1) << false << QVariant(4) << QVariant(1);
    QTest::newRow("enum, key Down")
        << list << baud << QVariant(0) << true << QVariant() << QVariant(1);

    const int text = BrowserProperty::Text;
    const QVariant old("192.168.0.1");
    const Attributes address{{A::RegExp, kIpv4}};
    QTest::newRow("octet 256 typed")
        << text << address << old << true << QVariant("10.0.3.256") << QVariant("10.0.3.25");
    QTest::newRow("three octets typed")
        << text << address << old << true << QVariant("10.0.3") << old;
    QTest::newRow("unanchored, prefix only")
        << text << Attributes{{A::RegExp, QRegularExpression("[0-9]+")}} << QVariant("1") << false
        << QVariant("12a") << QVariant("1");
}

void TestPropertyEditor::value_keptWithinAttributes()
{
    QFETCH(int, type);
    QFETCH(Attributes, attributes);
    QFETCH(QVariant, start);
    QFETCH(bool, typed);
    QFETCH(QVariant, input);
    QFETCH(QVariant, expected);

    Fixture f;
    BrowserProperty *row = f.row(type, QStringLiteral("row"), attributes);
    row->setValue(start);
    BrowserItem *item = f.browser.addProperty(row);
    f.browser.show();
    QSignalSpy spy(&f.manager, &PropertyManager::valueChanged);
    if (typed) {
        QWidget *editor = f.browser.openEditor(item);
        QVERIFY(editor);
        if (qobject_cast<QComboBox *>(editor)) {
            QTest::keyClick(editor, Qt::Key_Down);
        } else {
            QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(editor, input.toString());
            QTest::keyClick(editor, Qt::Key_Return);
        }
    } else {
        row->setValue(input);
    }
    QCOMPARE(row->value(), expected);
    QCOMPARE(spy.count(), expected == start ? 0 : 1); // not one commit per key
    if (!spy.isEmpty()) {
        QCOMPARE(spy.first().at(0).value<BrowserProperty *>(), row);
        QCOMPARE(spy.first().at(1).value<QVariant>(), expected);
    }
    // The tree follows the manager.
    QCOMPARE(f.shown(QStringLiteral("row"))->text(1), row->valueText());
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

void TestPropertyEditor::browser_followsRowChanges()
{
    Fixture f;
    auto readOnly = std::make_unique<PropertyManager>();
    BrowserProperty *flags = f.row(BrowserProperty::Group, QStringLiteral("Признаки"));
    BrowserProperty *a = readOnly->addProperty(BrowserProperty::ReadOnlyText, QStringLiteral("a"));
    BrowserProperty *b = readOnly->addProperty(BrowserProperty::ReadOnlyText, QStringLiteral("b"));
    BrowserProperty *c = f.row(BrowserProperty::Text, QStringLiteral("c"));
    flags->addSubProperty(a);
    flags->addSubProperty(b);
    flags->addSubProperty(c);
    BrowserItem *top = f.browser.addProperty(flags);
    QCOMPARE(f.browser.addProperty(flags), nullptr); // already shown
    f.browser.addProperty(b);                        // b shown twice

    // The read-only manager goes first, with the current row among its rows.
    f.browser.setCurrentItem(top->children().at(1));
    QSignalSpy spy(&f.browser, &PropertyBrowser::currentItemChanged);
    readOnly.reset();

    QCOMPARE(f.names(top), QStringList{"c"});
    QCOMPARE(f.browser.topLevelItems(), QList<BrowserItem *>{top});
    QCOMPARE(f.shown(QStringLiteral("Признаки"))->childCount(), 1);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(f.browser.currentItem(), spy.first().at(0).value<BrowserItem *>());
}

QTEST_MAIN(TestPropertyEditor)
#include "tst_propertyeditor.moc"
