// SPDX-License-Identifier: GPL-3.0-or-later
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
        "Имитатор блока ВИРАТ БРК-40: ведомое устройство Modbus TCP и RTU с регистрами блока.\n"
        "Без --tcp и --serial слушает 127.0.0.1:1502; с одним --serial обслуживает только "
        "линию."));
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Показать эту справку.")));
    parser.addOption(QCommandLineOption({QStringLiteral("v"), QStringLiteral("version")},
                                        QStringLiteral("Показать версию программы.")));
    const QCommandLineOption tcp(
        QStringLiteral("tcp"),
        QStringLiteral("Modbus TCP на [ХОСТ:]ПОРТ (по умолчанию 127.0.0.1:1502)."),
        QStringLiteral("[ХОСТ:]ПОРТ"));
    const QCommandLineOption serial(
        QStringLiteral("serial"),
        QStringLiteral(
            "Modbus RTU на последовательном порту ПУТЬ (например, конец пары pty от socat)."),
        QStringLiteral("ПУТЬ"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Скорость порта, бит/с (по умолчанию 9600)."),
                                  QStringLiteral("N"), QStringLiteral("9600"));
    const QCommandLineOption parity(
        QStringLiteral("parity"),
        QStringLiteral("Четность: none, even или odd (по умолчанию none)."), QStringLiteral("P"),
        QStringLiteral("none"));
    const QCommandLineOption stopBits(QStringLiteral("stop-bits"),
                                      QStringLiteral("Стоп-биты: 1 или 2 (по умолчанию 1)."),
                                      QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption noPace(
        QStringLiteral("no-pace"),
        QStringLiteral("Линия RTU: отвечать сразу, без времени передачи байтов на скорости линии "
                       "и без задержки ответа блока (для быстрых тестов)."));
    const QCommandLineOption gatewayDelay(
        QStringLiteral("gateway-delay-ms"),
        QStringLiteral("TCP: вести себя как шлюз: на запрос, на который не ответил ни один блок "
                       "(нет блока по адресу или сбой), через N мс отвечать исключением 0x0B."),
        QStringLiteral("N"));
    const QCommandLineOption unit(
        QStringLiteral("unit"),
        QStringLiteral("Блок АДРЕС:СЛОТЫ:ПО[:jumper], можно несколько. СЛОТЫ — коды субмодулей "
                       "слотов A..F "
                       "(0 пусто, 1 DO4, 2 SIM, 3 R, 4 AI, 5 AIO, 6 DI, 7 TMP, 8 DO6, 9 ENI2, 10 "
                       "DI6), ПО — версия в десятых, "
                       "jumper ставит слово 2024 в 1. По умолчанию: 1:5,4,6,7,8,1:22."),
        QStringLiteral("БЛОК"));
    const QCommandLineOption moduleType(
        QStringLiteral("module-type"),
        QStringLiteral("Дать блоку по АДРЕСУ слово типа модуля ТИП (1 — БРК-40; другой код — "
                       "чужое устройство, принимающее запись без служебного кода); можно "
                       "несколько."),
        QStringLiteral("АДРЕС:ТИП"));
    const QCommandLineOption frozen(QStringLiteral("frozen"),
                                    QStringLiteral("Не менять текущие значения (для тестов)."));
    const QCommandLineOption lenient(
        QStringLiteral("lenient"),
        QStringLiteral("Принимать запись конфигурации без служебного кода перед ней."));
    const QCommandLineOption log(
        QStringLiteral("log"), QStringLiteral("Дописывать в ФАЙЛ по строке JSON на каждый запрос."),
        QStringLiteral("ФАЙЛ"));
    const QCommandLineOption state(QStringLiteral("state"),
                                   QStringLiteral("Загрузить конфигурацию из ФАЙЛА при запуске и "
                                                  "сохранять её туда после каждого изменения."),
                                   QStringLiteral("ФАЙЛ"));
    const QCommandLineOption dropEvery(QStringLiteral("drop-every"),
                                       QStringLiteral("Не отвечать на каждый N-й запрос."),
                                       QStringLiteral("N"));
    const QCommandLineOption delay(
        QStringLiteral("delay-ms"),
        QStringLiteral("Отвечать на каждый запрос с опозданием на N мс."), QStringLiteral("N"));
    const QCommandLineOption exceptionAt(
        QStringLiteral("exception-at"),
        QStringLiteral(
            "Отвечать на запросы, затрагивающие регистр АДРЕС, исключением КОД; можно несколько."),
        QStringLiteral("АДРЕС:КОД"));
    const QCommandLineOption shortReplyAt(
        QStringLiteral("short-reply-at"),
        QStringLiteral(
            "Отвечать на чтения, затрагивающие АДРЕС, на N регистров меньше (по умолчанию 1; "
            "для катушек и входов — байтов); можно несколько."),
        QStringLiteral("АДРЕС[:N]"));
    const QCommandLineOption wrongReplyAt(
        QStringLiteral("wrong-reply-at"),
        QStringLiteral(
            "Отвечать на чтения, затрагивающие АДРЕС, на регистр больше, а на запись в него — "
            "с начальным адресом плюс один; можно несколько."),
        QStringLiteral("АДРЕС"));
    const QCommandLineOption closeAt(
        QStringLiteral("close-at"),
        QStringLiteral(
            "Закрывать соединение TCP на запросе, затрагивающем АДРЕС (на последовательной "
            "линии — не отвечать); можно несколько."),
        QStringLiteral("АДРЕС"));
    const QCommandLineOption silentAt(
        QStringLiteral("silent-at"),
        QStringLiteral("Не отвечать на запросы, затрагивающие АДРЕС; можно несколько."),
        QStringLiteral("АДРЕС"));
    const QCommandLineOption silentAfter(
        QStringLiteral("silent-after"),
        QStringLiteral("Ответить на первые N запросов, затем молчать."), QStringLiteral("N"));
    const QCommandLineOption ignoreWrite(
        QStringLiteral("ignore-write"),
        QStringLiteral(
            "Подтверждать запись в АДРЕС, но сохранять старое значение; можно несколько."),
        QStringLiteral("АДРЕС"));
    const QCommandLineOption faultUnit(
        QStringLiteral("fault-unit"),
        QStringLiteral(
            "Применять параметры сбоев только к блоку с адресом АДРЕС; можно несколько (по "
            "умолчанию — ко всем)."),
        QStringLiteral("АДРЕС"));
    const QCommandLineOption pauseAt(
        QStringLiteral("pause-at"),
        QStringLiteral("Ответив на N-й запрос, не читать запросы --pause-for мс (соединения "
                       "остаются открытыми), затем обработать всё, что пришло."),
        QStringLiteral("N"));
    const QCommandLineOption pauseFor(
        QStringLiteral("pause-for"),
        QStringLiteral("Длительность паузы --pause-at, мс (по умолчанию 1000)."),
        QStringLiteral("МС"));
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
