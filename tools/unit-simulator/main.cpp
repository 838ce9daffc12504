// SPDX-License-Identifier: GPL-3.0-or-later
#include "simbus.h"
#include "simoptions.h"
#include "simrtuline.h"
#include "simtcpserver.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTextStream>
#include <QTranslator>

#include <csignal>

namespace {
void quitOnSignal(int)
{
    QCoreApplication::quit();
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Qt's own texts of the help page, in Russian where the translation is installed.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ru"),
                     QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    QTextStream out(stdout);
    QTextStream err(stderr);

    SimOptions options;
    QString error;
    QString help;
    if (!SimOptions::parse(app.arguments(), &options, &error, &help)) {
        err << error << QStringLiteral("\nПараметры: --help.\n");
        return 2;
    }
    if (options.help) {
        // A reader that stops early (grep -q, head) is no failure of ours.
        std::signal(SIGPIPE, SIG_IGN);
        out << help;
        return 0;
    }
    if (options.version) {
        out << "brk-unit-sim " << BRK_VERSION << '\n';
        return 0;
    }

    SimBus bus;
    for (const SimUnitConfig &config : qAsConst(options.units))
        bus.addUnit(config, options.frozen);
    bus.setLenient(options.lenient);
    bus.setFaults(options.faults);
    if (!options.logPath.isEmpty() && !bus.log().open(options.logPath, &error)) {
        err << error << '\n';
        return 1;
    }
    if (!options.statePath.isEmpty() && !bus.setStateFile(options.statePath, &error))
        err << "warning: " << error << " (factory values kept)\n";

    SimTcpServer tcp(&bus);
    tcp.setGatewayDelayMs(options.gatewayDelayMs);
    if (options.tcp) {
        if (!tcp.listen(options.tcpHost, options.tcpPort, &error)) {
            err << error << '\n';
            return 1;
        }
        out << "Modbus TCP on " << options.tcpHost.toString() << ':' << tcp.serverPort() << '\n';
    }
    SimRtuLine rtu(&bus);
    if (options.serial) {
        if (!rtu.open(options.serialSettings, &error)) {
            err << error << '\n';
            return 1;
        }
        out << "Modbus RTU on " << options.serialSettings.portName << '\n';
    }
    for (const SimUnit *unit : bus.units())
        out << "unit at address " << unit->activeAddress() << ", firmware "
            << unit->config().firmware << '\n';
    out.flush();

    std::signal(SIGINT, quitOnSignal);
    std::signal(SIGTERM, quitOnSignal);
    return app.exec();
}
