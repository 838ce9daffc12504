// SPDX-License-Identifier: GPL-3.0-or-later
#include "moduletables.h"

#include <QtTest>

class TestModuleTables : public QObject
{
    Q_OBJECT

private slots:
    void counts_data();
    void counts();
    void dottedAddress_data();
    void dottedAddress();
};

void TestModuleTables::counts_data()
{
    QTest::addColumn<QVector<quint16>>("slotWords");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<QVector<int>>("counts"); // submodules, AI, AO, DI, DO

    QTest::newRow("AI AIO - DI TMP -")
        << QVector<quint16>{4, 5, 0, 6, 7, 0} << 23 << QVector<int>{4, 8, 2, 4, 0};
    QTest::newRow("unknown code 12")
        << QVector<quint16>{12, 0, 0, 0, 0, 0} << 23 << QVector<int>{1, 0, 0, 0, 0};
    QTest::newRow("outputs and ENI2")
        << QVector<quint16>{1, 2, 3, 8, 9, 10} << 23 << QVector<int>{6, 0, 0, 6, 14};
    QTest::newRow("short block") << QVector<quint16>{4, 4, 4, 4, 4, 4} << 22
                                 << QVector<int>{0, 0, 0, 0, 0};
}

void TestModuleTables::counts()
{
    QFETCH(QVector<quint16>, slotWords);
    QFETCH(int, blockSize);
    QFETCH(QVector<int>, counts);

    QVector<quint16> block(23, 0);
    for (int i = 0; i < slotWords.size(); ++i)
        block[17 + i] = slotWords.at(i);
    block.resize(blockSize);

    ModuleTables tables;
    tables.setModuleTable(block);
    QCOMPARE(tables.moduleTable(), block);
    QCOMPARE(tables.countSubmodules(), counts.at(0));
    QCOMPARE(tables.countAI(), counts.at(1));
    QCOMPARE(tables.countAO(), counts.at(2));
    QCOMPARE(tables.countDI(), counts.at(3));
    QCOMPARE(tables.countDO(), counts.at(4));
}

void TestModuleTables::dottedAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");
    QTest::newRow("192.168.0.255") << "192.168.0.255" << true << 0xC0A8 << 0x00FF;
    QTest::newRow("octet 256") << "10.0.3.256" << false << 0 << 0;
    QTest::newRow("three octets") << "10.0.3" << false << 0 << 0;
    QTest::newRow("negative octet") << "10.0.-1.7" << false << 0 << 0;
}

void TestModuleTables::dottedAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    quint16 high = 0;
    quint16 low = 0;
    QCOMPARE(ModuleTables::dottedToWords(text, &high, &low), valid);
    QTEST(int(high), "high");
    QTEST(int(low), "low");
    if (valid)
        QCOMPARE(ModuleTables::wordsToDotted(high, low), text);
}

QTEST_GUILESS_MAIN(TestModuleTables)
#include "tst_moduletables.moc"
