// The start window end to end: the real widgets, driven by their object
// names, against the simulated unit in-process over TCP and over a pty pair.

#include "modeflags.h"
#include "startwindow.h"
#include "tablewidget.h"

#include "ptypair.h"
#include "unitsimfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QModbusRtuSerialMaster>
#include <QNetworkProxy>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTcpSocket>
#include <QtTest>

namespace {

const QString NoUnitsText = QStringLiteral(
    "Устройства не обнаружены. Проверьте подключение и повторите поиск."
    "                                   "
    "Для более подробного поиска включите дополнительную задержку в параметрах порта.");
const QString JumperText = QStringLiteral("Снимите перемычку XS4 перед конфигурацие модуля");

const QVector<int> DefaultSlots{5, 4, 6, 7, 8, 1}; // AIO AI DI TMP DO6 DO4

// Records what would open instead of opening the main window; can stand in a
// plain widget for the main window to check what happens while one is open.
class RecordingStartWindow : public StartWindow
{
public:
    struct Opened
    {
        int mode;
        ModuleTables unit;
        int serverAddress;
    };
    QList<Opened> opened;
    bool standInMainWindow = false;

    void closeMainWindow() { onMainWindowClosed(); }

protected:
    void openMainWindow(int mode, const ModuleTables &unit, int serverAddress) override
    {
        opened.append({mode, unit, serverAddress});
        if (standInMainWindow)
            setMainWindow(new QWidget);
    }
};

} // namespace

class TestStartWindowE2e : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void tcp_connectListsUnitAndKeepsAlive();
    void tcp_noUnitAtAddress1ShowsMessageAndDisconnects();
    void tcp_tabSwitchWhileConnectedReplacesClient();
    void tcp_lostConnectionReachesErrorLabel();
    void tcp_openByFirmware_data();
    void tcp_openByFirmware();
    void tcp_versionReadExceptionReachesErrorLabel();
    void tcp_unitOpensOnceWhileVersionReadPending();
    void tcp_nothingOpensWhileMainWindowIsOpen();

    void rtu_scanFindsUnitsInRange();
    void rtu_singleAddressModeIgnoresLastAddress();
    void rtu_onlineDuringScanStopsBeforeNextAddress();

private:
    template<typename T>
    T *widget(const char *name) const
    {
        return m_window->findChild<T *>(QLatin1String(name));
    }
    bool startSim(const UnitSimFixture::Options &options);
    void connectTcp();
    bool connectRtu(int first, int last, bool range);
    QList<QStringList> rows() const;
    QMessageBox *visibleBox(int timeoutMs = 5000) const;
    int count(int function, int address, int registers, int slave = -1) const;
    QList<int> slavesAsked() const;
    // "<slave>: <function> <address> <count>" of every request the unit saw.
    QStringList wire() const;

    std::unique_ptr<UnitSimFixture> m_sim;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<RecordingStartWindow> m_window;
};

void TestStartWindowE2e::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    qRegisterMetaType<QVector<quint16>>();
}

void TestStartWindowE2e::init()
{
    m_window = std::make_unique<RecordingStartWindow>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestStartWindowE2e::cleanup()
{
    m_window.reset();
    m_sim.reset();
    m_pty.reset();
}

bool TestStartWindowE2e::startSim(const UnitSimFixture::Options &options)
{
    m_sim = std::make_unique<UnitSimFixture>(options);
    return m_sim->start();
}

void TestStartWindowE2e::connectTcp()
{
    widget<QTabWidget>("tabWidget")->setCurrentIndex(1);
    auto *ip = widget<QLineEdit>("leIp");
    ip->clear();
    QTest::keyClicks(ip, "127.0.0.1");
    auto *port = widget<QLineEdit>("lePort");
    port->clear();
    QTest::keyClicks(port, QString::number(m_sim->port()));
    QTest::mouseClick(widget<QPushButton>("btnConnect"), Qt::LeftButton);
}

bool TestStartWindowE2e::connectRtu(int first, int last, bool range)
{
    if (!PtyPair::socatAvailable())
        return false;
    m_pty = std::make_unique<PtyPair>();
    QString error;
    if (!m_pty->start(&error) || !m_sim->openSerial(m_pty->unitEnd(), &error)) {
        qWarning() << error;
        return false;
    }
    widget<QTabWidget>("tabWidget")->setCurrentIndex(0);
    widget<QComboBox>("boxPortName")->setEditText(m_pty->clientEnd());
    if (range)
        QTest::mouseClick(widget<QPushButton>("btnHide"), Qt::LeftButton);
    auto *start = widget<QSpinBox>("leStartSlave");
    start->selectAll();
    QTest::keyClicks(start, QString::number(first));
    auto *lastBox = widget<QSpinBox>("leLastSlave");
    lastBox->selectAll();
    QTest::keyClicks(lastBox, QString::number(last));
    QTest::mouseClick(widget<QPushButton>("btnConnect"), Qt::LeftButton);
    return true;
}

QList<QStringList> TestStartWindowE2e::rows() const
{
    QList<QStringList> result;
    auto *table = widget<TableWidget>("tableWidget");
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c) {
            auto *label = qobject_cast<QLabel *>(table->cellWidget(r, c));
            cells << (label ? label->text() : QString());
        }
        result << cells;
    }
    return result;
}

QMessageBox *TestStartWindowE2e::visibleBox(int timeoutMs) const
{
    QMessageBox *found = nullptr;
    const bool shown = QTest::qWaitFor(
        [&]() {
            for (QMessageBox *box : m_window->findChildren<QMessageBox *>()) {
                if (box->isVisible())
                    found = box;
            }
            return found != nullptr;
        },
        timeoutMs);
    return shown ? found : nullptr;
}

int TestStartWindowE2e::count(int function, int address, int registers, int slave) const
{
    int n = 0;
    for (const SimRequestRecord &r : m_sim->requests()) {
        if (r.result != SimRequestRecord::Event && r.function == function && r.address == address
            && r.count == registers && (slave < 0 || r.slave == slave))
            ++n;
    }
    return n;
}

QStringList TestStartWindowE2e::wire() const
{
    QStringList lines;
    for (const SimRequestRecord &r : m_sim->requests()) {
        if (r.result != SimRequestRecord::Event)
            lines
                << QString("%1: %2 %3 %4").arg(r.slave).arg(r.function).arg(r.address).arg(r.count);
    }
    return lines;
}

QList<int> TestStartWindowE2e::slavesAsked() const
{
    QList<int> slaves;
    for (const SimRequestRecord &r : m_sim->requests()) {
        // A request to an address nobody holds is logged without its count.
        const bool discovery = r.count == 23 || r.result == SimRequestRecord::NoUnit;
        if (r.result != SimRequestRecord::Event && r.function == 3 && r.address == 2000 && discovery
            && !slaves.contains(r.slave))
            slaves << r.slave;
    }
    return slaves;
}

void TestStartWindowE2e::tcp_connectListsUnitAndKeepsAlive()
{
    UnitSimFixture::Options options;
    options.units = {UnitSimFixture::unit(1, DefaultSlots, 22)};
    QVERIFY(startSim(options));
    connectTcp();

    QTRY_COMPARE(rows().size(), 1);
    QCOMPARE(rows().at(0), (QStringList{"1", QStringLiteral("ВИРАТ7100.20 БРК"), "2.2", "6"}));
    QVERIFY(widget<QPushButton>("btnOnline")->isEnabled());
    QCOMPARE(widget<TableWidget>("tableWidget")->currentRow(), 0);
    QCOMPARE(widget<QPushButton>("btnConnect")->text(), QStringLiteral("Отключиться"));
    QVERIFY(!widget<QTabWidget>("tabWidget")->isEnabled());
    QVERIFY(!widget<QLabel>("label")->pixmap(Qt::ReturnByValue).isNull()); // the picture stays
    QCOMPARE(m_window->foundUnits().size(), 1);
    QCOMPARE(m_window->foundUnits().at(0).countAI(), 8); // AIO 2 + AI 4 + TMP 2
    // With the default identifier field: one module-block read of identifier 1,
    QCOMPARE(wire(), QStringList{"1: 3 2000 23"});

    // then the keep-alive: one register at 2000 of identifier 1, every second.
    QTest::qWait(2300);
    QCOMPARE(wire().mid(0, 3), (QStringList{"1: 3 2000 23", "1: 3 2000 1", "1: 3 2000 1"}));

    QTest::mouseClick(widget<QPushButton>("btnConnect"), Qt::LeftButton);
    QTRY_COMPARE(widget<QPushButton>("btnConnect")->text(), QStringLiteral("Подключиться"));
    QVERIFY(rows().isEmpty());
    QVERIFY(!widget<QPushButton>("btnOnline")->isEnabled());
    QVERIFY(widget<QTabWidget>("tabWidget")->isEnabled());
    m_sim->clearRequests();
    QTest::qWait(1300);
    QCOMPARE(m_sim->requests().size(), 0);
}

void TestStartWindowE2e::tcp_noUnitAtAddress1ShowsMessageAndDisconnects()
{
    UnitSimFixture::Options options;
    options.units = {UnitSimFixture::unit(5, DefaultSlots, 22)};
    QVERIFY(startSim(options));
    connectTcp();

    // 500 ms x (3 retries + 1) before address 1 counts as silent.
    QMessageBox *box = visibleBox(6000);
    QVERIFY(box);
    QCOMPARE(box->text(), NoUnitsText);
    QTRY_COMPARE(m_window->client()->state(), QModbusDevice::UnconnectedState);
    QCOMPARE(widget<QPushButton>("btnConnect")->text(), QStringLiteral("Подключиться"));
    QVERIFY(widget<QProgressBar>("progressBar")->isHidden());
    QVERIFY(rows().isEmpty());
    box->accept();
}

void TestStartWindowE2e::tcp_tabSwitchWhileConnectedReplacesClient()
{
    QVERIFY(startSim(UnitSimFixture::Options()));
    connectTcp();
    QTRY_COMPARE(rows().size(), 1);
    QPointer<QModbusClient> old = m_window->client();
    // A system proxy never stands between the PC and the unit.
    QCOMPARE(old->findChild<QTcpSocket *>()->proxy().type(), QNetworkProxy::NoProxy);

    widget<QTabWidget>("tabWidget")->setCurrentIndex(0);
    QVERIFY(qobject_cast<QModbusRtuSerialMaster *>(m_window->client()));
    QCOMPARE(m_window->client()->state(), QModbusDevice::UnconnectedState);
    QCOMPARE(m_window->mode(), int(ModeRtu));
    QTRY_VERIFY(old.isNull());
    QVERIFY(rows().isEmpty());
    QCOMPARE(widget<QPushButton>("btnConnect")->text(), QStringLiteral("Подключиться"));
    QVERIFY(widget<QTabWidget>("tabWidget")->isEnabled());

    // The keep-alive went with the old client.
    m_sim->clearRequests();
    QTest::qWait(1300);
    QCOMPARE(m_sim->requests().size(), 0);
}

void TestStartWindowE2e::tcp_lostConnectionReachesErrorLabel()
{
    QVERIFY(startSim(UnitSimFixture::Options()));
    connectTcp();
    QTRY_COMPARE(rows().size(), 1);

    m_sim.reset(); // the unit goes away
    QTRY_COMPARE(m_window->client()->state(), QModbusDevice::UnconnectedState);
    QTRY_VERIFY(!widget<QLabel>("labelError")->text().isEmpty());
    QCOMPARE(widget<QLabel>("labelError")->text(), m_window->client()->errorString());
    QVERIFY(rows().isEmpty());
}

void TestStartWindowE2e::tcp_openByFirmware_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<bool>("jumper");
    QTest::addColumn<bool>("extraDelay");
    QTest::addColumn<QStringList>("answers"); // to the jumper question, one per attempt
    QTest::addColumn<int>("versionReads");
    QTest::addColumn<int>("mode"); // 0: nothing opens

    const int online = ModeOnline | ModeTcp;
    QTest::newRow("2.1 opens at once") << 21 << false << false << QStringList() << 0 << online;
    QTest::newRow("2.2 reads 25 words first")
        << 22 << false << false << QStringList() << 1 << online;
    QTest::newRow("2.2 with jumper, removed")
        << 22 << true << false << QStringList{"Перемычка снята"} << 1 << online;
    QTest::newRow("2.2 with jumper, cancelled")
        << 22 << true << false << QStringList{"Отмена"} << 1 << 0;
    // Each attempt sets the bits again; adding them would carry into bit 4.
    QTest::newRow("cancelled twice, then removed, extra delay")
        << 22 << true << true << QStringList{"Отмена", "Отмена", "Перемычка снята"} << 3
        << (online | ModeExtraDelay);
}

void TestStartWindowE2e::tcp_openByFirmware()
{
    QFETCH(int, firmware);
    QFETCH(bool, jumper);
    QFETCH(bool, extraDelay);
    QFETCH(QStringList, answers);
    QFETCH(int, versionReads);
    QFETCH(int, mode);

    UnitSimFixture::Options options;
    options.units = {UnitSimFixture::unit(1, {4, 0, 6, 0, 0, 1}, firmware, jumper)};
    QVERIFY(startSim(options));
    if (extraDelay)
        QTest::keyClick(widget<QCheckBox>("checkBox"), Qt::Key_Space);
    connectTcp();
    QTRY_COMPARE(rows().size(), 1);
    QCOMPARE(rows().at(0).at(2), firmware == 21 ? QStringLiteral("2.1") : QStringLiteral("2.2"));
    QCOMPARE(rows().at(0).at(3), QStringLiteral("3"));

    if (answers.isEmpty())
        QTest::mouseClick(widget<QPushButton>("btnOnline"), Qt::LeftButton);
    for (const QString &answer : answers) {
        QTest::mouseClick(widget<QPushButton>("btnOnline"), Qt::LeftButton);
        QMessageBox *box = visibleBox();
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("Внимание"));
        QCOMPARE(box->text(), JumperText);
        QCOMPARE(box->defaultButton()->text(), QStringLiteral("Перемычка снята"));
        QAbstractButton *chosen = nullptr;
        for (QAbstractButton *b : box->buttons())
            chosen = b->text() == answer ? b : chosen;
        QVERIFY(chosen);
        QTest::mouseClick(chosen, Qt::LeftButton);
        QTRY_VERIFY(!box->isVisible());
    }
    QTest::qWait(200);
    QVERIFY(!visibleBox(0));

    QCOMPARE(count(3, 2000, 25, 1), versionReads);
    QCOMPARE(m_window->opened.size(), mode ? 1 : 0);
    if (mode) {
        QCOMPARE(m_window->opened.at(0).mode, mode);
        const ModuleTables unit = m_window->opened.at(0).unit;
        QCOMPARE(unit.moduleTable().value(2), quint16(firmware));
        QCOMPARE(unit.moduleTable().size(), versionReads ? 25 : 23);
        QCOMPARE(unit.countDI(), 4);
        QCOMPARE(unit.countDO(), 4);
    } else {
        // Cancelled: the unit stays listed and the client connected.
        QCOMPARE(rows().size(), 1);
        QCOMPARE(m_window->client()->state(), QModbusDevice::ConnectedState);
    }
}

void TestStartWindowE2e::tcp_versionReadExceptionReachesErrorLabel()
{
    UnitSimFixture::Options options;
    options.units = {UnitSimFixture::unit(1, DefaultSlots, 22)};
    options.faults.exceptionAt.insert(2024, 2); // only the 25-word read covers 2024
    QVERIFY(startSim(options));
    connectTcp();
    QTRY_COMPARE(rows().size(), 1);

    QTest::mouseClick(widget<QPushButton>("btnOnline"), Qt::LeftButton);
    auto *error = widget<QLabel>("labelError");
    QTRY_VERIFY(!error->text().isEmpty());
    QVERIFY2(error->text().startsWith(QStringLiteral("Ошибка запроса rT2000: ")),
             qPrintable(error->text()));
    QVERIFY2(error->text().endsWith(QStringLiteral("(Mobus exception: 0x2)")),
             qPrintable(error->text()));
    QCOMPARE(m_window->opened.size(), 0);
    QCOMPARE(rows().size(), 1);
}

void TestStartWindowE2e::tcp_unitOpensOnceWhileVersionReadPending()
{
    UnitSimFixture::Options options;
    options.units = {UnitSimFixture::unit(1, DefaultSlots, 22)};
    options.faults.delayMs = 300;
    QVERIFY(startSim(options));
    connectTcp();
    QTRY_COMPARE(rows().size(), 1);

    QTest::mouseClick(widget<QPushButton>("btnOnline"), Qt::LeftButton);
    QTest::mouseClick(widget<QPushButton>("btnOnline"), Qt::LeftButton);
    auto *table = widget<TableWidget>("tableWidget");
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {},
                       table->visualRect(table->model()->index(0, 0)).center());
    QTRY_COMPARE(m_window->opened.size(), 1);
    QTest::qWait(700);
    QCOMPARE(m_window->opened.size(), 1);
    QCOMPARE(count(3, 2000, 25, 1), 1);
}

void TestStartWindowE2e::tcp_nothingOpensWhileMainWindowIsOpen()
{
    UnitSimFixture::Options options;
    options.units = {UnitSimFixture::unit(1, DefaultSlots, 21)};
    QVERIFY(startSim(options));
    m_window->standInMainWindow = true;
    connectTcp();
    QTRY_COMPARE(rows().size(), 1);

    QTest::mouseClick(widget<QPushButton>("btnOnline"), Qt::LeftButton);
    QCOMPARE(m_window->opened.size(), 1);
    QVERIFY(!m_window->isVisible());
    emit widget<TableWidget>("tableWidget")->itemClick();
    QTest::mouseClick(widget<QPushButton>("btnOnline"), Qt::LeftButton);
    QCOMPARE(m_window->opened.size(), 1);

    // Closing the main window brings back an empty, unconnected start window.
    QPointer<QModbusClient> old = m_window->client();
    m_window->closeMainWindow();
    QVERIFY(m_window->isVisible());
    QVERIFY(rows().isEmpty());
    QCOMPARE(widget<QPushButton>("btnConnect")->text(), QStringLiteral("Подключиться"));
    QTRY_VERIFY(old.isNull());
    QVERIFY(m_window->client());
    QCOMPARE(m_window->client()->state(), QModbusDevice::UnconnectedState);
    QCOMPARE(m_window->mode(), int(ModeTcp));

    // A new connection can open a unit again.
    QTest::mouseClick(widget<QPushButton>("btnConnect"), Qt::LeftButton);
    QTRY_COMPARE(rows().size(), 1);
    QTest::mouseClick(widget<QPushButton>("btnOnline"), Qt::LeftButton);
    QCOMPARE(m_window->opened.size(), 2);
}

void TestStartWindowE2e::rtu_scanFindsUnitsInRange()
{
    UnitSimFixture::Options options;
    options.units = {UnitSimFixture::unit(3, {4, 0, 6, 0, 0, 1}, 22),
                     UnitSimFixture::unit(10, DefaultSlots, 21)};
    QVERIFY(startSim(options));
    // Version word 105 shows as 10.5.
    QVERIFY(m_sim->setReg(10, QModbusDataUnit::HoldingRegisters, 2002, 105));
    QSignalSpy progress(widget<QProgressBar>("progressBar"), &QProgressBar::valueChanged);
    if (!connectRtu(1, 12, true))
        QSKIP("socat is needed for a virtual serial line");

    QCOMPARE(m_window->client()->timeout(), 100);
    QTRY_VERIFY_WITH_TIMEOUT(widget<QProgressBar>("progressBar")->isHidden(), 10000);
    QCOMPARE(rows(), (QList<QStringList>{{"3", QStringLiteral("ВИРАТ7100.20 БРК"), "2.2", "3"},
                                         {"10", QStringLiteral("ВИРАТ7100.20 БРК"), "10.5", "6"}}));
    QList<int> values;
    for (const QList<QVariant> &args : progress)
        values << args.at(0).toInt();
    QCOMPARE(values, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    QCOMPARE(slavesAsked(), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    QCOMPARE(m_window->client()->state(), QModbusDevice::ConnectedState);
    QVERIFY(!visibleBox(100));

    // No keep-alive on the serial line.
    m_sim->clearRequests();
    QTest::qWait(1300);
    QCOMPARE(m_sim->requests().size(), 0);
}

void TestStartWindowE2e::rtu_singleAddressModeIgnoresLastAddress()
{
    UnitSimFixture::Options options;
    options.units
        = {UnitSimFixture::unit(3, DefaultSlots, 22), UnitSimFixture::unit(4, DefaultSlots, 22)};
    QVERIFY(startSim(options));
    if (!connectRtu(3, 12, false))
        QSKIP("socat is needed for a virtual serial line");

    QTRY_VERIFY(widget<QProgressBar>("progressBar")->isHidden());
    QCOMPARE(rows().size(), 1);
    QCOMPARE(rows().at(0).at(0), QStringLiteral("3"));
    QCOMPARE(slavesAsked(), QList<int>{3});
}

void TestStartWindowE2e::rtu_onlineDuringScanStopsBeforeNextAddress()
{
    UnitSimFixture::Options options;
    options.units
        = {UnitSimFixture::unit(1, DefaultSlots, 21), UnitSimFixture::unit(8, DefaultSlots, 21)};
    QVERIFY(startSim(options));
    if (!connectRtu(1, 12, true))
        QSKIP("socat is needed for a virtual serial line");

    QTRY_COMPARE(rows().size(), 1);
    QTest::mouseClick(widget<QPushButton>("btnOnline"), Qt::LeftButton);
    QCOMPARE(m_window->opened.size(), 1);
    QTest::qWait(600);

    // At most the address already on the line when the button was pressed.
    const QList<int> asked = slavesAsked();
    QVERIFY2(asked.size() <= 2, qPrintable(QString::number(asked.size())));
    QVERIFY(widget<QProgressBar>("progressBar")->isHidden());
    QCOMPARE(rows().size(), 1);
}

QTEST_MAIN(TestStartWindowE2e)
#include "tst_startwindow_e2e.moc"
