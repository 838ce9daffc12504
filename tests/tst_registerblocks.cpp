// SPDX-License-Identifier: GPL-3.0-or-later
#include "registerblocks.h"
#include "requesterror.h"

#include <QtTest>

Q_DECLARE_METATYPE(QModbusDataUnit)

namespace {

ModuleTables tablesWithSlots(const QVector<quint16> &codes)
{
    QVector<quint16> words(ModuleTables::ModuleBlockSize, 0);
    for (int i = 0; i < codes.size(); ++i)
        words[ModuleTables::FirstSlotWord + i] = codes.at(i);
    ModuleTables tables;
    tables.setModuleTable(words);
    return tables;
}

// Requests written out as "<type> <C|H> <address> <count>" for reads and
// "<type> <C|H> <address>=<value hex>" for writes, the command writes as "cmd".
QString describe(const QVector<ModbusRequest> &requests)
{
    QStringList lines;
    for (const ModbusRequest &request : requests) {
        const QModbusDataUnit &unit = request.unit;
        QString line = QString("%1 %2 %3")
                           .arg(request.type == EnableWriteEeprom ? QString("cmd")
                                                                  : QString::number(request.type))
                           .arg(unit.registerType() == QModbusDataUnit::Coils ? "C" : "H")
                           .arg(unit.startAddress());
        line += request.type < wT300 ? QString(" %1").arg(unit.valueCount())
                                     : QString("=%1").arg(unit.value(0), 0, 16);
        lines << line;
    }
    return lines.join(", ");
}

} // namespace

class TestRegisterBlocks : public QObject
{
    Q_OBJECT

private slots:
    void channelReads_data();
    void channelReads();
    void writeRequests_data();
    void writeRequests();
    void linkChanged_data();
    void linkChanged();
    void resultMatches_data();
    void resultMatches();
    void errorText_withoutExceptionCode();
    void blockNames();
};

void TestRegisterBlocks::channelReads_data()
{
    QTest::addColumn<QVector<quint16>>("slotCodes");
    QTest::addColumn<QString>("expected");

    // rT300 3, rT400 4, rT800 5, rT1200AI 6, rT600AO 7, rT1000AO 8, rT1000DO 9,
    // rT1300 10, rT1400 11, rT1600 12
    QTest::newRow("AIO DI DO4") << QVector<quint16>{5, 0, 6, 0, 0, 1}
                                << "3 H 300 1, 4 H 400 4, 5 H 800 8, 6 H 1200 2, "
                                   "7 H 600 4, 8 H 1000 8, 9 C 1000 4, "
                                   "10 H 1300 4, 11 H 1400 2, 12 H 1600 4";
    QTest::newRow("18 inputs, two antibounce words")
        << QVector<quint16>{10, 10, 10, 0, 0, 0} << "3 H 300 2";
    QTest::newRow("unknown board and ENI2") << QVector<quint16>{12, 9, 0, 0, 0, 0} << "";
}

void TestRegisterBlocks::channelReads()
{
    QFETCH(QVector<quint16>, slotCodes);
    QFETCH(QString, expected);
    const QVector<ModbusRequest> requests
        = RegisterBlocks::channelReadRequests(tablesWithSlots(slotCodes), 5);
    QCOMPARE(describe(requests), expected);
    for (const ModbusRequest &request : requests)
        QCOMPARE(request.serverAddress, 5);
}

struct WriteRow
{
    int block;
    ModuleTables image;
    ModuleTables snapshot;
    bool changedOnly;
    QString expected;
};
Q_DECLARE_METATYPE(WriteRow)

void TestRegisterBlocks::writeRequests_data()
{
    QTest::addColumn<WriteRow>("row");

    ModuleTables coils;
    coils.setBlockValuesDOTable({1, 0, 2, 1});
    ModuleTables coilsBefore;
    coilsBefore.setBlockValuesDOTable({1, 0, 0, 0});
    QTest::newRow("coils: 1 is on, anything else off")
        << WriteRow{wT1000DO, coils, ModuleTables(), false,
                    "cmd H 2016=6c31, 20 C 1000=ff00, cmd H 2016=6c31, 20 C 1001=0, "
                    "cmd H 2016=6c31, 20 C 1002=0, cmd H 2016=6c31, 20 C 1003=ff00"};
    // 2 and 0 are both off, so only coil 1003 changes.
    QTest::newRow("coils changed: snapshot encoded alike")
        << WriteRow{wT1000DO, coils, coilsBefore, true, "cmd H 2016=6c31, 20 C 1003=ff00"};

    ModuleTables limits;
    limits.setLimitsAITable({0x0000, 0x3F80, 0x0000, 0x4148});
    ModuleTables limitsBefore;
    limitsBefore.setLimitsAITable({0x0000, 0x3F80});
    QTest::newRow("changed: beyond the snapshot counts as changed")
        << WriteRow{wT800, limits, limitsBefore, true,
                    "cmd H 2016=6c31, 16 H 802=0, cmd H 2016=6c31, 16 H 803=4148"};
}

void TestRegisterBlocks::writeRequests()
{
    QFETCH(WriteRow, row);
    const QVector<ModbusRequest> requests
        = RegisterBlocks::writeRequests(row.block, row.image, row.snapshot, row.changedOnly, 4);
    QCOMPARE(describe(requests), row.expected);
    for (const ModbusRequest &request : requests) {
        QCOMPARE(request.serverAddress, 4);
        QCOMPARE(int(request.unit.valueCount()), 1);
    }
}

void TestRegisterBlocks::linkChanged_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<bool>("changed");

    QTest::newRow("word 4") << 4 << false;
    QTest::newRow("address word 5") << 5 << true;
    QTest::newRow("port word 6") << 6 << true;
}

void TestRegisterBlocks::linkChanged()
{
    QFETCH(int, word);
    QFETCH(bool, changed);

    const ModuleTables before = tablesWithSlots({4, 0, 0, 0, 0, 0});
    QVector<quint16> words = before.moduleTable();
    words[word] += 1;
    ModuleTables encoded = before;
    encoded.setModuleTable(words);
    QCOMPARE(RegisterBlocks::linkChanged(before, encoded), changed);
    // Without a module block before encoding the words cannot be known unchanged.
    QVERIFY(RegisterBlocks::linkChanged(ModuleTables(), encoded));
    QVERIFY(!RegisterBlocks::linkChanged(before, ModuleTables()));
}

void TestRegisterBlocks::resultMatches_data()
{
    QTest::addColumn<QModbusDataUnit>("result");
    QTest::addColumn<bool>("matches");

    using U = QModbusDataUnit;
    QTest::newRow("same block") << U(U::HoldingRegisters, 800, 8) << true;
    QTest::newRow("type not named") << U(U::Invalid, 800, 8) << true;
    QTest::newRow("fewer values") << U(U::HoldingRegisters, 800, 7) << false;
    QTest::newRow("more values") << U(U::HoldingRegisters, 800, 9) << false;
    QTest::newRow("other address") << U(U::HoldingRegisters, 400, 8) << false;
    QTest::newRow("coils at the same address") << U(U::Coils, 800, 8) << false;
}

void TestRegisterBlocks::resultMatches()
{
    QFETCH(QModbusDataUnit, result);
    QFETCH(bool, matches);
    const QModbusDataUnit request(QModbusDataUnit::HoldingRegisters, 800, 8);
    QCOMPARE(RegisterBlocks::resultMatches(request, result), matches);
}

// A protocol error without an exception code is reported, not read past its end.
void TestRegisterBlocks::errorText_withoutExceptionCode()
{
    QCOMPARE(requestErrorText(rT300, QModbusDevice::ProtocolError, "x", QModbusResponse()),
             QString("Ошибка запроса rT300: x (Mobus exception: 0xff)"));
}

void TestRegisterBlocks::blockNames()
{
    QCOMPARE(typeResponseName(wT2000), QStringLiteral("wT2000"));
    QCOMPARE(typeResponseName(24), QStringLiteral("UnknownTypeResponse"));
}

QTEST_GUILESS_MAIN(TestRegisterBlocks)
#include "tst_registerblocks.moc"
