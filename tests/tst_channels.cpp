// SPDX-License-Identifier: GPL-3.0-or-later
#include "analoginput.h"
#include "analogoutput.h"
#include "codes.h"
#include "digitalinput.h"
#include "digitalinputcounting.h"
#include "digitaloutput.h"
#include "dosteppermotor.h"
#include "property.h"
#include "temperatureinput.h"

#include <QtTest>

#include <climits>
#include <memory>

using Words = QVector<quint16>;

namespace {

// Words written as hex numbers separated by blanks: "0 C128".
Words words(const char *text)
{
    Words result;
    const QStringList parts = QString::fromLatin1(text).split(' ', Qt::SkipEmptyParts);
    for (const QString &part : parts)
        result << quint16(part.toUInt(nullptr, 16));
    return result;
}

// Every channel table of an image.
QVector<Words> tables(const ModuleTables &t)
{
    return {t.typesValueAITable(),  t.limitsAITable(),     t.flagsAITable(),
            t.typesValueAOTable(),  t.limitsAOTable(),     t.flagsAOTable(),
            t.blockValuesAOTable(), t.antibounceDITable(), t.pwmDOTable(),
            t.blockValuesDOTable()};
}

} // namespace

// One analog channel g = 1: its tables as read, what they decode to, and the
// flags it writes back (the other tables come back as they were read).
struct AnalogCase
{
    bool output;
    const char *types, *limits, *flags, *block;
    int signal, format, multiplier, valueType;
    float lower, upper, blockValue;
    const char *flagsOut;
};
Q_DECLARE_METATYPE(AnalogCase)

class TestChannels : public QObject
{
    Q_OBJECT

private slots:
    void analog_data();
    void analog();
    void temperatureRawType_data();
    void temperatureRawType();
    void antibounce_data();
    void antibounce();
    void digitalOutput_data();
    void digitalOutput();
    void numbersFromFile_data();
    void numbersFromFile();
    void analogJson();
    void discreteJson();
    void hostileGlobalNumber_data();
    void hostileGlobalNumber();
};

void TestChannels::analog_data()
{
    QTest::addColumn<AnalogCase>("c");
    const char *limits = "0 0 0 0 0 C128 0 4148"; // -10.5 and 12.5
    // Flags 0x00D0: format 1 (FLOAT32) in bits 4-5, multiplier 3 in bits 6-7.
    QTest::newRow("input") << AnalogCase{false, "0 2", limits,    "0 0 D0 1234", "",
                                         2,     1,     3,         ValueFloat32,  -10.5f,
                                         12.5f, 0,     "0 0 D0 0"};
    QTest::newRow("input, limits missing, the rest still decoded")
        << AnalogCase{false, "0 3", "", "0 0 A0 0", "", 3, 2, 2, ValueInt32, 0, 100, 0, "0 0 A0 0"};
    QTest::newRow("input, tables too short for g")
        << AnalogCase{false, "5", "1 2 3 4", "10 9", "", 0, 0, 0, ValueInt16, 0, 100, 0, "10 9"};
    QTest::newRow("output") << AnalogCase{true,  "0 1", limits,    "0 0 40 7777", "0 0 0 40E8",
                                          1,     0,     1,         ValueInt16,    -10.5f,
                                          12.5f, 7.25f, "0 0 40 0"};
    QTest::newRow("output, block values missing, the rest still decoded") << AnalogCase{
        true, "0 2", limits, "0 0 10 0", "", 2, 1, 0, ValueFloat32, -10.5f, 12.5f, 0, "0 0 10 0"};
}

void TestChannels::analog()
{
    QFETCH(AnalogCase, c);
    std::unique_ptr<Channel> channel;
    ModuleTables image;
    if (c.output) {
        channel = std::make_unique<AnalogOutput>(1, nullptr);
        image.setTypesValueAOTable(words(c.types));
        image.setLimitsAOTable(words(c.limits));
        image.setFlagsAOTable(words(c.flags));
        image.setBlockValuesAOTable(words(c.block));
    } else {
        channel = std::make_unique<AnalogInput>(1, nullptr);
        image.setTypesValueAITable(words(c.types));
        image.setLimitsAITable(words(c.limits));
        image.setFlagsAITable(words(c.flags));
    }
    channel->fromTables(image);

    QCOMPARE(channel->value(ChannelParam::SignalType).toInt(), c.signal);
    QCOMPARE(channel->value(ChannelParam::LowerLimit).toFloat(), c.lower);
    QCOMPARE(channel->value(ChannelParam::UpperLimit).toFloat(), c.upper);
    QCOMPARE(channel->value(ChannelParam::DataFormat).toInt(), c.format);
    QCOMPARE(channel->value(ChannelParam::Multiplier).toInt(), c.multiplier);
    QCOMPARE(channel->value(ChannelParam::BlockValue).toFloat(), c.blockValue);
    QCOMPARE(channel->property(ChannelParam::Value)->valueType(), c.valueType);

    const ModuleTables out = channel->toTables(image);
    if (c.output) {
        QCOMPARE(out.typesValueAOTable(), words(c.types));
        QCOMPARE(out.limitsAOTable(), words(c.limits));
        QCOMPARE(out.flagsAOTable(), words(c.flagsOut));
        QCOMPARE(out.blockValuesAOTable(), words(c.block));
    } else {
        QCOMPARE(out.typesValueAITable(), words(c.types));
        QCOMPARE(out.limitsAITable(), words(c.limits));
        QCOMPARE(out.flagsAITable(), words(c.flagsOut));
    }
}

void TestChannels::temperatureRawType_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("rawType");
    // Thermocouples (9-22) give signed raw codes.
    QTest::newRow("resistance 8") << 8 << int(ValueUInt16);
    QTest::newRow("thermocouple 9") << 9 << int(ValueInt16);
    QTest::newRow("millivolts 22") << 22 << int(ValueInt16);
    QTest::newRow("unknown 23") << 23 << int(ValueUInt16);
}

void TestChannels::temperatureRawType()
{
    QFETCH(int, signal);
    TemperatureInput channel(3, nullptr);
    channel.fromJson({{"SIGNAL_TYPE", QString::number(signal)}});
    const Property *raw = channel.property(ChannelParam::RawValue);
    QTEST(raw->valueType(), "rawType");
    QCOMPARE(raw->address(), 10007);
    QCOMPARE(raw->registerType(), int(RegisterInputRegisters));
    QCOMPARE(channel.property(ChannelParam::Value)->address(), 6);
    QCOMPARE(channel.property(ChannelParam::SignalType)->enumNames().firstKey(), 4);
    QCOMPARE(channel.property(ChannelParam::SignalType)->address(), 1203);
}

void TestChannels::antibounce_data()
{
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("number");
    QTest::addColumn<Words>("table");
    QTest::addColumn<QVariant>("decoded");
    QTest::addColumn<QVariant>("edit");
    QTest::addColumn<Words>("encoded");

    QTest::newRow("g 27 switched on, other bits kept")
        << 27 << 2 << words("0 F7FF") << QVariant(0) << QVariant(true) << words("0 FFFF");
    QTest::newRow("g 27 switched off")
        << 27 << 2 << words("1234 800") << QVariant(1) << QVariant(false) << words("1234 0");
    QTest::newRow("g 3 on by the text 1")
        << 3 << 3 << words("8000") << QVariant(0) << QVariant("1") << words("8008");
    QTest::newRow("first input has no filter")
        << 0 << 0 << words("1") << QVariant() << QVariant(true) << words("1");
    QTest::newRow("table too short")
        << 18 << 2 << words("FFFF") << QVariant(false) << QVariant(true) << words("FFFF");
}

void TestChannels::antibounce()
{
    QFETCH(int, g);
    QFETCH(int, number);
    QFETCH(Words, table);
    QFETCH(QVariant, decoded);
    QFETCH(QVariant, edit);

    DigitalInput channel(g, nullptr);
    channel.setValue(ChannelParam::Number, number);
    if (number == 2 || number == 3)
        channel.setValue(ChannelParam::Antibounce, false);
    ModuleTables image;
    image.setAntibounceDITable(table);
    channel.fromTables(image);
    QCOMPARE(channel.value(ChannelParam::Antibounce), decoded);

    if (decoded.isValid())
        channel.setValue(ChannelParam::Antibounce, edit);
    QTEST(channel.toTables(image).antibounceDITable(), "encoded");
}

void TestChannels::digitalOutput_data()
{
    QTest::addColumn<Words>("pwm");
    QTest::addColumn<Words>("block");
    QTest::addColumn<int>("decodedPwm");
    QTest::addColumn<bool>("decodedBlock");
    QTest::addColumn<QVariant>("pwmEdit");
    QTest::addColumn<Words>("pwmOut");
    QTest::addColumn<Words>("blockOut");

    // Channel g = 3; any non-zero coil counts as on.
    QTest::newRow("coil 0xFF00, PWM 500")
        << words("A 14 1E FA") << words("0 0 0 FF00") << 250 << true << QVariant(500)
        << words("A 14 1E 1F4") << words("0 0 0 1");
    QTest::newRow("PWM 70000 keeps the word")
        << words("0 0 0 7") << words("1 1 1 0") << 7 << false << QVariant("70000")
        << words("0 0 0 7") << words("1 1 1 0");
    QTest::newRow("PWM block missing, block value still decoded")
        << Words{} << words("0 0 0 1") << 0 << true << QVariant(9) << Words{} << words("0 0 0 1");
}

void TestChannels::digitalOutput()
{
    QFETCH(Words, pwm);
    QFETCH(Words, block);
    QFETCH(QVariant, pwmEdit);

    DigitalOutput channel(3, nullptr);
    ModuleTables image;
    image.setPwmDOTable(pwm);
    image.setBlockValuesDOTable(block);
    channel.fromTables(image);
    QTEST(channel.value(ChannelParam::Pwm).toInt(), "decodedPwm");
    QTEST(channel.value(ChannelParam::BlockValue).toBool(), "decodedBlock");

    channel.setValue(ChannelParam::Pwm, pwmEdit);
    const ModuleTables encoded = channel.toTables(image);
    QTEST(encoded.pwmDOTable(), "pwmOut");
    QTEST(encoded.blockValuesDOTable(), "blockOut");
}

void TestChannels::numbersFromFile_data()
{
    QTest::addColumn<QJsonValue>("number");
    QTest::addColumn<int>("expected");
    // Anything but a whole number up to 1023 keeps the board's number 5.
    QTest::newRow("1023") << QJsonValue("1023") << 1023;
    QTest::newRow("1024 rejected") << QJsonValue("1024") << 5;
    QTest::newRow("fraction rejected") << QJsonValue("1.5") << 5;
}

void TestChannels::numbersFromFile()
{
    QFETCH(QJsonValue, number);
    AnalogInput channel(5, nullptr);
    channel.setValue(ChannelParam::Number, 5);
    channel.fromJson({{"NUMBER_GLOBAL", number}, {"NUMBER", number}});
    QTEST(channel.value(ChannelParam::GlobalNumber).toInt(), "expected");
    QTEST(channel.value(ChannelParam::Number).toInt(), "expected");
}

void TestChannels::analogJson()
{
    AnalogOutput loaded(1, nullptr);
    loaded.fromJson({{"DATA_FORMAT", "2"}});
    QCOMPARE(loaded.property(ChannelParam::Value)->valueType(), int(ValueInt32));
    ModuleTables image;
    image.setFlagsAOTable(words("0 0 1234 5"));
    QCOMPARE(loaded.toTables(image).flagsAOTable(), words("0 0 20 0"));
    // A format code that would spill into the multiplier's bits is not written.
    loaded.setValue(ChannelParam::DataFormat, 4);
    QCOMPARE(loaded.toTables(image).flagsAOTable(), image.flagsAOTable());
}

void TestChannels::discreteJson()
{
    DigitalOutput loaded(4, nullptr);
    loaded.setValue(ChannelParam::BlockValue, true);
    loaded.fromJson({{"BLOCK_VALUE", "1"}}); // a text is no JSON true
    QCOMPARE(loaded.value(ChannelParam::BlockValue), QVariant(false));

    DigitalInput first(0, nullptr);
    QVERIFY(!first.toJson().contains("ANTIBOUNCE"));
    first.fromJson({{"ANTIBOUNCE", "true"}});
    QVERIFY(!first.value(ChannelParam::Antibounce).isValid());
}

void TestChannels::hostileGlobalNumber_data()
{
    QTest::addColumn<int>("g");
    QTest::newRow("-1") << -1;
    QTest::newRow("INT_MAX") << INT_MAX;
}

// Numbers far outside the tables change no word and read none.
void TestChannels::hostileGlobalNumber()
{
    QFETCH(int, g);
    ModuleTables image;
    image.setTypesValueAITable(Words(2, 1));
    image.setLimitsAITable(Words(8, 2));
    image.setFlagsAITable(Words(4, 3));
    image.setLimitsAOTable(Words(8, 5));
    image.setBlockValuesAOTable(Words(4, 7));
    image.setAntibounceDITable(Words(1, 0xFFFF));
    image.setPwmDOTable(Words(2, 8));
    image.setBlockValuesDOTable(Words(2, 1));

    std::vector<std::unique_ptr<Channel>> channels;
    channels.emplace_back(new AnalogInput(0, nullptr));
    channels.emplace_back(new TemperatureInput(0, nullptr));
    channels.emplace_back(new AnalogOutput(0, nullptr));
    channels.emplace_back(new DigitalInput(0, nullptr));
    channels.emplace_back(new DigitalOutput(0, nullptr));
    channels.emplace_back(new DigitalInputCounting(0, nullptr));
    channels.emplace_back(new DOStepperMotor(0, nullptr));
    for (const auto &channel : channels) {
        channel->setValue(ChannelParam::Number, 2);
        channel->setValue(ChannelParam::Antibounce, true);
        channel->setValue(ChannelParam::GlobalNumber, g);
        channel->setValue(ChannelParam::SignalType,
                          12); // re-derives register attributes from g
        channel->fromTables(image);
        QCOMPARE(tables(channel->toTables(image)), tables(image));
    }
}

QTEST_GUILESS_MAIN(TestChannels)
#include "tst_channels.moc"
