// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIMOPTIONS_H
#define SIMOPTIONS_H

#include "simbus.h"
#include "simrtuline.h"
#include "simunit.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// The command line of brk-unit-sim.
struct SimOptions
{
    bool help = false;    // --help was asked: print the help text and stop
    bool version = false; // --version was asked
    bool tcp = true;
    QHostAddress tcpHost = QHostAddress::LocalHost;
    quint16 tcpPort = 1502;
    int gatewayDelayMs = -1; // the TCP listener is a gateway (-1: not)
    bool serial = false;
    SimRtuLine::Settings serialSettings;
    QList<SimUnitConfig> units;
    bool frozen = false;
    bool lenient = false;
    QString logPath;
    QString statePath;
    SimFaults faults;

    // Fills *options from the arguments (the program name first). Returns false with
    // a message in *error for bad input; *helpText gets the --help text when asked.
    static bool parse(const QStringList &arguments, SimOptions *options, QString *error,
                      QString *helpText);
};

#endif // SIMOPTIONS_H
