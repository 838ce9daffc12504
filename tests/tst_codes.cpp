// SPDX-License-Identifier: GPL-3.0-or-later
#include "codes.h"

#include <QMetaType>
#include <QtTest>

using NameFunction = QString (*)(int);
Q_DECLARE_METATYPE(NameFunction)

class TestCodes : public QObject
{
    Q_OBJECT

private slots:
    void names_data();
    void names();
    void bitField_data();
    void bitField();
    void floatWords_data();
    void floatWords();
    void typeChannelIsRegistered();
};

void TestCodes::names_data()
{
    QTest::addColumn<NameFunction>("function");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    // The ends of each table and the gaps in it.
    QTest::newRow("empty slot") << &submoduleTypeName << 0 << "Неизвестный";
    QTest::newRow("channel 5") << &channelTypeName << 5 << "Регистр частоты импульсов ШИМ";
    QTest::newRow("signal 11 two blanks") << &signalTypeName << 11 << "Термопара  ТНН(N), ℃";
    QTest::newRow("signal 22") << &signalTypeName << 22 << "Милливольты. мВ";
    QTest::newRow("signal 23") << &signalTypeName << 23 << "Неизвестный";
    QTest::newRow("signal -1") << &signalTypeName << -1 << "Неизвестный";
    QTest::newRow("error bit 6") << &moduleErrorName << 6 << "Невосст. ошибка конфиг. в eeprom";
    QTest::newRow("slot 5") << &slotLetter << 5 << "F";
    QTest::newRow("slot 6") << &slotLetter << 6 << "-";
}

void TestCodes::names()
{
    QFETCH(NameFunction, function);
    QFETCH(int, code);
    QTEST(function(code), "text");
}

void TestCodes::bitField_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("value");
    QTest::newRow("0xA5C3 bits 4-7") << 0xA5C3 << 4 << 4 << 0xC;
    QTest::newRow("top bit") << 0x8000 << 15 << 1 << 1;
    QTest::newRow("whole word") << 0xBEEF << 0 << 16 << 0xBEEF;
}

void TestCodes::bitField()
{
    QFETCH(int, word);
    QFETCH(int, first);
    QFETCH(int, count);
    QTEST(int(bitsToValue(wordToBits(quint16(word)).mid(first, count))), "value");
}

void TestCodes::floatWords_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    // The low word travels first.
    QTest::newRow("-10.5") << -10.5f << 0x0000 << 0xC128;
    QTest::newRow("0.1") << 0.1f << 0xCCCD << 0x3DCC;
}

void TestCodes::floatWords()
{
    QFETCH(float, value);
    QFETCH(int, low);
    QFETCH(int, high);
    quint16 words[2] = {};
    floatToWords(value, &words[0], &words[1]);
    QCOMPARE(int(words[0]), low);
    QCOMPARE(int(words[1]), high);
    QCOMPARE(wordsToFloat(quint16(low), quint16(high)), value);
}

// Queued signals carry the channel kind.
void TestCodes::typeChannelIsRegistered()
{
    QVERIFY(QMetaType::type("TypeChannel") != QMetaType::UnknownType);
}

QTEST_GUILESS_MAIN(TestCodes)
#include "tst_codes.moc"
