// SPDX-License-Identifier: GPL-3.0-or-later
#include "brkctl.h"

#include "reportcommand.h"
#include "plantcommand.h"
#include "unitscripts.h"

#include <codes.h>
#include <configdiff.h>
#include <configfile.h>
#include <linksettings.h>
#include <module.h>
#include <parametertree.h>
#include <registermap.h>
#include <transfersequence.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <unistd.h>

namespace {

const QString Program = QStringLiteral("brkctl");

// Breaks each line at spaces to fit a terminal, continuation lines indented
// as their line: a terminal would cut the words themselves.
QString wrapped(const QString &text, int width = 79)
{
    QStringList out;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.size() <= width) { // as it is, columns kept
            out << line;
            continue;
        }
        int spaces = 0;
        while (spaces < line.size() && line.at(spaces) == QLatin1Char(' '))
            ++spaces;
        const QString indent(spaces, QLatin1Char(' '));
        QString current;
        for (const QString &word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!current.isEmpty() && current.size() + 1 + word.size() > width) {
                out << current;
                current.clear();
            }
            current += current.isEmpty() ? indent + word : QLatin1Char(' ') + word;
        }
        out << current;
    }
    return out.join(QLatin1Char('\n'));
}

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// A configuration file that opens as one: an object with a module in it.
bool isConfigurationFile(const QString &path, QString *error)
{
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("нет файла «%1»").arg(path);
        return false;
    }
    const QJsonObject root = loadJsonObject(path);
    const QString unknown = unknownContents(root);
    if (!isConfiguration(root) || !unknown.isEmpty()) {
        *error = QStringLiteral("файл «%1» не читается как конфигурация (.brcf)").arg(path);
        if (!unknown.isEmpty())
            *error += QStringLiteral(": ") + unknown;
        return false;
    }
    return true;
}

QString fileNameFor(const Target &target)
{
    QString name = target.isTcp() ? QStringLiteral("%1_%2").arg(target.host).arg(target.port)
                                  : QFileInfo(target.device).fileName();
    name.replace(QRegExp(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return QStringLiteral("%1_unit%2.brcf").arg(name).arg(target.unit);
}

// Rows of text in columns two blanks apart.
QStringList aligned(const QVector<QStringList> &rows)
{
    QVector<int> widths;
    for (const QStringList &row : rows) {
        widths.resize(qMax(widths.size(), row.size()));
        for (int i = 0; i < row.size(); ++i)
            widths[i] = qMax(widths[i], row.at(i).size());
    }
    QStringList lines;
    for (const QStringList &row : rows) {
        QString line;
        for (int i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row.at(i).leftJustified(widths.at(i) + 2) : row.at(i);
        // An empty last column leaves no blanks behind.
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        lines << line;
    }
    return lines;
}

void addMapRows(const Module &module, bool csv, UnitResult *result)
{
    const QStringList titles = registerMapTitles();
    const QVector<RegisterMapRow> rows = registerMapRows(module);
    QJsonArray json;
    QVector<QStringList> table;
    table << registerMapHeader();
    for (const RegisterMapRow &row : rows) {
        table << registerMapFields(row);
        json.append(QJsonObject{{QStringLiteral("table"), titles.value(row.table)},
                                {QStringLiteral("slot"), row.slotLetter},
                                {QStringLiteral("board"), row.board},
                                {QStringLiteral("channel"), row.channel},
                                {QStringLiteral("description"), row.description},
                                {QStringLiteral("function"), row.function},
                                {QStringLiteral("register"), row.address},
                                {QStringLiteral("plcRegister"), row.plcAddress},
                                {QStringLiteral("format"), row.format},
                                {QStringLiteral("units"), row.units}});
    }
    if (csv)
        result->output = registerMapCsv(rows); // the file the window exports
    else
        result->lines << aligned(table);
    result->data.insert(QStringLiteral("rows"), json);
}

QCommandLineOption option(const QStringList &names, const char *description,
                          const QString &valueName = QString(),
                          const QString &defaultValue = QString())
{
    return QCommandLineOption(names, text(description), valueName, defaultValue);
}

QCommandLineOption option(const QStringList &names, const QString &description,
                          const QString &valueName = QString())
{
    return QCommandLineOption(names, description, valueName);
}

// Every command's: the link to the unit and the form of the output.
QList<QCommandLineOption> sharedOptions()
{
    return {option({QStringLiteral("json")}, "Один документ JSON на стандартный вывод."),
            option({QStringLiteral("timeout")},
                   QStringLiteral("Время ожидания ответа, мс (TCP %1, RTU по скорости линии).")
                       .arg(LinkSettings::TcpTimeoutMs),
                   QStringLiteral("МС")),
            option({QStringLiteral("retries")},
                   QStringLiteral("Число повторов запроса (TCP %1, RTU %2).")
                       .arg(LinkSettings::TcpRetries)
                       .arg(LinkSettings::SerialRetries),
                   QStringLiteral("N")),
            option({QStringLiteral("extra-delay")},
                   QStringLiteral("Дополнительная задержка на линии: пауза %1 мс между записями, "
                                  "для RTU ожидание %2 мс и %3 повтора.")
                       .arg(TransferSequence::SlowPauseMs)
                       .arg(LinkSettings::ExtraDelayTimeoutMs)
                       .arg(LinkSettings::ExtraDelayRetries))};
}

QList<QCommandLineOption> fleetOptions()
{
    return {option({QStringLiteral("jobs")},
                   "Сколько модулей TCP и линий RTU обслуживать сразу (4).", QStringLiteral("N"),
                   QStringLiteral("4")),
            option({QStringLiteral("targets")},
                   "Цели из файла, по одной в строке (# — комментарий).", QStringLiteral("ФАЙЛ"))};
}

QCommandLineOption switchOverOption()
{
    return option({QStringLiteral("switch-over")},
                  "Ожидание перед проверкой по новому адресу модуля, мс (1000).",
                  QStringLiteral("МС"), QStringLiteral("1000"));
}

QCommandLineOption forceOption()
{
    return option({QStringLiteral("force")},
                  "Сменить адрес модуля, даже если по новому адресу кто-то отвечает.");
}

// One line of a scan: the unit's type, firmware, boards and jumper.
QJsonObject describeFoundUnit(const Target &at, const QVector<quint16> &block, QString *line)
{
    // Something answers there, but nothing of a unit may be read into its words.
    const int moduleType = block.value(ModuleTables::WordModuleType);
    if (!isModuleType(moduleType)) {
        *line = QStringLiteral("%1  %2").arg(at.toString(), notUnitText(moduleType));
        return QJsonObject{{QStringLiteral("target"), at.toString()},
                           {QStringLiteral("type"), notUnitText(moduleType)},
                           {QStringLiteral("unit"), false}};
    }
    QJsonArray boards;
    for (int slot = 0; slot < ModuleTables::SlotCount; ++slot) {
        const int code = block.value(ModuleTables::FirstSlotWord + slot);
        boards.append(code == 0 ? QString() : submoduleTypeName(code));
    }
    const QString firmware
        = QString::number(block.value(ModuleTables::WordFirmware) / 10.0, 'g', 6);
    const bool jumperKnown = block.size() > ModuleTables::WordJumper;
    const bool jumper = block.value(ModuleTables::WordJumper) == 1;
    const QString type = moduleTypeName(block.value(ModuleTables::WordModuleType));
    *line = QStringLiteral("%1  %2  ПО %3  %4  перемычка XS4: %5")
                .arg(at.toString(), type, firmware, boardsLine(boards),
                     !jumperKnown ? QStringLiteral("?")
                     : jumper     ? QStringLiteral("есть")
                                  : QStringLiteral("нет"));
    return QJsonObject{{QStringLiteral("target"), at.toString()},
                       {QStringLiteral("type"), type},
                       {QStringLiteral("firmware"), firmware},
                       {QStringLiteral("slots"), boards},
                       {QStringLiteral("jumper"), jumperKnown ? QJsonValue(jumper) : QJsonValue()}};
}

void addFoundUnits(UnitSession *unit, const QMap<int, QVector<quint16>> &found)
{
    QJsonArray json;
    for (auto it = found.cbegin(); it != found.cend(); ++it) {
        Target at = unit->target();
        at.unit = it.key();
        QString line;
        json.append(describeFoundUnit(at, it.value(), &line));
        unit->result().lines << line;
    }
    unit->result().data.insert(QStringLiteral("found"), json);
    if (found.isEmpty()) {
        unit->finish(StatusNoAnswer, QStringLiteral("модули не найдены: проверьте подключение, "
                                                    "параметры линии и диапазон адресов; для "
                                                    "медленной линии добавьте --extra-delay"));
    } else {
        unit->finish(StatusOk, QString());
    }
}

void addValues(const Module &module, const QStringList &paths, bool valueOnly, UnitResult *result)
{
    const QVector<ParameterTree::Entry> entries = ParameterTree::entries(module);
    QJsonArray json;
    for (const QString &path : paths) {
        QString error;
        const ParameterTree::Entry *entry = ParameterTree::find(entries, path, &error);
        if (!entry) {
            result->status = StatusUsage;
            result->message = error;
            return;
        }
        const QString value = entry->displayText();
        result->lines << (valueOnly ? value : entry->path + QStringLiteral(": ") + value);
        json.append(
            QJsonObject{{QStringLiteral("path"), entry->path}, {QStringLiteral("value"), value}});
    }
    result->data.insert(QStringLiteral("values"), json);
}

} // namespace

const Brkctl::Command *Brkctl::commands(int *count)
{
    static const Command list[] = {
        {"scan",
         "ЦЕЛЬ…",
         "Ищет модули: адреса RTU на линии или хосты и идентификаторы TCP "
         "(tcp://10.0.0.1-20:502?unit=1-3). Строка на каждый найденный модуль.",
         &Brkctl::runScan,
         true,
         {option({QStringLiteral("from")}, "Первый адрес (unit) поиска.", QStringLiteral("N")),
          option({QStringLiteral("to")}, "Последний адрес (unit) поиска.", QStringLiteral("N"))}},
        {"read",
         "ЦЕЛЬ… [-o ФАЙЛ|КАТАЛОГ]",
         "Считывает конфигурацию модуля в файл .brcf (без -o — на стандартный вывод). "
         "Для нескольких модулей -o — каталог.",
         &Brkctl::runRead,
         true,
         {option({QStringLiteral("o"), QStringLiteral("output")},
                 "Файл (один модуль) или каталог (несколько).", QStringLiteral("ПУТЬ"))}},
        {"write",
         "ЦЕЛЬ… ФАЙЛ",
         "Сверяет файл с модулем, проверяет его значения, записывает его и проверяет чтением. "
         "Адрес, порт, IP-адрес, маска и шлюз модуля остаются его (в один модуль --link "
         "записывает их из файла).",
         &Brkctl::runWrite,
         true,
         {option({QStringLiteral("changed")},
                 "Записать только регистры, которые отличаются от модуля."),
          option({QStringLiteral("link")},
                 "Записать в один модуль и адрес, порт, IP-адрес, маску и шлюз из файла."),
          option({QStringLiteral("keep-link")},
                 "Оставить адрес, порт, IP-адрес, маску и шлюз модуля (так и без --link)."),
          forceOption(), switchOverOption()}},
        {"diff",
         "A B…",
         "Сравнивает конфигурации (файлы или модули) по параметрам. Код 1, если они "
         "различаются.",
         &Brkctl::runDiff,
         true,
         {option({QStringLiteral("ignore-link")},
                 "Не сравнивать адрес, порт, IP-адрес, маску и шлюз.")}},
        {"get",
         "ЦЕЛЬ|ФАЙЛ ПУТЬ…",
         "Показывает параметры по пути в дереве, например «Субмодуль AI (Слот B) / Аналоговый "
         "вход 2 / Нижний предел» или его конец.",
         &Brkctl::runGet,
         false,
         {option({QStringLiteral("value")}, "Только значения, без путей.")}},
        {"set",
         "ЦЕЛЬ ПУТЬ=ЗНАЧЕНИЕ…",
         "Проверяет значения по диапазону и списку параметра, записывает изменившиеся "
         "регистры и проверяет чтением.",
         &Brkctl::runSet,
         false,
         {forceOption(), switchOverOption()}},
        {"reset",
         "ЦЕЛЬ --yes",
         "Сбрасывает конфигурацию модуля.",
         &Brkctl::runReset,
         false,
         {option({QStringLiteral("yes")}, "Да, сбросить конфигурацию.")}},
        {"map",
         "ЦЕЛЬ|ФАЙЛ [--csv]",
         "Карта регистров: где лежит значение каждого канала (как в окне «Карта субмодулей»).",
         &Brkctl::runMap,
         false,
         {option({QStringLiteral("csv")}, "В формате CSV.")}},
        {"report", "ЦЕЛЬ|ФАЙЛ -o ФАЙЛ",
         "Отчёт о настройке модуля: общие сведения, субмодули, параметры каналов, карта "
         "регистров и подписи.",
         &Brkctl::runReport, false, ReportCommand::options()},
        {"plant", "status|check|backup|write|history|report ОБЪЕКТ [ИМЯ] [--only ИМЯ]…",
         "Модули объекта из файла .brplant: состояние, сверка с их файлами (код 1 — есть "
         "различия), копии только изменившихся конфигураций, запись их файлов, версии модуля, "
         "отчёт по всем модулям (-o ФАЙЛ.pdf).",
         &Brkctl::runPlant, false, PlantCommand::plantOptions() + ReportCommand::options()},
        {"journal", "[ОБЪЕКТ] [--unit ИМЯ] [--since ДАТА]",
         "Журнал изменений: каждая запись в модули, кто и когда её сделал, старые и новые "
         "значения.",
         &Brkctl::runJournal, false, PlantCommand::journalOptions()},
    };
    *count = int(std::size(list));
    return list;
}

const Brkctl::Command *Brkctl::findCommand(const QString &name)
{
    int count = 0;
    const Command *list = commands(&count);
    for (int i = 0; i < count; ++i) {
        if (name == QLatin1String(list[i].name))
            return &list[i];
    }
    return nullptr;
}

Brkctl::Brkctl(QObject *parent)
    : QObject(parent)
    , m_out(stdout)
    , m_err(stderr)
{
    m_out.setCodec("UTF-8");
    m_err.setCodec("UTF-8");
}

Brkctl::~Brkctl() = default;

bool Brkctl::start(const QStringList &arguments)
{
    const QString first = arguments.value(1);
    m_json = arguments.contains(QStringLiteral("--json"));
    if (first == QLatin1String("--version") || first == QLatin1String("-v")) {
        m_out << Program << ' ' << BRK_VERSION << '\n';
        m_status = StatusOk;
        return false;
    }
    if (first.isEmpty() || first == QLatin1String("--help") || first == QLatin1String("-h")
        || first == QLatin1String("help")) {
        const Command *command = findCommand(arguments.value(2));
        if (command) {
            m_out << commandHelp(*command);
            return false;
        }
        printHelp(false);
        m_status = first.isEmpty() ? StatusUsage : StatusOk;
        return false;
    }
    if (first == QLatin1String("--help-all")) {
        printHelp(true);
        return false;
    }
    m_command = findCommand(first);
    if (!m_command)
        return usageError(QStringLiteral("неизвестная команда «%1»").arg(first));

    setUpParser(*m_command, &m_parser);
    QStringList rest = arguments;
    rest.removeAt(1);
    rest[0] = Program; // the help pages name the program, not its path
    if (!m_parser.parse(rest))
        return usageError(m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("help"))) {
        m_out << commandHelp(*m_command);
        return false;
    }
    m_progress = isatty(fileno(stderr));
    return (this->*(m_command->run))();
}

void Brkctl::setUpParser(const Command &command, QCommandLineParser *parser)
{
    // The arguments are explained under the summary: in the parser's table of
    // arguments a long synopsis would be broken inside its words.
    const QString arguments = text(command.arguments);
    QString description = text(command.summary);
    if (arguments.contains(QStringLiteral("ЦЕЛЬ")))
        description += QStringLiteral("\nЦЕЛЬ: %1 или\n      %2.")
                           .arg(Target::tcpForm(), Target::rtuForm());
    if (arguments.contains(QStringLiteral("ФАЙЛ")))
        description += QStringLiteral("\nФАЙЛ: конфигурация .brcf.");
    parser->setApplicationDescription(wrapped(description));
    // Not addHelpOption(): its --help-all would offer Qt's own options here.
    parser->addOption({{QStringLiteral("h"), QStringLiteral("help")},
                       QStringLiteral("Показать справку по команде.")});
    parser->addOptions(sharedOptions());
    if (command.manyTargets)
        parser->addOptions(fleetOptions());
    parser->addOptions(command.options);
}

void Brkctl::printHelp(bool withCommands)
{
    QString help = text("Использование: brkctl КОМАНДА [параметры] АРГУМЕНТЫ\n\n"
                        "Конфигурирование модулей ВИРАТ БРК-40 из командной строки.\n\n"
                        "Команды:\n");
    int count = 0;
    const Command *list = commands(&count);
    for (int i = 0; i < count; ++i)
        help += QStringLiteral("  ") + QString::fromLatin1(list[i].name).leftJustified(8)
                + QLatin1Char(' ') + text(list[i].arguments) + QStringLiteral("\n           ")
                + text(list[i].summary).section(QStringLiteral(". "), 0, 0) + QLatin1Char('\n');
    help += text("\nЦели: ") + Target::tcpForm() + text(" (порт 502, unit=1),\n      ")
            + Target::rtuForm()
            + text(".\nКоды выхода: 0 успех, 1 есть различия, 2 ошибка в аргументах, 3 нет "
                   "связи или ответа, 4 модуль отклонил запрос или файл не подходит к "
                   "модулю, 5 запись не подтверждена.\n"
                   "brkctl КОМАНДА --help — параметры команды; brkctl --help-all — все "
                   "команды с их параметрами; brkctl --version — версия.");
    m_out << wrapped(help) << '\n';
    // The manual page is made of this: every command with its options, under
    // a heading line of its own.
    for (int i = 0; withCommands && i < count; ++i)
        m_out << text("\nКоманда ") << list[i].name << ":\n"
              << commandHelp(list[i], QStringLiteral("  "));
}

QString Brkctl::commandHelp(const Command &command, const QString &indent)
{
    QCommandLineParser parser;
    setUpParser(command, &parser);
    // The parser's first line names the program by the path it was started with.
    const QString help = parser.helpText();
    return wrapped(indent
                   + QStringLiteral("Использование: %1 %2 [параметры] %3")
                         .arg(Program, QString::fromLatin1(command.name), text(command.arguments)))
           + QLatin1Char('\n') + help.mid(help.indexOf(QLatin1Char('\n')));
}

bool Brkctl::usageError(const QString &message)
{
    m_status = StatusUsage;
    if (m_json) {
        // A script reading the document gets one on every run.
        const QJsonObject document{
            {QStringLiteral("command"),
             m_command ? QJsonValue(QString::fromLatin1(m_command->name)) : QJsonValue()},
            {QStringLiteral("status"), m_status},
            {QStringLiteral("message"), message},
            {QStringLiteral("units"), QJsonArray()}};
        m_out << QJsonDocument(document).toJson() << Qt::flush;
    }
    m_err << Program << ": " << message << '\n';
    if (m_command)
        m_err << text("Подробнее: brkctl ") << m_command->name << " --help\n";
    else
        m_err << text("Подробнее: brkctl --help\n");
    m_err.flush();
    return false;
}

bool Brkctl::isTarget(const QString &text)
{
    return text.startsWith(QLatin1String("tcp://")) || text.startsWith(QLatin1String("rtu:"));
}

bool Brkctl::readTargetsFile(QStringList *texts)
{
    if (!m_command->manyTargets || !m_parser.isSet(QStringLiteral("targets")))
        return true;
    const QString path = m_parser.value(QStringLiteral("targets"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return usageError(QStringLiteral("нет файла целей «%1»").arg(path));
    while (!file.atEnd()) {
        const QString line
            = QString::fromUtf8(file.readLine()).section(QLatin1Char('#'), 0, 0).trimmed();
        if (!line.isEmpty())
            texts->append(line);
    }
    return true;
}

bool Brkctl::parseTargets(const QStringList &texts, QVector<Target> *targets)
{
    for (const QString &entry : texts) {
        Target target;
        QString error;
        if (!Target::parse(entry, &target, &error))
            return usageError(error);
        targets->append(target);
    }
    if (targets->isEmpty())
        return usageError(QStringLiteral("не указана цель"));
    return true;
}

bool Brkctl::linkOptions(LinkOptions *options)
{
    options->extraDelay = m_parser.isSet(QStringLiteral("extra-delay"));
    const struct
    {
        const char *name;
        int *value;
        int minimum;
    } numbers[] = {{"timeout", &options->timeoutMs, 10}, {"retries", &options->retries, 0}};
    for (const auto &number : numbers) {
        const QString name = QString::fromLatin1(number.name);
        if (!m_parser.isSet(name))
            continue;
        bool ok = false;
        *number.value = m_parser.value(name).toInt(&ok);
        if (!ok || *number.value < number.minimum)
            return usageError(
                QStringLiteral("--%1: нужно число не меньше %2").arg(name).arg(number.minimum));
    }
    int jobs = 1;
    if (m_command->manyTargets) {
        bool ok = false;
        jobs = m_parser.value(QStringLiteral("jobs")).toInt(&ok);
        if (!ok || jobs < 1)
            return usageError(QStringLiteral("--jobs: нужно число не меньше 1"));
    }
    m_fleet = std::make_unique<FleetRunner>(*options, jobs);
    return true;
}

bool Brkctl::switchOverMs(int *ms)
{
    bool ok = false;
    *ms = m_parser.value(QStringLiteral("switch-over")).toInt(&ok);
    if (!ok || *ms < 0)
        return usageError(QStringLiteral("--switch-over: нужно число не меньше 0"));
    return true;
}

void Brkctl::interrupt()
{
    if (m_fleet)
        m_fleet->interrupt();
}

bool Brkctl::runFleet(const std::function<void()> &done)
{
    connect(m_fleet.get(), &FleetRunner::progress, this, &Brkctl::drawProgress);
    connect(m_fleet.get(), &FleetRunner::finished, this, [this, done] {
        if (m_progress)
            m_err << "\r\033[K" << Qt::flush;
        if (done)
            done();
        else
            m_results += m_fleet->results();
        printAndFinish();
    });
    m_fleet->start();
    return true;
}

void Brkctl::drawProgress(double done, int total)
{
    if (!m_progress || total <= 0)
        return;
    constexpr int Width = 30;
    const int filled = qBound(0, int(Width * done / total), Width);
    m_err << "\r[" << QString(filled, QLatin1Char('#')) << QString(Width - filled, QLatin1Char('-'))
          << "] " << int(done) << '/' << total << Qt::flush;
}

void Brkctl::printAndFinish()
{
    m_status = StatusOk;
    for (const UnitResult &result : qAsConst(m_results))
        m_status = qMax(m_status, result.status);

    if (m_json) {
        QJsonArray units;
        for (const UnitResult &result : qAsConst(m_results)) {
            QJsonObject unit = result.data;
            unit.insert(QStringLiteral("source"), result.target);
            unit.insert(QStringLiteral("status"), result.status);
            unit.insert(QStringLiteral("message"), result.message);
            if (!result.output.isEmpty())
                unit.insert(QStringLiteral("configuration"),
                            QJsonDocument::fromJson(result.output).object());
            units.append(unit);
        }
        QJsonObject document = m_document;
        document.insert(QStringLiteral("command"), QString::fromLatin1(m_command->name));
        document.insert(QStringLiteral("status"), m_status);
        document.insert(QStringLiteral("units"), units);
        m_out << QJsonDocument(document).toJson();
    } else {
        for (const UnitResult &result : qAsConst(m_results)) {
            for (const QString &line : result.lines)
                m_out << line << '\n';
            if (!result.output.isEmpty()) {
                m_out.flush();
                std::fwrite(result.output.constData(), 1, size_t(result.output.size()), stdout);
                std::fflush(stdout);
            }
            if (!result.message.isEmpty())
                m_err << result.target << ": " << result.message << '\n';
        }
    }
    m_out.flush();
    m_err.flush();
    emit finished(m_status);
}

bool Brkctl::scanLines(const QStringList &texts, QVector<ScanLine> *lines)
{
    QMap<QString, int> index; // line key to its place in lines
    for (const QString &entry : qAsConst(texts)) {
        QVector<Target> targets;
        QString error;
        if (!Target::parseRange(entry, &targets, &error))
            return usageError(error);
        for (const Target &target : qAsConst(targets)) {
            const QString key = target.isTcp()
                                    ? target.host + QLatin1Char(':') + QString::number(target.port)
                                    : target.device;
            if (!index.contains(key)) {
                index.insert(key, lines->size());
                lines->append({target, target.unit, target.unit});
            }
            ScanLine &line = (*lines)[index.value(key)];
            line.first = qMin(line.first, target.unit);
            line.last = qMax(line.last, target.unit);
        }
    }
    if (lines->isEmpty())
        return usageError(QStringLiteral("не указана цель"));
    return true;
}

bool Brkctl::applyScanBounds(QVector<ScanLine> *lines)
{
    for (const QString &name : {QStringLiteral("from"), QStringLiteral("to")}) {
        if (!m_parser.isSet(name))
            continue;
        bool ok = false;
        const int unit = m_parser.value(name).toInt(&ok);
        if (!ok || unit < Target::MinUnit || unit > Target::MaxUnit)
            return usageError(QStringLiteral("--%1: нужен адрес 1…247").arg(name));
        for (ScanLine &line : *lines)
            (name == QLatin1String("from") ? line.first : line.last) = unit;
    }
    for (const ScanLine &line : qAsConst(*lines)) {
        if (line.first > line.last)
            return usageError(
                QStringLiteral("пустой диапазон адресов %1…%2").arg(line.first).arg(line.last));
    }
    return true;
}

bool Brkctl::runScan()
{
    QStringList texts = m_parser.positionalArguments();
    LinkOptions options;
    QVector<ScanLine> lines;
    if (!readTargetsFile(&texts) || !linkOptions(&options) || !scanLines(texts, &lines)
        || !applyScanBounds(&lines))
        return false;
    // One session per line over its units.
    for (ScanLine line : qAsConst(lines)) {
        line.target.unit = line.first;
        m_fleet->add(line.target, [line](UnitSession *unit) {
            // A summary names the whole range asked, not only its first address.
            if (line.last != line.first)
                unit->result().target += QStringLiteral("-%1").arg(line.last);
            unit->open([unit, line] {
                unit->scan(line.first, line.last, [unit](const QMap<int, QVector<quint16>> &found) {
                    addFoundUnits(unit, found);
                });
            });
        });
    }
    return runFleet();
}

bool Brkctl::runRead()
{
    QStringList texts = m_parser.positionalArguments();
    QVector<Target> targets;
    LinkOptions options;
    if (!readTargetsFile(&texts) || !parseTargets(texts, &targets) || !linkOptions(&options))
        return false;
    const QString output = m_parser.value(QStringLiteral("output"));
    const bool many = targets.size() > 1;
    if (many && !output.isEmpty() && !QFileInfo(output).isDir())
        return usageError(QStringLiteral("для нескольких модулей -o должен быть каталогом"));
    for (const Target &target : qAsConst(targets)) {
        const QString path = many ? QDir(output.isEmpty() ? QStringLiteral(".") : output)
                                        .filePath(fileNameFor(target))
                                  : output;
        m_fleet->add(target, [path](UnitSession *unit) {
            UnitScripts::readImage(unit, [path](UnitSession *unit, const ModuleTables &tables) {
                // As the main window saves the module it read.
                const QJsonObject json = moduleFromTables(tables)->toJson();
                if (path.isEmpty()) {
                    unit->result().output = QJsonDocument(json).toJson();
                    unit->finish(StatusOk, QString());
                } else if (saveJsonObject(json, path)) {
                    unit->result().data.insert(QStringLiteral("file"), path);
                    unit->finish(StatusOk, QStringLiteral("конфигурация сохранена в %1").arg(path));
                } else {
                    unit->finish(StatusUsage,
                                 QStringLiteral("не удалось записать файл %1").arg(path));
                }
            });
        });
    }
    return runFleet();
}

bool Brkctl::runWrite()
{
    QStringList texts = m_parser.positionalArguments();
    if (texts.size() < 1 || isTarget(texts.constLast()))
        return usageError(QStringLiteral("последним аргументом нужен файл конфигурации"));
    const QString path = texts.takeLast();
    QVector<Target> targets;
    LinkOptions options;
    if (!readTargetsFile(&texts) || !parseTargets(texts, &targets) || !linkOptions(&options))
        return false;
    QString error;
    if (!isConfigurationFile(path, &error))
        return usageError(error);

    UnitScripts::WriteOptions write;
    if (!switchOverMs(&write.switchOverMs))
        return false;
    write.changedOnly = m_parser.isSet(QStringLiteral("changed"));
    // One file must not give many units one address.
    write.keepLink = targets.size() > 1 || !m_parser.isSet(QStringLiteral("link"));
    write.force = m_parser.isSet(QStringLiteral("force"));
    m_document.insert(QStringLiteral("file"), path);
    m_document.insert(QStringLiteral("keptLinkWords"), write.keepLink);
    for (const Target &target : qAsConst(targets))
        m_fleet->add(target, [path, write](UnitSession *unit) {
            unit->setPhases(3);
            UnitScripts::writeFile(unit, path, write);
        });
    return runFleet();
}

bool Brkctl::runDiff()
{
    QStringList sources = m_parser.positionalArguments();
    if (!readTargetsFile(&sources))
        return false;
    if (sources.size() < 2)
        return usageError(QStringLiteral("нужны две стороны: файлы или цели"));
    LinkOptions options;
    if (!linkOptions(&options))
        return false;
    QVector<int> fleetIndex(sources.size(), -1);
    auto images = std::make_shared<QMap<int, ModuleTables>>();
    for (int i = 0; i < sources.size(); ++i) {
        const QString &source = sources.at(i);
        QString error;
        if (!isTarget(source)) {
            if (!isConfigurationFile(source, &error))
                return usageError(error);
            continue;
        }
        Target target;
        if (!Target::parse(source, &target, &error))
            return usageError(error);
        fleetIndex[i] = m_fleet->size();
        m_fleet->add(target, [images, i](UnitSession *unit) {
            UnitScripts::readImage(unit, [images, i](UnitSession *unit, const ModuleTables &t) {
                images->insert(i, t);
                unit->finish(StatusOk, QString());
            });
        });
    }
    ConfigDiff::Options diffOptions;
    diffOptions.ignoreLink = m_parser.isSet(QStringLiteral("ignore-link"));
    m_document.insert(QStringLiteral("left"), sources.first());
    return runFleet([this, sources, fleetIndex, images, diffOptions] {
        const QVector<UnitResult> read = m_fleet->results();
        const auto moduleOf = [&](int i) {
            return images->contains(i) ? moduleFromTables(images->value(i))
                                       : loadModule(sources.at(i));
        };
        if (fleetIndex.first() >= 0 && !images->contains(0)) {
            m_results << read.at(fleetIndex.first());
            return;
        }
        const std::unique_ptr<Module> left = moduleOf(0);
        for (int i = 1; i < sources.size(); ++i) {
            if (fleetIndex.at(i) >= 0 && !images->contains(i)) {
                m_results << read.at(fleetIndex.at(i));
                continue;
            }
            UnitResult result;
            result.target = sources.at(i);
            const std::unique_ptr<Module> right = moduleOf(i);
            if (!left || !right) {
                // A file checked before the units were read may be gone by now.
                result.status = StatusUsage;
                result.message = QStringLiteral("файл конфигурации не прочитан");
                m_results << result;
                continue;
            }
            QJsonArray json;
            const QString prefix
                = sources.size() > 2 ? sources.at(i) + QStringLiteral(": ") : QString();
            for (const ConfigDiff::Difference &d :
                 ConfigDiff::compare(*left, *right, diffOptions)) {
                result.lines << prefix + d.toString();
                json.append(QJsonObject{{QStringLiteral("path"), d.path},
                                        {QStringLiteral("left"), d.left},
                                        {QStringLiteral("right"), d.right},
                                        {QStringLiteral("link"), d.link}});
            }
            result.data.insert(QStringLiteral("differences"), json);
            result.status = json.isEmpty() ? StatusOk : StatusDiffer;
            result.message
                = json.isEmpty()
                      ? QStringLiteral("совпадает с %1").arg(sources.first())
                      : QStringLiteral("отличий от %1: %2").arg(sources.first()).arg(json.size());
            m_results << result;
        }
    });
}

bool Brkctl::runOnModule(const QString &source, const ModuleAction &apply)
{
    LinkOptions options;
    if (!linkOptions(&options))
        return false;
    QString error;
    if (!isTarget(source)) {
        if (!isConfigurationFile(source, &error))
            return usageError(error);
        UnitResult result;
        result.target = source;
        const std::unique_ptr<Module> module = loadModule(source, &error);
        if (!module)
            return usageError(error);
        apply(*module, &result);
        m_results << result;
        printAndFinish();
        return false;
    }
    QVector<Target> targets;
    if (!parseTargets({source}, &targets))
        return false;
    m_fleet->add(targets.first(), [apply](UnitSession *unit) {
        UnitScripts::readImage(unit, [apply](UnitSession *unit, const ModuleTables &t) {
            apply(*moduleFromTables(t), &unit->result());
            unit->finish(unit->result().status, unit->result().message);
        });
    });
    return runFleet();
}

bool Brkctl::runGet()
{
    const QStringList arguments = m_parser.positionalArguments();
    if (arguments.size() < 2)
        return usageError(QStringLiteral("нужны цель или файл и хотя бы один путь"));
    const QStringList paths = arguments.mid(1);
    const bool valueOnly = m_parser.isSet(QStringLiteral("value"));
    return runOnModule(arguments.first(),
                       [paths, valueOnly](const Module &module, UnitResult *result) {
                           addValues(module, paths, valueOnly, result);
                       });
}

bool Brkctl::runSet()
{
    const QStringList arguments = m_parser.positionalArguments();
    if (arguments.size() < 2)
        return usageError(QStringLiteral("нужны цель и хотя бы одно ПУТЬ=ЗНАЧЕНИЕ"));
    QVector<Target> targets;
    LinkOptions options;
    if (!parseTargets({arguments.first()}, &targets) || !linkOptions(&options))
        return false;
    QVector<QPair<QString, QString>> assignments;
    for (const QString &assignment : arguments.mid(1)) {
        const int equals = assignment.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return usageError(QStringLiteral("«%1»: нужно ПУТЬ=ЗНАЧЕНИЕ").arg(assignment));
        assignments.append({assignment.left(equals), assignment.mid(equals + 1)});
    }
    UnitScripts::WriteOptions write;
    if (!switchOverMs(&write.switchOverMs))
        return false;
    write.force = m_parser.isSet(QStringLiteral("force"));
    m_fleet->add(targets.first(), [assignments, write](UnitSession *unit) {
        unit->setPhases(3);
        UnitScripts::setValues(unit, assignments, write);
    });
    return runFleet();
}

bool Brkctl::runReset()
{
    QVector<Target> targets;
    LinkOptions options;
    if (!parseTargets(m_parser.positionalArguments(), &targets) || !linkOptions(&options))
        return false;
    if (targets.size() != 1)
        return usageError(QStringLiteral("сброс выполняется для одного модуля"));
    if (!m_parser.isSet(QStringLiteral("yes")))
        return usageError(
            QStringLiteral("сброс стирает конфигурацию модуля: повторите команду с --yes"));
    m_fleet->add(targets.first(), [](UnitSession *unit) { UnitScripts::reset(unit); });
    return runFleet();
}

bool Brkctl::runMap()
{
    const QStringList arguments = m_parser.positionalArguments();
    if (arguments.size() != 1)
        return usageError(QStringLiteral("нужна одна цель или один файл"));
    // The JSON document carries the rows whatever the form.
    const bool csv = m_parser.isSet(QStringLiteral("csv")) && !m_json;
    return runOnModule(arguments.first(), [csv](const Module &module, UnitResult *result) {
        addMapRows(module, csv, result);
    });
}
