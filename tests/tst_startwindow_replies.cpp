// Replies the discovery must not trust: too few or too many values, answers
// of a client that is gone, and the pacing of one request at a time. A
// scripted Modbus TCP slave answers exactly as each test tells it.

#include "discoveryscanner.h"
#include "startwindow.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QModbusTcpClient>
#include <QPushButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

#include <functional>

// A Modbus TCP slave for function 3 whose every answer is chosen by the test:
// any number of values, an exception, a late answer or none at all.
class ScriptedSlave : public QObject
{
public:
    struct Answer
    {
        bool silent = false;
        QVector<quint16> values;
        int exception = 0;
        int delayMs = 0;
    };
    struct Request
    {
        int unit;
        int start;
        int count;
        qint64 receivedMs;
    };
    using Script = std::function<Answer(const Request &)>;

    explicit ScriptedSlave(Script script)
        : m_script(std::move(script))
    {
        m_clock.start();
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this]() {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                QObject::connect(socket, &QTcpSocket::readyRead, this,
                                 [this, socket]() { onData(socket); });
            }
        });
    }

    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return m_server.serverPort(); }
    QVector<Request> requests() const { return m_requests; }
    // Most requests that were received and not yet answered at one time.
    int maxOutstanding() const { return m_maxOutstanding; }
    // Time from sending an answer to receiving the next request, per request.
    QVector<qint64> gapsAfterAnswers() const { return m_gaps; }

private:
    void onData(QTcpSocket *socket)
    {
        m_buffer += socket->readAll();
        while (m_buffer.size() >= 12) {
            const int length = qFromBigEndian<quint16>(m_buffer.constData() + 4);
            if (m_buffer.size() < 6 + length)
                return;
            const QByteArray frame = m_buffer.left(6 + length);
            m_buffer.remove(0, 6 + length);
            handle(socket, frame);
        }
    }

    void handle(QTcpSocket *socket, const QByteArray &frame)
    {
        const Request request{quint8(frame.at(6)), qFromBigEndian<quint16>(frame.constData() + 8),
                              qFromBigEndian<quint16>(frame.constData() + 10), m_clock.elapsed()};
        if (m_lastAnswerMs >= 0 && m_outstanding == 0)
            m_gaps.append(request.receivedMs - m_lastAnswerMs);
        m_requests.append(request);
        ++m_outstanding;
        m_maxOutstanding = qMax(m_maxOutstanding, m_outstanding);

        const Answer answer = m_script(request);
        if (answer.silent)
            return; // stays outstanding: the client times out
        QByteArray pdu;
        if (answer.exception) {
            pdu.append(char(0x83)).append(char(answer.exception));
        } else {
            pdu.append(char(0x03)).append(char(answer.values.size() * 2));
            for (quint16 v : answer.values)
                pdu.append(char(v >> 8)).append(char(v & 0xff));
        }
        QByteArray reply = frame.left(4);
        reply.append(char((pdu.size() + 1) >> 8)).append(char((pdu.size() + 1) & 0xff));
        reply.append(frame.at(6)).append(pdu);
        QPointer<QTcpSocket> target = socket;
        QTimer::singleShot(answer.delayMs, this, [this, target, reply]() {
            --m_outstanding;
            m_lastAnswerMs = m_clock.elapsed();
            if (target)
                target->write(reply);
        });
    }

    Script m_script;
    QTcpServer m_server;
    QByteArray m_buffer;
    QElapsedTimer m_clock;
    QVector<Request> m_requests;
    QVector<qint64> m_gaps;
    qint64 m_lastAnswerMs = -1;
    int m_outstanding = 0;
    int m_maxOutstanding = 0;
};

// A module block as a unit answers it: type 1, firmware, own address, slots.
static QVector<quint16> moduleBlock(int address, int firmware, int size = 23)
{
    QVector<quint16> block(25, 0);
    block[0] = 1;
    block[2] = quint16(firmware);
    block[5] = quint16(address);
    block[17] = 5; // AIO in slot A
    block[18] = 4; // AI in slot B
    block.resize(size);
    return block;
}

class RecordingStartWindow : public StartWindow
{
public:
    QList<ModuleTables> opened;

protected:
    void openMainWindow(int, const ModuleTables &unit) override { opened.append(unit); }
};

class TestStartWindowReplies : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void scan_countsOnlyRepliesThatAnswerTheRequest_data();
    void scan_countsOnlyRepliesThatAnswerTheRequest();
    void scan_keepsOneRequestOnTheLinePaced();

    void window_disconnectDuringScanShowsNoMessage_data();
    void window_disconnectDuringScanShowsNoMessage();
    void window_versionReplyOfWrongSizeIsRefused();

private:
    std::unique_ptr<QModbusTcpClient> connectedClient(quint16 port);
    void connectWindow(StartWindow *window, quint16 port);
};

void TestStartWindowReplies::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    qRegisterMetaType<QVector<quint16>>();
}

std::unique_ptr<QModbusTcpClient> TestStartWindowReplies::connectedClient(quint16 port)
{
    auto client = std::make_unique<QModbusTcpClient>();
    client->setConnectionParameter(QModbusDevice::NetworkAddressParameter, "127.0.0.1");
    client->setConnectionParameter(QModbusDevice::NetworkPortParameter, port);
    client->setTimeout(150);
    client->setNumberOfRetries(0);
    if (client->connectDevice()
        && !QTest::qWaitFor([&]() { return client->state() == QModbusDevice::ConnectedState; },
                            3000))
        qWarning("client did not connect");
    return client;
}

void TestStartWindowReplies::connectWindow(StartWindow *window, quint16 port)
{
    window->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
    window->findChild<QLineEdit *>("leIp")->setText("127.0.0.1");
    window->findChild<QLineEdit *>("lePort")->setText(QString::number(port));
    QTest::mouseClick(window->findChild<QPushButton *>("btnConnect"), Qt::LeftButton);
}

void TestStartWindowReplies::scan_countsOnlyRepliesThatAnswerTheRequest_data()
{
    QTest::addColumn<int>("valueCount");
    QTest::addColumn<bool>("found");

    QTest::newRow("the module block") << 23 << true;
    QTest::newRow("one value short") << 22 << false;
    QTest::newRow("no values") << 0 << false;
    QTest::newRow("two values more than asked") << 25 << false;
}

void TestStartWindowReplies::scan_countsOnlyRepliesThatAnswerTheRequest()
{
    QFETCH(int, valueCount);
    QFETCH(bool, found);

    // Unit 2 answers with valueCount values, unit 1 stays silent, unit 3 is sound.
    ScriptedSlave slave([valueCount](const ScriptedSlave::Request &r) {
        ScriptedSlave::Answer answer;
        if (r.unit == 1)
            answer.silent = true;
        else if (r.unit == 2)
            answer.values = moduleBlock(2, 22, valueCount);
        else
            answer.values = moduleBlock(r.unit, 21);
        return answer;
    });
    QVERIFY(slave.listen());
    auto client = connectedClient(slave.port());
    QCOMPARE(client->state(), QModbusDevice::ConnectedState);

    DiscoveryScanner scanner;
    scanner.setClient(client.get());
    QSignalSpy units(&scanner, &DiscoveryScanner::unitFound);
    QSignalSpy done(&scanner, &DiscoveryScanner::addressDone);
    QCOMPARE(scanner.start(1, 3), 3);
    QTRY_COMPARE(done.count(), 3);

    QCOMPARE(done.at(0).at(0).toInt(), 1);
    QCOMPARE(done.at(2).at(0).toInt(), 3);
    QCOMPARE(done.at(0).at(1).toBool(), false);
    QCOMPARE(done.at(2).at(1).toBool(), true);
    QList<int> addresses;
    for (const QList<QVariant> &args : units)
        addresses << args.at(0).value<QVector<quint16>>().at(5);
    const QList<int> expected = found ? QList<int>{2, 3} : QList<int>{3};
    QCOMPARE(addresses, expected);
    QVERIFY(!scanner.isBusy());
}

void TestStartWindowReplies::scan_keepsOneRequestOnTheLinePaced()
{
    ScriptedSlave slave([](const ScriptedSlave::Request &r) {
        ScriptedSlave::Answer answer;
        answer.values = moduleBlock(r.unit, 22);
        answer.delayMs = 30;
        return answer;
    });
    QVERIFY(slave.listen());
    auto client = connectedClient(slave.port());
    QCOMPARE(client->state(), QModbusDevice::ConnectedState);

    DiscoveryScanner scanner;
    scanner.setClient(client.get());
    QSignalSpy done(&scanner, &DiscoveryScanner::addressDone);
    scanner.start(4, 9);
    QTRY_COMPARE(done.count(), 6);

    QCOMPARE(slave.requests().size(), 6);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(slave.requests().at(i).unit, 4 + i);
        QCOMPARE(slave.requests().at(i).start, 2000);
        QCOMPARE(slave.requests().at(i).count, 23);
    }
    QCOMPARE(slave.maxOutstanding(), 1);
    QCOMPARE(slave.gapsAfterAnswers().size(), 5);
    for (qint64 gap : slave.gapsAfterAnswers())
        QVERIFY2(gap >= DiscoveryScanner::PacingMs - 1, qPrintable(QString::number(gap)));
}

void TestStartWindowReplies::window_disconnectDuringScanShowsNoMessage_data()
{
    QTest::addColumn<bool>("switchTab");
    QTest::newRow("disconnect button") << false;
    QTest::newRow("tab switch") << true;
}

void TestStartWindowReplies::window_disconnectDuringScanShowsNoMessage()
{
    QFETCH(bool, switchTab);
    ScriptedSlave slave([](const ScriptedSlave::Request &) {
        ScriptedSlave::Answer answer;
        answer.silent = true; // address 1 would time out after 500 ms x 4
        return answer;
    });
    QVERIFY(slave.listen());
    RecordingStartWindow window;
    window.show();
    connectWindow(&window, slave.port());
    QTRY_COMPARE(slave.requests().size(), 1);

    if (switchTab)
        window.findChild<QTabWidget *>("tabWidget")->setCurrentIndex(0);
    else
        QTest::mouseClick(window.findChild<QPushButton *>("btnConnect"), Qt::LeftButton);
    QTest::qWait(300);

    for (QMessageBox *box : window.findChildren<QMessageBox *>())
        QVERIFY2(!box->isVisible(), qPrintable(box->text()));
    QCOMPARE(window.findChild<QPushButton *>("btnConnect")->text(), QStringLiteral("Подключиться"));
    QVERIFY(window.findChild<QLabel *>("labelError")->text().isEmpty());
}

void TestStartWindowReplies::window_versionReplyOfWrongSizeIsRefused()
{
    // A late answer of 23 values taken for the 25-value read (as Qt's RTU
    // master would match it) must not open the unit.
    ScriptedSlave slave([](const ScriptedSlave::Request &r) {
        ScriptedSlave::Answer answer;
        answer.values = moduleBlock(1, 22, 23);
        Q_UNUSED(r)
        return answer;
    });
    QVERIFY(slave.listen());
    RecordingStartWindow window;
    window.show();
    connectWindow(&window, slave.port());
    QTRY_VERIFY(window.findChild<QPushButton *>("btnOnline")->isEnabled());

    QTest::mouseClick(window.findChild<QPushButton *>("btnOnline"), Qt::LeftButton);
    QTRY_COMPARE(slave.requests().size(), 2);
    QCOMPARE(slave.requests().at(1).count, 25);
    QTRY_VERIFY(!window.findChild<QLabel *>("labelError")->text().isEmpty());
    QVERIFY2(window.findChild<QLabel *>("labelError")
                 ->text()
                 .startsWith(QStringLiteral("Ошибка запроса rT2000: ")),
             qPrintable(window.findChild<QLabel *>("labelError")->text()));
    QTest::qWait(50);
    QCOMPARE(window.opened.size(), 0);

    // The refusal does not block a later attempt.
    QTest::mouseClick(window.findChild<QPushButton *>("btnOnline"), Qt::LeftButton);
    QTRY_COMPARE(slave.requests().size(), 3);
}

QTEST_MAIN(TestStartWindowReplies)
#include "tst_startwindow_replies.moc"
