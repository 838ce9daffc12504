// SPDX-License-Identifier: GPL-3.0-or-later
// Every error a user sees is told in Russian, the Modbus library's own texts
// included: each kind of failure driven through brkctl and through the windows.

#include "linktranslations.h"
#include "mainwindowdriver.h"
#include "modbuscall.h"
#include "modeflags.h"
#include "processrun.h"
#include "ptypair.h"
#include "startwindow.h"
#include "unitimage.h"
#include "unitsimfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(SimFaults)

namespace {

// Latin words are allowed only for block names (rT2000, wT800), codes (0x5) and the
// fixed prefixes the unit's documentation quotes ("Read error: ", "(code: 0x5)").
bool russian(QString text)
{
    static const QRegularExpression quoted(QStringLiteral(
        "Read error: |Write error: |Write accept error: |\\((code|Mobus exception): "));
    text.remove(quoted);
    static const QRegularExpression word(QStringLiteral("[0-9]*[A-Za-z][A-Za-z0-9]*"));
    static const QRegularExpression kept(QStringLiteral("^([rw]T\\d+[A-Z]*|0x[0-9a-f]+)$"));
    auto it = word.globalMatch(text);
    while (it.hasNext()) {
        if (!kept.match(it.next().captured()).hasMatch())
            return false;
    }
    return text.contains(QRegularExpression(QStringLiteral("[а-яА-Я]")));
}

} // namespace

class TestErrorTexts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void everyKind_data();
    void everyKind();

private:
    // The line a row names: "tcp" (the unit, with the row's faults), "closed
    // port", "no host", "no port" (a serial port that does not exist) or
    // "busy port" (held open by another program). A brkctl target, or empty
    // when the line cannot be had here.
    QString prepare(const QString &line, const SimFaults &faults);
    // The output pane and boxes of a main window reading the unit.
    QStringList mainWindowTexts();
    // The start window's error after connecting to the target.
    QString startWindowText(const QString &target);

    QTemporaryDir m_dir;
    std::unique_ptr<UnitSimFixture> m_sim;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<QSerialPort> m_holder;
};

void TestErrorTexts::initTestCase()
{
    QVERIFY(russian("Ошибка запроса rT800: (code: 0x5)")
            && !russian("Read error: Request timeout."));
    QVERIFY(m_dir.isValid());
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
    QVERIFY2(installLinkTranslations(qApp), "qttranslations5-l10n is not installed");
}

void TestErrorTexts::cleanup()
{
    m_holder.reset();
    m_pty.reset();
    m_sim.reset();
}

QString TestErrorTexts::prepare(const QString &line, const SimFaults &faults)
{
    if (line == QLatin1String("no host"))
        return QStringLiteral("tcp://brk-no-such-host.invalid:502?unit=1");
    if (line == QLatin1String("no port"))
        return QStringLiteral("rtu:/dev/ttyBRKnone?baud=9600&unit=1");
    if (line == QLatin1String("busy port")) {
        m_pty = std::make_unique<PtyPair>();
        if (!PtyPair::socatAvailable() || !m_pty->start())
            return QString();
        m_holder = std::make_unique<QSerialPort>(m_pty->clientEnd());
        return m_holder->open(QIODevice::ReadWrite)
                   ? QStringLiteral("rtu:%1?baud=9600&unit=1").arg(m_pty->clientEnd())
                   : QString();
    }
    UnitSimFixture::Options options; // the default unit: its first channel block is at 300
    options.faults = faults;
    m_sim = std::make_unique<UnitSimFixture>(options);
    if (!m_sim->start())
        return QString();
    const quint16 port = m_sim->port();
    if (line == QLatin1String("closed port"))
        m_sim->stop();
    return QStringLiteral("tcp://127.0.0.1:%1?unit=1").arg(port);
}

QStringList TestErrorTexts::mainWindowTexts()
{
    const auto client = ModbusCall::tcpClient(m_sim->port(), 200);
    if (client->state() != QModbusDevice::ConnectedState)
        return {};
    BoxRecorder boxes;
    MainWindow window(ModeOnline | ModeTcp, moduleImage(*m_sim, 1), client.get());
    window.show();
    (void)QTest::qWaitFor([&] { return window.findChild<QAction *>("actionRead")->isEnabled(); },
                          10000);
    // Each block read is logged by its name, no error.
    const QStringList lines = outputPane(&window).split('\n', Qt::SkipEmptyParts);
    return lines.filter(QRegularExpression(QStringLiteral("^(?!TypeResponse: )"))) + boxes.texts();
}

QString TestErrorTexts::startWindowText(const QString &target)
{
    StartWindow window;
    const bool tcp = target.startsWith("tcp:");
    window.findChild<QTabWidget *>("tabWidget")->setCurrentIndex(tcp ? 1 : 0);
    const QString where = target.section('?', 0, 0);
    if (tcp) {
        window.findChild<QLineEdit *>("leIp")->setText("127.0.0.1");
        window.findChild<QLineEdit *>("lePort")->setText(where.section(':', 2));
    } else {
        window.findChild<QComboBox *>("boxPortName")->setEditText(where.section(':', 1));
    }
    QTest::mouseClick(window.findChild<QPushButton *>("btnConnect"), Qt::LeftButton);
    auto *error = window.findChild<QLabel *>("labelError");
    (void)QTest::qWaitFor([error] {
        return !error->text().isEmpty() && error->text() != QStringLiteral("Проверьте подключение");
    });
    return error->text();
}

void TestErrorTexts::everyKind_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<SimFaults>("faults");
    SimFaults none;
    SimFaults silent;
    silent.silentAt = {300};
    SimFaults exception;
    exception.exceptionAt = {{300, 2}};
    SimFaults wrong;
    wrong.wrongReplyAt = {300};
    QTest::newRow("refused connection") << "closed port" << none;
    QTest::newRow("unknown host") << "no host" << none;
    QTest::newRow("time-out") << "tcp" << silent;
    QTest::newRow("exception reply") << "tcp" << exception;
    QTest::newRow("wrong reply") << "tcp" << wrong;
    QTest::newRow("no such serial port") << "no port" << none;
    QTest::newRow("busy serial port") << "busy port" << none;
}

// brkctl's message, and what the windows show: the main window's output pane
// and boxes for failed requests, the start window for failed connections (it
// takes no host names).
void TestErrorTexts::everyKind()
{
    QFETCH(QString, line);
    QFETCH(SimFaults, faults);
    const QString target = prepare(line, faults);
    if (target.isEmpty())
        QSKIP("the line cannot be had here");
    const ProcessRun run
        = ProcessRun::run(QStringLiteral(BRKCTL_PATH), {"read", target, "-o", m_dir.filePath("u"),
                                                        "--timeout", "200", "--retries", "0"});
    QVERIFY2(run.status > 0, qPrintable(run.err));
    // The target and its syntax are the user's own words, echoed.
    static const QRegularExpression echoed(QStringLiteral("(tcp://|rtu:)\\S+|unit="));
    QStringList texts{QString(run.err).remove(echoed).trimmed()};
    if (line == QLatin1String("tcp")) {
        const QStringList shown = mainWindowTexts();
        QVERIFY2(shown.join('\n').contains("Ошибка"), qPrintable(shown.join('\n')));
        texts += shown;
    } else if (line != QLatin1String("no host")) {
        texts << startWindowText(target);
    }
    for (const QString &text : texts)
        QVERIFY2(russian(text), qPrintable(text));
}

QTEST_MAIN(TestErrorTexts)
#include "tst_errortexts.moc"
