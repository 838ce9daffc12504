// SPDX-License-Identifier: GPL-3.0-or-later
// The start window: its fields, the client parameters and the command line,
// then end to end against the simulated unit over TCP and a pty pair: discovery,
// the replies it must not trust, the keep-alive and opening a unit.

#include "appsettings.h"
#include "commandline.h"
#include "aboutdialog.h"
#include "modeflags.h"
#include "startwindow.h"
#include "foundunitstable.h"
#include "linksettings.h"
#include "requesterror.h"

#include "modbuscall.h"
#include "processrun.h"
#include "ptypair.h"
#include "unitsimfixture.h"

#include <QtNetwork>
#include <QtWidgets>
#include <QtTest>

Q_DECLARE_METATYPE(SimFaults)

namespace {

const QString NoUnitsText = QStringLiteral(
    "Устройства не обнаружены. Проверьте подключение и повторите поиск."
    "                                   "
    "Для более подробного поиска включите дополнительную задержку в параметрах порта.");
const QString UnitName = QStringLiteral("ВИРАТ7100.20 БРК");
const QString Idle = QStringLiteral("Подключиться tabs, 0 rows");
const QString Listed = QStringLiteral("Отключиться online, 1 rows");
const QVector<int> SixBoards{5, 4, 6, 7, 8, 1};   // AIO AI DI TMP DO6 DO4
const QVector<int> ThreeBoards{4, 0, 6, 0, 0, 1}; // AI DI DO4

// How a TCP connection ends before a unit is opened.
enum ConnectionEnd { NoAnswer, Disconnected, UnitGone, NobodyListens };

// Records what would open instead of opening the main window; can stand in a
// plain widget for the main window to check what happens while one is open.
class RecordingStartWindow : public StartWindow
{
public:
    QStringList opened; // "mode <mode> at <address>, <words> words"
    bool standInMainWindow = false;

    void closeMainWindow() { onMainWindowClosed(); }

protected:
    void openMainWindow(int mode, const ModuleTables &unit, int serverAddress) override
    {
        opened << QString("mode %1 at %2, %3 words")
                      .arg(mode)
                      .arg(serverAddress)
                      .arg(unit.moduleTable().size());
        if (standInMainWindow)
            setMainWindow(new QWidget);
    }
};

} // namespace

// The windows stay hidden unless a test needs them shown (showing costs more
// than all the rest); clicks reach hidden widgets all the same.
class TestStartWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<UnitSimFixture> m_sim;
    quint16 m_port = 0; // of the last unit started
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<RecordingStartWindow> m_window;

    template<typename T>
    T *widget(const QString &name, const StartWindow *window = nullptr) const
    {
        return (window ? window : m_window.get())->findChild<T *>(name);
    }

    void click(const QString &name, const StartWindow *window = nullptr) const
    {
        QTest::mouseClick(widget<QPushButton>(name, window), Qt::LeftButton);
    }

    // Sets fields by object name ('|' between the values): a box's text, a spin box's
    // value, a tab's index or an edit's text.
    void fill(const QString &names, const QString &values, const StartWindow *window = nullptr)
    {
        const QStringList texts = values.split('|');
        const QStringList objects = names.split(' ');
        for (int i = 0; i < objects.size(); ++i) {
            QWidget *field = widget<QWidget>(objects.at(i), window);
            for (const char *property : {"currentText", "value", "currentIndex", "text"}) {
                if (field->metaObject()->indexOfProperty(property) >= 0) {
                    field->setProperty(property, texts.at(i));
                    break;
                }
            }
        }
    }

    // What fields by object name show, '|' between them.
    QString fields(const QString &names) const
    {
        QStringList texts;
        for (const QString &name : names.split(' ')) {
            QWidget *field = widget<QWidget>(name);
            QVariant value = field->property("currentText");
            for (const char *property : {"text", "currentIndex"})
                value = value.isValid() ? value : field->property(property);
            texts << value.toString();
        }
        return texts.join('|');
    }

    bool startSim(const UnitSimFixture::Options &options)
    {
        m_sim = std::make_unique<UnitSimFixture>(options);
        const bool started = m_sim->start();
        m_port = m_sim->port();
        return started;
    }

    // Identifiers first..last behind a gateway (last 0: first alone); a time-out
    // given here replaces the window's, without retries, once it has set its own.
    void connectTcp(StartWindow *window, int firstId = 1, int lastId = 0, int timeoutMs = 0)
    {
        fill("tabWidget leIp lePort leStartUnitId",
             QString("1|127.0.0.1|%1|%2").arg(m_port).arg(firstId), window);
        if (lastId) {
            click("btnHideUnitId", window);
            fill("leLastUnitId", QString::number(lastId), window);
        }
        click("btnConnect", window);
        if (timeoutMs) {
            window->client()->setTimeout(timeoutMs);
            window->client()->setNumberOfRetries(0);
        }
    }

    // Addresses "first|last", one or a range.
    bool connectRtu(const QString &addresses, bool range, StartWindow *window = nullptr)
    {
        m_pty = std::make_unique<PtyPair>();
        if (!PtyPair::socatAvailable() || !m_pty->start() || !m_sim->openSerial(m_pty->unitEnd()))
            return false;
        if (range)
            click("btnHide", window);
        fill("boxPortName leStartSlave leLastSlave", m_pty->clientEnd() + '|' + addresses, window);
        click("btnConnect", window);
        return true;
    }

    // The units listed, their cells joined by '|'.
    QStringList rows(const StartWindow *window = nullptr) const
    {
        QStringList result;
        auto *table = widget<FoundUnitsTable>("tableWidget", window);
        for (int r = 0; r < table->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells << qobject_cast<QLabel *>(table->cellWidget(r, c))->text();
            result << cells.join('|');
        }
        return result;
    }

    // The connect button's text, what else is enabled or shown, and the units listed.
    QString status(const StartWindow *window = nullptr) const
    {
        QString text = widget<QPushButton>("btnConnect", window)->text();
        text += widget<QTabWidget>("tabWidget", window)->isEnabled() ? " tabs" : "";
        text += widget<QPushButton>("btnOnline", window)->isEnabled() ? " online" : "";
        text += widget<QProgressBar>("progressBar", window)->isHidden() ? "" : " progress";
        return text + QString(", %1 rows").arg(rows(window).size());
    }

    static QMessageBox *visibleBox(int timeoutMs = 5000)
    {
        (void)QTest::qWaitFor([]() { return QApplication::activeModalWidget(); }, timeoutMs);
        return qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    }

    // "<slave>: <function> <address> <count>" of every request the units saw
    // (count 0: nobody holds that slave address).
    QStringList wire(const QList<int> &slaves = {}) const
    {
        QStringList lines;
        for (const SimRequestRecord &r : m_sim->requests()) {
            if (r.result == SimRequestRecord::Event
                || !(slaves.isEmpty() || slaves.contains(r.slave)))
                continue;
            lines
                << QString("%1: %2 %3 %4").arg(r.slave).arg(r.function).arg(r.address).arg(r.count);
        }
        return lines;
    }

    // The slave addresses asked, in order, a retry not counted again.
    QList<int> asked() const
    {
        QList<int> slaves;
        for (const QString &line : wire())
            slaves << line.section(':', 0, 0).toInt();
        slaves.erase(std::unique(slaves.begin(), slaves.end()), slaves.end());
        return slaves;
    }

private slots:
    void initTestCase() { Q_INIT_RESOURCE(resources); }
    void init()
    {
        m_window.reset(); // saves its settings first
        m_window = std::make_unique<RecordingStartWindow>();
    }

    void cleanup()
    {
        m_window.reset();
        m_sim.reset();
        m_pty.reset();
    }

    void startState_defaultsAndWarning()
    {
        QCOMPARE(status(), Idle);
        const QString names("tabWidget leLastSlave baudRateBox parityBox stopBitsBox checkBox leIp "
                            "lePort leStartUnitId");
        const QString factory = QStringLiteral("0|247|115200|Нет|1|Выкл|192.168.1.99|502|1");
        QCOMPARE(fields(names), factory);

        // The defaults buttons bring the factory fields back.
        fill("baudRateBox parityBox stopBitsBox leIp lePort leStartUnitId",
             "1200|Mark|2|10.1.2.3|1502|7");
        QTest::keyClick(widget<QCheckBox>("checkBox"), Qt::Key_Space);
        QCOMPARE(fields(names), QStringLiteral("0|247|1200|Mark|2|Вкл|10.1.2.3|1502|7"));
        // The box is unchecked without a click: its text still follows.
        click("btnDefault");
        click("btnDefaultEthernet");
        QCOMPARE(fields(names), factory);

        // A double click on the empty table takes the open button's path.
        emit widget<FoundUnitsTable>("tableWidget")->itemClick();
        QMessageBox *box = visibleBox();
        QVERIFY(box);
        QCOMPARE(box->windowTitle() + ": " + box->text(),
                 QStringLiteral("Внимание: Для подключения выберите модуль из списка "));
    }

    // Connecting fails: on a serial port that is not there, with the line's parameters
    // set before the attempt; on an address the TCP fields refuse, before any attempt.
    void connectFails_data()
    {
        QTest::addColumn<QString>("line");  // baud rate, parity, stop bits; or "tcp", IP, port
        QTest::addColumn<QString>("shown"); // time-out, retries, parity, baud, data, stop bits;
                                            // or the IP field's validator state
        // The serial time-out: the speed's base plus the module block read's 63 bytes on the wire.
        // clang-format off
        QTest::newRow("9600, even, 1.5") << "9600|Чет|1.5" << "576 1 2 9600 8 3";
        QTest::newRow("115200, odd, 2") << "115200|Нечет|2" << "107 1 3 115200 8 2";
        QTest::newRow("mark") << "57600|Mark|1" << "213 1 5 57600 8 1";
        QTest::newRow("space, extra delay") << "1200|Space|1|+" << "1578 3 4 1200 8 1";
        QTest::newRow("bounds, port 0") << "tcp|0.249.250.255|0" << "2";
        QTest::newRow("zeros, port 70000") << "tcp|010.01.000.009|70000" << "2";
        QTest::newRow("unfinished") << "tcp|192.168.1.|502" << "1";
        QTest::newRow("256") << "tcp|256.1.1.1|502" << "0";
        QTest::newRow("port included") << "tcp|1.2.3.4:502|502" << "0";
        // clang-format on
    }

    void connectFails()
    {
        QFETCH(QString, line);
        QModbusClient *client = m_window->client();
        QSignalSpy states(client, &QModbusClient::stateChanged);
        const bool tcp = line.startsWith("tcp|");
        if (line.endsWith("|+"))
            QTest::keyClick(widget<QCheckBox>("checkBox"), Qt::Key_Space);
        if (tcp)
            fill("tabWidget leIp lePort", "1" + line.mid(3));
        else
            fill("boxPortName baudRateBox parityBox stopBitsBox", "/nonexistent/ttyBRK|" + line);
        click("btnConnect");

        QString ip = line.section('|', 1, 1);
        int pos = 0;
        QString shown = QString::number(widget<QLineEdit>("leIp")->validator()->validate(ip, pos));
        if (!tcp) {
            shown = QString("%1 %2").arg(client->timeout()).arg(client->numberOfRetries());
            for (int parameter = QModbusDevice::SerialParityParameter;
                 parameter <= QModbusDevice::SerialStopBitsParameter; ++parameter)
                shown += ' ' + client->connectionParameter(parameter).toString();
        }
        QTEST(shown, "shown");
        QCOMPARE(
            widget<QLabel>("labelError")->text(),
            "Ошибка подключения: "
                + (tcp ? QStringLiteral("неверный IP адрес или порт") : clientErrorText(*client)));
        QVERIFY(!client->errorString().isEmpty() || tcp);
        QCOMPARE(client->state(), QModbusDevice::UnconnectedState);
        QCOMPARE(states.isEmpty(), tcp); // a refused address is never tried
        QCOMPARE(status(), Idle);
    }

    void settings_surviveRestart()
    {
        const QString names(
            "tabWidget boxPortName baudRateBox parityBox stopBitsBox leStartSlave "
            "leLastSlave btnHide leIp lePort leStartUnitId leLastUnitId btnHideUnitId");
        const QString factory = fields(names);
        QTemporaryDir dir;
        AppSettings::useFile(dir.filePath(QStringLiteral("settings.ini")));
        init(); // a first start with a settings file keeps the factory fields
        QCOMPARE(fields(names), factory);
        click("btnHide");
        click("btnHideUnitId");
        fill("tabWidget boxPortName baudRateBox parityBox stopBitsBox leStartSlave leLastSlave "
             "leIp lePort leStartUnitId leLastUnitId",
             "1|/dev/ttyBRK7|9600|Нечет|2|3|9|10.1.2.3|1503|4|8");
        init(); // a restart
        AppSettings::useFile(QString());
        QCOMPARE(fields(names),
                 QStringLiteral("1|/dev/ttyBRK7|9600|Нечет|2|3|9|-|10.1.2.3|1503|4|8|-"));
        QCOMPARE(m_window->mode(), int(ModeTcp));
    }

    void commandLine_data()
    {
        using Args = QStringList;
        QTest::addColumn<Args>("arguments");
        QTest::addColumn<QString>("shown"); // the tab and its fields, or part of the error
        // clang-format off
        QTest::newRow("nothing") << Args() << "0|/nonexistent|115200";
        QTest::newRow("file, tcp") << Args{"u.brcf", "--tcp", "10.0.0.2:1502"} << "1|10.0.0.2|1502";
        QTest::newRow("rtu") << Args{"--serial", "/dev/x", "--baud", "19200"} << "0|/dev/x|19200";
        QTest::newRow("both") << Args{"--tcp", "1.2.3.4:5", "--serial", "/dev/x"} << "исключают";
        QTest::newRow("odd baud") << Args{"--serial", "/dev/x", "--baud", "14400"} << "скорость 14400";
        // clang-format on
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, shown);
        CommandLine line;
        const CommandLine::Outcome outcome
            = line.parse(QStringList{"brk-configurator"} + arguments);
        if (shown.at(1) != '|') {
            QCOMPARE(outcome, CommandLine::Outcome::Error);
            QVERIFY2(line.errorText().contains(shown), qPrintable(line.errorText()));
            return;
        }
        QCOMPARE(outcome, CommandLine::Outcome::Run);
        fill("boxPortName", "/nonexistent");
        m_window->applyCommandLine(line);
        QCOMPARE(fields(shown.startsWith('1') ? "tabWidget leIp lePort"
                                              : "tabWidget boxPortName baudRateBox"),
                 shown);
    }

    void commandLine_helpInRussian()
    {
        const ProcessRun help = ProcessRun::run(BRK_CONFIGURATOR_PATH, {"--help"});
        QVERIFY2(help.status == 0 && help.out.contains("Использование:")
                     && help.out.contains("Заполнить окно поиска: Modbus TCP на ХОСТ:ПОРТ")
                     && help.out.contains("  ФАЙЛ "),
                 qPrintable(help.out));
    }

    void tcp_keepAliveGoesToTheUnitFound()
    {
        // Three windows side by side, so that one keep-alive tick serves them all:
        // identifier 1 as it is, a gateway scan of 6..7 that finds the unit at 7,
        // and one that goes from TCP to the serial line once connected.
        UnitSimFixture::Options options;
        options.units
            = {UnitSimFixture::unit(1, SixBoards, 21), UnitSimFixture::unit(7, ThreeBoards, 21),
               UnitSimFixture::unit(9, SixBoards)};
        QVERIFY(startSim(options));
        RecordingStartWindow switched;
        connectTcp(&switched, 2); // nobody at 2: its scan read is all it sends
        QTRY_COMPARE(wire(), QStringList{"2: 3 2000 0"});
        QPointer<QModbusClient> old = switched.client();
        // A system proxy never stands between the PC and the unit.
        QCOMPARE(old->findChild<QTcpSocket *>()->proxy().type(), QNetworkProxy::NoProxy);
        widget<QTabWidget>("tabWidget", &switched)->setCurrentIndex(0);
        QCOMPARE(status(&switched), Idle);
        QTRY_VERIFY(old.isNull());
        const bool serial = connectRtu("9|9", false, &switched);

        RecordingStartWindow gateway;
        connectTcp(m_window.get());
        connectTcp(&gateway, 6, 7, 300); // no retries for the silent 6
        QCOMPARE(m_window->client()->timeout(), 500);
        QCOMPARE(m_window->client()->numberOfRetries(), 3);
        QTRY_COMPARE(rows(), QStringList{"1|" + UnitName + "|2.1|6"});
        QCOMPARE(status(), Listed);
        QTRY_COMPARE(rows(&gateway), QStringList{"7|" + UnitName + "|2.1|3"});

        // Then the keep-alive, every second: one register at 2000 of the unit found,
        // with the default identifier exactly what a unit without gateway gets.
        QTRY_COMPARE(wire({1}), (QStringList{"1: 3 2000 23", "1: 3 2000 1"}));
        QTRY_COMPARE(wire({6, 7}), (QStringList{"6: 3 2000 0", "7: 3 2000 23", "7: 3 2000 1"}));
        // The switched window's keep-alive went with its client; a serial line gets none.
        QCOMPARE(wire({2}).size(), 1);
        QCOMPARE(wire({9}), serial ? QStringList{"9: 3 2000 23"} : QStringList());

        const QString opened = QString("mode %1 at %2, 23 words").arg(ModeOnline | ModeTcp);
        click("btnOnline", &gateway);
        QCOMPARE(gateway.opened, QStringList{opened.arg(7)});

        // While a main window is open nothing else opens; closing it brings back an
        // empty, unconnected start window, from which a unit opens again.
        m_window->standInMainWindow = true;
        m_window->show();
        click("btnOnline");
        QVERIFY(!m_window->isVisible());
        emit widget<FoundUnitsTable>("tableWidget")->itemClick();
        click("btnOnline");
        QCOMPARE(m_window->opened, QStringList{opened.arg(1)});
        QPointer<QModbusClient> client = m_window->client();
        m_window->closeMainWindow();
        QVERIFY(m_window->isVisible());
        QCOMPARE(status(), Idle);
        QTRY_VERIFY(client.isNull());
        click("btnConnect");
        QTRY_COMPARE(rows().size(), 1);
        click("btnOnline");
        QCOMPARE(m_window->opened, (QStringList{opened.arg(1), opened.arg(1)}));
    }

    void tcp_connectionEnds_data()
    {
        QTest::addColumn<int>("end");
        QTest::newRow("no answer: no units") << int(NoAnswer);
        QTest::newRow("disconnected while asking") << int(Disconnected);
        QTest::newRow("the unit goes away") << int(UnitGone);
        QTest::newRow("nobody listens") << int(NobodyListens);
    }

    void tcp_connectionEnds()
    {
        QFETCH(int, end);
        QVERIFY(startSim(UnitSimFixture::Options()));
        m_sim->setSilent(end == NoAnswer || end == Disconnected);
        if (end == NobodyListens)
            m_sim.reset(); // nothing listens at its port now
        connectTcp(m_window.get(), 1, 0, end == NoAnswer ? 50 : 0);
        if (end != NobodyListens)
            QTRY_COMPARE(wire().size(), 1);
        if (end == Disconnected)
            click("btnConnect");
        if (end == UnitGone) {
            QTRY_COMPARE(rows().size(), 1);
            m_sim.reset();
        }
        QMessageBox *box = visibleBox(end == NoAnswer ? 5000 : 150);
        QCOMPARE(box ? box->text() : QString(), end == NoAnswer ? NoUnitsText : QString());
        QTRY_COMPARE(m_window->client()->state(), QModbusDevice::UnconnectedState);
        QCOMPARE(status(), Idle);
        // Only a lost or refused connection says why.
        const bool lost = end == UnitGone || end == NobodyListens;
        QTRY_COMPARE(widget<QLabel>("labelError")->text(),
                     lost ? m_window->client()->errorString() : QString());
        QVERIFY(!lost || !m_window->client()->errorString().isEmpty());
    }

    void tcp_scanTrustsOnlyWholeReplies_data()
    {
        QTest::addColumn<SimFaults>("faults");
        QTest::addColumn<QString>("listed"); // how many, from which address
        SimFaults fault;
        fault.delayMs = 30;
        QTest::newRow("late answers, one request at a time") << fault << "4 from 2";
        fault.delayMs = 0;
        fault.units = {2};
        fault.shortReplyAt = {{2000, 1}};
        QTest::newRow("one value short") << fault << "3 from 3";
        fault.shortReplyAt.clear();
        fault.wrongReplyAt = {2000};
        QTest::newRow("one value more than asked") << fault << "3 from 3";
    }

    void tcp_scanTrustsOnlyWholeReplies()
    {
        QFETCH(SimFaults, faults);
        UnitSimFixture::Options options;
        options.units.clear();
        for (int address = 2; address <= 5; ++address)
            options.units << UnitSimFixture::unit(address, {5, 4, 0, 0, 0, 0});
        options.faults = faults;
        QVERIFY(startSim(options));
        connectTcp(m_window.get(), 2, 5);
        // One request per address, and only whole replies count.
        QTRY_COMPARE(wire(),
                     (QStringList{"2: 3 2000 23", "3: 3 2000 23", "4: 3 2000 23", "5: 3 2000 23"}));
        QTRY_VERIFY(widget<QProgressBar>("progressBar")->isHidden());
        QTEST(QString("%1 from %2").arg(rows().size()).arg(rows().value(0).section('|', 0, 0)),
              "listed");
        // Each answer leaves delayMs after its request: a request sent before the
        // answer, or without the pause after it, comes sooner than this.
        const QVector<SimRequestRecord> requests = m_sim->requests();
        for (int i = 1; i < requests.size(); ++i) {
            const qint64 gap = requests.at(i - 1).time.msecsTo(requests.at(i).time);
            QVERIFY2(gap >= faults.delayMs + DiscoveryScanner::PacingMs - 1,
                     qPrintable(QString::number(gap)));
        }
    }

    void tcp_scanAsksEachIdentifierOnce_data()
    {
        QTest::addColumn<int>("gatewayDelayMs"); // -1: identifiers without a unit stay silent
        QTest::newRow("silent identifiers") << -1;
        QTest::newRow("gateway: target did not answer") << 50;
    }

    void tcp_scanAsksEachIdentifierOnce()
    {
        QFETCH(int, gatewayDelayMs);
        UnitSimFixture::Options options;
        options.units = {UnitSimFixture::unit(1, {5, 4, 0, 0, 0, 0})};
        options.gatewayDelayMs = gatewayDelayMs;
        QVERIFY(startSim(options));
        connectTcp(m_window.get(), 1, 3);
        QTRY_COMPARE_WITH_TIMEOUT(wire({2, 3}), (QStringList{"2: 3 2000 0", "3: 3 2000 0"}), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(widget<QProgressBar>("progressBar")->isHidden(), 5000);
        QCOMPARE(wire({2, 3}).size(), 2);
        QCOMPARE(rows().size(), 1);
        // The window's own reads keep their retries.
        QCOMPARE(m_window->client()->numberOfRetries(), LinkSettings::TcpRetries);
        if (gatewayDelayMs < 0)
            return;
        // The gateway's exception ends an identifier at once, not at the time-out.
        QDateTime second;
        for (const SimRequestRecord &record : m_sim->requests()) {
            if (record.slave == 2)
                second = record.time;
            else if (record.slave == 3)
                QVERIFY(second.msecsTo(record.time) < LinkSettings::TcpTimeoutMs);
        }
    }

    void tcp_open_data()
    {
        QTest::addColumn<int>("firmware");
        QTest::addColumn<QStringList>("answers"); // to the jumper question (then the unit has one)
        QTest::addColumn<SimFaults>("faults");
        QTest::addColumn<int>("mode"); // 0: nothing opens
        QTest::addColumn<QString>("error");
        const int online = ModeOnline | ModeTcp;
        const QStringList none;
        SimFaults sound, shortReply, late;
        shortReply.shortReplyAt.insert(2024, 2); // 23 words, as a late scan answer looks
        late.delayMs = 80;
        const QString failed = QStringLiteral("Ошибка запроса rT2000: ");
        const QString cancel = QStringLiteral("Отмена");
        // clang-format off
        QTest::newRow("2.1 opens at once") << 21 << none << sound << online << "";
        QTest::newRow("2.2 reads 25 words") << 22 << none << sound << online << "";
        // Each attempt sets the bits again; adding them would carry into bit 4.
        QTest::newRow("cancelled twice, then removed, extra delay") << 22
            << QStringList{cancel, cancel, "Перемычка снята"} << sound << (online | ModeExtraDelay)
            << "";
        QTest::newRow("23 words") << 22 << none << shortReply << 0 << failed;
        QTest::newRow("clicked thrice while reading") << 22 << none << late << online << "";
        // clang-format on
    }

    void tcp_open()
    {
        QFETCH(int, firmware);
        QFETCH(QStringList, answers);
        QFETCH(SimFaults, faults);
        QFETCH(int, mode);
        QFETCH(QString, error);
        UnitSimFixture::Options options;
        options.units = {UnitSimFixture::unit(1, ThreeBoards, firmware, !answers.isEmpty())};
        options.faults = faults;
        QVERIFY(startSim(options));
        if (mode & ModeExtraDelay)
            QTest::keyClick(widget<QCheckBox>("checkBox"), Qt::Key_Space);
        connectTcp(m_window.get());
        QTRY_COMPARE(rows().size(), 1);
        for (int i = 0; i < (faults.delayMs ? 3 : 1); ++i)
            click("btnOnline");
        for (int i = 0; i < answers.size(); ++i) {
            if (i)
                click("btnOnline");
            QMessageBox *box = visibleBox();
            QVERIFY(box);
            QCOMPARE(box->windowTitle() + ": " + box->text() + " / " + box->defaultButton()->text(),
                     QStringLiteral("Внимание: Снимите перемычку XS4 перед конфигурацие модуля / "
                                    "Перемычка снята"));
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == answers.at(i))
                    QTest::mouseClick(button, Qt::LeftButton);
            }
        }
        QTRY_COMPARE(widget<QLabel>("labelError")->text().left(error.size()), error);
        const int reads = firmware == 21 ? 0 : qMax(1, answers.size());
        const QString opening = QString("mode %1 at 1, %2 words").arg(mode).arg(reads ? 25 : 23);
        if (mode)
            QTRY_COMPARE(m_window->opened, QStringList{opening});
        QTest::qWait(2 * faults.delayMs);
        QCOMPARE(wire().count(QStringLiteral("1: 3 2000 25")), reads);
        QCOMPARE(m_window->opened, mode ? QStringList{opening} : QStringList());
        if (mode)
            return;
        // Refused: the unit stays listed, the client connected, and a later attempt asks again.
        QCOMPARE(status(), Listed);
        click("btnOnline");
        QTRY_COMPARE(wire().count(QStringLiteral("1: 3 2000 25")), reads + 1);
    }

    void tcp_foreignDevice_listedButNeverOpened()
    {
        UnitSimFixture::Options options;
        options.units
            = {UnitSimFixture::unit(2, ThreeBoards), UnitSimFixture::unit(3, ThreeBoards)};
        options.units[0].moduleType = 7; // another slave that answers at 2000..2022
        QVERIFY(startSim(options));
        connectTcp(m_window.get(), 2, 3);
        QTRY_COMPARE(rows().size(), 2);
        QCOMPARE(rows().first().section('|', 0, 1), QStringLiteral("2|не модуль БРК-40 (тип 7)"));
        widget<FoundUnitsTable>("tableWidget")->selectRow(0);
        click("btnOnline");
        QMessageBox *box = visibleBox();
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("не модуль БРК-40 (тип 7)"));
        box->close();
        QTest::qWait(100);
        QCOMPARE(m_window->opened, QStringList());
        QCOMPARE(wire({2}), QStringList{"2: 3 2000 23"}); // the scan's read alone
    }

    void keepAlive_keepsOneReadOnTheLine()
    {
        QVERIFY(startSim(UnitSimFixture::Options()));
        m_sim->setSilent(true);
        auto client = ModbusCall::tcpClient(m_sim->port(), 60, 0);
        KeepAlive keepAlive;
        keepAlive.setClient(client.get());
        keepAlive.start(20);
        // A silent unit gets one read per time-out, not one per tick.
        QTest::qWait(250);
        const QStringList silent = wire();
        QVERIFY2(silent.size() >= 2 && silent.size() <= 6, qPrintable(silent.join(", ")));
        QCOMPARE(silent.filter(QStringLiteral("1: 3 2000 ")).size(), silent.size());

        m_sim->setSilent(false);
        m_sim->clearRequests();
        QTest::qWait(200);
        QVERIFY2(wire().size() >= 3, qPrintable(wire().join(", ")));
    }

    void rtu_scan_data()
    {
        QTest::addColumn<QString>("addresses");      // first, last, range
        QTest::addColumn<QList<int>>("askedSlaves"); // empty: the first unit listed is opened
        QTest::addColumn<QStringList>("listed");
        const QString at3 = "3|" + UnitName + "|2.1|3";
        const QString at5 = "5|" + UnitName + "|10.5|6"; // version word 105
        // clang-format off
        QTest::newRow("range") << "3|5|-" << QList<int>{3, 4, 5} << QStringList{at3, at5};
        // One address: the last field is not looked at.
        QTest::newRow("one address") << "3|12|+" << QList<int>{3} << QStringList{at3};
        QTest::newRow("opened during the scan") << "3|12|-" << QList<int>() << QStringList{at3};
        // clang-format on
    }

    void rtu_scan()
    {
        QFETCH(QString, addresses);
        QFETCH(QList<int>, askedSlaves);
        UnitSimFixture::Options options;
        options.units
            = {UnitSimFixture::unit(3, ThreeBoards, 21), UnitSimFixture::unit(5, SixBoards)};
        QVERIFY(startSim(options));
        QVERIFY(m_sim->setReg(5, QModbusDataUnit::HoldingRegisters, 2002, 105));
        if (!connectRtu(addresses.section('|', 0, 1), addresses.endsWith('-')))
            QSKIP("socat is needed for a virtual serial line");
        QCOMPARE(m_window->client()->timeout(), 106); // 100 and the module block on the wire
        if (askedSlaves.isEmpty()) {
            QTRY_COMPARE(rows().size(), 1);
            click("btnOnline");
            QCOMPARE(m_window->opened.size(), 1);
            QTest::qWait(300); // time for two more addresses
            // At most the address already on the line when the button was pressed.
            QVERIFY2(asked().size() <= 2, qPrintable(wire().join(", ")));
        }
        QTRY_VERIFY(widget<QProgressBar>("progressBar")->isHidden());
        QTEST(rows(), "listed");
        QCOMPARE(status(), QStringLiteral("Отключиться online, %1 rows").arg(rows().size()));
        if (!askedSlaves.isEmpty())
            QCOMPARE(asked(), askedSlaves);
        QVERIFY(!visibleBox(0));
    }
};

QTEST_MAIN(TestStartWindow)
#include "tst_startwindow.moc"
