#include "simoptions.h"

#include <QCommandLineParser>
#include <QSet>

#include <algorithm>

namespace {

bool parseHostPort(const QString &text, QHostAddress *host, quint16 *port)
{
    QString portText = text;
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        if (!host->setAddress(text.left(colon)))
            return false;
        portText = text.mid(colon + 1);
    }
    bool ok = false;
    const int value = portText.toInt(&ok);
    if (!ok || value < 0 || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}

bool parseCount(const QString &text, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= 0;
}

bool parseAddress(const QString &text, int *value)
{
    return parseCount(text, value) && *value <= 0xFFFF;
}

// "ADDR:TYPE" values: the module type word of the unit at ADDR.
bool parseModuleTypes(const QStringList &values, QList<SimUnitConfig> *units, QString *error)
{
    for (const QString &value : values) {
        const QStringList parts = value.split(QLatin1Char(':'));
        int address = -1;
        int type = -1;
        if (parts.size() != 2 || !parseCount(parts.at(0), &address)
            || !parseAddress(parts.at(1), &type)) {
            *error = QStringLiteral("bad --module-type value (ADDR:TYPE): %1").arg(value);
            return false;
        }
        auto unit = std::find_if(units->begin(), units->end(), [address](const SimUnitConfig &c) {
            return c.address == address;
        });
        if (unit == units->end()) {
            *error = QStringLiteral("--module-type: no unit at address %1").arg(address);
            return false;
        }
        unit->moduleType = type;
    }
    return true;
}

} // namespace

bool SimOptions::parse(const QStringList &arguments, SimOptions *options, QString *error,
                       QString *helpText)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated BRK-40 I/O unit: a Modbus TCP and RTU slave with the unit's registers.\n"
        "Without --tcp and --serial it listens on 127.0.0.1:1502; with --serial alone it serves "
        "only the line."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption tcp(
        QStringLiteral("tcp"),
        QStringLiteral("Modbus TCP on [HOST:]PORT (default 127.0.0.1:1502)."),
        QStringLiteral("[HOST:]PORT"));
    const QCommandLineOption serial(
        QStringLiteral("serial"),
        QStringLiteral("Modbus RTU on the serial port PATH (e.g. one end of a socat pty pair)."),
        QStringLiteral("PATH"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Baud rate of the serial port (default 9600)."),
                                  QStringLiteral("N"), QStringLiteral("9600"));
    const QCommandLineOption parity(QStringLiteral("parity"),
                                    QStringLiteral("Parity: none, even or odd (default none)."),
                                    QStringLiteral("P"), QStringLiteral("none"));
    const QCommandLineOption stopBits(QStringLiteral("stop-bits"),
                                      QStringLiteral("Stop bits: 1 or 2 (default 1)."),
                                      QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption noPace(
        QStringLiteral("no-pace"),
        QStringLiteral("Serial line: answer at once, without the bytes' wire time at the baud "
                       "rate and the unit's response delay word (for fast tests)."));
    const QCommandLineOption gatewayDelay(
        QStringLiteral("gateway-delay-ms"),
        QStringLiteral("TCP: act as a gateway: a request that no unit answers (no unit at that "
                       "address, or a fault left it unanswered) gets exception 0x0B after N ms."),
        QStringLiteral("N"));
    const QCommandLineOption unit(
        QStringLiteral("unit"),
        QStringLiteral("A unit ADDR:SLOTS:FIRMWARE[:jumper], repeatable. SLOTS are the board codes "
                       "of slots A..F "
                       "(0 empty, 1 DO4, 2 SIM, 3 R, 4 AI, 5 AIO, 6 DI, 7 TMP, 8 DO6, 9 ENI2, 10 "
                       "DI6), FIRMWARE is in tenths, "
                       "jumper sets word 2024 to 1. Default: 1:5,4,6,7,8,1:22."),
        QStringLiteral("UNIT"));
    const QCommandLineOption moduleType(
        QStringLiteral("module-type"),
        QStringLiteral("Give the unit at ADDR the module type word TYPE (1 is a BRK-40; another "
                       "code makes a foreign device that takes writes without the service "
                       "code), repeatable."),
        QStringLiteral("ADDR:TYPE"));
    const QCommandLineOption frozen(QStringLiteral("frozen"),
                                    QStringLiteral("Hold live values still (for tests)."));
    const QCommandLineOption lenient(
        QStringLiteral("lenient"),
        QStringLiteral("Accept configuration writes without the service code before them."));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Append one JSON line per request to FILE."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption state(
        QStringLiteral("state"),
        QStringLiteral(
            "Load the configuration from FILE at start and save it there after every change."),
        QStringLiteral("FILE"));
    const QCommandLineOption dropEvery(QStringLiteral("drop-every"),
                                       QStringLiteral("Leave every N-th request unanswered."),
                                       QStringLiteral("N"));
    const QCommandLineOption delay(QStringLiteral("delay-ms"),
                                   QStringLiteral("Answer every request N ms late."),
                                   QStringLiteral("N"));
    const QCommandLineOption exceptionAt(
        QStringLiteral("exception-at"),
        QStringLiteral(
            "Answer any request covering register ADDR with exception CODE, repeatable."),
        QStringLiteral("ADDR:CODE"));
    const QCommandLineOption shortReplyAt(
        QStringLiteral("short-reply-at"),
        QStringLiteral("Answer reads covering ADDR with N registers too few (default 1; bytes for "
                       "coils and inputs), repeatable."),
        QStringLiteral("ADDR[:N]"));
    const QCommandLineOption wrongReplyAt(
        QStringLiteral("wrong-reply-at"),
        QStringLiteral("Answer reads covering ADDR with one register too many and writes to it "
                       "with the start address plus one, repeatable."),
        QStringLiteral("ADDR"));
    const QCommandLineOption closeAt(
        QStringLiteral("close-at"),
        QStringLiteral("Close the TCP connection on a request covering ADDR (on a serial line: no "
                       "answer), repeatable."),
        QStringLiteral("ADDR"));
    const QCommandLineOption silentAt(
        QStringLiteral("silent-at"),
        QStringLiteral("Leave requests covering ADDR unanswered, repeatable."),
        QStringLiteral("ADDR"));
    const QCommandLineOption silentAfter(
        QStringLiteral("silent-after"),
        QStringLiteral("Answer the first N requests, then nothing more."), QStringLiteral("N"));
    const QCommandLineOption ignoreWrite(
        QStringLiteral("ignore-write"),
        QStringLiteral("Answer writes to ADDR as done but keep the old value, repeatable."),
        QStringLiteral("ADDR"));
    const QCommandLineOption pauseAt(
        QStringLiteral("pause-at"),
        QStringLiteral("After the N-th request (counted as for --silent-after) take in no more "
                       "requests for --pause-for ms (connections stay open), then handle all "
                       "that came meanwhile."),
        QStringLiteral("N"));
    const QCommandLineOption pauseFor(
        QStringLiteral("pause-for"),
        QStringLiteral("Length of the --pause-at pause in ms (default 1000)."),
        QStringLiteral("MS"));
    const QCommandLineOption faultUnit(
        QStringLiteral("fault-unit"),
        QStringLiteral("Apply the fault options only to the unit at ADDR, repeatable (default: "
                       "every unit)."),
        QStringLiteral("ADDR"));
    parser.addOptions({tcp,         serial,       baud,         parity,     stopBits,
                       noPace,      gatewayDelay, unit,         moduleType, frozen,
                       lenient,     log,          state,        dropEvery,  delay,
                       exceptionAt, shortReplyAt, wrongReplyAt, closeAt,    silentAt,
                       silentAfter, ignoreWrite,  pauseAt,      pauseFor,   faultUnit});

    *helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        options->help = true;
        return true;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        options->version = true;
        return true;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error
            = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
        return false;
    }

    SimOptions result;
    result.serial = parser.isSet(serial);
    result.tcp = parser.isSet(tcp) || !result.serial;
    if (parser.isSet(tcp) && !parseHostPort(parser.value(tcp), &result.tcpHost, &result.tcpPort)) {
        *error = QStringLiteral("bad --tcp value: %1").arg(parser.value(tcp));
        return false;
    }
    result.serialSettings.portName = parser.value(serial);
    bool ok = false;
    result.serialSettings.baudRate = parser.value(baud).toInt(&ok);
    if (!ok || result.serialSettings.baudRate <= 0) {
        *error = QStringLiteral("bad --baud value: %1").arg(parser.value(baud));
        return false;
    }
    const QString parityText = parser.value(parity);
    if (parityText == QLatin1String("none"))
        result.serialSettings.parity = QSerialPort::NoParity;
    else if (parityText == QLatin1String("even"))
        result.serialSettings.parity = QSerialPort::EvenParity;
    else if (parityText == QLatin1String("odd"))
        result.serialSettings.parity = QSerialPort::OddParity;
    else {
        *error = QStringLiteral("bad --parity value: %1").arg(parityText);
        return false;
    }
    const QString stopText = parser.value(stopBits);
    if (stopText != QLatin1String("1") && stopText != QLatin1String("2")) {
        *error = QStringLiteral("bad --stop-bits value: %1").arg(stopText);
        return false;
    }
    result.serialSettings.stopBits
        = stopText == QLatin1String("2") ? QSerialPort::TwoStop : QSerialPort::OneStop;
    result.serialSettings.pace = !parser.isSet(noPace);
    if (parser.isSet(gatewayDelay)
        && !parseCount(parser.value(gatewayDelay), &result.gatewayDelayMs)) {
        *error = QStringLiteral("bad --gateway-delay-ms value: %1").arg(parser.value(gatewayDelay));
        return false;
    }

    QSet<int> addresses;
    for (const QString &unitText : parser.values(unit)) {
        SimUnitConfig config;
        if (!SimUnitConfig::parse(unitText, &config, error))
            return false;
        if (addresses.contains(config.address)) {
            *error = QStringLiteral("two units at address %1").arg(config.address);
            return false;
        }
        addresses.insert(config.address);
        result.units.append(config);
    }
    if (result.units.isEmpty())
        result.units.append(SimUnitConfig());
    if (!parseModuleTypes(parser.values(moduleType), &result.units, error))
        return false;

    result.frozen = parser.isSet(frozen);
    result.lenient = parser.isSet(lenient);
    result.logPath = parser.value(log);
    result.statePath = parser.value(state);
    if (parser.isSet(dropEvery) && !parseCount(parser.value(dropEvery), &result.faults.dropEvery)) {
        *error = QStringLiteral("bad --drop-every value: %1").arg(parser.value(dropEvery));
        return false;
    }
    if (parser.isSet(delay) && !parseCount(parser.value(delay), &result.faults.delayMs)) {
        *error = QStringLiteral("bad --delay-ms value: %1").arg(parser.value(delay));
        return false;
    }
    for (const QString &value : parser.values(exceptionAt)) {
        const QStringList parts = value.split(QLatin1Char(':'));
        int address = -1;
        int code = -1;
        if (parts.size() != 2 || !parseAddress(parts.at(0), &address)
            || !parseCount(parts.at(1), &code) || code < 1 || code > 255) {
            *error = QStringLiteral("bad --exception-at value (ADDR:CODE): %1").arg(value);
            return false;
        }
        result.faults.exceptionAt.insert(address, code);
    }
    for (const QString &value : parser.values(shortReplyAt)) {
        const QStringList parts = value.split(QLatin1Char(':'));
        int address = -1;
        int missing = 1;
        if (parts.size() > 2 || !parseAddress(parts.at(0), &address)
            || (parts.size() == 2 && (!parseCount(parts.at(1), &missing) || missing < 1))) {
            *error = QStringLiteral("bad --short-reply-at value (ADDR[:N]): %1").arg(value);
            return false;
        }
        result.faults.shortReplyAt.insert(address, missing);
    }
    const std::pair<const QCommandLineOption *, QSet<int> *> addressLists[]
        = {{&wrongReplyAt, &result.faults.wrongReplyAt},
           {&closeAt, &result.faults.closeAt},
           {&silentAt, &result.faults.silentAt},
           {&ignoreWrite, &result.faults.ignoreWrite},
           {&faultUnit, &result.faults.units}};
    for (const auto &list : addressLists) {
        for (const QString &value : parser.values(*list.first)) {
            int address = -1;
            if (!parseAddress(value, &address)) {
                *error
                    = QStringLiteral("bad --%1 value: %2").arg(list.first->names().first(), value);
                return false;
            }
            list.second->insert(address);
        }
    }
    if (parser.isSet(silentAfter)
        && !parseCount(parser.value(silentAfter), &result.faults.silentAfter)) {
        *error = QStringLiteral("bad --silent-after value: %1").arg(parser.value(silentAfter));
        return false;
    }
    if ((parser.isSet(pauseAt) && !parseCount(parser.value(pauseAt), &result.faults.pauseAt))
        || (parser.isSet(pauseFor)
            && !parseCount(parser.value(pauseFor), &result.faults.pauseForMs))) {
        *error = QStringLiteral("bad --pause-at or --pause-for value");
        return false;
    }
    *options = result;
    return true;
}
