// The start window without a unit: defaults, inputs, the parameters handed to
// the client and the connection errors that need no peer.

#include "appsettings.h"
#include "commandline.h"
#include "dialog.h"
#include "startwindow.h"
#include "tablewidget.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPort>
#include <QSpinBox>
#include <QTabWidget>
#include <QModbusTcpClient>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

class TestStartWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startState();
    void ipValidator_data();
    void ipValidator();
    void defaults_restoreParametersAndDelayText();
    void serialConnect_timeoutByBaudRate_data();
    void serialConnect_timeoutByBaudRate();
    void serialConnect_portParameters_data();
    void serialConnect_portParameters();
    void serialConnect_unknownPortShowsError();
    void tcpConnect_refusedShowsClientError();
    void tcpConnect_badInputRefusedBeforeConnecting_data();
    void tcpConnect_badInputRefusedBeforeConnecting();
    void online_withoutRowWarns();
    void aboutAction_opensAboutBox();
    void settings_surviveRestart();
    void commandLine_data();
    void commandLine();

private:
    template<typename T>
    T *widget(const char *name) const
    {
        return m_window->findChild<T *>(QLatin1String(name));
    }
    void connectSerial(const QString &baud, const QString &parity, const QString &stopBits);

    std::unique_ptr<StartWindow> m_window;
};

void TestStartWindow::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    qRegisterMetaType<QModbusDevice::State>();
}

void TestStartWindow::init()
{
    m_window = std::make_unique<StartWindow>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestStartWindow::cleanup()
{
    m_window.reset();
}

void TestStartWindow::connectSerial(const QString &baud, const QString &parity,
                                    const QString &stopBits)
{
    widget<QComboBox>("boxPortName")->setEditText(QStringLiteral("/nonexistent/ttyBRK"));
    widget<QComboBox>("baudRateBox")->setCurrentText(baud);
    widget<QComboBox>("parityBox")->setCurrentText(parity);
    widget<QComboBox>("stopBitsBox")->setCurrentText(stopBits);
    QTest::mouseClick(widget<QPushButton>("btnConnect"), Qt::LeftButton);
}

void TestStartWindow::startState()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Окно поиска модулей"));
    QCOMPARE(m_window->size(), QSize(946, 705));
    QVERIFY(!widget<QLabel>("label")->pixmap(Qt::ReturnByValue).isNull());
    // Texts whose blanks and line breaks are easy to lose.
    QCOMPARE(widget<QPushButton>("btnOnline")->text(),
             QStringLiteral("Конфигурирование \n модуля"));
    QCOMPARE(widget<QPushButton>("btnOffline")->text(),
             QStringLiteral("Создать конфигурацию\nоффлайн"));
    QCOMPARE(widget<QLabel>("label_7")->text(), QStringLiteral("Дополнительная\nзадержка"));
    QCOMPARE(widget<QLabel>("label_4")->text(), QStringLiteral("IP адрес: "));

    QCOMPARE(widget<QTabWidget>("tabWidget")->currentIndex(), 0);
    QVERIFY(widget<QComboBox>("boxPortName")->isEditable());
    QCOMPARE(widget<QComboBox>("baudRateBox")->currentText(), QStringLiteral("115200"));
    QCOMPARE(widget<QLineEdit>("leIp")->text(), QStringLiteral("192.168.1.99"));
    QCOMPARE(widget<QLineEdit>("lePort")->text(), QStringLiteral("502"));
    QCOMPARE(widget<QSpinBox>("leStartSlave")->value(), 1);
    QCOMPARE(widget<QSpinBox>("leLastSlave")->value(), 247);
    QVERIFY(widget<QSpinBox>("leLastSlave")->isHidden());
    QVERIFY(widget<QWidget>("progressBar")->isHidden());
    QVERIFY(!widget<QPushButton>("btnOnline")->isEnabled());
    auto *table = widget<TableWidget>("tableWidget");
    QCOMPARE(table->columnCount(), 4);
    QCOMPARE(table->horizontalHeaderItem(3)->text(), QStringLiteral("Кол-во субмодулей"));
}

void TestStartWindow::ipValidator_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("state");

    QTest::newRow("factory address") << "192.168.1.99" << int(QValidator::Acceptable);
    QTest::newRow("bounds") << "0.249.250.255" << int(QValidator::Acceptable);
    QTest::newRow("leading zeros") << "010.001.000.009" << int(QValidator::Acceptable);
    QTest::newRow("unfinished") << "192.168.1." << int(QValidator::Intermediate);
    QTest::newRow("256") << "256.1.1.1" << int(QValidator::Invalid);
    QTest::newRow("five octets") << "1.2.3.4.5" << int(QValidator::Invalid);
    QTest::newRow("host name") << "localhost" << int(QValidator::Invalid);
    QTest::newRow("port included") << "1.2.3.4:502" << int(QValidator::Invalid);
}

void TestStartWindow::ipValidator()
{
    QFETCH(QString, input);
    QFETCH(int, state);
    int pos = 0;
    QCOMPARE(int(widget<QLineEdit>("leIp")->validator()->validate(input, pos)), state);
}

void TestStartWindow::defaults_restoreParametersAndDelayText()
{
    auto *delay = widget<QCheckBox>("checkBox");
    widget<QComboBox>("baudRateBox")->setCurrentIndex(2);
    widget<QComboBox>("parityBox")->setCurrentIndex(3);
    widget<QComboBox>("stopBitsBox")->setCurrentIndex(2);
    QTest::keyClick(delay, Qt::Key_Space);
    QCOMPARE(delay->text(), QStringLiteral("Вкл"));

    QTest::mouseClick(widget<QPushButton>("btnDefault"), Qt::LeftButton);
    QCOMPARE(widget<QComboBox>("baudRateBox")->currentText(), QStringLiteral("115200"));
    QCOMPARE(widget<QComboBox>("parityBox")->currentText(), QStringLiteral("Нет"));
    QCOMPARE(widget<QComboBox>("stopBitsBox")->currentText(), QStringLiteral("1"));
    QVERIFY(!delay->isChecked());
    // Unchecked without a click: the text still follows.
    QCOMPARE(delay->text(), QStringLiteral("Выкл"));

    widget<QLineEdit>("leIp")->setText(QStringLiteral("10.1.2.3"));
    widget<QLineEdit>("lePort")->setText(QStringLiteral("1502"));
    QTest::mouseClick(widget<QPushButton>("btnDefaultEthernet"), Qt::LeftButton);
    QCOMPARE(widget<QLineEdit>("leIp")->text(), QStringLiteral("192.168.1.99"));
    QCOMPARE(widget<QLineEdit>("lePort")->text(), QStringLiteral("502"));
}

void TestStartWindow::serialConnect_timeoutByBaudRate_data()
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

void TestStartWindow::serialConnect_timeoutByBaudRate()
{
    QFETCH(QString, baud);
    QFETCH(bool, extraDelay);
    QFETCH(int, timeout);
    QFETCH(int, retries);

    if (extraDelay)
        QTest::keyClick(widget<QCheckBox>("checkBox"), Qt::Key_Space);
    connectSerial(baud, QStringLiteral("Нет"), QStringLiteral("1"));

    // Connecting fails, but the parameters were set before the attempt.
    QModbusClient *client = m_window->client();
    QCOMPARE(client->timeout(), timeout);
    QCOMPARE(client->numberOfRetries(), retries);
    QCOMPARE(client->connectionParameter(QModbusDevice::SerialBaudRateParameter).toInt(),
             baud.toInt());
}

void TestStartWindow::serialConnect_portParameters_data()
{
    QTest::addColumn<QString>("parityText");
    QTest::addColumn<QString>("stopBitsText");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");

    QTest::newRow("none, 1") << "Нет"
                             << "1" << int(QSerialPort::NoParity) << int(QSerialPort::OneStop);
    QTest::newRow("even, 1.5") << "Чет"
                               << "1.5" << int(QSerialPort::EvenParity)
                               << int(QSerialPort::OneAndHalfStop);
    QTest::newRow("odd, 2") << "Нечет"
                            << "2" << int(QSerialPort::OddParity) << int(QSerialPort::TwoStop);
    QTest::newRow("mark") << "Mark"
                          << "1" << int(QSerialPort::MarkParity) << int(QSerialPort::OneStop);
    QTest::newRow("space") << "Space"
                           << "1" << int(QSerialPort::SpaceParity) << int(QSerialPort::OneStop);
}

void TestStartWindow::serialConnect_portParameters()
{
    QFETCH(QString, parityText);
    QFETCH(QString, stopBitsText);
    QFETCH(int, parity);
    QFETCH(int, stopBits);

    connectSerial(QStringLiteral("9600"), parityText, stopBitsText);
    QModbusClient *client = m_window->client();
    QCOMPARE(client->connectionParameter(QModbusDevice::SerialPortNameParameter).toString(),
             QStringLiteral("/nonexistent/ttyBRK"));
    QCOMPARE(client->connectionParameter(QModbusDevice::SerialParityParameter).toInt(), parity);
    QCOMPARE(client->connectionParameter(QModbusDevice::SerialStopBitsParameter).toInt(), stopBits);
    QCOMPARE(client->connectionParameter(QModbusDevice::SerialDataBitsParameter).toInt(),
             int(QSerialPort::Data8));
}

void TestStartWindow::serialConnect_unknownPortShowsError()
{
    connectSerial(QStringLiteral("115200"), QStringLiteral("Нет"), QStringLiteral("1"));
    const QString text = widget<QLabel>("labelError")->text();
    QVERIFY(!m_window->client()->errorString().isEmpty());
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
    widget<QLineEdit>("leIp")->setText(QStringLiteral("127.0.0.1"));
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
}

void TestStartWindow::tcpConnect_badInputRefusedBeforeConnecting_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("port");
    QTest::newRow("empty port") << "127.0.0.1"
                                << "";
    QTest::newRow("port 0") << "127.0.0.1"
                            << "0";
    QTest::newRow("port too big") << "127.0.0.1"
                                  << "70000";
    QTest::newRow("unfinished address") << "127.0.0."
                                        << "502";
}

void TestStartWindow::tcpConnect_badInputRefusedBeforeConnecting()
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
}

void TestStartWindow::online_withoutRowWarns()
{
    // A double click on the empty table takes the button's path.
    emit widget<TableWidget>("tableWidget")->itemClick();
    QMessageBox *box = m_window->findChild<QMessageBox *>();
    QVERIFY(box);
    QTRY_VERIFY(box->isVisible());
    QCOMPARE(box->windowTitle(), QStringLiteral("Внимание"));
    QCOMPARE(box->text(), QStringLiteral("Для подключения выберите модуль из списка "));
}

void TestStartWindow::aboutAction_opensAboutBox()
{
    QString title;
    QTimer::singleShot(0, this, [&]() {
        if (auto *dialog = m_window->findChild<Dialog *>()) {
            title = dialog->isModal() ? dialog->windowTitle() : QString();
            dialog->accept();
        } else if (QWidget *other = QApplication::activeModalWidget()) {
            other->close();
        }
    });
    widget<QAction>("actionAboutProgram")->trigger();
    QCOMPARE(title, QStringLiteral("О программе"));
}

void TestStartWindow::settings_surviveRestart()
{
    QTemporaryDir dir;
    AppSettings::useFile(dir.filePath(QStringLiteral("settings.ini")));
    auto restart = [this]() {
        m_window.reset();
        m_window = std::make_unique<StartWindow>();
    };
    // A first start with a settings file keeps the factory fields.
    restart();
    QCOMPARE(widget<QLineEdit>("leIp")->text(), QStringLiteral("192.168.1.99"));
    QCOMPARE(widget<QComboBox>("baudRateBox")->currentText(), QStringLiteral("115200"));

    widget<QComboBox>("boxPortName")->setEditText(QStringLiteral("/dev/ttyBRK7"));
    widget<QComboBox>("baudRateBox")->setCurrentText(QStringLiteral("9600"));
    widget<QComboBox>("parityBox")->setCurrentText(QStringLiteral("Нечет"));
    widget<QComboBox>("stopBitsBox")->setCurrentText(QStringLiteral("2"));
    widget<QSpinBox>("leStartSlave")->setValue(3);
    QTest::mouseClick(widget<QPushButton>("btnHide"), Qt::LeftButton);
    widget<QSpinBox>("leLastSlave")->setValue(9);
    widget<QTabWidget>("tabWidget")->setCurrentIndex(1);
    widget<QLineEdit>("leIp")->setText(QStringLiteral("10.1.2.3"));
    widget<QLineEdit>("lePort")->setText(QStringLiteral("1503"));
    restart();
    AppSettings::useFile(QString());

    QCOMPARE(widget<QTabWidget>("tabWidget")->currentIndex(), 1);
    QVERIFY(qobject_cast<QModbusTcpClient *>(m_window->client()));
    QCOMPARE(widget<QLineEdit>("leIp")->text(), QStringLiteral("10.1.2.3"));
    QCOMPARE(widget<QLineEdit>("lePort")->text(), QStringLiteral("1503"));
    QCOMPARE(widget<QComboBox>("boxPortName")->currentText(), QStringLiteral("/dev/ttyBRK7"));
    QCOMPARE(widget<QComboBox>("baudRateBox")->currentText(), QStringLiteral("9600"));
    QCOMPARE(widget<QComboBox>("parityBox")->currentText(), QStringLiteral("Нечет"));
    QCOMPARE(widget<QComboBox>("stopBitsBox")->currentText(), QStringLiteral("2"));
    QCOMPARE(widget<QSpinBox>("leStartSlave")->value(), 3);
    QCOMPARE(widget<QSpinBox>("leLastSlave")->value(), 9);
    QCOMPARE(widget<QPushButton>("btnHide")->text(), QStringLiteral("-"));
    QVERIFY(!widget<QSpinBox>("leLastSlave")->isHidden());
}

void TestStartWindow::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error"); // part of the message; empty: accepted
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("field"); // IP and port, or serial port and baud rate

    QTest::newRow("nothing") << QStringList() << QString() << 0 << "|115200";
    QTest::newRow("tcp") << QStringList{"--tcp", "127.0.0.1:1502"} << QString() << 1
                         << "127.0.0.1|1502";
    QTest::newRow("serial") << QStringList{"--serial", "/dev/pts/7", "--baud", "19200"} << QString()
                            << 0 << "/dev/pts/7|19200";
    QTest::newRow("file and tcp") << QStringList{"unit.brcf", "--tcp", "10.0.0.2:502"} << QString()
                                  << 1 << "10.0.0.2|502";
    QTest::newRow("host name") << QStringList{"--tcp", "localhost:502"} << "IPv4" << 0 << "";
    QTest::newRow("octet 256") << QStringList{"--tcp", "1.2.3.256:502"} << "IPv4" << 0 << "";
    QTest::newRow("port 0") << QStringList{"--tcp", "1.2.3.4:0"} << "IPv4" << 0 << "";
    QTest::newRow("both links") << QStringList{"--tcp", "1.2.3.4:502", "--serial", "/dev/x"}
                                << "exclude" << 0 << "";
    QTest::newRow("baud alone") << QStringList{"--baud", "9600"} << "needs --serial" << 0 << "";
    QTest::newRow("odd baud") << QStringList{"--serial", "/dev/x", "--baud", "14400"}
                              << "Unsupported baud rate 14400" << 0 << "";
    QTest::newRow("two files") << QStringList{"a.brcf", "b.brcf"} << "Only one file" << 0 << "";
    QTest::newRow("unknown") << QStringList{"--fast"} << "Unknown option" << 0 << "";
}

void TestStartWindow::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    QFETCH(int, tab);
    QFETCH(QString, field);

    CommandLine commandLine;
    const CommandLine::Outcome outcome
        = commandLine.parse(QStringList{"brk-configurator"} + arguments);
    if (!error.isEmpty()) {
        QCOMPARE(outcome, CommandLine::Outcome::Error);
        QVERIFY2(commandLine.errorText().contains(error), qPrintable(commandLine.errorText()));
        return;
    }
    QCOMPARE(outcome, CommandLine::Outcome::Run);
    m_window->applyCommandLine(commandLine);
    QCOMPARE(widget<QTabWidget>("tabWidget")->currentIndex(), tab);
    const QString shown
        = tab == 1
              ? widget<QLineEdit>("leIp")->text() + '|' + widget<QLineEdit>("lePort")->text()
              : (arguments.isEmpty() ? QString() : widget<QComboBox>("boxPortName")->currentText())
                    + '|' + widget<QComboBox>("baudRateBox")->currentText();
    QCOMPARE(shown, field);
}

QTEST_MAIN(TestStartWindow)
#include "tst_startwindow.moc"
