// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include <codes.h>

#include <QRegularExpression>

CommandLine::CommandLine()
    : m_help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Показать эту справку."))
    , m_version({QStringLiteral("v"), QStringLiteral("version")},
                QStringLiteral("Показать версию программы."))
    , m_tcp(QStringLiteral("tcp"),
            QStringLiteral("Заполнить окно поиска: Modbus TCP на ХОСТ:ПОРТ (IPv4)."),
            QStringLiteral("ХОСТ:ПОРТ"))
    , m_serial(QStringLiteral("serial"),
               QStringLiteral("Заполнить окно поиска: Modbus RTU на этом последовательном порту."),
               QStringLiteral("ПУТЬ"))
    , m_baud(QStringLiteral("baud"), QStringLiteral("Скорость последовательного порта, бит/с."),
             QStringLiteral("N"))
{
    m_parser.setApplicationDescription(
        QStringLiteral("Конфигуратор модуля ввода-вывода ВИРАТ БРК-40"));
    m_parser.addOptions({m_help, m_version, m_tcp, m_serial, m_baud});
    m_parser.addPositionalArgument(
        QStringLiteral("ФАЙЛ"),
        QStringLiteral("Файл конфигурации (.brcf), открываемый без модуля."),
        QStringLiteral("[ФАЙЛ]"));
}

CommandLine::Outcome CommandLine::parse(const QStringList &arguments)
{
    m_error.clear();
    if (!m_parser.parse(arguments)) {
        m_error = m_parser.errorText();
        return Outcome::Error;
    }
    if (m_parser.isSet(m_help))
        return Outcome::Help;
    if (m_parser.isSet(m_version))
        return Outcome::Version;

    const QStringList files = m_parser.positionalArguments();
    if (files.size() > 1) {
        m_error = QStringLiteral("Можно открыть только один файл: %1")
                      .arg(files.join(QLatin1Char(' ')));
        return Outcome::Error;
    }
    m_fileName = files.value(0);

    if (m_parser.isSet(m_tcp) && m_parser.isSet(m_serial)) {
        m_error = QStringLiteral("--tcp и --serial исключают друг друга");
        return Outcome::Error;
    }
    if (m_parser.isSet(m_tcp) && !parseTcp(m_parser.value(m_tcp)))
        return Outcome::Error;
    if (m_parser.isSet(m_baud) && !m_parser.isSet(m_serial)) {
        m_error = QStringLiteral("--baud действует только с --serial");
        return Outcome::Error;
    }
    m_serialPort = m_parser.value(m_serial);
    if (m_parser.isSet(m_serial) && m_serialPort.isEmpty()) {
        m_error = QStringLiteral("--serial требует имя порта");
        return Outcome::Error;
    }
    if (m_parser.isSet(m_baud)) {
        const QString baud = m_parser.value(m_baud);
        if (!baudRateList().contains(baud)) {
            m_error = QStringLiteral("Неподдерживаемая скорость %1 (допустимы %2)")
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
        m_error = QStringLiteral("--tcp ждёт IPv4-адрес и порт, например 127.0.0.1:1502, "
                                 "а не «%1»")
                      .arg(value);
        return false;
    }
    m_tcpHost = value.section(QLatin1Char(':'), 0, 0);
    m_tcpPort = port;
    return true;
}
