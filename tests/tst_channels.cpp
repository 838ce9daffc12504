#include "analoginput.h"
#include "analogoutput.h"
#include "codes.h"
#include "digitalinput.h"
#include "digitalinputcounting.h"
#include "digitaloutput.h"
#include "dosteppermotor.h"
#include "module.h"
#include "property.h"
#include "temperatureinput.h"

#include <QtTest>

#include <climits>
#include <memory>

using Words = QVector<quint16>;

// One analog channel case: the image as read, what it decodes to and what
// encoding the decoded channel writes back.
struct AnalogCase
{
    Words types, limits, flags, block;
    int signal;
    float lower, upper;
    int format, multiplier, valueType;
    float blockValue;
    Words typesOut, limitsOut, flagsOut, blockOut;
};
Q_DECLARE_METATYPE(AnalogCase)

class TestChannels : public QObject
{
    Q_OBJECT

private slots:
    void analogInput_data();
    void analogInput();
    void analogOutput_data();
    void analogOutput();
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
    void compareChannels();
    void hostileGlobalNumber_data();
    void hostileGlobalNumber();
};

void TestChannels::analogInput_data()
{
    QTest::addColumn<AnalogCase>("c");
    // Channel g = 1: signal type at [1], limits at [4..7], flags at [2], [3].
    QTest::newRow("whole image") << AnalogCase{{0, 2},
                                               {0, 0, 0, 0, 0x0000, 0xC128, 0x0000, 0x4148},
                                               {0, 0, 0x0050, 0x1234},
                                               {},
                                               2,
                                               -10.5f,
                                               12.5f,
                                               1,
                                               1,
                                               ValueFloat32,
                                               0,
                                               {0, 2},
                                               {0, 0, 0, 0, 0x0000, 0xC128, 0x0000, 0x4148},
                                               {0, 0, 0x0050, 0x0000},
                                               {}};
    QTest::newRow("limits block missing, the rest still decoded")
        << AnalogCase{{0, 3}, {}, {0, 0, 0x00A0, 0}, {}, 3, 0.0f, 100.0f, 2, 2, ValueInt32, 0,
                      {0, 3}, {}, {0, 0, 0x00A0, 0}, {}};
    QTest::newRow("types block missing") << AnalogCase{{},
                                                       {0, 0, 0, 0, 0x0000, 0x3F80, 0x0000, 0x42C8},
                                                       {0, 0, 0x00D0, 0},
                                                       {},
                                                       0,
                                                       1.0f,
                                                       100.0f,
                                                       1,
                                                       3,
                                                       ValueFloat32,
                                                       0,
                                                       {},
                                                       {0, 0, 0, 0, 0x0000, 0x3F80, 0x0000, 0x42C8},
                                                       {0, 0, 0x00D0, 0},
                                                       {}};
    QTest::newRow("tables too short for g")
        << AnalogCase{{5}, {1, 2, 3, 4}, {0x0010, 9}, {}, 0, 0.0f, 100.0f, 0, 0, ValueInt16, 0,
                      {5}, {1, 2, 3, 4}, {0x0010, 9}, {}};
}

void TestChannels::analogInput()
{
    QFETCH(AnalogCase, c);
    AnalogInput channel(1, nullptr);
    ModuleTables image;
    image.setTypesValueAITable(c.types);
    image.setLimitsAITable(c.limits);
    image.setFlagsAITable(c.flags);
    channel.fromTables(image);

    QCOMPARE(channel.value("Тип сигнала").toInt(), c.signal);
    QCOMPARE(channel.value("Нижний предел").toFloat(), c.lower);
    QCOMPARE(channel.value("Верхний предел").toFloat(), c.upper);
    QCOMPARE(channel.value("Формат данных").toInt(), c.format);
    QCOMPARE(channel.value("Множитель").toInt(), c.multiplier);
    QCOMPARE(channel.property("Значение канала в ед. изм.")->valueType(), c.valueType);
    QVERIFY(!channel.isChanged());

    channel.property("Формат данных")->setChanged(true);
    const ModuleTables encoded = channel.toTables(image);
    QCOMPARE(encoded.typesValueAITable(), c.typesOut);
    QCOMPARE(encoded.limitsAITable(), c.limitsOut);
    QCOMPARE(encoded.flagsAITable(), c.flagsOut);
    QVERIFY(!channel.isChanged());
}

void TestChannels::analogOutput_data()
{
    QTest::addColumn<AnalogCase>("c");
    // Channel g = 0 of the analog-output tables.
    QTest::newRow("whole image") << AnalogCase{{1},
                                               {0x0000, 0xC128, 0x0000, 0x42C8},
                                               {0x0040, 0x7777},
                                               {0x0000, 0x4148},
                                               1,
                                               -10.5f,
                                               100.0f,
                                               0,
                                               1,
                                               ValueInt16,
                                               12.5f,
                                               {1},
                                               {0x0000, 0xC128, 0x0000, 0x42C8},
                                               {0x0040, 0},
                                               {0x0000, 0x4148}};
    QTest::newRow("block-value block missing, the rest still decoded")
        << AnalogCase{{2},
                      {0x0000, 0x3F80, 0x0000, 0x4148},
                      {0x0010, 0},
                      {},
                      2,
                      1.0f,
                      12.5f,
                      1,
                      0,
                      ValueFloat32,
                      0.0f,
                      {2},
                      {0x0000, 0x3F80, 0x0000, 0x4148},
                      {0x0010, 0},
                      {}};
    QTest::newRow("only block values")
        << AnalogCase{{}, {}, {}, {0x0000, 0x40E8}, 0, 0.0f, 100.0f, 0, 0, ValueInt16, 7.25f,
                      {}, {}, {}, {0x0000, 0x40E8}};
}

void TestChannels::analogOutput()
{
    QFETCH(AnalogCase, c);
    AnalogOutput channel(0, nullptr);
    ModuleTables image;
    image.setTypesValueAOTable(c.types);
    image.setLimitsAOTable(c.limits);
    image.setFlagsAOTable(c.flags);
    image.setBlockValuesAOTable(c.block);
    channel.fromTables(image);

    QCOMPARE(channel.value("Тип сигнала").toInt(), c.signal);
    QCOMPARE(channel.value("Нижний предел").toFloat(), c.lower);
    QCOMPARE(channel.value("Верхний предел").toFloat(), c.upper);
    QCOMPARE(channel.value("Формат данных").toInt(), c.format);
    QCOMPARE(channel.value("Множитель").toInt(), c.multiplier);
    QCOMPARE(channel.value("Блокировочное значение").toFloat(), c.blockValue);
    QCOMPARE(channel.property("Значение канала в ед. изм.")->valueType(), c.valueType);

    const ModuleTables encoded = channel.toTables(image);
    QCOMPARE(encoded.typesValueAOTable(), c.typesOut);
    QCOMPARE(encoded.limitsAOTable(), c.limitsOut);
    QCOMPARE(encoded.flagsAOTable(), c.flagsOut);
    QCOMPARE(encoded.blockValuesAOTable(), c.blockOut);
}

void TestChannels::temperatureRawType_data()
{
    QTest::addColumn<QString>("signal");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("rawType");
    QTest::addColumn<int>("valueType");
    QTest::newRow("initial 0") << "0"
                               << "0" << int(ValueUInt16) << int(ValueInt16);
    QTest::newRow("resistance thermometer 7") << "7"
                                              << "1" << int(ValueUInt16) << int(ValueFloat32);
    QTest::newRow("last resistance code 8") << "8"
                                            << "0" << int(ValueUInt16) << int(ValueInt16);
    QTest::newRow("first thermocouple 9") << "9"
                                          << "2" << int(ValueInt16) << int(ValueInt32);
    QTest::newRow("thermocouple 12") << "12"
                                     << "0" << int(ValueInt16) << int(ValueInt16);
    QTest::newRow("millivolts 22") << "22"
                                   << "0" << int(ValueInt16) << int(ValueInt16);
    QTest::newRow("unknown 23") << "23"
                                << "0" << int(ValueUInt16) << int(ValueInt16);
}

void TestChannels::temperatureRawType()
{
    QFETCH(QString, signal);
    QFETCH(QString, format);
    QFETCH(int, rawType);
    QFETCH(int, valueType);
    TemperatureInput channel(3, nullptr);
    channel.fromJson({{"SIGNAL_TYPE", signal}, {"DATA_FORMAT", format}});
    const Property *raw = channel.property("Значение канала");
    const Property *engineering = channel.property("Значение канала в ед. изм.");
    QCOMPARE(raw->valueType(), rawType);
    QCOMPARE(raw->address(), 10007);
    QCOMPARE(raw->registerType(), int(RegisterInputRegisters));
    QCOMPARE(engineering->valueType(), valueType);
    QCOMPARE(engineering->address(), 6);
    QCOMPARE(channel.property("Тип сигнала")->enumNames().firstKey(), 4);
    QCOMPARE(channel.property("Тип сигнала")->address(), 1203);
}

void TestChannels::antibounce_data()
{
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("number");
    QTest::addColumn<Words>("table");
    QTest::addColumn<QVariant>("decoded");
    QTest::addColumn<QVariant>("edit");
    QTest::addColumn<Words>("encoded");

    QTest::newRow("g 18 switched on, other bits kept")
        << 18 << 2 << Words{0x0000, 0xFFFB} << QVariant(0) << QVariant(true)
        << Words{0x0000, 0xFFFF};
    QTest::newRow("g 18 switched off") << 18 << 2 << Words{0x1234, 0x0004} << QVariant(1)
                                       << QVariant(false) << Words{0x1234, 0x0000};
    QTest::newRow("g 3 off by the text false")
        << 3 << 3 << Words{0x0008} << QVariant(1) << QVariant(QStringLiteral("false"))
        << Words{0x0000};
    QTest::newRow("g 3 on by the text 1")
        << 3 << 3 << Words{0x8000} << QVariant(0) << QVariant(QStringLiteral("1")) << Words{0x8008};
    QTest::newRow("first input has no filter")
        << 0 << 0 << Words{0x0001} << QVariant() << QVariant(true) << Words{0x0001};
    QTest::newRow("table too short")
        << 18 << 2 << Words{0xFFFF} << QVariant(false) << QVariant(true) << Words{0xFFFF};
}

void TestChannels::antibounce()
{
    QFETCH(int, g);
    QFETCH(int, number);
    QFETCH(Words, table);
    QFETCH(QVariant, decoded);
    QFETCH(QVariant, edit);
    QFETCH(Words, encoded);

    DigitalInput channel(g, nullptr);
    channel.setValue("Номер канала", number);
    if (number == 2 || number == 3)
        channel.setValue("Антидребезг", false);
    ModuleTables image;
    image.setAntibounceDITable(table);
    channel.fromTables(image);
    QCOMPARE(channel.value("Антидребезг"), decoded);

    if (decoded.isValid())
        channel.setValue("Антидребезг", edit);
    QCOMPARE(channel.toTables(image).antibounceDITable(), encoded);
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
        << Words{10, 20, 30, 250} << Words{0, 0, 0, 0xFF00} << 250 << true << QVariant(500)
        << Words{10, 20, 30, 500} << Words{0, 0, 0, 1};
    QTest::newRow("PWM -1 from a file keeps the word")
        << Words{10, 20, 30, 250} << Words{1, 1, 1, 0} << 250 << false
        << QVariant(QStringLiteral("-1")) << Words{10, 20, 30, 250} << Words{1, 1, 1, 0};
    QTest::newRow("PWM 70000 keeps the word")
        << Words{0, 0, 0, 7} << Words{0, 0, 0, 1} << 7 << true << QVariant(QStringLiteral("70000"))
        << Words{0, 0, 0, 7} << Words{0, 0, 0, 1};
    QTest::newRow("PWM block missing, block value still decoded")
        << Words{} << Words{0, 0, 0, 1} << 0 << true << QVariant(9) << Words{} << Words{0, 0, 0, 1};
}

void TestChannels::digitalOutput()
{
    QFETCH(Words, pwm);
    QFETCH(Words, block);
    QFETCH(int, decodedPwm);
    QFETCH(bool, decodedBlock);
    QFETCH(QVariant, pwmEdit);
    QFETCH(Words, pwmOut);
    QFETCH(Words, blockOut);

    DigitalOutput channel(3, nullptr);
    ModuleTables image;
    image.setPwmDOTable(pwm);
    image.setBlockValuesDOTable(block);
    channel.fromTables(image);
    QCOMPARE(channel.value("Значение ШИМ").toInt(), decodedPwm);
    QCOMPARE(channel.value("Блокировочное значение").toBool(), decodedBlock);

    channel.setValue("Значение ШИМ", pwmEdit);
    const ModuleTables encoded = channel.toTables(image);
    QCOMPARE(encoded.pwmDOTable(), pwmOut);
    QCOMPARE(encoded.blockValuesDOTable(), blockOut);
}

void TestChannels::numbersFromFile_data()
{
    QTest::addColumn<QJsonValue>("number");
    QTest::addColumn<int>("expected");
    QTest::newRow("7") << QJsonValue("7") << 7;
    QTest::newRow("1023") << QJsonValue("1023") << 1023;
    QTest::newRow("1024 rejected") << QJsonValue("1024") << 5;
    QTest::newRow("-1 rejected") << QJsonValue("-1") << 5;
    QTest::newRow("text rejected") << QJsonValue("abc") << 5;
    QTest::newRow("fraction rejected") << QJsonValue("1.5") << 5;
    QTest::newRow("JSON number rejected") << QJsonValue(9) << 5;
}

void TestChannels::numbersFromFile()
{
    QFETCH(QJsonValue, number);
    QFETCH(int, expected);
    AnalogInput channel(5, nullptr);
    channel.setValue("Номер канала", 5);
    channel.fromJson({{"NUMBER_GLOBAL", number}, {"NUMBER", number}});
    QCOMPARE(channel.value("Глобальный номер канала").toInt(), expected);
    QCOMPARE(channel.value("Номер канала").toInt(), expected);
}

void TestChannels::analogJson()
{
    AnalogOutput source(1, nullptr);
    source.setValue("Нижний предел", -10.5f);
    source.setValue("Блокировочное значение", 7.25f);
    source.setValue("Формат данных", 2);
    const QJsonObject obj = source.toJson();
    QCOMPARE(obj.value("TYPE_CHANNEL"), QJsonValue("1"));
    QCOMPARE(obj.value("NUMBER_GLOBAL"), QJsonValue("1"));
    QCOMPARE(obj.value("LOWER_LIMIT"), QJsonValue("-10.5"));
    QCOMPARE(obj.value("UPPER_LIMIT"), QJsonValue("100"));
    QCOMPARE(obj.value("DATA_FORMAT"), QJsonValue("2"));
    QCOMPARE(obj.value("BLOCK_VALUE"), QJsonValue("7.25"));
    QCOMPARE(obj.size(), 9);

    AnalogOutput loaded(1, nullptr);
    loaded.fromJson(obj);
    QCOMPARE(loaded.property("Значение канала в ед. изм.")->valueType(), int(ValueInt32));
    QVERIFY(!loaded.isChanged());
    ModuleTables image;
    image.setBlockValuesAOTable(Words(4, 0));
    image.setLimitsAOTable(Words(8, 0));
    const ModuleTables encoded = loaded.toTables(image);
    QCOMPARE(encoded.blockValuesAOTable(), (Words{0, 0, 0x0000, 0x40E8}));
    QCOMPARE(encoded.limitsAOTable(), (Words{0, 0, 0, 0, 0x0000, 0xC128, 0x0000, 0x42C8}));
}

void TestChannels::discreteJson()
{
    DigitalOutput output(4, nullptr);
    output.setValue("Номер канала", 2);
    output.setValue("Значение ШИМ", 250);
    output.setValue("Блокировочное значение", true);
    const QJsonObject saved = output.toJson();
    QCOMPARE(saved, (QJsonObject{{"PWM", "250"}, {"BLOCK_VALUE", true}}));

    DigitalOutput loaded(4, nullptr);
    loaded.setValue("Номер канала", 2);
    loaded.fromJson(saved);
    QCOMPARE(loaded.value("Значение ШИМ").toInt(), 250);
    QCOMPARE(loaded.value("Блокировочное значение"), QVariant(true));
    QCOMPARE(loaded.value("Номер канала").toInt(), 2);
    loaded.fromJson({{"BLOCK_VALUE", "1"}});
    QCOMPARE(loaded.value("Блокировочное значение"), QVariant(false));

    DigitalInput first(0, nullptr);
    QVERIFY(!first.toJson().contains("ANTIBOUNCE"));
    first.fromJson({{"ANTIBOUNCE", "true"}});
    QVERIFY(!first.value("Антидребезг").isValid());

    DigitalInputCounting counting(4, nullptr);
    counting.setValue("Номер канала", 2);
    counting.fromJson({{"NUMBER_GLOBAL", "0"}, {"NUMBER", "0"}});
    QCOMPARE(counting.value("Глобальный номер канала"), QVariant(4));
    QCOMPARE(counting.value("Номер канала"), QVariant(2));
}

void TestChannels::compareChannels()
{
    AnalogInput input(0, nullptr);
    AnalogInput otherInput(7, nullptr);
    AnalogOutput output(0, nullptr);
    TemperatureInput temperature(0, nullptr);
    QCOMPARE(input.compare(&otherInput), 0);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Type channel does not match "));
    QCOMPARE(input.compare(&output), 8);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Type channel does not match "));
    QCOMPARE(temperature.compare(&input), 8);
    Module module(1);
    QCOMPARE(input.compare(module.createSubmodule(9)), 7);
    QCOMPARE(input.compare(nullptr), 7);
}

void TestChannels::hostileGlobalNumber_data()
{
    QTest::addColumn<int>("g");
    QTest::newRow("-1") << -1;
    QTest::newRow("-17") << -17;
    QTest::newRow("1023") << 1023;
    QTest::newRow("INT_MAX") << INT_MAX;
    QTest::newRow("INT_MIN") << INT_MIN;
}

void TestChannels::hostileGlobalNumber()
{
    QFETCH(int, g);
    ModuleTables image;
    image.setTypesValueAITable(Words(2, 1));
    image.setLimitsAITable(Words(8, 2));
    image.setFlagsAITable(Words(4, 3));
    image.setTypesValueAOTable(Words(2, 4));
    image.setLimitsAOTable(Words(8, 5));
    image.setFlagsAOTable(Words(4, 6));
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
        channel->setValue("Номер канала", 2);
        channel->setValue("Антидребезг", true);
        channel->setValue("Глобальный номер канала", g);
        channel->setValue("Тип сигнала", 12); // re-derives register attributes from g
        channel->fromTables(image);
        const ModuleTables encoded = channel->toTables(image);
        QCOMPARE(encoded.typesValueAITable(), image.typesValueAITable());
        QCOMPARE(encoded.limitsAITable(), image.limitsAITable());
        QCOMPARE(encoded.flagsAITable(), image.flagsAITable());
        QCOMPARE(encoded.limitsAOTable(), image.limitsAOTable());
        QCOMPARE(encoded.blockValuesAOTable(), image.blockValuesAOTable());
        QCOMPARE(encoded.antibounceDITable(), image.antibounceDITable());
        QCOMPARE(encoded.pwmDOTable(), image.pwmDOTable());
        QCOMPARE(encoded.blockValuesDOTable(), image.blockValuesDOTable());
    }
}

QTEST_GUILESS_MAIN(TestChannels)
#include "tst_channels.moc"
