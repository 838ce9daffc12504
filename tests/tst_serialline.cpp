// SPDX-License-Identifier: GPL-3.0-or-later
// A serial line that passes bytes at the pace of its speed, as RS-485 does:
// long blocks at the slowest speeds, the window on such a line, calibration
// polling and late replies.

#include "calibrationpoller.h"
#include "linksettings.h"
#include "mainwindowdriver.h"
#include "processrun.h"
#include "ptypair.h"
#include "unitimage.h"
#include "unitsimfixture.h"

#include <codes.h>
#include <module.h>
#include <property.h>

#include <QLoggingCategory>
#include <QModbusRtuSerialMaster>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int Unit = 1;
const QVector<int> SixAi{SubmoduleAI, SubmoduleAI, SubmoduleAI,
                         SubmoduleAI, SubmoduleAI, SubmoduleAI};

// A paced simulated unit on one end of a pty pair, a client on the other
// with the link settings the start window would give it.
struct Line
{
    PtyPair pty;
    std::unique_ptr<UnitSimFixture> sim;
    QModbusRtuSerialMaster client;
    LinkSettings settings;

    bool start(int baud, QSerialPort::Parity parity, const QVector<int> &slotCodes, int delayMs = 0)
    {
        UnitSimFixture::Options options;
        options.units = {UnitSimFixture::unit(Unit, slotCodes)};
        options.faults.delayMs = delayMs;
        options.serial.baudRate = baud;
        options.serial.parity = parity;
        sim = std::make_unique<UnitSimFixture>(options);
        settings.kind = LinkSettings::Kind::Serial;
        settings.serialPort = pty.clientEnd();
        settings.baud = baud;
        settings.parity = parity;
        settings.applyTo(&client);
        return pty.start() && sim->openSerial(pty.unitEnd()) && client.connectDevice()
               && QTest::qWaitFor(
                   [this] { return client.state() == QModbusDevice::ConnectedState; }, 5000);
    }
};

} // namespace

class TestSerialLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void window_readsAndWritesChangedAt2400();
    void brkctl_data();
    void brkctl();
    void calibration_valuesAreThoseOfTheirRegister_data();
    void calibration_valuesAreThoseOfTheirRegister();

private:
    QTemporaryDir m_data;
};

void TestSerialLine::initTestCase()
{
    // The window's writes go into the journal of changes in the user's data folder.
    QVERIFY(m_data.isValid());
    qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
    QLoggingCategory::setFilterRules("brk.modbus.transfer.debug=false");
}

void TestSerialLine::init()
{
    if (!PtyPair::socatAvailable())
        QSKIP("socat is not installed (scripts/setup installs it)");
}

// What a user does on such a line: the window's first read, whose 96-register
// block takes longer on the wire than the speed's base time-out, one limit
// edited and the changes written, with no error on the way.
void TestSerialLine::window_readsAndWritesChangedAt2400()
{
    Line line;
    QVERIFY(line.start(2400, QSerialPort::EvenParity, SixAi));
    const int baseTimeout = line.client.timeout();
    MainWindow window(ModeOnline | line.settings.modeFlags(), moduleImage(*line.sim, Unit),
                      &line.client);
    BoxRecorder boxes;
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(window.deviceModule() != nullptr, 30000);
    const QStringList limit = {"Субмодуль AI (Слот F)", "Аналоговый вход 4 ", "Нижний предел"};
    const auto word = [&](int address) {
        return quint16(line.sim->reg(Unit, QModbusDataUnit::HoldingRegisters, address));
    };
    // The last AI input's lower limit: words 800 + 4 × 23, the end of the longest block.
    QCOMPARE(treeValue(window.currentView(), limit).toFloat(), wordsToFloat(word(892), word(893)));

    QVERIFY(editRow(window.currentView(), limit, 3.5));
    action(&window, "actionWriteEditable")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(window.isEnabled() && wordsToFloat(word(892), word(893)) == 3.5f,
                             30000);
    QTRY_COMPARE(line.sim->reg(Unit, QModbusDataUnit::HoldingRegisters, 2023), 0);
    QCOMPARE(boxes.texts(), QStringList());
    QCOMPARE(line.client.timeout(), baseTimeout); // the sequences gave it back
    QVERIFY2(!outputPane(&window).contains("Ошибка"), qPrintable(outputPane(&window)));
}

void TestSerialLine::brkctl_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error"); // empty: brkctl succeeds
    QTest::newRow("a limit set at 1200 8N1")
        << "rtu:%1?baud=1200&unit=1"
        << QStringList{"set", "Субмодуль AI (Слот F) / Аналоговый вход 4 / Нижний предел=3.5"}
        << QString();
    QTest::newRow("a silent address at 2400 8E1")
        << "rtu:%1?baud=2400&parity=even&unit=7" << QStringList{"read"}
        << "нет ответа на чтение параметров модуля (регистры 2000–2022)";
}

// brkctl's link takes its time-outs from the same settings.
void TestSerialLine::brkctl()
{
    QFETCH(QString, target);
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    Line line;
    const bool slow = target.contains("1200");
    QVERIFY(line.start(slow ? 1200 : 2400, slow ? QSerialPort::NoParity : QSerialPort::EvenParity,
                       SixAi));
    line.client.disconnectDevice(); // the line is brkctl's
    QTemporaryDir journal;
    qputenv("XDG_DATA_HOME", journal.path().toUtf8());
    arguments.insert(1, target.arg(line.pty.clientEnd()));
    const ProcessRun run = ProcessRun::run(QStringLiteral(BRKCTL_PATH), arguments, 240000);
    QVERIFY2(run.err.contains(error) && (run.status == 0) == error.isEmpty(), qPrintable(run.err));
    if (error.isEmpty()) { // the last AI input's lower limit: words 800 + 4 × 23
        QCOMPARE(wordsToFloat(quint16(line.sim->reg(Unit, QModbusDataUnit::HoldingRegisters, 892)),
                              quint16(line.sim->reg(Unit, QModbusDataUnit::HoldingRegisters, 893))),
                 3.5f);
    }
}

void TestSerialLine::calibration_valuesAreThoseOfTheirRegister_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("answers");
    QTest::newRow("prompt unit") << 0 << true;
    // Each first attempt is answered during its retry, that retry's answer after it.
    QTest::newRow("replies later than the time-out") << 400 << false;
}

// Every polled register holds a value of its own: a reply taken for
// another register's shows as a value that register never held.
void TestSerialLine::calibration_valuesAreThoseOfTheirRegister()
{
    QFETCH(int, delayMs);
    QFETCH(bool, answers);
    Line line;
    QVERIFY(line.start(2400, QSerialPort::EvenParity, {SubmoduleAI}, delayMs));
    auto module = std::make_unique<Module>(Unit);
    module->fromTables(unitImage(*line.sim, Unit));

    CalibrationPoller poller(module.get(), &line.client, Unit);
    QHash<Property *, int> sent;
    quint16 next = 30000;
    for (Property *p : poller.polledParameters()) {
        if (registerCountOfValueType(p->valueType()) != 1)
            continue;
        const auto type = QModbusDataUnit::RegisterType(p->registerType());
        QVERIFY(line.sim->setReg(Unit, type, p->address(), next));
        sent.insert(p, p->valueType() == ValueInt16 ? int(qint16(next)) : int(next));
        next += 17;
    }
    QVERIFY(!sent.isEmpty());

    int stored = 0;
    connect(&poller, &CalibrationPoller::valueStored, this,
            [&](Property *p, const QVariant &value) {
                if (!sent.contains(p))
                    return;
                ++stored;
                QCOMPARE(value.toInt(), sent.value(p));
            });
    poller.start();
    if (answers) {
        QTRY_VERIFY_WITH_TIMEOUT(stored >= sent.size(), 20000);
    } else {
        QTest::qWait(8000);
    }
    poller.finish();
}

QTEST_MAIN(TestSerialLine)
#include "tst_serialline.moc"
