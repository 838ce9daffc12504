// SPDX-License-Identifier: GPL-3.0-or-later
// The online main window end to end: from the start window, and through its
// actions and real dialogs driving the read, write and reset sequences against
// the simulated unit (in-process over TCP, and over a virtual serial line for
// RTU); the unit's request log and registers show what reached it.

#include "configdiffdialog.h"
#include "configedit.h"
#include "mainwindowdriver.h"
#include "modbuscall.h"
#include "modeflags.h"
#include "processrun.h"
#include "ptypair.h"
#include "registermapexport.h"
#include "registermapwindow.h"
#include "startwindow.h"
#include "trafficdock.h"
#include "trafficmodel.h"
#include "unitimage.h"
#include "unitsimfixture.h"

#include <journal.h>
#include <module.h>
#include <parametertree.h>
#include <property.h>
#include <linkreconnector.h>
#include <trafficrecorder.h>

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QModbusRtuSerialMaster>
#include <QModbusTcpClient>
#include <QPrinter>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int Slave = 1;
constexpr auto Holding = QModbusDataUnit::HoldingRegisters;
constexpr auto Coils = QModbusDataUnit::Coils;
const QString Title = QStringLiteral("ВИРАТ БРК-40 ");
const QString Written = QStringLiteral("Конфигурация успешно записана!");
const QString Warning = QStringLiteral("Внимание");

enum Transport { Tcp, Rtu };

// Tree paths in the default unit: AIO AI DI TMP DO6 DO4 in slots A..F.
const QStringList AiIn2 = {"Субмодуль AI (Слот B)", "Аналоговый вход 2 "}; // g = 3
const QStringList Link = {"Параметры модуля", "Параметры связи"};
const QStringList LowerLimit3 = AiIn2 + QStringList{"Нижний предел"};
const QStringList Address = Link + QStringList{"Адрес MODBUS"};

// AIO and AI in A and B: the AI rows above, read and written in fewer blocks.
const SimUnitConfig AioAi = UnitSimFixture::unit(1, {5, 4, 0, 0, 0, 0});

// The channel blocks of the default unit (8 AI, 2 AO, 4 DI, 10 DO) as the
// unit must see them: function, start, count, in this order.
const QStringList DefaultReads = {"3 300 1",  "3 400 16",  "3 800 32",  "3 1200 8", "3 600 4",
                                  "3 1000 8", "1 1000 10", "3 1300 10", "3 1400 2", "3 1600 4"};

// Mean time between requests as the unit received them.
double meanGapMs(const QVector<SimRequestRecord> &records)
{
    if (records.size() < 2)
        return 0;
    return double(records.first().time.msecsTo(records.last().time)) / (records.size() - 1);
}

// The lines a write of `words` from `first` sends, each behind its command.
QStringList writeLines(int function, int first, const QVector<quint16> &words,
                       quint16 command = 0x6C31)
{
    QStringList lines;
    for (int i = 0; i < words.size(); ++i) {
        lines << QString("6 2016 %1").arg(command, 0, 16);
        lines << QString("%1 %2 %3").arg(function).arg(first + i).arg(words.at(i), 0, 16);
    }
    return lines;
}

// A write of 12.3 (0x4144CCCD) to the lower limit of g = 3, with the EEPROM flag.
const QStringList LimitWrite
    = QStringList{"6 2023 1"} + writeLines(6, 812, {0xCCCD, 0x4144}) + QStringList{"6 2023 0"};

// The cells of one row of a view's model.
QStringList rowCells(const QAbstractItemModel *model, int row)
{
    QStringList cells;
    for (int column = 0; column < model->columnCount(); ++column)
        cells << model->index(row, column).data().toString();
    return cells;
}

// Whole rows a table shows.
int rowsShown(const QTableView *table)
{
    return table->viewport()->height() / table->verticalHeader()->defaultSectionSize();
}

} // namespace

class TestMainWindowOnline : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void startWindow_opensUnitBehindGatewayAndTakesItBack();
    void read_showsValuesTrafficAndLink();
    void rtu_writeStaysOpenReadsBackAndFollowsAddress();
    void writeChanged_sendsChangedWordsOnly_data();
    void writeChanged_sendsChangedWordsOnly();
    void writeAll_afterBusyCommandsEveryRegisterModuleLast();
    void shortRead_unreadBlockNotWritten();
    void reset_readsFactoryValuesIntoNewView();
    void journal_oneLinePerResetAndWrite();
    void files_checkedAgainstTheUnit();
    void offlineFile_isWrittenBySlot();
    void fileLink_isTheUnitsUnlessChosen_data();
    void fileLink_isTheUnitsUnlessChosen();
    void trafficMonitor_keepsTheLastTenThousand();
    void droppedLink_comesBackAndTheWindowCarriesOn_data();
    void droppedLink_comesBackAndTheWindowCarriesOn();

private:
    // Starts the unit and a connected client; false when the transport cannot be had here.
    bool startUnit(Transport transport, const SimUnitConfig &unit = SimUnitConfig(),
                   int secondAt = 0);
    // Opens the online window and waits for its first view.
    bool openWindow(int extraMode = 0, int slave = Slave);
    // The unit's own view saved to `name` with `edits` (see editedConfig()), opened
    // online; `listed`: the rows of the comparison shown first, "path: unit | file";
    // `load`: the comparison accepted.
    void openEditedCopy(const QString &name, const QStringList &edits, QStringList *listed,
                        bool load = true);
    // The requests the unit got, unit events left out.
    QVector<SimRequestRecord> records(int first = 0) const
    {
        QVector<SimRequestRecord> result;
        for (const SimRequestRecord &record : m_sim->requests()) {
            if (record.function != 0 && record.result != SimRequestRecord::NoUnit)
                result << record;
        }
        return result.mid(first);
    }
    QStringList requestsSince(int first) const { return UnitSimFixture::describe(records(first)); }
    int requestCount() const { return records().size(); }

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
    // The window's writes go into the journal of changes in the user's data folder.
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
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

bool TestMainWindowOnline::startUnit(Transport transport, const SimUnitConfig &unit, int secondAt)
{
    m_transport = transport;
    UnitSimFixture::Options options;
    options.units = {unit};
    if (secondAt)
        options.units << UnitSimFixture::unit(secondAt, unit.slotCodes);
    m_sim = std::make_unique<UnitSimFixture>(options);
    if (transport == Tcp) {
        if (!m_sim->start())
            return false;
        m_client = ModbusCall::tcpClient(m_sim->port(), 500);
        return m_client->state() == QModbusDevice::ConnectedState;
    }
    m_pty = std::make_unique<PtyPair>();
    QString error;
    if (!PtyPair::socatAvailable() || !m_pty->start(&error)
        || !m_sim->openSerial(m_pty->unitEnd(), &error))
        return false;
    m_client = std::make_unique<QModbusRtuSerialMaster>();
    m_client->setConnectionParameter(QModbusDevice::SerialPortNameParameter, m_pty->clientEnd());
    // Qt's defaults otherwise: 19200 bit/s, 8 data bits, 1 stop bit.
    m_client->setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    m_client->setTimeout(400);
    m_client->setNumberOfRetries(0);
    return m_client->connectDevice()
           && QTest::qWaitFor([this] { return m_client->state() == QModbusDevice::ConnectedState; },
                              5000);
}

bool TestMainWindowOnline::openWindow(int extraMode, int slave)
{
    const int mode = ModeOnline | (m_transport == Tcp ? ModeTcp : ModeRtu) | extraMode;
    m_window = std::make_unique<MainWindow>(mode, moduleImage(*m_sim, slave), m_client.get());
    m_closed = std::make_unique<QSignalSpy>(m_window.get(), &MainWindow::closed);
    m_window->show();
    return QTest::qWaitFor([this] { return m_window->deviceModule() != nullptr; }, 10000);
}

void TestMainWindowOnline::startWindow_opensUnitBehindGatewayAndTakesItBack()
{
    constexpr int unitId = 7;
    m_sim = std::make_unique<UnitSimFixture>(
        QList<SimUnitConfig>{UnitSimFixture::unit(unitId, {5, 4, 0, 0, 0, 0})});
    QVERIFY(m_sim->start());
    auto start = std::make_unique<StartWindow>();
    start->show();
    start->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
    start->findChild<QLineEdit *>("leIp")->setText(m_sim->host());
    start->findChild<QLineEdit *>("lePort")->setText(QString::number(m_sim->port()));
    start->findChild<QSpinBox *>("leStartUnitId")->setValue(unitId);
    QTest::mouseClick(start->findChild<QPushButton *>("btnConnect"), Qt::LeftButton);
    auto *online = start->findChild<QPushButton *>("btnOnline");
    QTRY_VERIFY_WITH_TIMEOUT(online->isEnabled(), 10000);
    const QModbusClient *client = start->client();

    // Its traffic monitor opens about ten rows tall (on a screen this small
    // in a window of its own) and leaves the found units five.
    auto *startDock = start->findChild<TrafficDock *>();
    startDock->toggleViewAction()->trigger();
    QTRY_VERIFY(rowsShown(startDock->findChild<QTableView *>()) >= TrafficDock::OpenRows - 1);
    QVERIFY(rowsShown(start->findChild<QTableWidget *>("tableWidget")) >= StartWindow::MinUnitRows);
    m_sim->clearRequests();
    QTest::mouseClick(online, Qt::LeftButton);
    QPointer<MainWindow> window;
    QTRY_VERIFY(window = shownMainWindow());
    QVERIFY(window->isMaximized());
    QVERIFY(!start->isVisible());
    QCOMPARE(window->mode(), int(ModeOnline | ModeTcp));
    // Its first show reads the unit over the start window's client.
    QTRY_VERIFY_WITH_TIMEOUT(window->deviceModule() != nullptr, 10000);
    QCOMPARE(window->deviceModule()->submodules().size(), 2);
    QCOMPARE(subWindows(window).first()->windowTitle(), Title + "127.0.0.1 (адрес 7)");
    // Its traffic monitor holds the whole run: the start window's probe comes first.
    const QAbstractItemModel *traffic = window->findChild<QTableView *>("trafficTable")->model();
    QCOMPARE(rowCells(traffic, 0).at(1) + ' ' + rowCells(traffic, 0).at(3) + ' '
                 + rowCells(traffic, 0).at(4),
             QStringLiteral("7 2000 23"));

    // A write goes to the unit's identifier too.
    QVERIFY(editRow(window->currentView(), Link + QStringList{"Задержка ответа, мс"}, 5));
    BoxRecorder boxes;
    action(window, "actionWriteEditable")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{Written}, 5000);
    // The note waits a second after the last answer (a coarse timer may fire 5 % early).
    QVERIFY(
        records()[requestsSince(0).lastIndexOf("6 2023 0")].time.msecsTo(boxes.boxes().last().at)
        >= 940);
    QCOMPARE(m_sim->reg(unitId, Holding, 2007), 5);
    QTRY_VERIFY(start->isVisible());
    QVERIFY(start->client() != client);
    QCOMPARE(start->client()->state(), QModbusDevice::UnconnectedState);
    QTRY_VERIFY(window.isNull());
    for (const SimRequestRecord &record : records())
        QCOMPARE(record.slave, unitId);
}

void TestMainWindowOnline::read_showsValuesTrafficAndLink()
{
    QVERIFY(startUnit(Tcp));
    // Floats low word first: -10.5 is 0x0000 0xC128, 12.5 is 0x0000 0x4148.
    const struct
    {
        QModbusDataUnit::RegisterType type;
        int address;
        quint16 word;
        QString path; // below the board
        double shown;
    } values[] = {
        {Holding, 813, 0xC128, "AI (Слот B)/Аналоговый вход 2 /Нижний предел", -10.5},
        // Temperature signal types start at code 4: code 9 is the sixth entry.
        {Holding, 1206, 9, "TMP (Слот D)/Вход термосопротивлений 1 /Тип сигнала", 5},
        // Multiplier in bits 6..7 of the channel's first flag word.
        {Holding, 400, 0x0080, "AIO (Слот A)/Аналоговый вход 1 /Множитель", 2},
        {Holding, 300, 0x0004, "DI (Слот C)/Дискретный вход 3 /Антидребезг", 1},
        // Both blocks at 1000: the coils and the analog-output limits.
        {Coils, 1007, 1, "DO4 (Слот F)/Дискретный выход 2 /Блокировочное значение", 1},
        {Holding, 1007, 0x4148, "AIO (Слот A)/Аналоговый выход 2 /Верхний предел", 12.5},
    };
    for (const auto &value : values)
        QVERIFY(m_sim->setReg(Slave, value.type, value.address, value.word));
    SimFaults faults;
    faults.exceptionAt.insert(1300, 2);
    faults.silentAt.insert(1600);
    m_sim->setFaults(faults);
    m_client->setTimeout(200);
    // What the read says about a failed block is tested elsewhere.
    auto boxes = std::make_unique<BoxRecorder>();
    QVERIFY(openWindow());

    QStringList reads = DefaultReads;
    reads[7] += " refused";
    reads[9] = "3 1600 0 dropped"; // the unit logs no count for a request it ignores
    QCOMPARE(
        UnitSimFixture::describe(records()).replaceInStrings(QRegularExpression(" \\(.*\\)$"), ""),
        reads);
    ModuleView *view = m_window->currentView();
    QCOMPARE(view->module(), m_window->deviceModule());
    for (const auto &value : values) {
        const QVariant shown = treeValue(view, ("Субмодуль " + value.path).split('/'));
        QVERIFY2(shown.isValid() && qAbs(shown.toDouble() - value.shown) < 1e-6,
                 qPrintable(value.path + ": " + shown.toString()));
    }
    // A block not read shows no value and takes no edit.
    const QStringList pwm{"Субмодуль DO4 (Слот F)", "Дискретный выход 2 ", "Значение ШИМ"};
    QCOMPARE(treeValue(view, pwm).toString(), QString());
    QVERIFY(!editRow(view, pwm, 40));
    QVERIFY(!m_window->findChild<QProgressBar *>()->isVisible());
    for (const char *name : {"actionRead", "actionWrite", "actionWriteEditable",
                             "actionResetConfig", "actionCalibrate", "actionOpenMapRegisters"})
        QVERIFY2(action(m_window.get(), name)->isEnabled(), name);
    // The boards are the unit's: the board commands stay off.
    for (const char *name : {"actionNew", "actionA1_2_2", "actionDelSubmodule"})
        QVERIFY2(!action(m_window.get(), name)->isEnabled(), name);
    // The last block got no answer: the status line says since when.
    const QString connection = QString("TCP 127.0.0.1:%1, адрес 1").arg(m_sim->port());
    auto *field = m_window->statusBar()->findChild<QLabel *>("linkStatus");
    QVERIFY(field && field->isVisible());
    const QString silent = connection + " — не отвечает с ";
    QVERIFY2(field->text().startsWith(silent), qPrintable(field->text()));
    const QTime since = QTime::fromString(field->text().mid(silent.size()), "HH:mm:ss");
    QVERIFY2(since.isValid() && since.secsTo(QTime::currentTime()) <= 2, qPrintable(field->text()));

    // The monitor: in the order sent, with what each got.
    auto *dock = m_window->findChild<TrafficDock *>();
    QVERIFY(dock && !dock->isVisible());
    action(m_window.get(), "actionTraffic")->trigger();
    QTRY_VERIFY(rowsShown(dock->findChild<QTableView *>()) >= TrafficDock::OpenRows - 1);
    const QAbstractItemModel *rows = dock->findChild<QTableView *>("trafficTable")->model();
    QTRY_COMPARE(rows->rowCount(), DefaultReads.size());
    QStringList requests;
    for (int row = 0; row < rows->rowCount(); ++row) {
        const QStringList cells = rowCells(rows, row);
        QCOMPARE(cells.at(1), QStringLiteral("1")); // unit address
        requests
            << QString("%1 %2 %3").arg(cells.at(2).left(2).toInt()).arg(cells.at(3), cells.at(4));
    }
    QCOMPARE(requests, DefaultReads);
    QCOMPARE(rowCells(rows, 0).at(5), QString::number(m_sim->reg(Slave, Holding, 300)));
    QCOMPARE(rowCells(rows, 2).at(5).split(' ').size(), 32); // the values read
    QCOMPARE(rowCells(rows, 7).at(5), QStringLiteral("исключение 02: недопустимый адрес данных"));
    QCOMPARE(rowCells(rows, 9).at(5), QStringLiteral("нет ответа (тайм-аут)"));
    // A time-out takes the client's time-out (on a coarse timer: about 5 % early at most;
    // a loaded machine was seen at 189 ms).
    const double waited = rowCells(rows, 9).at(6).toDouble();
    QVERIFY2(waited >= 185 && waited < 300, qPrintable(QString::number(waited)));
    QVERIFY(rowCells(rows, 7).at(6).toDouble() < 100);

    // Filtered to errors of function 3, and exported as shown.
    dock->findChild<QComboBox *>("trafficFunction")->setCurrentIndex(3);
    dock->findChild<QCheckBox *>("trafficErrorsOnly")->setChecked(true);
    QCOMPARE(rows->rowCount(), 2);
    const QString csv = m_dir.filePath("traffic.csv");
    QVERIFY(dock->exportCsv(csv));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.first().endsWith("Время, с;Адрес;Функция;Регистр;Кол-во / значения;Результат;"
                                   "Ответ, мс"));
    QCOMPARE(lines.at(2), rowCells(rows, 1).join(';'));

    // Nothing edited: a write of the changes sends nothing and says so.
    const int boxesBefore = boxes->boxes().size();
    int before = requestCount();
    action(m_window.get(), "actionWriteEditable")->trigger();
    QCOMPARE(m_window->statusBar()->currentMessage(), QString("Нет изменений для записи"));
    QTest::qWait(100);
    QCOMPARE(requestsSince(before), QStringList());
    QCOMPARE(boxes->boxes().size(), boxesBefore);
    boxes.reset();
    QVERIFY(m_window->isEnabled());

    // The unit answers again.
    m_sim->setFaults(SimFaults());
    action(m_window.get(), "actionRead")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(subWindows(m_window.get()).size(), 2, 5000);
    QCOMPARE(field->text(), connection + " — отвечает");
    QCOMPARE(treeValue(m_window->currentView(), pwm).toInt(), m_sim->reg(Slave, Holding, 1307));

    // The map holds the window while open and exports what it lists: CSV as a user
    // does it, the pages to a PDF file.
    const QString csvName = m_dir.filePath("map.csv");
    const QString pdfName = m_dir.filePath("map.pdf");
    bool windowDisabled = false;
    whenModal<RegisterMapWindow>([&](RegisterMapWindow *map) {
        windowDisabled = !m_window->isEnabled();
        chooseFile(csvName);
        map->findChild<QPushButton *>(QStringLiteral("exportButton"))->click();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFileName(pdfName);
        map->exporter().print(&printer);
        map->reject();
    });
    before = requestCount();
    action(m_window.get(), "actionOpenMapRegisters")->trigger();
    QVERIFY(windowDisabled && m_window->isEnabled());
    QCOMPARE(requestCount(), before);
    // Written by hand from the register layout: AIO AI DI TMP DO6 DO4 in A..F.
    QFile golden(QStringLiteral(BRK_TEST_DATA_DIR "/registermap_default.csv"));
    QFile mapCsv(csvName);
    QVERIFY(golden.open(QIODevice::ReadOnly) && mapCsv.open(QIODevice::ReadOnly));
    const QString expected = QString::fromUtf8(golden.readAll());
    const QByteArray written = mapCsv.readAll();
    QVERIFY(written.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(QString::fromUtf8(written).split("\r\n"), expected.split("\r\n"));
    const QString info = ProcessRun::run("pdfinfo", {pdfName}).out;
    QVERIFY2(!info.isEmpty(), "pdfinfo (poppler-utils) is needed: scripts/setup");
    QVERIFY2(info.contains(QRegularExpression("\\nPages:\\s+2\\n")), qPrintable(info));
    const QString first
        = ProcessRun::run("pdftotext", {"-layout", "-f", "1", "-l", "1", pdfName, "-"}).out;
    for (const char *text : {"Карта регистров ВИРАТ7100.20 БРК", "Дискретные входы", "Регистр ПЛК",
                             "10001", "Аналоговые выходы", "40003", "мА"})
        QVERIFY2(first.contains(text), qPrintable(text + QStringLiteral(" not on page 1")));

    // Edited: closing asks, and closes when told to.
    QVERIFY(editRow(m_window->currentView(), LowerLimit3, 12.3));
    m_client->disconnectDevice();
    QTRY_COMPARE(field->text(), connection + " — нет связи, переподключение");
    QString asked;
    answerNext(QMessageBox::Close, &asked);
    QVERIFY(m_window->close());
    QCOMPARE(asked, QStringLiteral("Изменения не записаны в модуль. Закрыть без записи?"));
    QCOMPARE(m_closed->count(), 1);
}

void TestMainWindowOnline::rtu_writeStaysOpenReadsBackAndFollowsAddress()
{
    if (!startUnit(Rtu, AioAi))
        QSKIP("socat is needed for a virtual serial line");
    // Baud bits 11 are in no list: the word stays the unit's own.
    QVERIFY(m_sim->setReg(Slave, Holding, 2006, 0x000B));
    QVERIFY(m_sim->setReg(Slave, Holding, 813, 0xC128));
    QVERIFY(openWindow());
    ModuleView *view = m_window->currentView();
    QCOMPARE(treeValue(view, LowerLimit3).toDouble(), -10.5);
    QCOMPARE(subWindows(m_window.get()).first()->windowTitle(), Title + m_pty->clientEnd());
    const QString connection = m_pty->clientEnd() + ", 19200 8N1, адрес 1";
    auto *field = m_window->statusBar()->findChild<QLabel *>("linkStatus");
    QCOMPARE(field->text(), connection + " — отвечает");

    // With the check on, the written words come back in one read after the
    // flag is cleared; the unit answered the write of 813 but kept its word.
    QAction *verify = action(m_window.get(), "actionVerifyWrite");
    QVERIFY(!verify->isChecked()); // off unless the user turns it on
    verify->trigger();
    QVERIFY(editRow(view, LowerLimit3, 12.3));
    SimFaults faults;
    faults.ignoreWrite.insert(813);
    m_sim->setFaults(faults);
    int before = requestCount();
    BoxRecorder boxes;
    action(m_window.get(), "actionWriteEditable")->trigger();
    auto *bar = m_window->findChild<QProgressBar *>();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled() && !bar->isVisible(), 10000);
    QTRY_COMPARE(boxes.texts().size(), 1);
    QCOMPARE(requestsSince(before).replaceInStrings(" (ignored write)", ""),
             LimitWrite + QStringList{"3 812 2"});
    const QString report = "регистр 813: записано 16708, считано 49448";
    QVERIFY2(boxes.texts().first().contains(report), qPrintable(boxes.texts().first()));
    QVERIFY2(outputPane(m_window.get()).contains(report), qPrintable(outputPane(m_window.get())));
    QCOMPARE(boxes.boxes().first().title, Warning);
    QVERIFY(!boxes.boxes().first().progressShown); // the read-back has ended
    // Not confirmed: no success, the limit stays marked, and a write of the
    // changes sends again the word the unit did not take.
    QVERIFY(boxes.texts().first().contains("Запись не подтверждена"));
    QVERIFY(m_window->statusBar()->currentMessage() != Written);
    QCOMPARE(m_closed->count(), 0);
    QVERIFY(action(m_window.get(), "actionWrite")->isEnabled());
    auto *tree = view->findChild<TreePropertyBrowser *>();
    QCOMPARE(tree->backgroundColor(itemAt(view, LowerLimit3)), QColor(Qt::cyan));
    m_sim->setFaults(SimFaults());
    before = requestCount();
    action(m_window.get(), "actionWriteEditable")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts().size(), 2, 10000);
    QCOMPARE(requestsSince(before),
             (QStringList{"6 2023 1", "6 2016 6c31", "6 813 4144", "6 2023 0", "3 813 1"}));
    QCOMPARE(tree->backgroundColor(itemAt(view, LowerLimit3)), QColor(Qt::white));
    QCOMPARE(m_window->statusBar()->currentMessage(), Written);

    // A new address: no read-back, where the unit may not answer yet; the
    // window goes back to the start window after the note.
    m_sim->setFaults(SimFaults());
    QVERIFY(editRow(view, Address, 7));
    before = requestCount();
    action(m_window.get(), "actionWriteEditable")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_closed->count(), 1, 5000);
    QCOMPARE(boxes.texts().last(), Written);
    QCOMPARE(requestsSince(before),
             (QStringList{"6 2023 1", "6 2016 6c5b", "6 2005 7", "6 2023 0"}));
    QVERIFY(outputPane(m_window.get())
                .contains("Проверка записи не выполнена: изменены адрес или параметры связи"));
    // The unit takes its new address a moment after the last module write.
    QTRY_VERIFY_WITH_TIMEOUT(m_sim->unitAt(7) != nullptr, 3000);
    QCOMPARE(m_sim->reg(7, Holding, 2006), 0x000B);
    const ModbusCallResult answer = ModbusCall::read(m_client.get(), Holding, 2005, 1, 7);
    QVERIFY(answer.ok());
    QCOMPARE(answer.values, QVector<quint16>{7});
}

// A block read short is not written, and the write says so.
void TestMainWindowOnline::shortRead_unreadBlockNotWritten()
{
    QVERIFY(startUnit(Tcp, AioAi));
    SimFaults faults;
    faults.shortReplyAt.insert(800, 1);
    m_sim->setFaults(faults);
    auto boxes = std::make_unique<BoxRecorder>();
    QVERIFY(openWindow());
    m_sim->setFaults(SimFaults());
    QCOMPARE(itemAt(m_window->currentView(), LowerLimit3)->property()->valueText(), QString());
    const int before = requestCount();
    action(m_window.get(), "actionWrite")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_closed->count(), 1, 10000);
    QCOMPARE(boxes->texts().last(), QString("Не записаны блоки, не считанные из модуля: rT800"));
    QCOMPARE(requestsSince(before).filter(QRegularExpression("^6 8\\d\\d ")), QStringList());
}

void TestMainWindowOnline::writeChanged_sendsChangedWordsOnly_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("extraMode");
    QTest::addColumn<bool>("readBack");
    QTest::addColumn<int>("newAddress"); // 0: the lower limit g = 3 is edited instead
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<int>("pauseMs");

    // 12.3 is 0x4144CCCD: both words of lower limit g = 3 (812, 813) change.
    QTest::newRow("firmware 22, read back")
        << 22 << 0 << true << 0 << LimitWrite + QStringList{"3 812 2"} << 10;
    QTest::newRow("firmware 21: no flag, slow")
        << 21 << 0 << false << 0 << QStringList(LimitWrite.mid(1, 4)) << 100;
    QTest::newRow("extra delay") << 22 << int(ModeExtraDelay) << false << 0 << LimitWrite << 100;
    QTest::newRow("dropped completing reply: unconfirmed")
        << 22 << 0 << false << 0
        << QStringList(LimitWrite.mid(0, 4)) + QStringList{"6 813 - dropped", "6 2023 0"} << 0;
    // The unit may answer at the new address: back to the start window.
    QTest::newRow("dropped address write: closed")
        << 22 << 0 << false << 7
        << QStringList{"6 2023 1", "6 2016 6c5b", "6 2005 - dropped", "6 2023 0"} << 0;
}

void TestMainWindowOnline::writeChanged_sendsChangedWordsOnly()
{
    QFETCH(int, firmware);
    QFETCH(int, extraMode);
    QFETCH(bool, readBack);
    QFETCH(int, newAddress);
    QFETCH(QStringList, sent);
    QFETCH(int, pauseMs);

    QVERIFY(startUnit(Tcp, UnitSimFixture::unit(Slave, AioAi.slotCodes, firmware)));
    QVERIFY(openWindow(extraMode));
    if (readBack)
        action(m_window.get(), "actionVerifyWrite")->trigger();
    QVERIFY(editRow(m_window->currentView(), newAddress ? Address : LowerLimit3,
                    newAddress ? newAddress : 12.3));
    const int before = requestCount();
    const int dropped = sent.indexOf(QRegularExpression(".* dropped"));
    if (dropped >= 0) {
        SimFaults faults;
        faults.dropEvery = before + dropped + 1;
        m_sim->setFaults(faults);
        m_client->setTimeout(200);
    }
    auto boxes = std::make_unique<BoxRecorder>();
    action(m_window.get(), "actionWriteEditable")->trigger();
    // Running (after a new address was asked whether it is free): the window
    // waits, the bar shows the write blocks.
    auto *bar = m_window->findChild<QProgressBar *>();
    QTRY_VERIFY(!m_window->isEnabled() && bar->isVisible());
    QCOMPARE(bar->minimum(), 14);
    QCOMPARE(bar->maximum(), 26);

    QTRY_COMPARE_WITH_TIMEOUT(requestsSince(before).replaceInStrings(" (ignored write)", ""), sent,
                              5000);
    if (dropped < 0) {
        const double gap = meanGapMs(records(before).mid(0, firmware > 21 ? 5 : 4));
        QVERIFY2(gap >= pauseMs * 0.8 && gap < pauseMs + 40, qPrintable(QString::number(gap)));
        QCOMPARE(m_sim->reg(Slave, Holding, 812), 0xCCCD);
        QCOMPARE(m_sim->reg(Slave, Holding, 813), 0x4144);
        if (readBack)
            QTRY_COMPARE(boxes->texts(), QStringList{"Проверка записи: считанные значения "
                                                     "совпадают с записанными."});
        return;
    }
    // Unconfirmed: warned once; a new address sends the window back to the start window.
    QTRY_VERIFY_WITH_TIMEOUT(!boxes->boxes().isEmpty(), 5000);
    QCOMPARE(boxes->boxes().first().title, Warning);
    const QString text = boxes->texts().first();
    boxes.reset();
    QVERIFY2(text.contains("подтвердить"), qPrintable(text));
    QCOMPARE(m_sim->reg(Slave, Holding, 813), 0);
    QCOMPARE(m_closed->count(), newAddress ? 1 : 0);
    QCOMPARE(m_window->isVisible(), !newAddress);
    if (newAddress)
        return;
    QVERIFY(m_window->isEnabled());
    QVERIFY(!bar->isVisible());
    const QString pane = outputPane(m_window.get());
    QVERIFY2(pane.contains("Ошибка запроса wT800: ") && pane.contains("(code: 0x5)"),
             qPrintable(pane));
    QVERIFY(pane.contains(text));

    // Not known to be in the unit: closing asks, the main window and the view alike.
    for (QWidget *closing : {static_cast<QWidget *>(m_window.get()),
                             static_cast<QWidget *>(subWindows(m_window.get()).first())}) {
        QString asked;
        answerNext(QMessageBox::Cancel, &asked);
        QVERIFY(!closing->close());
        QCOMPARE(asked, QStringLiteral("Изменения не записаны в модуль. Закрыть без записи?"));
    }
    QCOMPARE(m_closed->count(), 0);
    QCOMPARE(subWindows(m_window.get()).size(), 1);
    // And a write of the changes sends again what the unit did not confirm.
    m_sim->setFaults(SimFaults());
    const int again = requestCount();
    action(m_window.get(), "actionWriteEditable")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(
        requestsSince(again),
        QStringList{"6 2023 1"} + writeLines(6, 813, {0x4144}) + QStringList{"6 2023 0"}, 5000);
    QCOMPARE(m_sim->reg(Slave, Holding, 813), 0x4144);
}

void TestMainWindowOnline::writeAll_afterBusyCommandsEveryRegisterModuleLast()
{
    // AIO and DO4: analog limits and coils both at 1000.
    QVERIFY(startUnit(Tcp, UnitSimFixture::unit(Slave, {5, 0, 0, 0, 0, 1})));
    // Baud bits 11 are in no list: a full write sends the unit's own word
    // back, and this unit refuses even that.
    QVERIFY(m_sim->setReg(Slave, Holding, 2006, 0x000B));
    QVERIFY(openWindow());
    const QStringList reads = requestsSince(0);
    QVERIFY2(reads.contains("3 600 4") && reads.contains("1 1000 4"), qPrintable(reads.join(", ")));
    int before = requestCount();
    BoxRecorder boxes;

    action(m_window.get(), "actionRead")->trigger();
    for (const char *name : {"actionRead", "actionWrite", "actionWriteEditable",
                             "actionResetConfig", "actionCalibrate"})
        QVERIFY2(!action(m_window.get(), name)->isEnabled(), name);
    // Called past their disabled actions, the commands still wait their turn.
    for (const char *slot :
         {"writeEditableToDevice", "writeToDevice", "resetConfig", "onCalibrate", "readFromDevice"})
        QVERIFY(QMetaObject::invokeMethod(m_window.get(), slot));
    QTRY_COMPARE_WITH_TIMEOUT(subWindows(m_window.get()).size(), 2, 5000);
    QTest::qWait(100);
    QCOMPARE(requestsSince(before), reads);
    QVERIFY(boxes.boxes().isEmpty());
    QVERIFY(!QApplication::activeModalWidget());

    // The write-changed call that had to wait leaves nothing behind: a full
    // write after it sends every register as the unit holds it, block by
    // block as read, the module block last behind its own command.
    QStringList expected{"6 2023 1"};
    for (const QString &read : reads + QStringList{"3 2004 12"}) {
        const QStringList block = read.split(' ');
        const bool coils = block.at(0) == "1";
        const int first = block.at(1).toInt();
        QVector<quint16> words;
        for (int i = 0; i < block.at(2).toInt(); ++i) {
            const int value = m_sim->reg(Slave, coils ? Coils : Holding, first + i);
            words << quint16(coils ? value != 0 : value);
        }
        expected
            += writeLines(coils ? 5 : 6, first, words, read.endsWith("2004 12") ? 0x6C5B : 0x6C31);
    }
    expected = expected.mid(0, expected.indexOf("6 2006 b") + 1);
    expected.last() += " refused";
    expected << "6 2023 0";
    before = requestCount();
    action(m_window.get(), "actionWrite")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(requestsSince(before), expected, 10000);
    // A refused write stops the sequence, clears the EEPROM flag and warns
    // once; the unit answers, so the window stays.
    QTRY_COMPARE(boxes.texts().size(), 1);
    QVERIFY2(boxes.texts().first().startsWith("Ошибка запроса wT2000: ")
                 && boxes.texts().first().endsWith("(Mobus exception: 0x3)"),
             qPrintable(boxes.texts().first()));
    QCOMPARE(m_closed->count(), 0);
}

void TestMainWindowOnline::reset_readsFactoryValuesIntoNewView()
{
    QVERIFY(startUnit(Tcp, AioAi));
    QVERIFY(m_sim->setReg(Slave, Holding, 812, 0xCCCD));
    QVERIFY(m_sim->setReg(Slave, Holding, 813, 0x4144));
    QVERIFY(m_sim->setReg(Slave, Holding, 1203, 3));
    QVERIFY(openWindow());
    QPointer<ModuleView> first = m_window->currentView();
    QVERIFY(qAbs(treeValue(first, LowerLimit3).toDouble() - 12.3) < 1e-4);
    QVERIFY(editRow(first, Address, 9));

    // Declined: nothing is sent. Confirmed: the views read before go unasked.
    const int before = requestCount();
    for (const auto button : {QMessageBox::No, QMessageBox::Yes}) {
        QString asked;
        answerNext(button, &asked);
        action(m_window.get(), "actionResetConfig")->trigger();
        QCOMPARE(asked, QStringLiteral("Сбросить конфигурацию модуля к заводской?"));
        QCOMPARE(requestCount(), before);
        QVERIFY(!first.isNull());
    }
    BoxRecorder boxes;
    QTRY_VERIFY_WITH_TIMEOUT(subWindows(m_window.get()).size() == 1 && first.isNull(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->findChild<QProgressBar *>()->isVisible(), 5000);
    QCOMPARE(requestsSince(before), QStringList{"6 2016 6c45"} + requestsSince(0).mid(0, before));
    ModuleView *fresh = m_window->currentView();
    QCOMPARE(treeValue(fresh, LowerLimit3).toDouble(), 0.0);
    QCOMPARE(treeValue(fresh, AiIn2 + QStringList{"Тип сигнала"}).toInt(), 1);
    QCOMPARE(m_sim->reg(Slave, Holding, 813), 0);
    QVERIFY(action(m_window.get(), "actionWrite")->isEnabled());
    QCOMPARE(m_window->statusBar()->currentMessage(),
             QStringLiteral("Заводская конфигурация считана из модуля"));
    // Nothing edited since: closing asks nothing.
    QVERIFY(m_window->close());
    QTest::qWait(50);
    QVERIFY(boxes.boxes().isEmpty());
    QCOMPARE(m_closed->count(), 1);
}

// Each reset and write the window makes is one line of the journal of changes;
// a journal that cannot be written stops nothing, and the user is told.
void TestMainWindowOnline::journal_oneLinePerResetAndWrite()
{
    QVERIFY(startUnit(Tcp, AioAi));
    QVERIFY(openWindow());
    const QString path = Journal::inUserData();
    QFile::remove(path);
    const auto lastLine = [&path] {
        const JournalEntry last = Journal::read(path, {}).entries.last();
        const JournalEntry::Change c = last.changes.value(0);
        return QStringList{last.action, last.outcome, c.path, c.before, c.after, last.target};
    };
    const QString target = QString("tcp://%1:%2?unit=1").arg(m_sim->host()).arg(m_sim->port());
    SimFaults refusing;
    refusing.exceptionAt.insert(2016, 4); // the command register
    m_sim->setFaults(refusing);
    QString asked;
    answerNext(QMessageBox::Yes, &asked);
    action(m_window.get(), "actionResetConfig")->trigger();
    auto boxes = std::make_unique<BoxRecorder>();
    QTRY_COMPARE_WITH_TIMEOUT(Journal::read(path, {}).entries.size(), 1, 5000);
    QCOMPARE(lastLine(), (QStringList{"reset", "refused", "", "", "", target}));
    boxes.reset();

    m_sim->setFaults(SimFaults());
    QFile blocker(m_dir.filePath("file")); // where the data folder should be made
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    qputenv("XDG_DATA_HOME", QFile::encodeName(blocker.fileName() + "/data"));
    answerNext(QMessageBox::Yes, &asked);
    action(m_window.get(), "actionResetConfig")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(subWindows(m_window.get()).size(), 1, 5000);
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
    QVERIFY(outputPane(m_window.get()).contains("Журнал изменений " + blocker.fileName()));

    QVERIFY(editRow(m_window->currentView(), LowerLimit3, 12.3));
    boxes = std::make_unique<BoxRecorder>();
    action(m_window.get(), "actionWriteEditable")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Journal::read(path, {}).entries.size(), 2, 5000);
    QCOMPARE(lastLine(),
             (QStringList{"write", "confirmed", AiIn2.join(" / ").trimmed() + " / Нижний предел",
                          "0.000", "12.300", target}));
}

void TestMainWindowOnline::files_checkedAgainstTheUnit()
{
    QVERIFY(startUnit(Tcp));
    QVERIFY(openWindow());
    const QString fileName = m_dir.filePath(QStringLiteral("online.brcf"));
    auto open = [this](const QString &name) {
        BoxRecorder boxes;
        chooseFile(name);
        action(m_window.get(), "actionOpen")->trigger();
        return boxes.boxes();
    };
    // A rejected file leaves no view and no module behind: warned about,
    // with the boards that differ slot by slot.
    auto config = [](const QVector<int> &slotCodes) {
        QStringList boards;
        for (int slot = 0; slot < slotCodes.size(); ++slot) {
            if (slotCodes.at(slot))
                boards << QString(R"({"TYPE_SUBMODULE": "%1", "POSITION_SUBMODULE": "%2"})")
                              .arg(slotCodes.at(slot))
                              .arg(slot);
        }
        return QString(R"({"module": {"DEV_TYPE": "1"}, "submodules": [%1]})")
            .arg(boards.join(", "));
    };
    const QString wrong = "Не верная конфигурация загружаемого модуля. Ошибка: ";
    const struct
    {
        QString content;
        QString text;
        QString boards;
    } rejected[] = {
        {"[1, 2]", "Файл %1 не является файлом конфигурации модуля", ""},
        {config({5, 0, 4}), wrong + "разное кол-во субмодулей",
         "Слот B: в модуле Субмодуль AI, в файле пусто\n"
         "Слот C: в модуле Субмодуль DI, в файле Субмодуль AI\n"
         "Слот D: в модуле Субмодуль TMP, в файле пусто\n"
         "Слот E: в модуле Субмодуль DO6, в файле пусто\n"
         "Слот F: в модуле Субмодуль DO4, в файле пусто"},
        // The unit holds AIO AI DI TMP DO6 DO4; here the first board is an AI.
        {config({4, 4, 6, 7, 8, 1}), wrong + "разные типы субмодулей",
         "Слот A: в модуле Субмодуль AIO, в файле Субмодуль AI"},
    };
    for (const auto &file : rejected) {
        QFile out(fileName);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(file.content.toUtf8());
        out.close();
        const QList<BoxRecorder::Box> boxes = open(fileName);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first().title, Warning);
        QCOMPARE(boxes.first().text,
                 QString(file.text).replace("%1", QDir::toNativeSeparators(fileName)));
        QCOMPARE(boxes.first().informative, file.boards);
        QCOMPARE(boxes.first().icon, QMessageBox::Warning);
        QCOMPARE(m_window->findChildren<ModuleView *>().size(), 1);
    }

    // Saved from the unit's own view (online the title stays), it loads as it is.
    QFile::remove(fileName);
    chooseFile(fileName);
    action(m_window.get(), "actionSaveAs")->trigger();
    QCOMPARE(subWindows(m_window.get()).first()->windowTitle(), Title + "127.0.0.1");
    const BoxRecorder::Box loaded = open(fileName).value(0);
    QCOMPARE(loaded.text, QStringLiteral("Конфигурация успешно загружена"));
    QCOMPARE(loaded.icon, QMessageBox::Information);
    QCOMPARE(subWindows(m_window.get()).size(), 2);
    QCOMPARE(subWindows(m_window.get()).last()->windowTitle(), Title + "online.brcf");

    // Edited by hand in three places: the lock time-out, the signal type of AIO
    // input 2 (g = 1) and the lower limit of AI input 2 (g = 3). The differences
    // are listed first; loaded, they are the edits a write of the changes sends.
    const QStringList differences = {
        "Модуль / Таймаут включения блокировки, с: 0.0 | 2.5",
        "Субмодуль AIO (Слот A) / Аналоговый вход 2 / Тип сигнала: Ток 4-20мА | Ток 0-20мА",
        "Субмодуль AI (Слот B) / Аналоговый вход 2 / Нижний предел: 0.000 | 12.300",
    };
    for (const bool load : {false, true}) {
        QStringList listed;
        // The unit's boards come by slot, A..F.
        openEditedCopy("online.brcf", {"WDT=2.5", "0/1/SIGNAL_TYPE=2", "1/1/LOWER_LIMIT=12.3"},
                       &listed, load);
        QCOMPARE(listed, differences);
        QCOMPARE(subWindows(m_window.get()).size(), load ? 3 : 2);
    }
    QCOMPARE(m_window->currentView()->fileName(), fileName);
    QStringList edited;
    for (const ParameterTree::Entry &entry :
         ParameterTree::entries(*m_window->currentView()->module())) {
        if (entry.device->property(entry.name)->isChanged())
            edited << entry.path;
    }
    QCOMPARE(edited, QStringList(differences).replaceInStrings(QRegularExpression(": .*"), ""));

    const int before = requestCount();
    action(m_window.get(), "actionWriteEditable")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(requestsSince(before),
                              QStringList{"6 2023 1"} + writeLines(6, 812, {0xCCCD, 0x4144})
                                  + writeLines(6, 1201, {2}) + writeLines(6, 2004, {25}, 0x6C5B)
                                  + QStringList{"6 2023 0"},
                              5000);

    // Closing deletes the views before the module they may point into.
    QPointer<ModuleView> unitView
        = qobject_cast<ModuleView *>(subWindows(m_window.get()).first()->widget());
    m_window.reset();
    QVERIFY(unitView.isNull());
}

void TestMainWindowOnline::offlineFile_isWrittenBySlot()
{
    // Built offline: an AI board added to slot B, then one to slot A, whose
    // first input takes signal type 2.
    const QString fileName = m_dir.filePath("byslot.brcf");
    {
        MainWindow offline(ModeOffline);
        offline.show();
        QVERIFY(createView(&offline));
        for (int slot : {1, 0}) {
            chooseSlot(slot);
            action(&offline, "actionA2_4")->trigger();
        }
        auto *signal = qobject_cast<QComboBox *>(editorAt(
            offline.currentView(), {"Субмодуль AI (Слот A)", "Аналоговый вход 1 ", "Тип сигнала"}));
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
    QTRY_VERIFY_WITH_TIMEOUT(requestsSince(before).contains("6 2023 0"), 10000);
    const QStringList sent = requestsSince(before);
    QVERIFY2(sent.contains("6 1200 2"), qPrintable(sent.join(", ")));
    QVERIFY2(!sent.join(", ").contains("6 1204 "), qPrintable(sent.join(", ")));
    QCOMPARE(m_sim->reg(Slave, Holding, 1200), 2);
    QCOMPARE(m_sim->reg(Slave, Holding, 1204), 0);
}

void TestMainWindowOnline::openEditedCopy(const QString &name, const QStringList &edits,
                                          QStringList *listed, bool load)
{
    const QString fileName = m_dir.filePath(name);
    QVERIFY(writeConfig(fileName, editedConfig(m_window->deviceModule()->toJson(), edits)));
    chooseFile(fileName, [listed, load] {
        whenModal<ConfigDiffDialog>([listed, load](ConfigDiffDialog *diff) {
            const QTableWidget *table = diff->table();
            for (int row = 0; listed && row < table->rowCount(); ++row)
                *listed << table->item(row, 0)->text() + ": " + table->item(row, 1)->text() + " | "
                               + table->item(row, 2)->text();
            load ? diff->accept() : diff->reject();
        });
    });
    BoxRecorder boxes;
    action(m_window.get(), "actionOpen")->trigger();
    QTRY_COMPARE(boxes.texts(),
                 load ? QStringList{"Конфигурация успешно загружена"} : QStringList());
}

void TestMainWindowOnline::fileLink_isTheUnitsUnlessChosen_data()
{
    QTest::addColumn<QString>("limit");       // in the file
    QTest::addColumn<QStringList>("answers"); // to the boxes before the write, in turn
    QTest::addColumn<QString>("asked");       // the last box's text and its default button
    QTest::addColumn<bool>("linkWritten");
    QTest::addColumn<bool>("limitWritten");
    const QString keep = "Оставить параметры связи модуля";
    QTest::newRow("default") << "12.3" << QStringList{""} << keep << false << true;
    QTest::newRow("from the file")
        << "12.3" << QStringList{"Записать из файла"} << keep << true << true;
    QTest::newRow("cancel") << "12.3" << QStringList{"Отмена"} << keep << false << false;
    QTest::newRow("from the file onto another unit")
        << "12.3" << QStringList{"Записать из файла", ""} << "Адрес 1 уже занят" << false << false;
    QTest::newRow("bad value") << "4000" << QStringList{""}
                               << "Нижний предел»: недопустимое значение «4000.000»" << false
                               << false;
    // The file's port word holds baud code 11, in no list: refused only where it is written.
    QTest::newRow("bad port word kept") << "12.3" << QStringList{""} << keep << false << true;
    QTest::newRow("bad port word from the file")
        << "12.3" << QStringList{"Записать из файла", ""}
        << "Скорость, бит/с»: недопустимое значение «11»" << false << false;
}

void TestMainWindowOnline::fileLink_isTheUnitsUnlessChosen()
{
    QFETCH(QString, limit);
    QFETCH(QStringList, answers);
    QFETCH(QString, asked);
    QFETCH(bool, linkWritten);
    QFETCH(bool, limitWritten);
    const QString port = QString(QTest::currentDataTag()).startsWith("bad port") ? "11" : "";
    // A unit at address 5 with its own IP (and one more unit at 1 where the
    // address is taken); the file, as one built offline, holds address 1 and no IP.
    constexpr int Unit = 5;
    QVERIFY(
        startUnit(Tcp, UnitSimFixture::unit(Unit, {5, 4, 0, 0, 0, 0}), answers.size() > 1 ? 1 : 0));
    for (int reg : {2010, 2011})
        QVERIFY(m_sim->setReg(Unit, Holding, reg, reg == 2010 ? 0x0A00 : 0x0732));
    QVERIFY(openWindow(0, Unit));
    QStringList listed;
    QStringList moduleEdits{"DEV_ADDR=1", "IP_1=0",   "IP_2=0",  "MASK_1=0",
                            "MASK_2=0",   "GATE_1=0", "GATE_2=0"};
    if (!port.isEmpty())
        moduleEdits << "PORT_CFG=" + port;
    openEditedCopy("offline.brcf", moduleEdits + QStringList{"1/1/LOWER_LIMIT=" + limit}, &listed);
    // The link settings come apart from the others, under their own heading.
    QStringList linkRows{"Параметры связи:  | ", "Адрес MODBUS: 5 | 1",
                         "IP-адрес: 10.0.7.50 | 0.0.0.0", "Маска сети: 255.255.255.0 | 0.0.0.0",
                         "Адрес шлюза: 192.168.0.1 | 0.0.0.0"};
    if (!port.isEmpty())
        linkRows.insert(2, "Скорость, бит/с: 9600 | " + port);
    const QStringList otherRows{"Остальные параметры:  | ",
                                "Нижний предел: 0.000 | "
                                    + QString::number(limit.toDouble(), 'f', 3)};
    QCOMPARE(listed.replaceInStrings(QRegularExpression("^.* / "), ""), linkRows + otherRows);
    // Shown, a value out of its range is marked as one, not as an edit.
    ModuleView *view = m_window->currentView();
    auto *tree = view->findChild<TreePropertyBrowser *>();
    QCOMPARE(tree->backgroundColor(itemAt(view, LowerLimit3)),
             limit == "4000" ? ModuleView::badValueColor() : QColor(Qt::cyan));
    QMap<int, int> link;
    for (int reg : {2005, 2006, 2010, 2011, 2012, 2013, 2014, 2015})
        link[reg] = m_sim->reg(Unit, Holding, reg);

    QStringList shown;
    std::function<void(QMessageBox *)> answer = [&](QMessageBox *box) {
        shown << box->text() + '\n' + box->informativeText() + " / "
                     + (box->defaultButton() ? box->defaultButton()->text() : QString());
        const QString wanted = answers.value(shown.size() - 1);
        if (shown.size() < answers.size())
            whenModal<QMessageBox>(answer);
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == wanted)
                return button->click();
        }
        QTest::keyClick(box, Qt::Key_Enter);
    };
    whenModal<QMessageBox>(answer);
    const int before = requestCount();
    action(m_window.get(), "actionWrite")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), answers.size(), 10000);
    QVERIFY2(shown.last().contains(asked), qPrintable(shown.last()));
    if (limit == "12.3")
        QVERIFY2(shown.first().contains("Адрес MODBUS: 5 → 1\n")
                     && shown.first().contains("IP-адрес: 10.0.7.50 → 0.0.0.0"),
                 qPrintable(shown.first()));
    BoxRecorder boxes; // what the write says after
    if (limitWritten)
        QTRY_VERIFY_WITH_TIMEOUT(requestsSince(before).contains("6 2023 0"), 20000);
    QTest::qWait(200);
    const QStringList sent = requestsSince(before);
    QCOMPARE(sent.contains("6 812 cccd"), limitWritten);
    for (auto it = link.cbegin(); it != link.cend(); ++it) {
        const bool reached = sent.join(',').contains(QString("6 %1 ").arg(it.key()));
        QVERIFY2(reached == linkWritten, qPrintable(sent.join(", ")));
        if (!linkWritten)
            QCOMPARE(m_sim->reg(Unit, Holding, it.key()), it.value());
    }
    if (!linkWritten && limitWritten)
        QCOMPARE(treeValue(m_window->currentView(), Address).toInt(), Unit);
    if (linkWritten)
        QTRY_VERIFY(!m_sim->unitAt(Unit));
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

    // Closed while rows come in, it reopens at the newest.
    const QTableView *table = dock.findChild<QTableView *>();
    dock.hide();
    TrafficRecorder::sendRead(&idle, QModbusDataUnit(Holding, 0, 1), Slave);
    QTest::qWait(TrafficModel::SyncMs * 2);
    dock.show();
    QTRY_COMPARE(table->rowAt(table->viewport()->height() - 2), rows->rowCount() - 1);

    dock.findChild<QPushButton *>("trafficClear")->click();
    QCOMPARE(rows->rowCount(), 0);
    QCOMPARE(recorder.count(), 0);
    QLoggingCategory::setFilterRules("brk.modbus.transfer.debug=false");
}

void TestMainWindowOnline::droppedLink_comesBackAndTheWindowCarriesOn_data()
{
    QTest::addColumn<int>("transport");
    QTest::newRow("tcp: the unit restarts") << int(Tcp);
    QTest::newRow("serial: the port vanishes and comes back") << int(Rtu);
}

void TestMainWindowOnline::droppedLink_comesBackAndTheWindowCarriesOn()
{
    QFETCH(int, transport);
    if (transport == Rtu && !PtyPair::socatAvailable())
        QSKIP("socat is not installed (scripts/setup installs it)");
    QVERIFY(startUnit(Transport(transport), AioAi));
    QVERIFY(openWindow());
    QTRY_VERIFY(m_window->isEnabled() && action(m_window.get(), "actionRead")->isEnabled());
    auto *field = m_window->statusBar()->findChild<QLabel *>("linkStatus");
    const int views = subWindows(m_window.get()).size();
    qRegisterMetaType<QModbusDevice::State>();
    QSignalSpy states(m_client.get(), &QModbusClient::stateChanged);

    // The unit restarts, or the serial port vanishes: back a while later.
    QElapsedTimer down;
    down.start();
    transport == Tcp ? m_sim->stop() : m_pty->stop();
    QTRY_VERIFY_WITH_TIMEOUT(field->text().endsWith(" — нет связи, переподключение"), 5000);
    // Without a link each command refuses with one message and builds nothing.
    for (const char *name : {"actionRead", "actionWrite", "actionResetConfig", "actionCalibrate"}) {
        BoxRecorder boxes;
        action(m_window.get(), name)->trigger();
        QTRY_COMPARE(boxes.texts(), QStringList{"Нет связи с модулем. Дождитесь "
                                                "переподключения и повторите."});
    }
    QCOMPARE(subWindows(m_window.get()).size(), views);
    QTest::qWait(2 * LinkReconnector::IntervalMs + 500 - int(down.elapsed()));
    // At most one attempt every two seconds.
    int attempts = 0;
    for (const QList<QVariant> &state : states)
        attempts += state.at(0).value<QModbusDevice::State>() == QModbusDevice::ConnectingState;
    QVERIFY2(attempts >= 1 && attempts <= 2, qPrintable(QString::number(attempts)));

    QVERIFY(transport == Tcp ? m_sim->restart()
                             : m_pty->start() && m_sim->openSerial(m_pty->unitEnd()));
    QTRY_VERIFY_WITH_TIMEOUT(field->text().endsWith(" — отвечает"),
                             LinkReconnector::IntervalMs + 3000);
    const int before = requestCount();
    action(m_window.get(), "actionRead")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(subWindows(m_window.get()).size(), views + 1, 10000);
    QVERIFY(requestCount() > before);
    QVERIFY2(!outputPane(m_window.get()).contains("Ошибка"),
             qPrintable(outputPane(m_window.get())));
}

QTEST_MAIN(TestMainWindowOnline)
#include "tst_mainwindow_online.moc"
