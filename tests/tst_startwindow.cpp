// The start window without any unit: its widgets, defaults, inputs and the
// connection errors that need no peer.

#include "dialog.h"
#include "modeflags.h"
#include "startwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QModbusRtuSerialMaster>
#include <QModbusTcpClient>
#include <QNetworkProxy>
#include <QPointer>
#include <QPushButton>
#include <QSerialPort>
#include <QSpinBox>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include "tablewidget.h"

static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

// Keeps the main window from opening: records what would have been opened.
class RecordingStartWindow : public StartWindow
{
public:
    int offlineOpened = 0;

protected:
    void openOfflineWindow() override { ++offlineOpened; }
};

// The offscreen platform warns about every window it cannot size; that says
// nothing about the code under test.
static QtMessageHandler previousHandler = nullptr;
static void quietPlatform(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.contains(QLatin1String("propagateSizeHints")))
        return;
    previousHandler(type, context, text);
}

class TestStartWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void texts_data();
    void texts();
    void comboItems_data();
    void comboItems();
    void startState();
    void ipValidator_data();
    void ipValidator();
    void ipField_rejectsTypedOctetAbove255();
    void rangeButton_togglesLastAddress();
    void defaultButtons_restoreParameters();
    void extraDelayText_followsState();
    void tabSwitch_replacesClient();
    void serialConnect_setsTimeoutByBaudRate_data();
    void serialConnect_setsTimeoutByBaudRate();
    void serialConnect_setsPortParameters();
    void serialConnect_unknownPortShowsError();
    void tcpConnect_refusedShowsClientError();
    void tcpConnect_badPortIsRefusedBeforeConnecting_data();
    void tcpConnect_badPortIsRefusedBeforeConnecting();
    void online_withoutRowWarns();
    void offline_opensOfflineWindow();
    void aboutAction_opensAboutBox();

private:
    template<typename T>
    T *widget(const char *name) const
    {
        T *w = m_window->findChild<T *>(QLatin1String(name));
        if (!w)
            qWarning("no widget %s", name);
        return w;
    }
    QMessageBox *waitForMessageBox() const;

    std::unique_ptr<RecordingStartWindow> m_window;
};

void TestStartWindow::initTestCase()
{
    initResources();
    previousHandler = qInstallMessageHandler(quietPlatform);
    qRegisterMetaType<QModbusDevice::State>();
}

void TestStartWindow::init()
{
    m_window = std::make_unique<RecordingStartWindow>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestStartWindow::cleanup()
{
    m_window.reset();
}

QMessageBox *TestStartWindow::waitForMessageBox() const
{
    QMessageBox *found = nullptr;
    const bool shown = QTest::qWaitFor([&]() {
        const auto boxes = m_window->findChildren<QMessageBox *>();
        for (QMessageBox *box : boxes) {
            if (box->isVisible())
                found = box;
        }
        return found != nullptr;
    }, 3000);
    return shown ? found : nullptr;
}

void TestStartWindow::texts_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("text");

    QTest::newRow("title label") << "label_2" << "Выбор БРК";
    QTest::newRow("port label") << "label_3" << "Выберите порт:";
    QTest::newRow("baud label") << "labelBaundRate" << "Скорость";
    QTest::newRow("parity label") << "labelParity" << "Четность";
    QTest::newRow("stop bits label") << "labelStopBits" << "Стоп-бит";
    QTest::newRow("extra delay label") << "label_7" << "Дополнительная\nзадержка";
    QTest::newRow("extra delay box") << "checkBox" << "Выкл";
    QTest::newRow("devices label") << "label_8" << "Устройства";
    QTest::newRow("range button") << "btnHide" << "+";
    QTest::newRow("serial defaults") << "btnDefault" << "По умолчанию";
    QTest::newRow("ip label") << "label_4" << "IP адрес: ";
    QTest::newRow("ip") << "leIp" << "192.168.1.99";
    QTest::newRow("port label tcp") << "label_5" << "Порт: ";
    QTest::newRow("port") << "lePort" << "502";
    QTest::newRow("ethernet defaults") << "btnDefaultEthernet" << "По умолчанию";
    QTest::newRow("connect") << "btnConnect" << "Подключиться";
    QTest::newRow("error label") << "labelError" << "";
    QTest::newRow("found label") << "label_6" << "Найденные модули:";
    QTest::newRow("exit") << "btnExit" << "Выход";
    QTest::newRow("online") << "btnOnline" << "Конфигурирование \n модуля";
    QTest::newRow("offline") << "btnOffline" << "Создать конфигурацию\nоффлайн";
    QTest::newRow("about action") << "actionAboutProgram" << "О программе...";
}

void TestStartWindow::texts()
{
    QFETCH(QString, object);
    QFETCH(QString, text);
    QObject *o = m_window->findChild<QObject *>(object);
    QVERIFY2(o, qPrintable(object));
    QCOMPARE(o->property("text").toString(), text);
}

void TestStartWindow::comboItems_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("codes");

    QTest::newRow("baud rate") << "baudRateBox"
        << QStringList { "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200" }
        << QList<int> { 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 };
    // QSerialPort::Parity: none 0, even 2, odd 3, space 4, mark 5.
    QTest::newRow("parity") << "parityBox"
        << QStringList { "Нет", "Чет", "Нечет", "Mark", "Space" }
        << QList<int> { 0, 2, 3, 5, 4 };
    // QSerialPort::StopBits: one 1, one and a half 3, two 2.
    QTest::newRow("stop bits") << "stopBitsBox" << QStringList { "1", "1.5", "2" }
                               << QList<int> { 1, 3, 2 };
}

void TestStartWindow::comboItems()
{
    QFETCH(QString, box);
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, codes);
    auto *combo = m_window->findChild<QComboBox *>(box);
    QVERIFY(combo);
    QCOMPARE(combo->count(), texts.size());
    for (int i = 0; i < texts.size(); ++i) {
        QCOMPARE(combo->itemText(i), texts.at(i));
        QCOMPARE(combo->itemData(i).toInt(), codes.at(i));
    }
}

void TestStartWindow::startState()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Окно поиска модулей"));
    QCOMPARE(m_window->size(), QSize(946, 705));
    QVERIFY(!m_window->windowIcon().isNull());
    QVERIFY(!widget<QLabel>("label")->pixmap(Qt::ReturnByValue).isNull());

    QCOMPARE(widget<QTabWidget>("tabWidget")->currentIndex(), 0);
    QCOMPARE(widget<QTabWidget>("tabWidget")->tabText(0), QStringLiteral("Последовательный порт"));
    QCOMPARE(widget<QTabWidget>("tabWidget")->tabText(1), QStringLiteral("Ethernet"));
    QVERIFY(widget<QComboBox>("boxPortName")->isEditable());
    QCOMPARE(widget<QComboBox>("baudRateBox")->currentText(), QStringLiteral("115200"));
    QCOMPARE(widget<QSpinBox>("leStartSlave")->value(), 1);
    QCOMPARE(widget<QSpinBox>("leLastSlave")->value(), 247);
    QCOMPARE(widget<QSpinBox>("leStartSlave")->minimum(), 1);
    QCOMPARE(widget<QSpinBox>("leStartSlave")->maximum(), 247);
    QVERIFY(widget<QSpinBox>("leLastSlave")->isHidden());
    QVERIFY(widget<QWidget>("progressBar")->isHidden());
    QVERIFY(widget<QWidget>("mainToolBar")->isHidden());
    QVERIFY(!widget<QPushButton>("btnOnline")->isEnabled());

    auto *table = widget<TableWidget>("tableWidget");
    QCOMPARE(table->columnCount(), 4);
    const QStringList headers { "Адрес", "Тип", "Версия ПО", "Кол-во субмодулей" };
    for (int c = 0; c < headers.size(); ++c)
        QCOMPARE(table->horizontalHeaderItem(c)->text(), headers.at(c));
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(table->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(table->rowCount(), 0);
}

void TestStartWindow::ipValidator_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("state");

    const int acceptable = QValidator::Acceptable;
    const int intermediate = QValidator::Intermediate;
    const int invalid = QValidator::Invalid;
    QTest::newRow("factory address") << "192.168.1.99" << acceptable;
    QTest::newRow("all zero") << "0.0.0.0" << acceptable;
    QTest::newRow("highest") << "255.255.255.255" << acceptable;
    QTest::newRow("leading zeros") << "010.001.000.009" << acceptable;
    QTest::newRow("249 and 250") << "249.250.1.2" << acceptable;
    QTest::newRow("three octets") << "192.168.1" << intermediate;
    QTest::newRow("trailing dot") << "192.168.1." << intermediate;
    QTest::newRow("256") << "256.1.1.1" << invalid;
    QTest::newRow("260") << "10.260.1.1" << invalid;
    QTest::newRow("five octets") << "1.2.3.4.5" << invalid;
    QTest::newRow("four digits") << "1000.1.1.1" << invalid;
    QTest::newRow("letters") << "a.b.c.d" << invalid;
    QTest::newRow("host name") << "localhost" << invalid;
    QTest::newRow("port included") << "1.2.3.4:502" << invalid;
}

void TestStartWindow::ipValidator()
{
    QFETCH(QString, input);
    QFETCH(int, state);
    const QValidator *validator = widget<QLineEdit>("leIp")->validator();
    QVERIFY(validator);
    int pos = 0;
    QCOMPARE(int(validator->validate(input, pos)), state);
}

void TestStartWindow::ipField_rejectsTypedOctetAbove255()
{
    auto *ip = widget<QLineEdit>("leIp");
    ip->clear();
    QTest::keyClicks(ip, "10.0.0.256");
    QCOMPARE(ip->text(), QStringLiteral("10.0.0.25"));
}

void TestStartWindow::rangeButton_togglesLastAddress()
{
    auto *button = widget<QPushButton>("btnHide");
    auto *last = widget<QSpinBox>("leLastSlave");
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QStringLiteral("-"));
    QVERIFY(last->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QStringLiteral("+"));
    QVERIFY(last->isHidden());
}

void TestStartWindow::defaultButtons_restoreParameters()
{
    auto *baud = widget<QComboBox>("baudRateBox");
    auto *parity = widget<QComboBox>("parityBox");
    auto *stopBits = widget<QComboBox>("stopBitsBox");
    auto *delay = widget<QCheckBox>("checkBox");
    baud->setCurrentIndex(2);
    parity->setCurrentIndex(3);
    stopBits->setCurrentIndex(2);
    QTest::keyClick(delay, Qt::Key_Space);
    QVERIFY(delay->isChecked());

    QTest::mouseClick(widget<QPushButton>("btnDefault"), Qt::LeftButton);
    QCOMPARE(baud->currentText(), QStringLiteral("115200"));
    QCOMPARE(parity->currentText(), QStringLiteral("Нет"));
    QCOMPARE(stopBits->currentText(), QStringLiteral("1"));
    QVERIFY(!delay->isChecked());

    widget<QTabWidget>("tabWidget")->setCurrentIndex(1);
    auto *ip = widget<QLineEdit>("leIp");
    auto *port = widget<QLineEdit>("lePort");
    ip->clear();
    QTest::keyClicks(ip, "10.1.2.3");
    port->clear();
    QTest::keyClicks(port, "1502");
    QTest::mouseClick(widget<QPushButton>("btnDefaultEthernet"), Qt::LeftButton);
    QCOMPARE(ip->text(), QStringLiteral("192.168.1.99"));
    QCOMPARE(port->text(), QStringLiteral("502"));
}

void TestStartWindow::extraDelayText_followsState()
{
    auto *delay = widget<QCheckBox>("checkBox");
    QTest::keyClick(delay, Qt::Key_Space);
    QCOMPARE(delay->text(), QStringLiteral("Вкл"));
    QTest::keyClick(delay, Qt::Key_Space);
    QCOMPARE(delay->text(), QStringLiteral("Выкл"));

    // The defaults button unchecks the box without a click: the text must follow.
    QTest::keyClick(delay, Qt::Key_Space);
    QTest::mouseClick(widget<QPushButton>("btnDefault"), Qt::LeftButton);
    QVERIFY(!delay->isChecked());
    QCOMPARE(delay->text(), QStringLiteral("Выкл"));
}

void TestStartWindow::tabSwitch_replacesClient()
{
    QPointer<QModbusClient> rtu = m_window->client();
    QVERIFY(qobject_cast<QModbusRtuSerialMaster *>(rtu.data()));
    QCOMPARE(m_window->mode(), int(ModeRtu));

    widget<QTabWidget>("tabWidget")->setCurrentIndex(1);
    auto *tcp = qobject_cast<QModbusTcpClient *>(m_window->client());
    QVERIFY(tcp);
    QCOMPARE(m_window->mode(), int(ModeTcp));
    auto *socket = tcp->findChild<QTcpSocket *>();
    QVERIFY(socket);
    QCOMPARE(socket->proxy().type(), QNetworkProxy::NoProxy);
    QTRY_VERIFY(rtu.isNull());

    QPointer<QModbusClient> previous = tcp;
    widget<QTabWidget>("tabWidget")->setCurrentIndex(0);
    QVERIFY(qobject_cast<QModbusRtuSerialMaster *>(m_window->client()));
    QCOMPARE(m_window->mode(), int(ModeRtu));
    QTRY_VERIFY(previous.isNull());
}

void TestStartWindow::serialConnect_setsTimeoutByBaudRate_data()
{
    QTest::addColumn<QString>("baud");
    QTest::addColumn<bool>("extraDelay");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("retries");

    QTest::newRow("1200") << "1200" << false << 800 << 1;
    QTest::newRow("2400") << "2400" << false << 700 << 1;
    QTest::newRow("4800") << "4800" << false << 600 << 1;
    QTest::newRow("9600") << "9600" << false << 500 << 1;
    QTest::newRow("19200") << "19200" << false << 400 << 1;
    QTest::newRow("38400") << "38400" << false << 300 << 1;
    QTest::newRow("57600") << "57600" << false << 200 << 1;
    QTest::newRow("115200") << "115200" << false << 100 << 1;
    QTest::newRow("1200 extra delay") << "1200" << true << 1000 << 3;
    QTest::newRow("115200 extra delay") << "115200" << true << 1000 << 3;
}

void TestStartWindow::serialConnect_setsTimeoutByBaudRate()
{
    QFETCH(QString, baud);
    QFETCH(bool, extraDelay);
    QFETCH(int, timeout);
    QFETCH(int, retries);

    auto *port = widget<QComboBox>("boxPortName");
    port->setEditText(QStringLiteral("/nonexistent/ttyBRK"));
    widget<QComboBox>("baudRateBox")->setCurrentText(baud);
    if (extraDelay)
        QTest::keyClick(widget<QCheckBox>("checkBox"), Qt::Key_Space);
    QTest::mouseClick(widget<QPushButton>("btnConnect"), Qt::LeftButton);

    // Connecting fails, but the parameters were set before the attempt.
    QCOMPARE(m_window->client()->timeout(), timeout);
    QCOMPARE(m_window->client()->numberOfRetries(), retries);
    QCOMPARE(m_window->client()->connectionParameter(QModbusDevice::SerialBaudRateParameter).toInt(),
             baud.toInt());
}

void TestStartWindow::serialConnect_setsPortParameters()
{
    widget<QComboBox>("boxPortName")->setEditText(QStringLiteral("/nonexistent/ttyBRK"));
    widget<QComboBox>("parityBox")->setCurrentText(QStringLiteral("Нечет"));
    widget<QComboBox>("stopBitsBox")->setCurrentText(QStringLiteral("2"));
    QTest::mouseClick(widget<QPushButton>("btnConnect"), Qt::LeftButton);

    QModbusClient *client = m_window->client();
    QCOMPARE(client->connectionParameter(QModbusDevice::SerialPortNameParameter).toString(),
             QStringLiteral("/nonexistent/ttyBRK"));
    QCOMPARE(client->connectionParameter(QModbusDevice::SerialParityParameter).toInt(),
             int(QSerialPort::OddParity));
    QCOMPARE(client->connectionParameter(QModbusDevice::SerialStopBitsParameter).toInt(),
             int(QSerialPort::TwoStop));
    QCOMPARE(client->connectionParameter(QModbusDevice::SerialDataBitsParameter).toInt(),
             int(QSerialPort::Data8));
}

void TestStartWindow::serialConnect_unknownPortShowsError()
{
    widget<QComboBox>("boxPortName")->setEditText(QStringLiteral("/nonexistent/ttyBRK"));
    QTest::mouseClick(widget<QPushButton>("btnConnect"), Qt::LeftButton);

    const QString text = widget<QLabel>("labelError")->text();
    QVERIFY2(text.startsWith(QStringLiteral("Ошибка подключения: ")), qPrintable(text));
    QVERIFY(text.size() > QStringLiteral("Ошибка подключения: ").size());
    QCOMPARE(text, QStringLiteral("Ошибка подключения: ") + m_window->client()->errorString());
    QCOMPARE(m_window->client()->state(), QModbusDevice::UnconnectedState);
    QCOMPARE(widget<QPushButton>("btnConnect")->text(), QStringLiteral("Подключиться"));
    QVERIFY(widget<QTabWidget>("tabWidget")->isEnabled());
}

void TestStartWindow::tcpConnect_refusedShowsClientError()
{
    // A port that was free a moment ago: nothing listens there.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();

    widget<QTabWidget>("tabWidget")->setCurrentIndex(1);
    auto *ip = widget<QLineEdit>("leIp");
    ip->clear();
    QTest::keyClicks(ip, "127.0.0.1");
    widget<QLineEdit>("lePort")->setText(QString::number(closedPort));
    QTest::mouseClick(widget<QPushButton>("btnConnect"), Qt::LeftButton);

    QModbusClient *client = m_window->client();
    QCOMPARE(client->timeout(), 500);
    QCOMPARE(client->numberOfRetries(), 3);
    QCOMPARE(client->connectionParameter(QModbusDevice::NetworkPortParameter).toInt(),
             int(closedPort));
    QCOMPARE(client->connectionParameter(QModbusDevice::NetworkAddressParameter).toString(),
             QStringLiteral("127.0.0.1"));
    QTRY_COMPARE(client->state(), QModbusDevice::UnconnectedState);
    QTRY_VERIFY(!widget<QLabel>("labelError")->text().isEmpty());
    QCOMPARE(widget<QLabel>("labelError")->text(), client->errorString());
    QCOMPARE(widget<QPushButton>("btnConnect")->text(), QStringLiteral("Подключиться"));
    QVERIFY(widget<QTabWidget>("tabWidget")->isEnabled());
}

void TestStartWindow::tcpConnect_badPortIsRefusedBeforeConnecting_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("port");
    QTest::newRow("empty port") << "127.0.0.1" << "";
    QTest::newRow("port 0") << "127.0.0.1" << "0";
    QTest::newRow("port too big") << "127.0.0.1" << "70000";
    QTest::newRow("letters") << "127.0.0.1" << "abc";
    QTest::newRow("unfinished address") << "127.0.0." << "502";
}

void TestStartWindow::tcpConnect_badPortIsRefusedBeforeConnecting()
{
    QFETCH(QString, ip);
    QFETCH(QString, port);
    widget<QTabWidget>("tabWidget")->setCurrentIndex(1);
    widget<QLineEdit>("leIp")->setText(ip);
    widget<QLineEdit>("lePort")->setText(port);
    QSignalSpy states(m_window->client(), &QModbusClient::stateChanged);
    QTest::mouseClick(widget<QPushButton>("btnConnect"), Qt::LeftButton);

    QCOMPARE(widget<QLabel>("labelError")->text(),
             QStringLiteral("Ошибка подключения: неверный IP адрес или порт"));
    QCOMPARE(states.count(), 0);
    QCOMPARE(m_window->client()->state(), QModbusDevice::UnconnectedState);
}

void TestStartWindow::online_withoutRowWarns()
{
    // The button stays disabled without rows; a double click on the empty
    // table takes the same path.
    emit widget<TableWidget>("tableWidget")->itemClick();
    QMessageBox *box = waitForMessageBox();
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QStringLiteral("Внимание"));
    QCOMPARE(box->text(), QStringLiteral("Для подключения выберите модуль из списка "));
    box->accept();
}

void TestStartWindow::offline_opensOfflineWindow()
{
    QTest::mouseClick(widget<QPushButton>("btnOffline"), Qt::LeftButton);
    QCOMPARE(m_window->offlineOpened, 1);
}

void TestStartWindow::aboutAction_opensAboutBox()
{
    QString title;
    bool modal = false;
    QTimer::singleShot(0, this, [&]() {
        if (auto *dialog = m_window->findChild<Dialog *>()) {
            title = dialog->windowTitle();
            modal = dialog->isModal();
            dialog->accept();
        } else if (QWidget *other = QApplication::activeModalWidget()) {
            other->close();
        }
    });
    widget<QAction>("actionAboutProgram")->trigger();
    QCOMPARE(title, QStringLiteral("О программе"));
    QVERIFY(modal);
}

QTEST_MAIN(TestStartWindow)
#include "tst_startwindow.moc"
