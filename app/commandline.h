// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// The configurator's arguments: a configuration file to open offline, or the
// connection to put into the start window.
//
//     brk-configurator [FILE.brcf] [--tcp HOST:PORT | --serial PATH [--baud N]]
class CommandLine
{
public:
    enum class Outcome { Run, Help, Version, Error };

    CommandLine();

    // arguments[0] is the program.
    Outcome parse(const QStringList &arguments);
    QString helpText() const { return m_parser.helpText(); }
    QString errorText() const { return m_error; }

    QString fileName() const { return m_fileName; }
    QString tcpHost() const { return m_tcpHost; }
    int tcpPort() const { return m_tcpPort; }
    QString serialPort() const { return m_serialPort; }
    int baudRate() const { return m_baudRate; } // 0: not given

private:
    bool parseTcp(const QString &value);

    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    QCommandLineOption m_tcp;
    QCommandLineOption m_serial;
    QCommandLineOption m_baud;
    QString m_error;
    QString m_fileName;
    QString m_tcpHost;
    int m_tcpPort = 0;
    QString m_serialPort;
    int m_baudRate = 0;
};

#endif // COMMANDLINE_H
