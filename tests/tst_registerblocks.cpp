#include "registerblocks.h"
#include "requesterror.h"

#include <QModbusClient>
#include <QtTest>

Q_DECLARE_METATYPE(QModbusDataUnit)
Q_DECLARE_METATYPE(QModbusResponse)

namespace {

// A module block with the given slot codes for slots A..F.
QVector<quint16> moduleWithSlots(const QVector<quint16> &codes)
{
    QVector<quint16> words(ModuleTables::ModuleBlockSize, 0);
    for (int i = 0; i < codes.size(); ++i)
        words[ModuleTables::FirstSlotWord + i] = codes.at(i);
    return words;
}

ModuleTables tablesWithSlots(const QVector<quint16> &codes)
{
    ModuleTables tables;
    tables.setModuleTable(moduleWithSlots(codes));
    return tables;
}

// One request written out as "type regtype address count|value", e.g.
// "rT800 H 800 32" for a read or "wT1000DO C 1003 =ff00" for a write.
QString describe(const ModbusRequest &request)
{
    const QModbusDataUnit &unit = request.unit;
    const QString regType = unit.registerType() == QModbusDataUnit::Coils ? "C"
        : unit.registerType() == QModbusDataUnit::HoldingRegisters        ? "H"
                                                                          : "?";
    const QString name = request.type == EnableWriteEeprom ? QString("cmd")
                                                           : QString::number(request.type);
    QString text = QString("%1 %2 %3").arg(name, regType).arg(unit.startAddress());
    if (unit.values().isEmpty() || request.type < wT300)
        return text + QString(" %1").arg(unit.valueCount());
    return text + QString(" =%1").arg(unit.value(0), 0, 16);
}

QStringList describeAll(const QVector<ModbusRequest> &requests)
{
    QStringList lines;
    for (const ModbusRequest &request : requests)
        lines << describe(request);
    return lines;
}

} // namespace

class TestRegisterBlocks : public QObject
{
    Q_OBJECT

private slots:
    void channelReads_data();
    void channelReads();
    void storeRepliesIntoTheirTables();
    void writeRequests_data();
    void writeRequests();
    void fullWrite_putsModuleBlockLast();
    void linkChanged_data();
    void linkChanged();
    void resultMatches_data();
    void resultMatches();
    void errorTexts_data();
    void errorTexts();
    void typeResponseIsRegisteredByName();
};

void TestRegisterBlocks::channelReads_data()
{
    QTest::addColumn<QVector<quint16>>("slotCodes");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("server");

    // Type numbers: rT300 3, rT400 4, rT800 5, rT1200AI 6, rT600AO 7,
    // rT1000AO 8, rT1000DO 9, rT1300 10, rT1400 11, rT1600 12.
    // AIO AI DI TMP DO6 DO4: 8 AI, 2 AO, 4 DI, 10 DO.
    QTest::newRow("six boards") << QVector<quint16>{5, 4, 6, 7, 8, 1}
                                << QStringList{"3 H 300 1",   "4 H 400 16",  "5 H 800 32",
                                               "6 H 1200 8",  "7 H 600 4",   "8 H 1000 8",
                                               "9 C 1000 10", "10 H 1300 10", "11 H 1400 2",
                                               "12 H 1600 4"}
                                << 7;
    QTest::newRow("no analog outputs") << QVector<quint16>{4, 0, 6, 0, 0, 1}
                                       << QStringList{"3 H 300 1", "4 H 400 8", "5 H 800 16",
                                                      "6 H 1200 4", "9 C 1000 4", "10 H 1300 4"}
                                       << 1;
    QTest::newRow("16 inputs need one antibounce word")
        << QVector<quint16>{6, 6, 6, 6, 0, 0} << QStringList{"3 H 300 1"} << 1;
    QTest::newRow("18 inputs need two antibounce words")
        << QVector<quint16>{10, 10, 10, 0, 0, 0} << QStringList{"3 H 300 2"} << 1;
    QTest::newRow("empty unit") << QVector<quint16>{0, 0, 0, 0, 0, 0} << QStringList{} << 1;
    QTest::newRow("unknown board and ENI2") << QVector<quint16>{12, 9, 0, 0, 0, 0}
                                            << QStringList{} << 1;
}

void TestRegisterBlocks::channelReads()
{
    QFETCH(QVector<quint16>, slotCodes);
    QFETCH(QStringList, expected);
    QFETCH(int, server);

    const QVector<ModbusRequest> requests =
        RegisterBlocks::channelReadRequests(tablesWithSlots(slotCodes), server);
    QCOMPARE(describeAll(requests), expected);
    for (const ModbusRequest &request : requests)
        QCOMPARE(request.serverAddress, server);
}

void TestRegisterBlocks::storeRepliesIntoTheirTables()
{
    // Each read block fills its own table and no other.
    ModuleTables tables;
    for (int type = rT300; type <= rT1600; ++type)
        QVERIFY(RegisterBlocks::storeReadValues(type, {quint16(type)}, &tables));
    QVERIFY(!RegisterBlocks::storeReadValues(wT300, {1}, &tables));

    QCOMPARE(tables.antibounceDITable(), QVector<quint16>{3});
    QCOMPARE(tables.flagsAITable(), QVector<quint16>{4});
    QCOMPARE(tables.limitsAITable(), QVector<quint16>{5});
    QCOMPARE(tables.typesValueAITable(), QVector<quint16>{6});
    QCOMPARE(tables.flagsAOTable(), QVector<quint16>{7});
    QCOMPARE(tables.limitsAOTable(), QVector<quint16>{8});
    QCOMPARE(tables.blockValuesDOTable(), QVector<quint16>{9});
    QCOMPARE(tables.pwmDOTable(), QVector<quint16>{10});
    QCOMPARE(tables.typesValueAOTable(), QVector<quint16>{11});
    QCOMPARE(tables.blockValuesAOTable(), QVector<quint16>{12});

    // The module block recounts the channels.
    QVERIFY(RegisterBlocks::storeReadValues(rT2000, moduleWithSlots({5, 0, 0, 0, 0, 0}), &tables));
    QCOMPARE(tables.countAI(), 2);
    QCOMPARE(tables.countAO(), 2);
}

struct WriteRow
{
    int block;
    ModuleTables image;
    ModuleTables snapshot;
    bool changedOnly;
    QStringList expected;
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
                    {"cmd H 2016 =6c31", "20 C 1000 =ff00", "cmd H 2016 =6c31", "20 C 1001 =0",
                     "cmd H 2016 =6c31", "20 C 1002 =0", "cmd H 2016 =6c31", "20 C 1003 =ff00"}};
    // 2 and 0 are both off, so only coil 1003 changes.
    QTest::newRow("coils changed: snapshot encoded alike")
        << WriteRow{wT1000DO, coils, coilsBefore, true, {"cmd H 2016 =6c31", "20 C 1003 =ff00"}};

    ModuleTables limits;
    limits.setLimitsAITable({0x0000, 0x3F80, 0x0000, 0x4148});
    ModuleTables limitsBefore;
    limitsBefore.setLimitsAITable({0x0000, 0x3F80});
    QTest::newRow("changed: beyond the snapshot counts as changed")
        << WriteRow{wT800, limits, limitsBefore, true,
                    {"cmd H 2016 =6c31", "16 H 802 =0", "cmd H 2016 =6c31", "16 H 803 =4148"}};
    QTest::newRow("changed: nothing differs, nothing queued")
        << WriteRow{wT800, limits, limits, true, {}};
    QTest::newRow("full write ignores the snapshot")
        << WriteRow{wT800, limitsBefore, limitsBefore, false,
                    {"cmd H 2016 =6c31", "16 H 800 =0", "cmd H 2016 =6c31", "16 H 801 =3f80"}};

    QVector<quint16> words = moduleWithSlots({4, 0, 0, 0, 0, 0});
    for (int i = 4; i < 16; ++i)
        words[i] = quint16(0x100 + i);
    ModuleTables module;
    module.setModuleTable(words);
    QStringList moduleWrites;
    for (int i = 4; i < 16; ++i)
        moduleWrites << "cmd H 2016 =6c5b" << QString("25 H %1 =%2").arg(2000 + i).arg(0x100 + i, 0, 16);
    QTest::newRow("module block: words 4..15 armed by 0x6C5B")
        << WriteRow{wT2000, module, ModuleTables(), false, moduleWrites};

    ModuleTables moduleBefore = module;
    words[5] = 9;
    module.setModuleTable(words);
    QTest::newRow("module block changed: address word only")
        << WriteRow{wT2000, module, moduleBefore, true, {"cmd H 2016 =6c5b", "25 H 2005 =9"}};

    QTest::newRow("24 is no block") << WriteRow{24, module, ModuleTables(), false, {}};
}

void TestRegisterBlocks::writeRequests()
{
    QFETCH(WriteRow, row);
    const QVector<ModbusRequest> requests =
        RegisterBlocks::writeRequests(row.block, row.image, row.snapshot, row.changedOnly, 4);
    QCOMPARE(describeAll(requests), row.expected);
    for (const ModbusRequest &request : requests) {
        QCOMPARE(request.serverAddress, 4);
        QCOMPARE(int(request.unit.valueCount()), 1);
    }
}

void TestRegisterBlocks::fullWrite_putsModuleBlockLast()
{
    ModuleTables tables = tablesWithSlots({5, 0, 0, 0, 0, 1});
    tables.setAntibounceDITable({});
    tables.setFlagsAITable({1, 2, 3, 4});
    tables.setFlagsAOTable({5, 6, 7, 8});
    tables.setBlockValuesDOTable({1, 1, 0, 0});

    QStringList order;
    for (const ModbusRequest &request :
         RegisterBlocks::allWriteRequests(tables, ModuleTables(), false, 1)) {
        if (request.type != EnableWriteEeprom && (order.isEmpty() || order.last() != QString::number(request.type)))
            order << QString::number(request.type);
    }
    // wT400, wT600, wT1000DO, wT2000
    QCOMPARE(order, (QStringList{"15", "18", "20", "25"}));
}

void TestRegisterBlocks::linkChanged_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<bool>("changed");

    QTest::newRow("nothing") << -1 << false;
    QTest::newRow("word 4") << 4 << false;
    QTest::newRow("address word 5") << 5 << true;
    QTest::newRow("port word 6") << 6 << true;
    QTest::newRow("word 7") << 7 << false;
}

void TestRegisterBlocks::linkChanged()
{
    QFETCH(int, word);
    QFETCH(bool, changed);

    ModuleTables before = tablesWithSlots({4, 0, 0, 0, 0, 0});
    QVector<quint16> words = before.moduleTable();
    if (word >= 0)
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

void TestRegisterBlocks::errorTexts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("error");
    QTest::addColumn<QModbusResponse>("raw");
    QTest::addColumn<QString>("text");

    const QString exception = QModbusClient::tr("Modbus Exception Response.");
    QTest::newRow("exception 2")
        << int(rT800) << int(QModbusDevice::ProtocolError)
        << QModbusResponse(QModbusExceptionResponse(QModbusPdu::ReadHoldingRegisters,
                                                    QModbusPdu::IllegalDataAddress))
        << "Ошибка запроса rT800: x (Mobus exception: 0x2)";
    QTest::newRow("exception 0x0b in lower case")
        << int(wT1000DO) << int(QModbusDevice::ProtocolError)
        << QModbusResponse(QModbusExceptionResponse(QModbusPdu::WriteSingleCoil,
                                                    QModbusPdu::GatewayTargetDeviceFailedToRespond))
        << "Ошибка запроса wT1000DO: x (Mobus exception: 0xb)";
    QTest::newRow("protocol error without code")
        << int(rT300) << int(QModbusDevice::ProtocolError) << QModbusResponse()
        << "Ошибка запроса rT300: x (Mobus exception: 0xff)";
    QTest::newRow("timeout") << int(wT2000) << int(QModbusDevice::TimeoutError)
                             << QModbusResponse() << "Ошибка запроса wT2000: x (code: 0x5)";
    QTest::newRow("aborted, unnamed type") << 13 << int(QModbusDevice::ReplyAbortedError)
                                           << QModbusResponse()
                                           << "Ошибка запроса UnknownTypeResponse: x (code: 0x7)";
}

void TestRegisterBlocks::errorTexts()
{
    QFETCH(int, type);
    QFETCH(int, error);
    QFETCH(QModbusResponse, raw);
    QFETCH(QString, text);
    QCOMPARE(requestErrorText(type, QModbusDevice::Error(error), "x", raw), text);

    QCOMPARE(sendErrorText(SendKind::Read, "e"), QString("Read error: e"));
    QCOMPARE(sendErrorText(SendKind::Write, "e"), QString("Write error: e"));
    QCOMPARE(sendErrorText(SendKind::WriteAccept, "e"), QString("Write accept error: e"));
}

void TestRegisterBlocks::typeResponseIsRegisteredByName()
{
    registerTypeResponseMetaType();
    const int id = QMetaType::type("TypeResponse");
    QVERIFY(id != QMetaType::UnknownType);
    QCOMPARE(id, qMetaTypeId<TypeResponse>());
}

QTEST_GUILESS_MAIN(TestRegisterBlocks)
#include "tst_registerblocks.moc"
