#include "commandline.h"

#include <codes.h>

#include <QRegularExpression>

CommandLine::CommandLine()
    : m_help(m_parser.addHelpOption())
    , m_version(m_parser.addVersionOption())
    , m_tcp(QStringLiteral("tcp"),
            QStringLiteral("Prefill the start window with Modbus TCP to HOST:PORT (IPv4)."),
            QStringLiteral("HOST:PORT"))
    , m_serial(QStringLiteral("serial"),
               QStringLiteral("Prefill the start window with Modbus RTU on this serial port."),
               QStringLiteral("PATH"))
    , m_baud(QStringLiteral("baud"), QStringLiteral("Baud rate of the serial port."),
             QStringLiteral("N"))
{
    m_parser.setApplicationDescription(QStringLiteral("Configurator of the BRK-40 I/O unit"));
    m_parser.addOptions({m_tcp, m_serial, m_baud});
    m_parser.addPositionalArgument(QStringLiteral("file"),
                                   QStringLiteral("Configuration file (.brcf) to open offline."),
                                   QStringLiteral("[FILE]"));
}

CommandLine::Outcome CommandLine::parse(const QStringList &arguments)
{
    m_error.clear();
    if (!m_parser.parse(arguments)) {
        m_error = m_parser.errorText();
        return Outcome::Error;
    }
    if (m_parser.isSet(m_help) || m_parser.isSet(QStringLiteral("help-all")))
        return Outcome::Help;
    if (m_parser.isSet(m_version))
        return Outcome::Version;

    const QStringList files = m_parser.positionalArguments();
    if (files.size() > 1) {
        m_error
            = QStringLiteral("Only one file can be opened: %1").arg(files.join(QLatin1Char(' ')));
        return Outcome::Error;
    }
    m_fileName = files.value(0);

    if (m_parser.isSet(m_tcp) && m_parser.isSet(m_serial)) {
        m_error = QStringLiteral("--tcp and --serial exclude each other");
        return Outcome::Error;
    }
    if (m_parser.isSet(m_tcp) && !parseTcp(m_parser.value(m_tcp)))
        return Outcome::Error;
    if (m_parser.isSet(m_baud) && !m_parser.isSet(m_serial)) {
        m_error = QStringLiteral("--baud needs --serial");
        return Outcome::Error;
    }
    m_serialPort = m_parser.value(m_serial);
    if (m_parser.isSet(m_serial) && m_serialPort.isEmpty()) {
        m_error = QStringLiteral("--serial needs a port");
        return Outcome::Error;
    }
    if (m_parser.isSet(m_baud)) {
        const QString baud = m_parser.value(m_baud);
        if (!baudRateList().contains(baud)) {
            m_error = QStringLiteral("Unsupported baud rate %1 (one of %2)")
                          .arg(baud, baudRateList().join(QStringLiteral(", ")));
            return Outcome::Error;
        }
        m_baudRate = baud.toInt();
    }
    return Outcome::Run;
}

bool CommandLine::parseTcp(const QString &value)
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3}):(\\d{1,5})$"));
    const QRegularExpressionMatch match = form.match(value);
    bool ok = match.hasMatch();
    for (int i = 1; ok && i <= 4; ++i)
        ok = match.captured(i).toInt() <= 255;
    const int port = ok ? match.captured(5).toInt() : 0;
    if (!ok || port < 1 || port > 65535) {
        m_error = QStringLiteral("--tcp wants an IPv4 address and a port, e.g. 127.0.0.1:1502, "
                                 "not \"%1\"")
                      .arg(value);
        return false;
    }
    m_tcpHost = value.section(QLatin1Char(':'), 0, 0);
    m_tcpPort = port;
    return true;
}
