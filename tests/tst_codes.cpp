#include "codes.h"

#include <QMetaType>
#include <QtTest>

#include <cmath>

class TestCodes : public QObject
{
    Q_OBJECT

private slots:
    void names_data();
    void names();
    void registerFunctionNumber_data();
    void registerFunctionNumber();
    void bitField_data();
    void bitField();
    void floatWords_data();
    void floatWords();
    void typeChannelIsRegistered();
};

using NameFunction = QString (*)(int);
Q_DECLARE_METATYPE(NameFunction)

void TestCodes::names_data()
{
    QTest::addColumn<NameFunction>("function");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    QTest::newRow("submodule 7") << &submoduleTypeName << 7 << "TMP";
    QTest::newRow("empty slot") << &submoduleTypeName << 0 << "Неизвестный";
    QTest::newRow("submodule 11") << &submoduleTypeName << 11 << "Неизвестный";
    QTest::newRow("channel 5") << &channelTypeName << 5 << "Регистр частоты импульсов ШИМ";
    QTest::newRow("channel 7") << &channelTypeName << 7 << "Неизвестный";
    QTest::newRow("value 3") << &valueTypeName << 3 << "Неизвестный";
    QTest::newRow("value 6") << &valueTypeName << 6 << "Неизвестный";
    QTest::newRow("value 10") << &valueTypeName << 10 << "Неизвестный";
    QTest::newRow("signal 7 cyrillic Em") << &signalTypeName << 7 << "Термосопр. 50М, ℃";
    QTest::newRow("signal 11 two blanks") << &signalTypeName << 11 << "Термопара  ТНН(N), ℃";
    QTest::newRow("signal 23") << &signalTypeName << 23 << "Неизвестный";
    QTest::newRow("signal -1") << &signalTypeName << -1 << "Неизвестный";
    QTest::newRow("module 1") << &moduleTypeName << 1 << "ВИРАТ7100.20 БРК";
    QTest::newRow("error bit 3") << &moduleErrorName << 3 << "Неизвестный тип";
    QTest::newRow("error bit 6") << &moduleErrorName << 6 << "Невосст. ошибка конфиг. в eeprom";
    QTest::newRow("slot 5") << &slotLetter << 5 << "F";
    QTest::newRow("slot 6") << &slotLetter << 6 << "-";
    QTest::newRow("slot -1") << &slotLetter << -1 << "-";
    QTest::newRow("response 2") << &typeResponseName << 2 << "rT2000";
    QTest::newRow("response 13") << &typeResponseName << 13 << "UnknownTypeResponse";
    QTest::newRow("response 24") << &typeResponseName << 24 << "UnknownTypeResponse";
    QTest::newRow("response 25") << &typeResponseName << 25 << "wT2000";
    QTest::newRow("response 26") << &typeResponseName << 26 << "UnknownTypeResponse";
    QTest::newRow("response 31") << &typeResponseName << 31 << "UnknownTypeResponse";
}

void TestCodes::names()
{
    QFETCH(NameFunction, function);
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(function(code), text);
}

void TestCodes::registerFunctionNumber_data()
{
    QTest::addColumn<int>("registerType");
    QTest::addColumn<int>("function");
    QTest::newRow("discrete inputs") << 1 << 1;
    QTest::newRow("coils") << 2 << 2;
    QTest::newRow("input registers") << 3 << 4;
    QTest::newRow("holding registers") << 4 << 3;
    QTest::newRow("invalid") << 0 << 0xFFFF;
    QTest::newRow("beyond") << 5 << 0xFFFF;
}

void TestCodes::registerFunctionNumber()
{
    QFETCH(int, registerType);
    QFETCH(int, function);
    QCOMPARE(int(::registerFunctionNumber(registerType)), function);
}

void TestCodes::bitField_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("value");
    QTest::newRow("0xA5C3 bits 4-7") << 0xA5C3 << 4 << 4 << 0xC;
    QTest::newRow("0x00C0 bits 6-7") << 0x00C0 << 6 << 2 << 3;
    QTest::newRow("0x001F bits 0-4") << 0x001F << 0 << 5 << 31;
    QTest::newRow("top bit") << 0x8000 << 15 << 1 << 1;
    QTest::newRow("whole word") << 0xBEEF << 0 << 16 << 0xBEEF;
    QTest::newRow("empty field") << 0xFFFF << 3 << 0 << 0;
}

void TestCodes::bitField()
{
    QFETCH(int, word);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(int, value);
    QCOMPARE(int(bitsToValue(wordToBits(quint16(word)).mid(first, count))), value);
}

void TestCodes::floatWords_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::newRow("1.0") << 1.0f << 0x0000 << 0x3F80;
    QTest::newRow("-10.5") << -10.5f << 0x0000 << 0xC128;
    QTest::newRow("12.5") << 12.5f << 0x0000 << 0x4148;
    QTest::newRow("100") << 100.0f << 0x0000 << 0x42C8;
    QTest::newRow("0.1") << 0.1f << 0xCCCD << 0x3DCC;
}

void TestCodes::floatWords()
{
    QFETCH(float, value);
    QFETCH(int, low);
    QFETCH(int, high);
    quint16 encodedLow = 0;
    quint16 encodedHigh = 0;
    floatToWords(value, &encodedLow, &encodedHigh);
    QCOMPARE(int(encodedLow), low);
    QCOMPARE(int(encodedHigh), high);
    QCOMPARE(wordsToFloat(quint16(low), quint16(high)), value);
}

void TestCodes::typeChannelIsRegistered()
{
    QVERIFY(QMetaType::type("TypeChannel") != QMetaType::UnknownType);
}

QTEST_GUILESS_MAIN(TestCodes)
#include "tst_codes.moc"
