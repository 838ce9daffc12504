// SPDX-License-Identifier: GPL-3.0-or-later
#include "channel.h"
#include "module.h"
#include "submodule.h"

#include <QtTest>

namespace {

// Module block written from the register layout: type 1, firmware 2.1,
// error bits 0, 1 and 5, lock time-out 1.5 s, address 17, 9600 baud with odd
// parity, delay 5 ms, IP 10.20.30.40, mask 255.255.255.0, gateway 10.20.30.1.
QVector<quint16> sampleBlock()
{
    return {1,      0,      21,     0x0023, 15, 17, 0x00C6, 5, 0, 0, 0x0A14, 0x1E28,
            0xFFFF, 0xFF00, 0x0A14, 0x1E01, 0,  4,  0,      4, 7, 0, 11};
}

// Per slot letter, the global numbers of the board's channels.
QMap<QString, QVector<int>> numbersBySlot(const Module &module)
{
    QMap<QString, QVector<int>> result;
    for (Submodule *board : module.submodules()) {
        QVector<int> numbers;
        for (Channel *channel : board->channels())
            numbers << channel->value("Глобальный номер канала").toInt();
        result.insert(QString(QChar('A' + board->value("Слот субмодуля").toInt())), numbers);
    }
    return result;
}

ModuleTables tablesOf(const QVector<quint16> &block)
{
    ModuleTables tables;
    tables.setModuleTable(block);
    return tables;
}

} // namespace

using Steps
    = QVector<QPair<int, int>>; // board type placed in a slot; type 0 removes the slot's board
using Numbers = QMap<QString, QVector<int>>;
Q_DECLARE_METATYPE(Numbers)

class TestModule : public QObject
{
    Q_OBJECT

private slots:
    void decodesModuleBlock_data();
    void decodesModuleBlock();
    void decodesSlots_data();
    void decodesSlots();
    void encodesModuleBlockWordForWord();
    void lockTimeoutSurvivesRoundTrip();
    void outOfRangeValueKeepsWord_data();
    void outOfRangeValueKeepsWord();
    void newModuleWritesConsistentPortWord();
    void placedBoardsNumberedBySlot_data();
    void placedBoardsNumberedBySlot();
    void compare_data();
    void compare();
};

void TestModule::decodesModuleBlock_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("firmware") << "Версия ПО" << QVariant(QStringLiteral("2.1"));
    QTest::newRow("errors") << "Признаки имеющихся ошибок" << QVariant(QStringLiteral("35"));
    QTest::newRow("lock time-out")
        << "Таймаут включения блокировки, с" << QVariant(QStringLiteral("1.5"));
    QTest::newRow("address") << "Адрес MODBUS" << QVariant(QStringLiteral("17"));
    QTest::newRow("delay") << "Задержка ответа, мс" << QVariant(QStringLiteral("5"));
    QTest::newRow("baud") << "Скорость, бит/с" << QVariant(6);
    QTest::newRow("parity") << "Четность, стоп-биты" << QVariant(3);
    QTest::newRow("ip") << "IP-адрес" << QVariant(QStringLiteral("10.20.30.40"));
}

void TestModule::decodesModuleBlock()
{
    QFETCH(QString, name);
    QFETCH(QVariant, expected);
    Module module(1);
    module.fromTables(tablesOf(sampleBlock()));
    const QVariant actual = module.value(name);
    QCOMPARE(actual.userType(), expected.userType());
    QCOMPARE(actual, expected);
    QVERIFY(!module.isChanged());
}

void TestModule::decodesSlots_data()
{
    QTest::addColumn<QVector<quint16>>("slotWords");
    QTest::addColumn<int>("blockSize");
    // Per created board: type, slot, ordinal (-1 when the board has none).
    QTest::addColumn<QVector<QVector<int>>>("boards");

    QTest::newRow("AI - AI TMP - 11") << QVector<quint16>{4, 0, 4, 7, 0, 11} << 23
                                      << QVector<QVector<int>>{{4, 0, 0}, {4, 2, 1}, {7, 3, 0}};
    QTest::newRow("DO6 ENI2 DI6 take no ordinal")
        << QVector<quint16>{0, 8, 9, 10, 0, 1} << 23
        << QVector<QVector<int>>{{8, 1, -1}, {9, 2, -1}, {10, 3, -1}, {1, 5, 0}};
}

void TestModule::decodesSlots()
{
    QFETCH(QVector<quint16>, slotWords);
    QFETCH(int, blockSize);
    QFETCH(QVector<QVector<int>>, boards);

    QVector<quint16> block(23, 0);
    for (int i = 0; i < 6; ++i)
        block[17 + i] = slotWords.at(i);
    block.resize(blockSize);
    Module module(1);
    module.fromTables(tablesOf(block));

    const QList<Submodule *> found = module.submodules();
    QCOMPARE(found.size(), boards.size());
    for (int i = 0; i < boards.size(); ++i) {
        QCOMPARE(found.at(i)->submoduleType(), boards.at(i).at(0));
        QCOMPARE(found.at(i)->value("Слот субмодуля"), QVariant(boards.at(i).at(1)));
        const QVariant ordinal = found.at(i)->value("Порядковый номер субмодуля данного типа");
        if (boards.at(i).at(2) < 0)
            QVERIFY(!ordinal.isValid());
        else
            QCOMPARE(ordinal, QVariant(boards.at(i).at(2)));
    }
}

void TestModule::encodesModuleBlockWordForWord()
{
    const QVector<quint16> block = sampleBlock();
    Module module(1);
    module.fromTables(tablesOf(block));
    QCOMPARE(module.toTables(tablesOf(block)).moduleTable(), block);

    module.setValue("Таймаут включения блокировки, с", QStringLiteral("0.29"));
    module.setValue("Адрес MODBUS", QStringLiteral("247"));
    module.setValue("Настройка последовательного порта RS-485", 0x0007);
    module.setValue("Задержка ответа, мс", QStringLiteral("abc"));
    module.setValue("GATE-2", 7682);
    QVector<quint16> expected = block;
    expected[4] = 2; // tenths truncated toward zero
    expected[5] = 247;
    expected[6] = 0x0007;
    expected[7] = 0; // text that is not a number reads as 0
    expected[15] = 0x1E02;
    const ModuleTables encoded = module.toTables(tablesOf(block));
    QCOMPARE(encoded.moduleTable(), expected);
    QCOMPARE(encoded.countAI(), 10); // recounted from the slot words
}

void TestModule::lockTimeoutSurvivesRoundTrip()
{
    // Reading a unit and writing it back must not move any time-out by a tenth.
    QVector<quint16> block(23, 0);
    Module module(1);
    for (int word = 0; word <= 0xFFFF; ++word) {
        block[4] = quint16(word);
        module.fromTables(tablesOf(block));
        const quint16 written
            = module.toTables(tablesOf(QVector<quint16>(23, 0))).moduleTable().at(4);
        if (written != word)
            QFAIL(qPrintable(QStringLiteral("word %1 written back as %2").arg(word).arg(written)));
    }
}

void TestModule::outOfRangeValueKeepsWord_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("word");
    QTest::newRow("address 70000 from a file")
        << "Адрес MODBUS" << QVariant(QStringLiteral("70000")) << 5;
    QTest::newRow("time-out 6553.6")
        << "Таймаут включения блокировки, с" << QVariant(QStringLiteral("6553.6")) << 4;
    QTest::newRow("ip-1 65536") << "IP-1" << QVariant(65536) << 10;
    QTest::newRow("port word huge text") << "Настройка последовательного порта RS-485"
                                         << QVariant(QStringLiteral("99999999999999999999")) << 6;
}

void TestModule::outOfRangeValueKeepsWord()
{
    QFETCH(QString, name);
    QFETCH(QVariant, value);
    QFETCH(int, word);
    const QVector<quint16> block = sampleBlock();
    Module module(1);
    module.fromTables(tablesOf(block));
    module.setValue(name, value);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("out of 16-bit range"));
    const QVector<quint16> encoded = module.toTables(tablesOf(block)).moduleTable();
    QCOMPARE(encoded.at(word), block.at(word));
}

void TestModule::newModuleWritesConsistentPortWord()
{
    Module module(1);
    QCOMPARE(module.value("Настройка последовательного порта RS-485").toInt(), 3);
    QCOMPARE(module.value("Скорость, бит/с").toInt(), 3);
    QCOMPARE(module.value("Четность, стоп-биты").toInt(), 0);
    const QVector<quint16> encoded
        = module.toTables(tablesOf(QVector<quint16>(23, 0))).moduleTable();
    QCOMPARE(encoded.at(6), quint16(3));
    // Parity in the top bits, the baud code in the low five.
    module.setValue("Четность, стоп-биты", 3);
    module.updatePortWord();
    QCOMPARE(module.value("Настройка последовательного порта RS-485").toInt(), 3 * 64 + 3);
}

void TestModule::placedBoardsNumberedBySlot_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<Numbers>("numbers");

    QTest::newRow("AI to B, then AI to A")
        << Steps{{4, 1}, {4, 0}} << Numbers{{"A", {0, 1, 2, 3}}, {"B", {4, 5, 6, 7}}};
    QTest::newRow("removed and added again") << Steps{{4, 0}, {4, 1}, {0, 0}, {4, 0}}
                                             << Numbers{{"A", {0, 1, 2, 3}}, {"B", {4, 5, 6, 7}}};
    QTest::newRow("removal closes the gap")
        << Steps{{7, 0}, {5, 1}, {0, 0}} << Numbers{{"B", {0, 1, 0, 1}}};
    QTest::newRow("TMP to C, AIO to A")
        << Steps{{7, 2}, {5, 0}} << Numbers{{"A", {0, 1, 0, 1}}, {"C", {2, 3}}};
    // Counting registers: a DI board takes four numbers, a DI6 board six.
    QTest::newRow("DI6 to B, DI to A")
        << Steps{{10, 1}, {6, 0}}
        << Numbers{{"A", {0, 1, 2, 3, 0, 1}}, {"B", {4, 5, 6, 7, 8, 9, 4, 5}}};
    QTest::newRow("DI6 to A, DI to B")
        << Steps{{10, 0}, {6, 1}}
        << Numbers{{"A", {0, 1, 2, 3, 4, 5, 0, 1}}, {"B", {6, 7, 8, 9, 6, 7}}};
    QTest::newRow("DO6 to F, SIM to A")
        << Steps{{8, 5}, {2, 0}} << Numbers{{"A", {0, 1}}, {"F", {2, 3, 4, 5, 6, 7, 0, 1}}};
}

void TestModule::placedBoardsNumberedBySlot()
{
    QFETCH(Steps, steps);
    QFETCH(Numbers, numbers);

    Module module(1);
    for (const auto &step : steps) {
        if (step.first) {
            QVERIFY(module.placeSubmodule(step.first, step.second));
            continue;
        }
        for (Submodule *board : module.submodules()) {
            if (board->value("Слот субмодуля").toInt() == step.second)
                module.removeSubmodule(board);
        }
    }
    QCOMPARE(numbersBySlot(module), numbers);
}

void TestModule::compare_data()
{
    QTest::addColumn<int>("ownType");
    QTest::addColumn<Steps>("ownBoards");
    QTest::addColumn<int>("otherType");
    QTest::addColumn<Steps>("otherBoards");
    QTest::addColumn<int>("result");

    QTest::newRow("same") << 1 << Steps{{4, 0}, {5, 1}, {6, 2}, {8, 3}} << 1
                          << Steps{{4, 0}, {5, 1}, {6, 2}, {8, 3}} << 0;
    QTest::newRow("module types before boards") << 1 << Steps{{4, 0}} << 2 << Steps{{7, 0}} << 2;
    QTest::newRow("board count") << 1 << Steps{{4, 0}, {7, 1}} << 1 << Steps{{4, 0}} << 3;
    QTest::newRow("first board AI vs TMP") << 1 << Steps{{4, 0}} << 1 << Steps{{7, 0}} << 5;
    // Boards are paired by slot, whatever order they were added in.
    QTest::newRow("added in another order")
        << 1 << Steps{{7, 0}, {4, 1}} << 1 << Steps{{4, 1}, {7, 0}} << 0;
    QTest::newRow("same boards, other slots")
        << 1 << Steps{{4, 0}, {4, 1}} << 1 << Steps{{4, 0}, {4, 2}} << 5;
}

void TestModule::compare()
{
    QFETCH(int, ownType);
    QFETCH(Steps, ownBoards);
    QFETCH(int, otherType);
    QFETCH(Steps, otherBoards);
    QFETCH(int, result);

    Module own(ownType);
    for (const auto &board : ownBoards)
        own.createSubmodule(board.first)->setValue("Слот субмодуля", board.second);
    Module other(otherType);
    for (const auto &board : otherBoards)
        other.createSubmodule(board.first)->setValue("Слот субмодуля", board.second);
    QCOMPARE(own.compare(&other), result);
}

QTEST_GUILESS_MAIN(TestModule)
#include "tst_module.moc"
