#include "device.h"
#include "property.h"

#include <QPointer>
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
    QJsonObject toJson() override { return {}; }
    int compare(Device *) override { return 0; }
};

} // namespace

class TestProperty : public QObject
{
    Q_OBJECT

private slots:
    void newPropertyDefaults();
    void setValue_data();
    void setValue();
    void setValueTypeSignalsOnlyOnChange();
    void setScaledValue_data();
    void setScaledValue();
    void deviceSetValueNeverCountsAsEdit();
    void setFloatValue_data();
    void setFloatValue();
    void changedFlagWalksTheTree();
    void deviceReleasesItsProperties();
};

void TestProperty::newPropertyDefaults()
{
    Property p(QStringLiteral("x"), nullptr, 3);
    QCOMPARE(p.oldValue(), QVariant(int(-1)));
    QCOMPARE(p.address(), -1);
    QCOMPARE(p.registerType(), 0);
    QCOMPARE(p.valueType(), 10);
    QCOMPARE(p.scale(), 1);
    QVERIFY(!p.isEditable());
    QVERIFY(!p.isChanged());
}

void TestProperty::setValue_data()
{
    QTest::addColumn<QVariantList>("edits");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("oldValue");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("emissions");

    QTest::newRow("equal value") << QVariantList{3} << QVariant(3) << QVariant(-1) << false << 0;
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
    QFETCH(QVariant, value);
    QFETCH(QVariant, oldValue);
    QFETCH(bool, changed);
    QFETCH(int, emissions);

    Property p(QStringLiteral("x"), nullptr, 3);
    QSignalSpy spy(&p, &Property::valueChange);
    for (const QVariant &v : edits)
        p.setValue(v);
    QCOMPARE(p.value(), value);
    QCOMPARE(p.oldValue(), oldValue);
    QCOMPARE(p.isChanged(), changed);
    QCOMPARE(spy.count(), emissions);
}

void TestProperty::setValueTypeSignalsOnlyOnChange()
{
    Property p(QStringLiteral("x"), nullptr, 0);
    QSignalSpy spy(&p, &Property::typeChange);
    p.setValueType(10);
    QCOMPARE(spy.count(), 0);
    p.setValueType(5);
    p.setValueType(5);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(p.valueType(), 5);
}

void TestProperty::setScaledValue_data()
{
    QTest::addColumn<int>("scale");
    QTest::addColumn<float>("stored");
    QTest::newRow("scale 1") << 1 << 2.5f;
    QTest::newRow("scale 10") << 10 << 25.0f;
}

void TestProperty::setScaledValue()
{
    QFETCH(int, scale);
    QFETCH(float, stored);
    Property p(QStringLiteral("x"), nullptr, 0);
    p.setScale(scale);
    p.setScaledValue(QStringLiteral("2.5"));
    QCOMPARE(p.value().userType(), int(QMetaType::Float));
    QCOMPARE(p.value().toFloat(), stored);
}

void TestProperty::deviceSetValueNeverCountsAsEdit()
{
    PlainDevice device;
    QVERIFY(!device.value(QStringLiteral("a")).isValid());
    device.setValue(QStringLiteral("a"), 1);
    QVERIFY(device.property(QStringLiteral("a")));
    QCOMPARE(device.value(QStringLiteral("a")), QVariant(1));
    QVERIFY(!device.property(QStringLiteral("a"))->isChanged());
    device.setValue(QStringLiteral("a"), 2);
    QCOMPARE(device.value(QStringLiteral("a")), QVariant(2));
    QVERIFY(!device.isChanged());
    QCOMPARE(device.properties().size(), 1);
}

void TestProperty::setFloatValue_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<float>("stored");
    QTest::newRow("1.0 low word first") << 0x0000 << 0x3F80 << 1.0f;
    QTest::newRow("-10.5") << 0x0000 << 0xC128 << -10.5f;
    QTest::newRow("swapped words give a denormal") << 0x3F80 << 0x0000 << 2.2779e-41f;
}

void TestProperty::setFloatValue()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(float, stored);
    PlainDevice device;
    device.setFloatValue(QStringLiteral("f"), {quint16(first), quint16(second)});
    const QVariant v = device.value(QStringLiteral("f"));
    QCOMPARE(v.userType(), int(QMetaType::Float));
    QVERIFY(qAbs(v.toFloat() - stored) <= qAbs(stored) * 1e-4f);
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
    QVERIFY(!middle->isChanged());
    QVERIFY(!leaf->property(QStringLiteral("v"))->isChanged());

    root.setChanged(true);
    QVERIFY(leaf->property(QStringLiteral("v"))->isChanged());
    // The base encoder clears only the device's own marks.
    root.toTables(ModuleTables());
    QVERIFY(!root.property(QStringLiteral("r"))->isChanged());
    QVERIFY(leaf->property(QStringLiteral("v"))->isChanged());
}

void TestProperty::deviceReleasesItsProperties()
{
    QPointer<Property> kept;
    {
        PlainDevice device;
        device.setValue(QStringLiteral("a"), 1);
        kept = device.property(QStringLiteral("a"));
        QVERIFY(kept);
        QTest::ignoreMessage(QtDebugMsg, "~Property()");
    }
    QVERIFY(kept.isNull());
}

QTEST_GUILESS_MAIN(TestProperty)
#include "tst_property.moc"
