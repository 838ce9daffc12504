// SPDX-License-Identifier: GPL-3.0-or-later
#include "device.h"
#include "property.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Smallest concrete device, so the base behaviour can be tested by itself.
class PlainDevice : public Device
{
public:
    using Device::Device;
    void fromJson(const QJsonObject &) override {}
    void fromTables(ModuleTables) override {}
    QJsonObject toJson() const override { return {}; }
    CompareResult compare(const Device *) const override { return CompareMatch; }
};

} // namespace

class TestProperty : public QObject
{
    Q_OBJECT

private slots:
    void setValue_data();
    void setValue();
    void changedFlagWalksTheTree();
};

void TestProperty::setValue_data()
{
    QTest::addColumn<QVariantList>("edits");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("oldValue");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("emissions");

    // Starting at 3.
    QTest::newRow("equal text") << QVariantList{QStringLiteral("3")} << QVariant(3) << QVariant(-1)
                                << false << 0;
    QTest::newRow("two edits keep first old value")
        << QVariantList{5, 7} << QVariant(7) << QVariant(3) << true << 2;
    QTest::newRow("edit back stays changed")
        << QVariantList{5, 3} << QVariant(3) << QVariant(3) << true << 2;
}

void TestProperty::setValue()
{
    QFETCH(QVariantList, edits);
    Property p(QStringLiteral("x"), nullptr, 3);
    QSignalSpy spy(&p, &Property::valueChange);
    for (const QVariant &v : edits)
        p.setValue(v);
    QTEST(p.value(), "value");
    QTEST(p.oldValue(), "oldValue");
    QTEST(p.isChanged(), "changed");
    QTEST(spy.count(), "emissions");
}

void TestProperty::changedFlagWalksTheTree()
{
    PlainDevice root;
    auto *middle = new PlainDevice(&root);
    auto *leaf = new PlainDevice(middle);
    new QObject(middle); // children that are no devices are skipped
    leaf->setValue(QStringLiteral("v"), 1);
    root.setValue(QStringLiteral("r"), 1);
    QVERIFY(!root.isChanged());

    leaf->property(QStringLiteral("v"))->setValue(2);
    QVERIFY(root.isChanged());
    QVERIFY(!root.property(QStringLiteral("r"))->isChanged());

    root.setChanged(false);
    QVERIFY(!root.isChanged());

    root.setChanged(true);
    root.toTables(ModuleTables()); // encoding leaves the marks alone
    // A mark goes where the unit holds the value, given as text from a file;
    // a device the unit lacks keeps its marks.
    root.property(QStringLiteral("r"))->setValue(QStringLiteral("2.5"));
    PlainDevice unit;
    unit.setValue(QStringLiteral("r"), 2.5f);
    QCOMPARE(root.settleMarks(unit), 1);
    QVERIFY(!root.property(QStringLiteral("r"))->isChanged());
    QVERIFY(leaf->property(QStringLiteral("v"))->isChanged());
}

QTEST_GUILESS_MAIN(TestProperty)
#include "tst_property.moc"
