// The calibration dialog end to end: the real widgets against a simulated
// unit over TCP, judged by the unit's request log and register state.

#include "calibratedialog.h"
#include "channel.h"
#include "model.h"
#include "module.h"
#include "property.h"
#include "submodule.h"
#include "unitsimfixture.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QModbusReply>
#include <QModbusTcpClient>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

// A register set in the unit before the module is read from it.
struct Poke
{
    int type;
    int address;
    quint16 value;
};
using Pokes = QVector<Poke>;
Q_DECLARE_METATYPE(Pokes)

namespace {

constexpr auto H = QModbusDataUnit::HoldingRegisters;
constexpr auto I = QModbusDataUnit::InputRegisters;

// Slots A..D: AIO (inputs g 0-1, outputs g 0-1), TMP (inputs g 2-3), DI, DO6.
// Table rows: board 0 is the AIO, board 1 the TMP.
const QVector<int> kSlots{5, 7, 6, 8, 0, 0};
constexpr int kPolled = 32;
enum Column { Name, SignalType, RawValue, Value };

// "function:address:count" of reads or "function:address:value" of writes,
// each once, in the order they first came: a client with a 50 ms timeout may
// send a request again on a busy machine.
QStringList calls(const UnitSimFixture &sim, bool writes, QVector<QDateTime> *times = nullptr)
{
    QStringList list;
    for (const SimRequestRecord &r : sim.requests()) {
        if (r.function < 1 || (r.function >= 5) != writes)
            continue;
        const QString text = QStringLiteral("%1:%2:%3")
                                 .arg(r.function)
                                 .arg(r.address)
                                 .arg(writes ? r.values.value(0) : r.count);
        if (list.contains(text))
            continue;
        list << text;
        if (times)
            *times << r.time;
    }
    return list;
}

bool passDone(const UnitSimFixture &sim)
{
    return calls(sim, false).size() >= kPolled;
}

// The module as the main window gets it: decoded from the unit's registers.
std::unique_ptr<Module> readModule(const UnitSimFixture &sim)
{
    auto block = [&sim](QModbusDataUnit::RegisterType type, int start, int count) {
        QVector<quint16> values;
        for (int i = 0; i < count; ++i)
            values << quint16(sim.reg(1, type, start + i));
        return values;
    };
    ModuleTables t;
    t.setModuleTable(block(H, 2000, ModuleTables::ModuleBlockSize));
    const int ai = t.countAI(), ao = t.countAO();
    t.setAntibounceDITable(block(H, 300, (t.countDI() + 15) / 16));
    t.setFlagsAITable(block(H, 400, 2 * ai));
    t.setLimitsAITable(block(H, 800, 4 * ai));
    t.setTypesValueAITable(block(H, 1200, ai));
    t.setFlagsAOTable(block(H, 600, 2 * ao));
    t.setLimitsAOTable(block(H, 1000, 4 * ao));
    t.setTypesValueAOTable(block(H, 1400, ao));
    t.setBlockValuesAOTable(block(H, 1600, 2 * ao));
    t.setPwmDOTable(block(H, 1300, t.countDO()));
    t.setBlockValuesDOTable(block(QModbusDataUnit::Coils, 1000, t.countDO()));
    auto module = std::make_unique<Module>(1);
    module->fromTables(t);
    return module;
}

UnitSimFixture::Options unitOptions(bool frozen, int delayMs)
{
    UnitSimFixture::Options options;
    options.units = {UnitSimFixture::unit(1, kSlots)};
    options.frozen = frozen;
    options.faults.delayMs = delayMs;
    return options;
}

// A unit, a client connected to it as the start window leaves it, and the
// module read from the unit.
struct Rig
{
    UnitSimFixture sim;
    QModbusTcpClient client;
    std::unique_ptr<Module> module;

    explicit Rig(bool frozen = true, int delayMs = 0)
        : sim(unitOptions(frozen, delayMs))
    {}

    bool start(const Pokes &pokes = {})
    {
        if (!sim.start())
            return false;
        for (const Poke &p : pokes)
            sim.setReg(1, QModbusDataUnit::RegisterType(p.type), p.address, p.value);
        client.setConnectionParameter(QModbusDevice::NetworkAddressParameter, sim.host());
        client.setConnectionParameter(QModbusDevice::NetworkPortParameter, sim.port());
        client.setTimeout(500);
        client.setNumberOfRetries(3);
        module = readModule(sim);
        return client.connectDevice()
               && QTest::qWaitFor(
                   [this] { return client.state() == QModbusDevice::ConnectedState; }, 5000);
    }

    Property *parameter(int board, int channel, const QString &name) const
    {
        return module->submodules().at(board)->channels().at(channel)->property(name);
    }
};

QModelIndex cell(const CalibrateDialog &dialog, int board, int channel, int column)
{
    return dialog.model()->index(channel, column, dialog.model()->index(board, 0));
}

// The cell's text; reals with the six digits the view shows.
QString shown(const QModelIndex &index)
{
    const QVariant value = index.data();
    return value.userType() == QMetaType::Float ? QString::number(value.toFloat())
                                                : value.toString();
}

// Makes the cell current in the view, which opens its editor (every trigger is on).
template<typename Editor>
Editor *openEditor(CalibrateDialog &dialog, const QModelIndex &index)
{
    auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    view->setCurrentIndex(index);
    return qobject_cast<Editor *>(view->indexWidget(index));
}

} // namespace

class TestCalibrateDialog : public QObject
{
    Q_OBJECT

private slots:
    void polling_readsEveryParameterWithRegisterOneAtATime();
    void display_data();
    void display();
    void display_followsMovingValues();
    void signalTypeChoice_writesCodeAtOnce_data();
    void signalTypeChoice_writesCodeAtOnce();
    void signalTypeEditorLeftWithoutChoice_writesNothing();
    void numberEdit_data();
    void numberEdit();
    void closing_restoresOnlyEditsOfThisDialog();
    void openAndClose_writesNothing();
    void editBeforeFirstRead_isReportedNotRestored();
    void clientSettings_givenBack_data();
    void clientSettings_givenBack();
    void pendingReplies_releasedWithDialog();
};

void TestCalibrateDialog::polling_readsEveryParameterWithRegisterOneAtATime()
{
    Rig rig;
    QVERIFY(rig.start({{H, 550, 1}, {H, 551, 2}}));
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);

    QStringList expected{
        // function:address:count, from the register layouts
        "3:1200:1", "4:0:1",  "4:10004:1", "3:1201:1", "4:2:1",   "4:10005:1", // AIO inputs
        "3:1400:1", "3:0:1",  "3:10004:1", "3:1401:1", "3:2:1",   "3:10005:1", // AIO outputs
        "3:1202:1", "4:4:1",  "4:10006:1", "3:1203:1", "4:6:1",   "4:10007:1", // TMP
        "1:0:1",    "1:1:1",  "1:2:1",     "1:3:1",    "4:202:1", "4:203:1",   // DI, counters
        "2:0:1",    "2:1:1",  "2:2:1",     "2:3:1",    "2:4:1",   "2:5:1",
        "3:550:2",  "3:552:2" // DO6
    };
    QTRY_VERIFY_WITH_TIMEOUT(passDone(rig.sim), 5000);
    QVector<QDateTime> times;
    QStringList polled = calls(rig.sim, false, &times);
    polled.sort();
    expected.sort();
    QCOMPARE(polled, expected);
    QVERIFY(calls(rig.sim, true).isEmpty());
    for (int i = 1; i < kPolled; ++i)
        QVERIFY(times.at(i - 1).msecsTo(times.at(i)) >= 40);
    QCOMPARE(dialog.model()->flags(cell(dialog, 0, 0, Value)), Qt::ItemIsEnabled); // not selectable
    QVERIFY(dialog.model()->flags(cell(dialog, 0, 2, Value)) & Qt::ItemIsEditable);
    // Int32 of the first stepper output: low half first.
    QTRY_COMPARE(rig.parameter(3, 6, ChannelParam::Value)->value().toInt(), 2 * 65536 + 1);
}

void TestCalibrateDialog::display_data()
{
    QTest::addColumn<Pokes>("pokes");
    QTest::addColumn<int>("board");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("expected");

    QTest::newRow("Int16 value 65535") << Pokes{{I, 0, 0xFFFF}} << 0 << 0 << int(Value) << "-1";
    QTest::newRow("UInt16 raw code of Pt100")
        << Pokes{{I, 10006, 0xFFFF}} << 1 << 0 << int(RawValue) << "65535";
    QTest::newRow("Int16 raw code of a thermocouple")
        << Pokes{{H, 1203, 12}, {I, 10007, 0xFFFF}} << 1 << 1 << int(RawValue) << "-1";
    QTest::newRow("Float32 value, low word first")
        << Pokes{{H, 400, 0x0010}, {I, 0, 0x0000}, {I, 1, 0x4148}} << 0 << 0 << int(Value)
        << "12.5";
    QTest::newRow("output value from holding 2g")
        << Pokes{{H, 2, 0xFF9C}} << 0 << 3 << int(Value) << "-100";
    QTest::newRow("signal type without a name")
        << Pokes{{H, 1200, 7}} << 0 << 0 << int(SignalType) << "Неизвестное значение: 7";
}

void TestCalibrateDialog::display()
{
    QFETCH(Pokes, pokes);
    QFETCH(int, board);
    QFETCH(int, channel);
    QFETCH(int, column);
    QFETCH(QString, expected);

    Rig rig;
    QVERIFY(rig.start(pokes));
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    QCOMPARE(dialog.model()->rowCount(), 2); // DI and DO6 have no rows
    QTRY_COMPARE_WITH_TIMEOUT(shown(cell(dialog, board, channel, column)), expected, 5000);
}

void TestCalibrateDialog::display_followsMovingValues()
{
    Rig rig(false);
    QVERIFY(rig.start());
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    const QModelIndex raw = cell(dialog, 0, 0, RawValue);
    const QString initial = shown(raw);
    QTRY_VERIFY_WITH_TIMEOUT(shown(raw) != initial, 5000);
    const QString firstRead = shown(raw);
    QTRY_VERIFY_WITH_TIMEOUT(shown(raw) != firstRead, 5000);
}

void TestCalibrateDialog::signalTypeChoice_writesCodeAtOnce_data()
{
    QTest::addColumn<int>("board");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expectedWrite");

    QTest::newRow("second analog output") << 0 << 3 << 2 << "6:1401:2";
    QTest::newRow("temperature input") << 1 << 1 << 12 << "6:1203:12";
}

void TestCalibrateDialog::signalTypeChoice_writesCodeAtOnce()
{
    QFETCH(int, board);
    QFETCH(int, channel);
    QFETCH(int, code);
    QFETCH(QString, expectedWrite);

    Rig rig;
    QVERIFY(rig.start());
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(passDone(rig.sim), 5000);
    auto *combo = openEditor<QComboBox>(dialog, cell(dialog, board, channel, SignalType));
    QVERIFY(combo);
    rig.sim.clearRequests();
    combo->setCurrentIndex(combo->findData(code));
    QTRY_COMPARE(calls(rig.sim, true), QStringList{expectedWrite});
    QCOMPARE(rig.sim.reg(1, H, expectedWrite.section(':', 1, 1).toInt()), code);
}

void TestCalibrateDialog::signalTypeEditorLeftWithoutChoice_writesNothing()
{
    Rig rig;
    QVERIFY(rig.start({{H, 1200, 7}})); // a code the list does not offer
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    dialog.show();
    auto *combo = openEditor<QComboBox>(dialog, cell(dialog, 0, 0, SignalType));
    QVERIFY(combo);
    QCOMPARE(combo->currentIndex(), -1);
    openEditor<QWidget>(dialog, cell(dialog, 0, 0, Name)); // leaves the combo box, committing it
    QTest::qWait(300);
    QVERIFY(calls(rig.sim, true).isEmpty());
    QCOMPARE(rig.parameter(0, 0, ChannelParam::SignalType)->value().toInt(), 7);
}

void TestCalibrateDialog::numberEdit_data()
{
    QTest::addColumn<Pokes>("pokes");
    QTest::addColumn<int>("channel"); // of the AIO board
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("before"); // shown before editing
    QTest::addColumn<double>("input");   // NaN: leave the editor as loaded
    QTest::addColumn<QString>("stored"); // what the edit stores, empty: nothing
    QTest::addColumn<QStringList>("expectedWrites");

    const double keep = qQNaN();
    QTest::newRow("output value, holding 2g")
        << Pokes{} << 3 << int(Value) << "0" << 1234.0 << "1234" << QStringList{"6:2:1234"};
    QTest::newRow("negative raw output code")
        << Pokes{} << 2 << int(RawValue) << "0" << -100.0 << "-100" << QStringList{"6:10004:65436"};
    QTest::newRow("unchanged negative value sends nothing")
        << Pokes{{H, 0, 0xFF9C}} << 2 << int(Value) << "-100" << keep << "" << QStringList{};
    QTest::newRow("Float32 loads whole, stays in the model")
        << Pokes{{H, 600, 0x0010}, {H, 0, 0x3333}, {H, 1, 0x414B}} << 2 << int(Value) << "12.7"
        << keep << "12" << QStringList{};
}

void TestCalibrateDialog::numberEdit()
{
    QFETCH(Pokes, pokes);
    QFETCH(int, channel);
    QFETCH(int, column);
    QFETCH(QString, before);
    QFETCH(double, input);
    QFETCH(QString, stored);
    QFETCH(QStringList, expectedWrites);

    Rig rig;
    QVERIFY(rig.start(pokes));
    // Reads store without signals: only the edit itself is seen here.
    Property *p
        = rig.parameter(0, channel, column == Value ? ChannelParam::Value : ChannelParam::RawValue);
    QString storedText;
    QObject context;
    connect(p, &Property::valueChange, &context,
            [&] { storedText = QString::number(p->value().toFloat()); });

    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    dialog.show();
    const QModelIndex index = cell(dialog, 0, channel, column);
    QTRY_VERIFY_WITH_TIMEOUT(rig.sim.requests().size() >= 12, 5000); // the AIO parameters were read
    QCOMPARE(shown(index), before);

    auto *box = openEditor<QDoubleSpinBox>(dialog, index);
    QVERIFY(box);
    if (!qIsNaN(input))
        box->setValue(input);
    rig.sim.clearRequests();
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_COMPARE(storedText, stored);
    QTest::qWait(300);
    QCOMPARE(storedText, stored);
    QCOMPARE(calls(rig.sim, true), expectedWrites);
}

void TestCalibrateDialog::closing_restoresOnlyEditsOfThisDialog()
{
    Rig rig;
    QVERIFY(rig.start({{H, 0, 1234}}));
    Property *aoValue1 = rig.parameter(0, 2, ChannelParam::Value);
    Property *aoValue2 = rig.parameter(0, 3, ChannelParam::Value);
    Property *aiSignal = rig.parameter(0, 0, ChannelParam::SignalType);
    aoValue2->setChanged(true); // an edit mark the property tree held before

    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(passDone(rig.sim), 5000);
    QCOMPARE(aoValue1->value().toInt(), 1234);
    QVERIFY(!aoValue1->isChanged());

    auto *box = openEditor<QDoubleSpinBox>(dialog, cell(dialog, 0, 3, Value));
    QVERIFY(box);
    box->setValue(777);
    QTest::keyClick(box, Qt::Key_Return);
    auto *combo = openEditor<QComboBox>(dialog, cell(dialog, 0, 0, SignalType));
    QVERIFY(combo);
    combo->setCurrentIndex(combo->findData(2));
    QTRY_COMPARE(rig.sim.reg(1, H, 1200), 2);
    QTRY_COMPARE(rig.sim.reg(1, H, 2), 777);

    rig.sim.clearRequests();
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("pushButton")),
                      Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QTest::qWait(700);
    QStringList sent = calls(rig.sim, true);
    sent.sort();
    QCOMPARE(sent, (QStringList{"6:1200:1", "6:2:0"}));
    QVERIFY(calls(rig.sim, false).isEmpty());
    QCOMPARE(rig.sim.reg(1, H, 0), 1234);
    QCOMPARE(aoValue2->value().toInt(), 0);
    QCOMPARE(aiSignal->value().toInt(), 1);
    // Only the tree's own mark remains.
    QVERIFY(aoValue2->isChanged());
    aoValue2->setChanged(false);
    QVERIFY(!rig.module->isChanged());
}

void TestCalibrateDialog::openAndClose_writesNothing()
{
    Rig rig;
    QVERIFY(rig.start({{H, 0, 1234}}));
    // The tree changed a signal type without writing it to the unit.
    Property *tmpSignal = rig.parameter(1, 0, ChannelParam::SignalType);
    tmpSignal->setChanged(true);
    tmpSignal->setValue(8);
    {
        CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
        dialog.show();
        QTRY_VERIFY_WITH_TIMEOUT(passDone(rig.sim), 5000);
        dialog.close();
    }
    QTest::qWait(300);
    QVERIFY(calls(rig.sim, true).isEmpty());
    QCOMPARE(rig.sim.reg(1, H, 0), 1234);
    QCOMPARE(rig.sim.reg(1, H, 1202), 5);
    QCOMPARE(tmpSignal->value().toInt(), 8);
    QVERIFY(tmpSignal->isChanged());
    QCOMPARE(rig.parameter(0, 2, ChannelParam::Value)->value().toInt(), 1234);
    QVERIFY(!rig.parameter(0, 2, ChannelParam::Value)->isChanged());
}

void TestCalibrateDialog::editBeforeFirstRead_isReportedNotRestored()
{
    Rig rig;
    QVERIFY(rig.start());
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1);
    QSignalSpy notices(&dialog, &CalibrateDialog::notice);
    dialog.show();
    // Before the first tick nothing has been read.
    QVERIFY(dialog.model()->setData(cell(dialog, 0, 3, Value), 321));
    QTRY_COMPARE(rig.sim.reg(1, H, 2), 321);
    dialog.close();
    QCOMPARE(notices.count(), 1);
    QVERIFY(notices.first().first().toString().contains(ChannelParam::Value));
    QTest::qWait(300);
    QCOMPARE(calls(rig.sim, true), QStringList{"6:2:321"});
}

void TestCalibrateDialog::clientSettings_givenBack_data()
{
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("retries");

    QTest::newRow("TCP") << 500 << 3;
    QTest::newRow("serial at 4800 bit/s") << 600 << 1;
}

void TestCalibrateDialog::clientSettings_givenBack()
{
    QFETCH(int, timeout);
    QFETCH(int, retries);

    Rig rig;
    QVERIFY(rig.start());
    rig.client.setTimeout(timeout);
    rig.client.setNumberOfRetries(retries);
    QWidget mainWindow;
    mainWindow.show();
    CalibrateDialog dialog(rig.module.get(), &rig.client, 1, &mainWindow);
    dialog.show();
    QVERIFY(dialog.isWindow());
    QCOMPARE(rig.client.timeout(), 50);
    QCOMPARE(rig.client.numberOfRetries(), 1);
    dialog.close();
    QCOMPARE(rig.client.timeout(), timeout);
    QCOMPARE(rig.client.numberOfRetries(), retries);
}

void TestCalibrateDialog::pendingReplies_releasedWithDialog()
{
    Rig rig(true, 30);
    QVERIFY(rig.start());
    auto dialog = std::make_unique<CalibrateDialog>(rig.module.get(), &rig.client, 1);
    QTRY_VERIFY(!rig.client.findChildren<QModbusReply *>().isEmpty());
    dialog.reset(); // the main window destroys it while replies are on the line
    QCOMPARE(rig.client.timeout(), 500);
    QTRY_VERIFY_WITH_TIMEOUT(rig.client.findChildren<QModbusReply *>().isEmpty(), 2000);
}

QTEST_MAIN(TestCalibrateDialog)
#include "tst_calibratedialog.moc"
