// The online main window end to end: its actions and real widgets drive the
// read, write and reset sequences against the simulated unit (in-process over
// TCP, and over a virtual serial line for RTU); the unit's request log and
// registers show what reached it.

#include "browseritem.h"
#include "browserproperty.h"
#include "calibratedialog.h"
#include "configdiffdialog.h"
#include "mainwindow.h"
#include "modbuscall.h"
#include "modeflags.h"
#include "moduleview.h"
#include "positionsubmoduledialog.h"
#include "ptypair.h"
#include "registermapexport.h"
#include "rigestersmapwindow.h"
#include "trafficdock.h"
#include "trafficmodel.h"
#include "treepropertybrowser.h"
#include "modalanswer.h"
#include "unitsimfixture.h"

#include <module.h>
#include <parametertree.h>
#include <property.h>
#include <trafficrecorder.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QModbusRtuSerialMaster>
#include <QModbusTcpClient>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

constexpr int Slave = 1;
constexpr auto Holding = QModbusDataUnit::HoldingRegisters;
constexpr auto Coils = QModbusDataUnit::Coils;
const QString Written = QStringLiteral("Конфигурация успешно записана!");

enum Transport { Tcp, Rtu };

// Tree paths in the default unit: AIO AI DI TMP DO6 DO4 in slots A..F.
const QStringList AioIn1 = {"Субмодуль AIO (Слот A)", "Аналоговый вход 1 "};
const QStringList AioOut2 = {"Субмодуль AIO (Слот A)", "Аналоговый выход 2 "};
const QStringList AiIn2 = {"Субмодуль AI (Слот B)", "Аналоговый вход 2 "}; // g = 3
const QStringList Di3 = {"Субмодуль DI (Слот C)", "Дискретный вход 3 "};
const QStringList Tmp1 = {"Субмодуль TMP (Слот D)", "Вход термосопротивлений 1 "}; // g = 6
const QStringList Do6Out4 = {"Субмодуль DO6 (Слот E)", "Дискретный выход 4 "};
const QStringList Do4Out2 = {"Субмодуль DO4 (Слот F)", "Дискретный выход 2 "}; // g = 7
const QStringList Link = {"Параметры модуля", "Параметры связи"};
const QStringList LowerLimit3 = AiIn2 + QStringList{"Нижний предел"};

// The channel blocks of the default unit (8 AI, 2 AO, 4 DI, 10 DO) as the
// unit must see them: function, start, count, in this order.
const QStringList DefaultReads = {"3 300 1",  "3 400 16",  "3 800 32",  "3 1200 8", "3 600 4",
                                  "3 1000 8", "1 1000 10", "3 1300 10", "3 1400 2", "3 1600 4"};

// Write blocks of the default unit: function, first register, count.
struct Block
{
    int function;
    int start;
    int count;
};
const QVector<Block> DefaultWrites
    = {{6, 300, 1},   {6, 400, 16},  {6, 800, 32}, {6, 1200, 8}, {6, 600, 4},  {6, 1000, 8},
       {5, 1000, 10}, {6, 1300, 10}, {6, 1400, 2}, {6, 1600, 4}, {6, 2004, 12}};

// "<function> <address> <count>" for reads, "<function> <address> <hex value>"
// for writes; unit events left out, refused and dropped requests marked.
QStringList describe(const QVector<SimRequestRecord> &records)
{
    QStringList lines;
    for (const SimRequestRecord &record : records) {
        if (record.function == 0 || record.result == SimRequestRecord::NoUnit)
            continue;
        lines << UnitSimFixture::describe(record);
    }
    return lines;
}

QVector<SimRequestRecord> requestsOnly(const QVector<SimRequestRecord> &records)
{
    QVector<SimRequestRecord> result;
    for (const SimRequestRecord &record : records) {
        if (record.function != 0 && record.result != SimRequestRecord::NoUnit)
            result << record;
    }
    return result;
}

// Mean time between requests as the unit received them.
double meanGapMs(const QVector<SimRequestRecord> &records)
{
    if (records.size() < 2)
        return 0;
    return double(records.first().time.msecsTo(records.last().time)) / (records.size() - 1);
}

// While it lives, notes and answers every message box that comes up.
class BoxRecorder
{
public:
    struct Box
    {
        QString title;
        QString text;
        QDateTime at;
        bool progressShown; // the window's progress bar, under the box
    };

    BoxRecorder()
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box && box == m_sighted && !m_answered.contains(box)) {
                const QWidget *window
                    = box->parentWidget() ? box->parentWidget()->window() : nullptr;
                const auto *bar = window ? window->findChild<QProgressBar *>() : nullptr;
                m_boxes.append({box->windowTitle(), box->text(), QDateTime::currentDateTime(),
                                bar && bar->isVisible()});
                m_answered.append(box);
                box->accept();
            }
            m_sighted = box;
        });
        m_timer.start(5);
    }
    QList<Box> boxes() const { return m_boxes; }
    QStringList texts() const
    {
        QStringList result;
        for (const Box &box : m_boxes)
            result << box.text;
        return result;
    }

private:
    QTimer m_timer;
    QPointer<QMessageBox> m_sighted;
    QList<QPointer<QMessageBox>> m_answered;
    QList<Box> m_boxes;
};

BrowserItem *itemAt(ModuleView *view, const QStringList &path)
{
    return view->findChild<TreePropertyBrowser *>()->itemAt(path);
}

QVariant treeValue(ModuleView *view, const QStringList &path)
{
    BrowserItem *item = itemAt(view, path);
    return item ? item->property()->value() : QVariant();
}

// Sets a row through its own editor, as a user would.
bool editRow(ModuleView *view, const QStringList &path, const QVariant &value)
{
    BrowserItem *item = itemAt(view, path);
    if (!item)
        return false;
    QWidget *editor = view->findChild<TreePropertyBrowser *>()->openEditor(item);
    if (auto *spin = qobject_cast<QDoubleSpinBox *>(editor))
        spin->setValue(value.toDouble());
    else if (auto *intSpin = qobject_cast<QSpinBox *>(editor))
        intSpin->setValue(value.toInt());
    else
        return false;
    return true;
}

QAction *action(MainWindow *window, const char *name)
{
    return window->findChild<QAction *>(QLatin1String(name));
}

QList<QMdiSubWindow *> subWindows(MainWindow *window)
{
    return window->findChild<QMdiArea *>()->subWindowList(QMdiArea::CreationOrder);
}

QString outputPane(MainWindow *window)
{
    return window->findChild<QTextEdit *>(QStringLiteral("textEdit"))->toPlainText();
}

// The lines a write of `words` from `first` sends, each behind its command.
QStringList writeLines(int function, int first, const QVector<quint16> &words, quint16 command)
{
    QStringList lines;
    for (int i = 0; i < words.size(); ++i) {
        lines << QString("6 2016 %1").arg(command, 0, 16);
        lines << QString("%1 %2 %3").arg(function).arg(first + i).arg(words.at(i), 0, 16);
    }
    return lines;
}

// The cells of one row of a view's model.
QStringList rowCells(const QAbstractItemModel *model, int row)
{
    QStringList cells;
    for (int column = 0; column < model->columnCount(); ++column)
        cells << model->index(row, column).data().toString();
    return cells;
}

} // namespace

Q_DECLARE_METATYPE(QVector<quint16>)

class TestMainWindowOnline : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void read_showsUnitValues_data();
    void read_showsUnitValues();
    void writeChanged_sendsChangedWordsOnly_data();
    void writeChanged_sendsChangedWordsOnly();
    void writeAll_everyRegisterModuleLast_data();
    void writeAll_everyRegisterModuleLast();
    void unknownListValue_writtenBack_data();
    void unknownListValue_writtenBack();
    void writeFaults_data();
    void writeFaults();
    void reset_readsFactoryValuesIntoNewView_data();
    void verifyWrite_readsBackAndReports_data();
    void verifyWrite_readsBackAndReports();
    void reset_readsFactoryValuesIntoNewView();
    void fileDiff_listsEditsAndWritesExactlyThem_data();
    void fileDiff_listsEditsAndWritesExactlyThem();
    void offlineFile_isWrittenBySlot();
    void close_asksAboutUnwrittenEdits_data();
    void close_asksAboutUnwrittenEdits();
    void busy_commandsWaitAndLeaveNoTrace();
    void dialogs_openFromWindow_data();
    void dialogs_openFromWindow();
    void registerMap_csvAndPdfOfDefaultUnit();
    void trafficMonitor_listsRequestsAndOutcomes_data();
    void trafficMonitor_listsRequestsAndOutcomes();
    void trafficMonitor_keepsTheLastTenThousand();
    void linkStatus_followsTheUnit_data();
    void linkStatus_followsTheUnit();

private:
    // Starts the unit and a connected client; false (the test skipped or
    // failed) when the transport cannot be had here.
    bool startUnit(Transport transport, const SimUnitConfig &unit = SimUnitConfig());
    // Opens the online window and waits for its first view.
    bool openWindow(int extraMode = 0);
    QStringList requestsSince(int first) const;
    int requestCount() const { return requestsOnly(m_sim->requests()).size(); }

    QTemporaryDir m_dir;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<UnitSimFixture> m_sim;
    std::unique_ptr<QModbusClient> m_client;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<QSignalSpy> m_closed;
    Transport m_transport = Tcp;
};

void TestMainWindowOnline::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QLoggingCategory::setFilterRules("brk.modbus.transfer.debug=false");
}

void TestMainWindowOnline::cleanup()
{
    m_closed.reset();
    m_window.reset();
    if (m_client)
        m_client->disconnectDevice();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_client.reset();
    m_sim.reset();
    m_pty.reset();
}

bool TestMainWindowOnline::startUnit(Transport transport, const SimUnitConfig &unit)
{
    m_transport = transport;
    UnitSimFixture::Options options;
    options.units = {unit};
    m_sim = std::make_unique<UnitSimFixture>(options);
    if (transport == Tcp) {
        if (!m_sim->start())
            return false;
        auto *client = new QModbusTcpClient;
        client->setConnectionParameter(QModbusDevice::NetworkAddressParameter, m_sim->host());
        client->setConnectionParameter(QModbusDevice::NetworkPortParameter, m_sim->port());
        client->setTimeout(500);
        client->setNumberOfRetries(0);
        m_client.reset(client);
    } else {
        if (!PtyPair::socatAvailable())
            return false;
        m_pty = std::make_unique<PtyPair>();
        QString error;
        if (!m_pty->start(&error) || !m_sim->openSerial(m_pty->unitEnd(), &error)) {
            qWarning() << error;
            return false;
        }
        auto *client = new QModbusRtuSerialMaster;
        client->setConnectionParameter(QModbusDevice::SerialPortNameParameter, m_pty->clientEnd());
        client->setConnectionParameter(QModbusDevice::SerialBaudRateParameter,
                                       QSerialPort::Baud19200);
        client->setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
        client->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
        client->setConnectionParameter(QModbusDevice::SerialStopBitsParameter,
                                       QSerialPort::OneStop);
        client->setTimeout(400);
        client->setNumberOfRetries(0);
        m_client.reset(client);
    }
    if (!m_client->connectDevice())
        return false;
    return QTest::qWaitFor([this] { return m_client->state() == QModbusDevice::ConnectedState; },
                           5000);
}

bool TestMainWindowOnline::openWindow(int extraMode)
{
    // The module block as discovery hands it over.
    QVector<quint16> block;
    for (int i = 0; i < ModuleTables::ModuleBlockSize; ++i)
        block << quint16(m_sim->reg(Slave, Holding, 2000 + i));
    ModuleTables tables;
    tables.setModuleTable(block);
    const int mode = ModeOnline | (m_transport == Tcp ? ModeTcp : ModeRtu) | extraMode;
    m_window = std::make_unique<MainWindow>(mode, tables, m_client.get());
    m_closed = std::make_unique<QSignalSpy>(m_window.get(), &MainWindow::closed);
    m_window->show();
    return QTest::qWaitFor([this] { return m_window->deviceModule() != nullptr; }, 10000);
}

QStringList TestMainWindowOnline::requestsSince(int first) const
{
    return describe(requestsOnly(m_sim->requests()).mid(first));
}

void TestMainWindowOnline::read_showsUnitValues_data()
{
    QTest::addColumn<int>("transport");
    QTest::addColumn<int>("registerType");
    QTest::addColumn<int>("address");
    QTest::addColumn<QVector<quint16>>("words");
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QVariant>("shown");

    // Floats low word first: -10.5 is 0x0000 0xC128, 12.5 is 0x0000 0x4148.
    QTest::newRow("AI lower limit")
        << int(Tcp) << int(Holding) << 812 << QVector<quint16>{0x0000, 0xC128} << LowerLimit3
        << QVariant(-10.5);
    // Temperature signal types start at code 4: code 9 is the sixth entry.
    QTest::newRow("TMP signal type") << int(Tcp) << int(Holding) << 1206 << QVector<quint16>{9}
                                     << Tmp1 + QStringList{"Тип сигнала"} << QVariant(5);
    // Multiplier in bits 6..7 of the channel's first flag word.
    QTest::newRow("AI flag word") << int(Tcp) << int(Holding) << 400 << QVector<quint16>{0x0080}
                                  << AioIn1 + QStringList{"Множитель"} << QVariant(2);
    QTest::newRow("antibounce bit") << int(Tcp) << int(Holding) << 300 << QVector<quint16>{0x0004}
                                    << Di3 + QStringList{"Антидребезг"} << QVariant(1);
    // Both blocks at 1000: the coils and the analog-output limits.
    QTest::newRow("DO block value coil")
        << int(Tcp) << int(Coils) << 1007 << QVector<quint16>{1}
        << Do4Out2 + QStringList{"Блокировочное значение"} << QVariant(1);
    QTest::newRow("AO upper limit")
        << int(Tcp) << int(Holding) << 1006 << QVector<quint16>{0x0000, 0x4148}
        << AioOut2 + QStringList{"Верхний предел"} << QVariant(12.5);
    QTest::newRow("PWM value") << int(Tcp) << int(Holding) << 1303 << QVector<quint16>{60}
                               << Do6Out4 + QStringList{"Значение ШИМ"} << QVariant(60);
    QTest::newRow("rtu: AI lower limit")
        << int(Rtu) << int(Holding) << 812 << QVector<quint16>{0x0000, 0xC128} << LowerLimit3
        << QVariant(-10.5);
}

void TestMainWindowOnline::read_showsUnitValues()
{
    QFETCH(int, transport);
    QFETCH(int, registerType);
    QFETCH(int, address);
    QFETCH(QVector<quint16>, words);
    QFETCH(QStringList, path);
    QFETCH(QVariant, shown);

    if (!startUnit(Transport(transport)))
        QSKIP("the transport is not available here");
    for (int i = 0; i < words.size(); ++i)
        QVERIFY(m_sim->setReg(Slave, QModbusDataUnit::RegisterType(registerType), address + i,
                              words.at(i)));
    QVERIFY(openWindow());

    const QVector<SimRequestRecord> reads = requestsOnly(m_sim->requests());
    QCOMPARE(describe(reads), DefaultReads);
    const double gap = meanGapMs(reads);
    // Arrival times at the in-process unit jitter by a few ms on a loaded machine.
    QVERIFY2(gap >= 45 && gap < 90, qPrintable(QString::number(gap)));

    QCOMPARE(subWindows(m_window.get()).size(), 1);
    ModuleView *view = m_window->currentView();
    QCOMPARE(view->module(), m_window->deviceModule());
    const QVariant value = treeValue(view, path);
    QVERIFY2(value.isValid(), qPrintable(path.join(" / ")));
    if (shown.type() == QVariant::Double)
        QVERIFY2(qAbs(value.toDouble() - shown.toDouble()) < 1e-6, qPrintable(value.toString()));
    else
        QCOMPARE(value.toInt(), shown.toInt());
    QVERIFY(!m_window->findChild<QProgressBar *>()->isVisible());
    for (const char *name : {"actionRead", "actionWrite", "actionWriteEditable",
                             "actionResetConfig", "actionCalibrate", "actionOpenMapRegisters"})
        QVERIFY2(action(m_window.get(), name)->isEnabled(), name);
}

void TestMainWindowOnline::writeChanged_sendsChangedWordsOnly_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("extraMode");
    QTest::addColumn<bool>("edit");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<int>("pauseMs");

    // 12.3 is 0x4144CCCD: both words of lower limit g = 3 (812, 813) change.
    const QStringList pairs = writeLines(6, 812, {0xCCCD, 0x4144}, 0x6C31);
    QTest::newRow("firmware 22") << 22 << 0 << true
                                 << QStringList{"6 2023 1"} + pairs + QStringList{"6 2023 0"} << 10;
    QTest::newRow("firmware 21: no flag, slow") << 21 << 0 << true << pairs << 100;
    QTest::newRow("extra delay") << 22 << int(ModeExtraDelay) << true
                                 << QStringList{"6 2023 1"} + pairs + QStringList{"6 2023 0"}
                                 << 100;
    QTest::newRow("nothing edited") << 22 << 0 << false << QStringList() << 0;
}

void TestMainWindowOnline::writeChanged_sendsChangedWordsOnly()
{
    QFETCH(int, firmware);
    QFETCH(int, extraMode);
    QFETCH(bool, edit);
    QFETCH(QStringList, sent);
    QFETCH(int, pauseMs);

    QVERIFY(startUnit(Tcp, UnitSimFixture::unit(Slave, {5, 4, 6, 7, 8, 1}, firmware)));
    QVERIFY(openWindow(extraMode));
    ModuleView *view = m_window->currentView();
    if (edit) {
        QVERIFY(editRow(view, LowerLimit3, 12.3));
        QVERIFY(view->hasChanges());
    }
    const int before = requestCount();
    BoxRecorder boxes;
    action(m_window.get(), "actionWriteEditable")->trigger();

    auto *bar = m_window->findChild<QProgressBar *>();
    if (sent.isEmpty()) {
        QTest::qWait(300);
        QCOMPARE(requestsSince(before), QStringList());
        QVERIFY(boxes.boxes().isEmpty());
        QVERIFY(m_window->isEnabled());
        QVERIFY(!bar->isVisible());
        QCOMPARE(m_closed->count(), 0);
        return;
    }
    // Running: the window waits, the bar shows the write blocks.
    QVERIFY(!m_window->isEnabled());
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->minimum(), 14);
    QCOMPARE(bar->maximum(), 26);

    // Over TCP every confirmed write ends with the note and the window closing.
    QTRY_COMPARE_WITH_TIMEOUT(m_closed->count(), 1, 10000);
    QCOMPARE(boxes.texts(), QStringList{Written});
    const QVector<SimRequestRecord> records = requestsOnly(m_sim->requests()).mid(before);
    QCOMPARE(describe(records), sent);
    const double gap
        = meanGapMs(records.mid(0, firmware > 21 ? records.size() - 1 : records.size()));
    QVERIFY2(gap >= pauseMs * 0.8 && gap < pauseMs + 40, qPrintable(QString::number(gap)));
    // The note waits a second after the last answer (a coarse timer may fire 5 % early).
    QVERIFY(records.last().time.msecsTo(boxes.boxes().first().at) >= 940);
    QCOMPARE(m_sim->reg(Slave, Holding, 812), 0xCCCD);
    QCOMPARE(m_sim->reg(Slave, Holding, 813), 0x4144);
}

void TestMainWindowOnline::writeAll_everyRegisterModuleLast_data()
{
    QTest::addColumn<int>("transport");
    QTest::addColumn<int>("newAddress"); // 0: no edit
    QTest::addColumn<bool>("closes");

    QTest::newRow("tcp") << int(Tcp) << 0 << true;
    QTest::newRow("rtu, link unchanged") << int(Rtu) << 0 << false;
    QTest::newRow("rtu, new address") << int(Rtu) << 7 << true;
}

void TestMainWindowOnline::writeAll_everyRegisterModuleLast()
{
    QFETCH(int, transport);
    QFETCH(int, newAddress);
    QFETCH(bool, closes);

    if (!startUnit(Transport(transport)))
        QSKIP("the transport is not available here");
    QVERIFY(openWindow());
    ModuleView *view = m_window->currentView();
    if (newAddress)
        QVERIFY(editRow(view, Link + QStringList{"Адрес MODBUS"}, newAddress));

    // What the unit holds now is what a full write must send back.
    QStringList expected{"6 2023 1"};
    for (const Block &block : DefaultWrites) {
        QVector<quint16> words;
        for (int i = 0; i < block.count; ++i) {
            const int address = block.start + i;
            int value = m_sim->reg(Slave, block.function == 5 ? Coils : Holding, address);
            if (block.function == 5)
                value = value ? 1 : 0;
            if (address == 2005 && newAddress)
                value = newAddress;
            words << quint16(value);
        }
        expected += writeLines(block.function, block.start, words,
                               block.start == 2004 ? 0x6C5B : 0x6C31);
    }
    expected << "6 2023 0";

    const int before = requestCount();
    BoxRecorder boxes;
    action(m_window.get(), "actionWrite")->trigger();
    if (closes) {
        QTRY_COMPARE_WITH_TIMEOUT(m_closed->count(), 1, 30000);
        QCOMPARE(boxes.texts(), QStringList{Written});
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 30000);
        QVERIFY(!m_window->findChild<QProgressBar *>()->isVisible());
        QTest::qWait(100);
        QVERIFY(boxes.boxes().isEmpty());
        QCOMPARE(m_closed->count(), 0);
        QVERIFY(m_window->isVisible());
    }
    QCOMPARE(requestsSince(before), expected);

    if (newAddress) {
        // The unit takes its new address a moment after the last module write.
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->unitAt(newAddress) != nullptr, 3000);
        const ModbusCallResult answer
            = ModbusCall::read(m_client.get(), Holding, 2005, 1, newAddress);
        QVERIFY(answer.ok());
        QCOMPARE(answer.values, QVector<quint16>{quint16(newAddress)});
    }
}

void TestMainWindowOnline::unknownListValue_writtenBack_data()
{
    QTest::addColumn<int>("transport");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("word"); // a value the tree's list does not know
    QTest::addColumn<bool>("all"); // else only what was changed
    QTest::newRow("rtu, baud bits 11, changed") << int(Rtu) << 2006 << 0x000B << false;
    QTest::newRow("rtu, baud bits 11, all") << int(Rtu) << 2006 << 0x000B << true;
    QTest::newRow("tcp, AI signal type 7, all") << int(Tcp) << 1203 << 7 << true;
}

void TestMainWindowOnline::unknownListValue_writtenBack()
{
    QFETCH(int, transport);
    QFETCH(int, address);
    QFETCH(int, word);
    QFETCH(bool, all);

    if (!startUnit(Transport(transport)))
        QSKIP("the transport is not available here");
    QVERIFY(m_sim->setReg(Slave, Holding, address, quint16(word)));
    QVERIFY(openWindow());
    const int before = requestCount();
    BoxRecorder boxes;
    action(m_window.get(), all ? "actionWrite" : "actionWriteEditable")->trigger();
    if (all)
        QTRY_COMPARE_WITH_TIMEOUT(m_closed->count(), 1, 30000);
    else
        QTest::qWait(300);
    // The unit's own word goes back (and this unit refuses even that); never a list entry.
    const QStringList sent
        = requestsSince(before).filter(QRegularExpression(QString("^6 %1 ").arg(address)));
    if (all) {
        QCOMPARE(sent.size(), 1);
        QVERIFY2(sent.first().startsWith(QString("6 %1 %2").arg(address).arg(word, 0, 16)),
                 qPrintable(sent.first()));
    } else {
        QCOMPARE(requestsSince(before), QStringList());
    }
    QCOMPARE(m_sim->reg(Slave, Holding, address), word);
}

void TestMainWindowOnline::writeFaults_data()
{
    QTest::addColumn<bool>("drop");      // else an exception on the last data write
    QTest::addColumn<int>("newAddress"); // 0: the lower limit g = 3 is edited instead
    QTest::addColumn<QStringList>("sent");

    const QStringList head = {"6 2023 1", "6 2016 6c31", "6 812 cccd", "6 2016 6c31"};
    // A refused write stops the sequence: the flag is not even cleared.
    QTest::newRow("exception: warned and closed")
        << false << 0 << head + QStringList{"6 813 - refused"};
    QTest::newRow("dropped completing reply: unconfirmed")
        << true << 0 << head + QStringList{"6 813 - dropped", "6 2023 0"};
    // The unit may answer at the new address: back to the start window.
    QTest::newRow("dropped address write: closed")
        << true << 7 << QStringList{"6 2023 1", "6 2016 6c5b", "6 2005 - dropped", "6 2023 0"};
}

void TestMainWindowOnline::writeFaults()
{
    QFETCH(bool, drop);
    QFETCH(int, newAddress);
    QFETCH(QStringList, sent);

    QVERIFY(startUnit(Tcp));
    QVERIFY(openWindow());
    ModuleView *view = m_window->currentView();
    if (newAddress)
        QVERIFY(editRow(view, Link + QStringList{"Адрес MODBUS"}, newAddress));
    else
        QVERIFY(editRow(view, LowerLimit3, 12.3));
    const int before = requestCount();
    SimFaults faults;
    if (drop)
        faults.dropEvery = before + sent.indexOf(QRegularExpression(".* dropped")) + 1;
    else
        faults.exceptionAt.insert(813, 4);
    m_sim->bus()->setFaults(faults);

    BoxRecorder boxes;
    action(m_window.get(), "actionWriteEditable")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!boxes.boxes().isEmpty(), 10000);
    QTest::qWait(1200); // nothing else may come: no second box, no success note
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.boxes().first().title, QStringLiteral("Внимание"));
    const QString text = boxes.texts().first();
    QCOMPARE(requestsSince(before).replaceInStrings(" (ignored write)", ""), sent);
    QCOMPARE(m_sim->reg(Slave, Holding, 813), 0);

    if (!drop) {
        QVERIFY2(text.startsWith("Ошибка запроса wT800: "), qPrintable(text));
        QVERIFY2(text.endsWith("(Mobus exception: 0x4)"), qPrintable(text));
    } else {
        QVERIFY2(text.contains("подтвердить"), qPrintable(text));
    }
    if (!drop || newAddress) {
        QCOMPARE(m_closed->count(), 1);
        QVERIFY(!m_window->isVisible());
        return;
    }
    QCOMPARE(m_closed->count(), 0);
    QVERIFY(m_window->isEnabled());
    QVERIFY(!m_window->findChild<QProgressBar *>()->isVisible());
    const QString pane = outputPane(m_window.get());
    QVERIFY2(pane.contains("Ошибка запроса wT800: ") && pane.contains("(code: 0x5)"),
             qPrintable(pane));
    QVERIFY(pane.contains(text));

    // Not known to be in the unit: a write of the changes sends it again.
    m_sim->bus()->setFaults(SimFaults());
    const int again = requestCount();
    action(m_window.get(), "actionWriteEditable")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_closed->count(), 1, 10000);
    QCOMPARE(requestsSince(again), QStringList{"6 2023 1"}
                                       + writeLines(6, 812, {0xCCCD, 0x4144}, 0x6C31)
                                       + QStringList{"6 2023 0"});
    QCOMPARE(m_sim->reg(Slave, Holding, 813), 0x4144);
}

void TestMainWindowOnline::verifyWrite_readsBackAndReports_data()
{
    QTest::addColumn<int>("transport");
    QTest::addColumn<bool>("ignored"); // the unit answers the write of 813 but keeps 0
    QTest::addColumn<QString>("report");

    const QString differs = "регистр 813: записано 16708, считано 0";
    QTest::newRow("tcp, all equal") << int(Tcp) << false << "совпадают с записанными";
    QTest::newRow("tcp, write ignored") << int(Tcp) << true << differs;
    QTest::newRow("rtu, write ignored") << int(Rtu) << true << differs;
}

void TestMainWindowOnline::verifyWrite_readsBackAndReports()
{
    QFETCH(int, transport);
    QFETCH(bool, ignored);
    QFETCH(QString, report);

    if (!startUnit(Transport(transport)))
        QSKIP("the transport is not available here");
    QVERIFY(openWindow());
    QAction *verify = action(m_window.get(), "actionVerifyWrite");
    QVERIFY(!verify->isChecked()); // off unless the user turns it on
    verify->trigger();
    QVERIFY(editRow(m_window->currentView(), LowerLimit3, 12.3));
    if (ignored) {
        SimFaults faults;
        faults.ignoreWrite.insert(813);
        m_sim->setFaults(faults);
    }
    const int before = requestCount();
    BoxRecorder boxes;
    action(m_window.get(), "actionWriteEditable")->trigger();

    auto *bar = m_window->findChild<QProgressBar *>();
    if (transport == Tcp) {
        QTRY_COMPARE_WITH_TIMEOUT(m_closed->count(), 1, 10000);
        QCOMPARE(boxes.texts().size(), 2);
        QCOMPARE(boxes.texts().last(), Written);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled() && !bar->isVisible(), 10000);
        QTRY_COMPARE(boxes.texts().size(), 1);
        QCOMPARE(m_window->statusBar()->currentMessage(), Written);
    }
    // The written words come back in one read after the flag is cleared.
    const QStringList sent = QStringList{"6 2023 1"} + writeLines(6, 812, {0xCCCD, 0x4144}, 0x6C31)
                             + QStringList{"6 2023 0", "3 812 2"};
    QCOMPARE(requestsSince(before).replaceInStrings(" (ignored write)", ""), sent);
    QVERIFY2(boxes.texts().first().contains(report), qPrintable(boxes.texts().first()));
    QVERIFY2(outputPane(m_window.get()).contains(report), qPrintable(outputPane(m_window.get())));
    QCOMPARE(boxes.boxes().first().title, QStringLiteral("Внимание"));
    QVERIFY(!boxes.boxes().first().progressShown); // the read-back has ended
}

void TestMainWindowOnline::reset_readsFactoryValuesIntoNewView_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("confirmed") << true;
    QTest::newRow("declined") << false;
}

void TestMainWindowOnline::reset_readsFactoryValuesIntoNewView()
{
    QFETCH(bool, confirm);
    QVERIFY(startUnit(Tcp));
    QVERIFY(m_sim->setReg(Slave, Holding, 812, 0xCCCD));
    QVERIFY(m_sim->setReg(Slave, Holding, 813, 0x4144));
    QVERIFY(m_sim->setReg(Slave, Holding, 1203, 3));
    QVERIFY(openWindow());
    QPointer<ModuleView> first = m_window->currentView();
    QVERIFY(qAbs(treeValue(first, LowerLimit3).toDouble() - 12.3) < 1e-4);

    const int before = requestCount();
    QString asked;
    whenModal<QMessageBox>([&asked, confirm](QMessageBox *box) {
        asked = box->text();
        box->button(confirm ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    action(m_window.get(), "actionResetConfig")->trigger();
    QCOMPARE(asked, QStringLiteral("Сбросить конфигурацию модуля к заводской?"));
    BoxRecorder boxes;
    if (!confirm) {
        QTest::qWait(300);
        QCOMPARE(requestsSince(before), QStringList());
        QVERIFY(!first.isNull());
        QCOMPARE(m_sim->reg(Slave, Holding, 813), 0x4144);
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(subWindows(m_window.get()).size() == 1 && first.isNull(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->findChild<QProgressBar *>()->isVisible(), 10000);

    QCOMPARE(requestsSince(before), QStringList{"6 2016 6c45"} + DefaultReads);
    ModuleView *fresh = m_window->currentView();
    QVERIFY(fresh);
    QCOMPARE(treeValue(fresh, LowerLimit3).toDouble(), 0.0);
    QCOMPARE(treeValue(fresh, AiIn2 + QStringList{"Тип сигнала"}).toInt(), 1);
    QCOMPARE(m_sim->reg(Slave, Holding, 813), 0);
    QVERIFY(boxes.boxes().isEmpty());
    QVERIFY(action(m_window.get(), "actionWrite")->isEnabled());
    QCOMPARE(m_window->statusBar()->currentMessage(),
             QStringLiteral("Заводская конфигурация считана из модуля"));
}

void TestMainWindowOnline::fileDiff_listsEditsAndWritesExactlyThem_data()
{
    QTest::addColumn<bool>("load");
    QTest::newRow("load, then write the edits") << true;
    QTest::newRow("cancel") << false;
}

void TestMainWindowOnline::fileDiff_listsEditsAndWritesExactlyThem()
{
    QFETCH(bool, load);
    QVERIFY(startUnit(Tcp));
    QVERIFY(openWindow());

    // A file saved from this unit, edited by hand in three places: the lock
    // time-out, the signal type of AIO input 2 (g = 1) and the lower limit of
    // AI input 2 (g = 3).
    QJsonObject root = m_window->deviceModule()->toJson();
    QJsonObject module = root.value("module").toObject();
    module.insert("WDT", "2.5");
    root.insert("module", module);
    QJsonArray boards = root.value("submodules").toArray();
    const auto edit = [&boards](int slot, int channel, const char *key, const char *value) {
        for (int s = 0; s < boards.size(); ++s) {
            QJsonObject board = boards.at(s).toObject();
            if (board.value("POSITION_SUBMODULE").toString() != QString::number(slot))
                continue;
            QJsonArray channels = board.value("channels").toArray();
            QJsonObject object = channels.at(channel).toObject();
            object.insert(key, value);
            channels.replace(channel, object);
            board.insert("channels", channels);
            boards.replace(s, board);
        }
    };
    edit(0, 1, "SIGNAL_TYPE", "2");
    edit(1, 1, "LOWER_LIMIT", "12.3");
    root.insert("submodules", boards);
    const QString fileName = m_dir.filePath("unit.brcf");
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(QJsonDocument(root).toJson()) > 0);
    file.close();

    BoxRecorder boxes;
    QStringList listed;
    chooseFile(fileName, [load, &listed] {
        whenModal<ConfigDiffDialog>([load, &listed](ConfigDiffDialog *diff) {
            const QTableWidget *table = diff->table();
            for (int row = 0; row < table->rowCount(); ++row)
                listed << table->item(row, 0)->text() + ": " + table->item(row, 1)->text() + " | "
                              + table->item(row, 2)->text();
            load ? diff->accept() : diff->reject();
        });
    });
    action(m_window.get(), "actionOpen")->trigger();
    QTRY_VERIFY(!listed.isEmpty());
    QCOMPARE(listed, QStringList({
                         "Модуль / Таймаут включения блокировки, с: 0.0 | 2.5",
                         "Субмодуль AIO (Слот A) / Аналоговый вход 2 / Тип сигнала: "
                         "Ток 4-20мА | Ток 0-20мА",
                         "Субмодуль AI (Слот B) / Аналоговый вход 2 / Нижний предел: 0.000 | "
                         "12.300",
                     }));
    if (!load) {
        QTest::qWait(100);
        QCOMPARE(subWindows(m_window.get()).size(), 1);
        QVERIFY(boxes.texts().isEmpty());
        return;
    }
    QTRY_COMPARE(boxes.texts(), QStringList{"Конфигурация успешно загружена"});
    QCOMPARE(subWindows(m_window.get()).size(), 2);
    QCOMPARE(m_window->currentView()->fileName(), fileName);
    // The rows that differ are the edited ones.
    QStringList edited;
    for (const ParameterTree::Entry &entry :
         ParameterTree::entries(*m_window->currentView()->module())) {
        if (entry.device->property(entry.name)->isChanged())
            edited << entry.path;
    }
    for (int i = 0; i < listed.size(); ++i)
        QCOMPARE(edited.value(i), listed.at(i).section(": ", 0, 0));
    QCOMPARE(edited.size(), listed.size());

    const int before = requestCount();
    action(m_window.get(), "actionWriteEditable")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_closed->count(), 1, 10000);
    QCOMPARE(requestsSince(before),
             QStringList{"6 2023 1"} + writeLines(6, 812, {0xCCCD, 0x4144}, 0x6C31)
                 + writeLines(6, 1201, {2}, 0x6C31) + writeLines(6, 2004, {25}, 0x6C5B)
                 + QStringList{"6 2023 0"});
    QCOMPARE(boxes.texts().last(), Written);
}

void TestMainWindowOnline::offlineFile_isWrittenBySlot()
{
    // Built offline: an AI board added to slot B, then one to slot A, whose
    // first input takes signal type 2.
    const QString fileName = m_dir.filePath("byslot.brcf");
    {
        MainWindow offline(ModeOffline);
        offline.show();
        whenModal<QDialog>([](QDialog *dialog) {
            dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        });
        QVERIFY(offline.createNew());
        for (int slot : {1, 0}) {
            whenModal<PositionSubmoduleDialog>([slot](PositionSubmoduleDialog *dialog) {
                dialog->findChild<QComboBox *>(QStringLiteral("comboBox"))->setCurrentIndex(slot);
                dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
            });
            action(&offline, "actionA2_4")->trigger();
        }
        ModuleView *view = offline.currentView();
        auto *signal
            = qobject_cast<QComboBox *>(view->findChild<TreePropertyBrowser *>()->openEditor(
                itemAt(view, {"Субмодуль AI (Слот A)", "Аналоговый вход 1 ", "Тип сигнала"})));
        QVERIFY(signal);
        signal->setCurrentIndex(2);
        chooseFile(fileName);
        action(&offline, "actionSaveAs")->trigger();
        QVERIFY(QFile::exists(fileName));
    }

    // A unit with AI boards in A and B whose inputs hold what the file holds
    // for slot B.
    QVERIFY(startUnit(Tcp, UnitSimFixture::unit(Slave, {4, 4, 0, 0, 0, 0})));
    for (int g = 0; g < 8; ++g)
        QVERIFY(m_sim->setReg(Slave, Holding, 1200 + g, 0));
    QVERIFY(openWindow());
    BoxRecorder boxes;
    chooseFile(fileName,
               [] { whenModal<ConfigDiffDialog>([](ConfigDiffDialog *diff) { diff->accept(); }); });
    action(m_window.get(), "actionOpen")->trigger();
    QTRY_COMPARE(boxes.texts(), QStringList{"Конфигурация успешно загружена"});

    const int before = requestCount();
    action(m_window.get(), "actionWriteEditable")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_closed->count(), 1, 30000);
    const QStringList sent = requestsSince(before);
    QVERIFY2(sent.contains("6 1200 2"), qPrintable(sent.join(", ")));
    QVERIFY2(!sent.join(", ").contains("6 1204 "), qPrintable(sent.join(", ")));
    QCOMPARE(m_sim->reg(Slave, Holding, 1200), 2);
    QCOMPARE(m_sim->reg(Slave, Holding, 1204), 0);
    QCOMPARE(boxes.texts().last(), Written);
}

void TestMainWindowOnline::close_asksAboutUnwrittenEdits_data()
{
    QTest::addColumn<bool>("edit");
    QTest::addColumn<bool>("subWindow"); // else the main window
    QTest::addColumn<int>("answer");     // 0: no question
    QTest::newRow("nothing edited") << false << false << 0;
    QTest::newRow("edited, cancel") << true << false << int(QMessageBox::Cancel);
    QTest::newRow("edited, close") << true << false << int(QMessageBox::Close);
    QTest::newRow("edited, sub-window, cancel") << true << true << int(QMessageBox::Cancel);
}

void TestMainWindowOnline::close_asksAboutUnwrittenEdits()
{
    QFETCH(bool, edit);
    QFETCH(bool, subWindow);
    QFETCH(int, answer);

    QVERIFY(startUnit(Tcp));
    QVERIFY(openWindow());
    if (edit)
        QVERIFY(editRow(m_window->currentView(), LowerLimit3, 12.3));
    QString asked;
    std::unique_ptr<BoxRecorder> unexpected;
    if (answer) {
        whenModal<QMessageBox>([&asked, answer](QMessageBox *box) {
            asked = box->text();
            box->button(QMessageBox::StandardButton(answer))->click();
        });
    } else {
        unexpected = std::make_unique<BoxRecorder>();
    }
    const bool closed = subWindow ? subWindows(m_window.get()).first()->close() : m_window->close();
    QCOMPARE(closed, answer != QMessageBox::Cancel);
    QCOMPARE(asked, answer ? QStringLiteral("Изменения не записаны в модуль. Закрыть без записи?")
                           : QString());
    QVERIFY(!unexpected || unexpected->boxes().isEmpty());
    QCOMPARE(m_closed->count(), !subWindow && closed ? 1 : 0);
}

void TestMainWindowOnline::busy_commandsWaitAndLeaveNoTrace()
{
    QVERIFY(startUnit(Tcp));
    QVERIFY(openWindow());
    const int before = requestCount();
    BoxRecorder boxes;

    action(m_window.get(), "actionRead")->trigger();
    for (const char *name : {"actionRead", "actionWrite", "actionWriteEditable",
                             "actionResetConfig", "actionCalibrate"})
        QVERIFY2(!action(m_window.get(), name)->isEnabled(), name);
    // Called past their disabled actions, the commands still wait their turn.
    for (const char *slot :
         {"writeEditableToDevice", "writeToDevice", "resetConfig", "onCalibrate", "readFromDevice"})
        QVERIFY(QMetaObject::invokeMethod(m_window.get(), slot));
    QTRY_COMPARE_WITH_TIMEOUT(subWindows(m_window.get()).size(), 2, 10000);
    QTest::qWait(100);
    QCOMPARE(requestsSince(before), DefaultReads);
    QVERIFY(boxes.boxes().isEmpty());
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(action(m_window.get(), "actionWrite")->isEnabled());

    // The write-changed call that had to wait leaves nothing behind: a full
    // write after it still writes every register.
    const int full = requestCount();
    action(m_window.get(), "actionWrite")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_closed->count(), 1, 30000);
    int registers = 0;
    for (const Block &block : DefaultWrites)
        registers += block.count;
    QCOMPARE(requestsSince(full).size(), 2 * registers + 2);
}

void TestMainWindowOnline::dialogs_openFromWindow_data()
{
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<QVector<int>>("slotCodes");
    QTest::addColumn<QString>("opens"); // class name of the dialog, or the warning text

    const QVector<int> unit = {5, 4, 6, 7, 8, 1};
    QTest::newRow("register map") << "actionOpenMapRegisters" << unit << "RigestersMapWindow";
    QTest::newRow("calibration") << "actionCalibrate" << unit << "CalibrateDialog";
    QTest::newRow("map without boards")
        << "actionOpenMapRegisters" << QVector<int>(6, 0) << "Ни один субмодуль не установлен";
}

void TestMainWindowOnline::dialogs_openFromWindow()
{
    QFETCH(QString, actionName);
    QFETCH(QVector<int>, slotCodes);
    QFETCH(QString, opens);

    QVERIFY(startUnit(Tcp, UnitSimFixture::unit(Slave, slotCodes)));
    QVERIFY(openWindow());
    const int before = requestCount();

    QString seen;
    bool windowDisabled = false;
    int pollsWhileOpen = 0;
    whenModal<QDialog>([&](QDialog *dialog) {
        seen = dialog->metaObject()->className();
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            seen = box->text();
        windowDisabled = !m_window->isEnabled();
        // Let a calibration dialog poll for a while first.
        QTimer::singleShot(qobject_cast<CalibrateDialog *>(dialog) ? 700 : 0, dialog, [&, dialog] {
            pollsWhileOpen = requestCount() - before;
            dialog->reject();
        });
    });
    action(m_window.get(), actionName.toLatin1().constData())->trigger();

    QCOMPARE(seen, opens);
    QVERIFY(m_window->isEnabled());
    if (opens.startsWith("Ни один"))
        return;
    QVERIFY(windowDisabled);
    if (opens == "CalibrateDialog") {
        QVERIFY2(pollsWhileOpen > 0, "the calibration dialog read nothing");
        QCOMPARE(m_client->timeout(), 500);
    } else {
        QCOMPARE(pollsWhileOpen, 0);
    }
}

void TestMainWindowOnline::registerMap_csvAndPdfOfDefaultUnit()
{
    QVERIFY(startUnit(Tcp));
    QVERIFY(openWindow());
    const QString csvName = m_dir.filePath("map.csv");
    const QString pdfName = m_dir.filePath("map.pdf");

    // "Экспорт в CSV…" as a user does it; the pages go to a PDF file.
    whenModal<RigestersMapWindow>([&](RigestersMapWindow *map) {
        chooseFile(csvName);
        map->findChild<QPushButton *>(QStringLiteral("exportButton"))->click();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFileName(pdfName);
        map->exporter().print(&printer);
        map->reject();
    });
    action(m_window.get(), "actionOpenMapRegisters")->trigger();

    // Written by hand from the register layout: AIO AI DI TMP DO6 DO4 in A..F.
    QFile golden(QStringLiteral(BRK_TEST_DATA_DIR "/registermap_default.csv"));
    QFile csv(csvName);
    QVERIFY(golden.open(QIODevice::ReadOnly) && csv.open(QIODevice::ReadOnly));
    const QByteArray expected = golden.readAll();
    const QByteArray written = csv.readAll();
    QVERIFY(written.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(QString::fromUtf8(written).split("\r\n"), QString::fromUtf8(expected).split("\r\n"));

    auto run = [](const QString &program, const QStringList &arguments) {
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished(10000) && process.exitCode() == 0
                   ? QString::fromUtf8(process.readAllStandardOutput())
                   : QString();
    };
    const QString info = run("pdfinfo", {pdfName});
    QVERIFY2(!info.isEmpty(), "pdfinfo (poppler-utils) is needed: scripts/setup");
    QVERIFY2(info.contains(QRegularExpression("\\nPages:\\s+2\\n")), qPrintable(info));
    const QString first = run("pdftotext", {"-layout", "-f", "1", "-l", "1", pdfName, "-"});
    for (const char *text : {"Карта регистров ВИРАТ7100.20 БРК", "Дискретные входы", "Регистр ПЛК",
                             "10001", "Аналоговые выходы", "40003", "мА"})
        QVERIFY2(first.contains(text),
                 qPrintable(text + QStringLiteral(" not on page 1:\n") + first));
    // Every row is printed: its PLC address is on one of the pages.
    const QString all = run("pdftotext", {"-layout", pdfName, "-"});
    for (const QString &line : QString::fromUtf8(expected).split("\r\n").mid(1, 28)) {
        const QString plc = line.split(';').value(7);
        QVERIFY2(all.contains(QRegularExpression("\\b" + plc + "\\b")), qPrintable(plc));
    }
}

void TestMainWindowOnline::trafficMonitor_listsRequestsAndOutcomes_data()
{
    QTest::addColumn<QString>("fault"); // at register 800, the AI limits
    QTest::addColumn<QString>("outcome");

    QTest::newRow("answered") << QString() << QString();
    QTest::newRow("exception") << "exception"
                               << "исключение 02: недопустимый адрес данных";
    QTest::newRow("dropped reply") << "silent"
                                   << "нет ответа (тайм-аут)";
}

void TestMainWindowOnline::trafficMonitor_listsRequestsAndOutcomes()
{
    QFETCH(QString, fault);
    QFETCH(QString, outcome);
    QVERIFY(startUnit(Tcp));
    SimFaults faults;
    if (fault == "exception")
        faults.exceptionAt.insert(800, 2);
    else if (fault == "silent")
        faults.silentAt.insert(800);
    m_sim->setFaults(faults);
    BoxRecorder boxes; // what the read says about a failed block is tested elsewhere
    QVERIFY(openWindow());

    auto *dock = m_window->findChild<TrafficDock *>();
    QVERIFY(dock && !dock->isVisible());
    action(m_window.get(), "actionTraffic")->trigger();
    QVERIFY(dock->isVisible());
    const QAbstractItemModel *rows = dock->findChild<QTableView *>("trafficTable")->model();
    QTRY_COMPARE(rows->rowCount(), DefaultReads.size());

    // In the order sent, as the unit saw them: function, start, count.
    QStringList requests;
    int row800 = -1;
    for (int row = 0; row < rows->rowCount(); ++row) {
        const QStringList cells = rowCells(rows, row);
        QCOMPARE(cells.at(1), QStringLiteral("1")); // unit address
        requests
            << QString("%1 %2 %3").arg(cells.at(2).left(2).toInt()).arg(cells.at(3), cells.at(4));
        if (cells.at(3) == "800")
            row800 = row;
        else
            QVERIFY2(!cells.at(5).contains("тайм-аут") && !cells.at(5).contains("исключение"),
                     qPrintable(cells.join('|')));
    }
    QCOMPARE(requests, DefaultReads);
    const QStringList limits = rowCells(rows, row800);
    if (outcome.isEmpty())
        QCOMPARE(limits.at(5).split(' ').size(), 32); // the values read
    else
        QCOMPARE(limits.at(5), outcome);
    // A time-out takes the client's time-out (500 ms, on a coarse timer: 5 % early at most).
    QVERIFY2(limits.at(6).toDouble() < (fault == "silent" ? 600 : 100)
                 && limits.at(6).toDouble() >= (fault == "silent" ? 475 : 0),
             qPrintable(limits.at(6)));
    // The first row holds what the unit has at 300.
    QCOMPARE(rowCells(rows, 0).at(5), QString::number(m_sim->reg(Slave, Holding, 300)));

    // Filtered to errors of function 3, and exported as shown.
    dock->findChild<QComboBox *>("trafficFunction")->setCurrentIndex(3);
    dock->findChild<QCheckBox *>("trafficErrorsOnly")->setChecked(true);
    QCOMPARE(rows->rowCount(), outcome.isEmpty() ? 0 : 1);
    const QString csv = m_dir.filePath("traffic.csv");
    QVERIFY(dock->exportCsv(csv));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + rows->rowCount());
    QVERIFY(lines.first().endsWith("Время, с;Адрес;Функция;Регистр;Кол-во / значения;Результат;"
                                   "Ответ, мс"));
    if (!outcome.isEmpty())
        QCOMPARE(lines.at(1), rowCells(rows, 0).join(';'));
    dock->findChild<QComboBox *>("trafficFunction")->setCurrentIndex(0);
    dock->findChild<QCheckBox *>("trafficErrorsOnly")->setChecked(false);
    QCOMPARE(rows->rowCount(), DefaultReads.size());
}

void TestMainWindowOnline::trafficMonitor_keepsTheLastTenThousand()
{
    // Through a client that is not connected every request is refused at once,
    // and Qt says so each time.
    QLoggingCategory::setFilterRules("brk.modbus.transfer.debug=false\nqt.modbus.warning=false");
    QModbusTcpClient idle;
    TrafficRecorder recorder;
    recorder.attach(&idle);
    const int total = TrafficRecorder::Capacity + 5;
    for (int i = 0; i < total; ++i)
        QVERIFY(!TrafficRecorder::sendRead(&idle, QModbusDataUnit(Holding, i, 1), Slave));
    QCOMPARE(recorder.count(), TrafficRecorder::Capacity);
    QCOMPARE(recorder.exchange(recorder.firstId())->start, 5);
    QVERIFY(!recorder.exchange(recorder.firstId() - 1));

    TrafficDock dock(&recorder);
    dock.show();
    const QAbstractItemModel *rows = dock.findChild<QTableView *>("trafficTable")->model();
    auto startAt = [rows](int row) {
        return rows->index(row, 3).data().toInt();
    };
    QCOMPARE(rows->rowCount(), TrafficRecorder::Capacity);
    QCOMPARE(startAt(0), 5);
    QCOMPARE(startAt(rows->rowCount() - 1), total - 1);
    QVERIFY(rows->index(0, 5).data().toString().startsWith("не отправлен: "));

    // Paused, the list takes no rows, but those the ring drops still go.
    dock.findChild<QPushButton *>("trafficPause")->click();
    for (int i = total; i < total + 3; ++i)
        TrafficRecorder::sendRead(&idle, QModbusDataUnit(Holding, i, 1), Slave);
    QTest::qWait(TrafficModel::SyncMs * 2);
    QCOMPARE(rows->rowCount(), TrafficRecorder::Capacity - 3);
    QCOMPARE(startAt(0), 8);
    dock.findChild<QPushButton *>("trafficPause")->click();
    QCOMPARE(rows->rowCount(), TrafficRecorder::Capacity);
    QCOMPARE(startAt(rows->rowCount() - 1), total + 2);

    dock.findChild<QPushButton *>("trafficClear")->click();
    QCOMPARE(rows->rowCount(), 0);
    QCOMPARE(recorder.count(), 0);
    QLoggingCategory::setFilterRules("brk.modbus.transfer.debug=false");
}

void TestMainWindowOnline::linkStatus_followsTheUnit_data()
{
    QTest::addColumn<int>("transport");
    QTest::newRow("tcp") << int(Tcp);
    QTest::newRow("rtu") << int(Rtu);
}

void TestMainWindowOnline::linkStatus_followsTheUnit()
{
    QFETCH(int, transport);
    if (!startUnit(Transport(transport)))
        QSKIP("the transport is not available here");
    QVERIFY(openWindow());
    m_client->setTimeout(100);
    const QString connection = transport == Tcp
                                   ? QString("TCP 127.0.0.1:%1, адрес 1").arg(m_sim->port())
                                   : m_pty->clientEnd() + ", 19200 8N1, адрес 1";
    auto *field = m_window->statusBar()->findChild<QLabel *>("linkStatus");
    QVERIFY(field && field->isVisible());
    QCOMPARE(field->text(), connection + " — отвечает");

    auto readAll = [this]() {
        action(m_window.get(), "actionRead")->trigger();
        return QTest::qWaitFor([this] { return action(m_window.get(), "actionRead")->isEnabled(); },
                               10000);
    };
    BoxRecorder boxes; // a read that gets no answer says so
    m_sim->setSilent(true);
    const QTime before = QTime::currentTime().addMSecs(-1000);
    QVERIFY(readAll());
    const QString silent = connection + " — не отвечает с ";
    QVERIFY2(field->text().startsWith(silent), qPrintable(field->text()));
    const QTime since = QTime::fromString(field->text().mid(silent.size()), "HH:mm:ss");
    QVERIFY2(since.isValid() && since >= before && since <= QTime::currentTime(),
             qPrintable(field->text()));

    m_sim->setSilent(false);
    QVERIFY(readAll());
    QCOMPARE(field->text(), connection + " — отвечает");
    m_client->disconnectDevice();
    QTRY_COMPARE(field->text(), connection + " — оффлайн");
}

QTEST_MAIN(TestMainWindowOnline)
#include "tst_mainwindow_online.moc"
