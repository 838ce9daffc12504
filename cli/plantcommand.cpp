// SPDX-License-Identifier: GPL-3.0-or-later
#include "plantcommand.h"

#include "plantrunner.h"
#include "reportcommand.h"
#include "unitscripts.h"

#include <backuparchive.h>
#include <codes.h>
#include <configdiff.h>
#include <configfile.h>
#include <journal.h>
#include <module.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace {

const QStringList Subcommands{QStringLiteral("status"),  QStringLiteral("check"),
                              QStringLiteral("backup"),  QStringLiteral("write"),
                              QStringLiteral("history"), QStringLiteral("report")};
// The unit itself as a side of a history diff.
const QStringList UnitWords{QStringLiteral("unit"), QStringLiteral("модуль")};
const QString Configuration = QStringLiteral("configuration");

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// The unit's own file as a module; null with the reason.
std::unique_ptr<Module> unitFile(const Plant &plant, const PlantUnit &unit, QString *error)
{
    if (unit.file.isEmpty()) {
        *error = QStringLiteral("нет файла: у модуля в объекте не указан file");
        return nullptr;
    }
    return loadModule(plant.filePath(unit), error);
}

QString journalLine(const JournalEntry &entry)
{
    return QStringLiteral("%1  %2@%3  %4  %5  %6 ПО %7 адрес %8  %9: %10")
        .arg(entry.time.toUTC().toString(Qt::ISODate), entry.user, entry.computer,
             entry.unit.isEmpty() ? QStringLiteral("-") : entry.unit, entry.target, entry.unitType,
             entry.firmware)
        .arg(entry.address)
        .arg(entry.action, JournalEntry::outcomeText(entry.outcome));
}

} // namespace

QList<QCommandLineOption> PlantCommand::plantOptions()
{
    return {
        {QStringLiteral("only"), text("Только модуль с этим именем (можно несколько)."),
         QStringLiteral("ИМЯ")},
        {QStringLiteral("jobs"), text("Сколько модулей TCP и линий RTU обслуживать сразу (4)."),
         QStringLiteral("N"), QStringLiteral("4")},
        {QStringLiteral("dir"), text("backup: каталог копий (backups рядом с файлом объекта)."),
         QStringLiteral("КАТАЛОГ")},
        {QStringLiteral("diff"),
         text("history: параметры, которые различаются между версиями A и B (unit — модуль).")},
    };
}

QList<QCommandLineOption> PlantCommand::journalOptions()
{
    return {
        {QStringLiteral("unit"), text("Только записи модуля (имя в объекте или цель)."),
         QStringLiteral("ИМЯ")},
        {QStringLiteral("since"), text("Только записи с этой даты (ГГГГ-ММ-ДД)."),
         QStringLiteral("ДАТА")},
    };
}

bool PlantCommand::setUp(const QCommandLineParser &parser, QString *error)
{
    const QStringList arguments = parser.positionalArguments();
    m_subcommand = arguments.value(0);
    const int kind = Subcommands.indexOf(m_subcommand);
    if (kind < 0) {
        *error
            = QStringLiteral("нужна команда объекта: %1").arg(Subcommands.join(QLatin1Char('|')));
        return false;
    }
    m_kind = Kind(kind);
    m_plantPath = arguments.value(1);
    if (m_plantPath.isEmpty()) {
        *error = QStringLiteral("не указан файл объекта (.brplant)");
        return false;
    }
    QString reason;
    if (!Plant::load(m_plantPath, &Target::check, &m_plant, &reason)) {
        *error = QStringLiteral("%1: %2").arg(m_plantPath, reason);
        return false;
    }
    bool ok = false;
    m_jobs = parser.value(QStringLiteral("jobs")).toInt(&ok);
    if (!ok || m_jobs < 1) {
        *error = QStringLiteral("--jobs: нужно число не меньше 1");
        return false;
    }
    m_backupRoot = parser.isSet(QStringLiteral("dir"))
                       ? parser.value(QStringLiteral("dir"))
                       : BackupArchive::besidePlant(m_plant.folder());
    if (m_kind == Kind::Report) {
        m_reportPath = ReportCommand::outputPath(parser, error);
        if (m_reportPath.isEmpty())
            return false;
        m_reportInfo = ReportCommand::info(parser);
    }
    if (m_kind == Kind::History)
        return setUpHistory(arguments.mid(2), parser.isSet(QStringLiteral("diff")), error);
    if (arguments.size() > 2 && !parser.isSet(QStringLiteral("only"))) {
        *error = QStringLiteral("лишний аргумент «%1»").arg(arguments.at(2));
        return false;
    }
    return selectUnits(parser.values(QStringLiteral("only")) + arguments.mid(2), error);
}

bool PlantCommand::selectUnits(const QStringList &names, QString *error)
{
    for (const QString &name : qAsConst(names)) {
        if (!m_plant.unit(name)) {
            *error = QStringLiteral("в объекте нет модуля «%1»").arg(name);
            return false;
        }
    }
    for (const PlantUnit &unit : m_plant.units()) {
        if (names.isEmpty() || names.contains(unit.name))
            m_entries.append({unit, -1, UnitResult()});
    }
    return true;
}

bool PlantCommand::setUpHistory(const QStringList &arguments, bool diff, QString *error)
{
    const PlantUnit *unit = m_plant.unit(arguments.value(0));
    if (!unit) {
        *error = QStringLiteral("в объекте нет модуля «%1»").arg(arguments.value(0));
        return false;
    }
    m_entries.append({*unit, -1, UnitResult()});
    if (arguments.size() != (diff ? 3 : 1)) {
        *error = diff ? QStringLiteral("--diff: нужны две версии (или unit)")
                      : QStringLiteral("лишний аргумент «%1»").arg(arguments.value(1));
        return false;
    }
    const QStringList versions = BackupArchive(m_backupRoot).versions(unit->name);
    for (const QString &side : arguments.mid(1)) {
        if (UnitWords.contains(side)) {
            m_diffSides << QString();
            continue;
        }
        auto found = std::find_if(versions.cbegin(), versions.cend(), [&side](const QString &p) {
            return BackupArchive::versionName(p) == side;
        });
        const QString path = found != versions.cend() ? *found : side;
        if (!QFileInfo(path).isFile()) {
            *error = QStringLiteral("у модуля «%1» нет версии «%2»").arg(unit->name, side);
            return false;
        }
        m_diffSides << path;
    }
    return true;
}

void PlantCommand::schedule(FleetRunner *fleet)
{
    for (Entry &entry : m_entries) {
        QString refusal;
        const FleetRunner::Script script = scriptFor(entry.unit, &refusal);
        if (!script) {
            entry.preset.status = refusal.isEmpty() ? StatusOk : StatusUsage;
            entry.preset.message = refusal;
            continue;
        }
        Target target;
        QString error;
        Target::parse(entry.unit.target, &target, &error); // checked when the plant was read
        entry.fleetIndex = fleet->size();
        if (m_kind == Kind::History)
            m_unitIndex = entry.fleetIndex;
        fleet->add(target, script);
    }
}

FleetRunner::Script PlantCommand::scriptFor(const PlantUnit &unit, QString *refusal) const
{
    const QString name = unit.name;
    QString error;
    switch (m_kind) {
    case Kind::Status:
        return PlantRunner::readStatus;
    case Kind::Backup: {
        const QString root = m_backupRoot;
        return [root, name](UnitSession *session) {
            PlantRunner::backUp(session, root, name);
        };
    }
    case Kind::History:
        if (!m_diffSides.contains(QString()))
            return nullptr;
        return PlantRunner::readConfiguration;
    case Kind::Report:
        return PlantRunner::readConfiguration;
    case Kind::Check:
    case Kind::Write:
        break;
    }
    if (!unitFile(m_plant, unit, &error)) {
        *refusal = error;
        return nullptr;
    }
    const QString path = m_plant.filePath(unit);
    if (m_kind == Kind::Check)
        return [path, name](UnitSession *session) {
            PlantRunner::check(session, path, name);
        };
    const Plant plant = m_plant;
    return [plant, unit](UnitSession *session) {
        PlantRunner::writeFile(session, plant, unit);
    };
}

QVector<UnitResult> PlantCommand::collect(const QVector<UnitResult> &fleet) const
{
    if (m_kind == Kind::History)
        return {historyResult(fleet)};
    QVector<UnitResult> results;
    for (const Entry &entry : m_entries) {
        UnitResult result = entry.fleetIndex >= 0 ? fleet.value(entry.fleetIndex) : entry.preset;
        result.target = entry.unit.name;
        result.data.insert(QStringLiteral("unit"), entry.unit.name);
        result.data.insert(QStringLiteral("target"), entry.unit.target);
        if (m_kind == Kind::Status)
            addStatusLine(entry.unit, &result);
        results << result;
    }
    if (m_kind == Kind::Report)
        writeReport(&results);
    return results;
}

void PlantCommand::writeReport(QVector<UnitResult> *results) const
{
    std::vector<std::unique_ptr<Module>> modules;
    QVector<ReportUnit> units;
    for (int i = 0; i < m_entries.size(); ++i) {
        UnitResult &result = (*results)[i];
        QString title;
        std::unique_ptr<Module> module
            = PlantRunner::reportModule(m_plant, m_entries.at(i).unit, result, &title);
        result.data.remove(Configuration);
        if (!module) {
            result.message = QStringLiteral("не ответил, файла нет: в отчёт не вошёл");
            continue;
        }
        if (result.status == StatusOk) {
            result.message = QStringLiteral("прочитан из модуля");
        } else {
            result.message
                = QStringLiteral("не ответил, в отчёте его файл: %1").arg(result.message);
            result.status = StatusOk;
        }
        units.append({title, module.get()});
        modules.push_back(std::move(module));
    }
    QString error;
    const Report report = plantReport(m_plant.name(), units, m_reportInfo);
    if (!ReportCommand::write(report, m_reportPath, &error)) {
        UnitResult failed;
        failed.target = m_plantPath;
        failed.status = StatusUsage;
        failed.message = QStringLiteral("отчёт не записан: %1").arg(error);
        *results << failed;
    }
}

void PlantCommand::addStatusLine(const PlantUnit &unit, UnitResult *result) const
{
    const bool answers = result->status == StatusOk;
    result->data.insert(QStringLiteral("answers"), answers);
    QStringList fields{unit.name, unit.target,
                       answers ? QStringLiteral("отвечает") : QStringLiteral("нет ответа")};
    if (answers) {
        fields << result->data.value(QStringLiteral("type")).toString()
               << QStringLiteral("ПО ") + result->data.value(QStringLiteral("firmware")).toString()
               << boardsLine(result->data.value(QStringLiteral("boards")).toArray());
    }
    result->lines << fields.join(QStringLiteral("  "));
}

UnitResult PlantCommand::historyResult(const QVector<UnitResult> &fleet) const
{
    const PlantUnit &unit = m_entries.first().unit;
    UnitResult result;
    if (m_unitIndex >= 0) {
        result = fleet.value(m_unitIndex);
        if (result.status != StatusOk)
            return result;
    }
    result.target = unit.name;
    const QJsonObject read = result.data.take(Configuration).toObject();
    result.data.insert(QStringLiteral("unit"), unit.name);
    if (m_diffSides.isEmpty()) {
        QJsonArray json;
        for (const QString &path : BackupArchive(m_backupRoot).versions(unit.name)) {
            result.lines << BackupArchive::versionName(path);
            json.append(QJsonObject{{QStringLiteral("version"), BackupArchive::versionName(path)},
                                    {QStringLiteral("file"), path}});
        }
        result.data.insert(QStringLiteral("versions"), json);
        if (json.isEmpty())
            result.message = QStringLiteral("версий нет");
        return result;
    }
    std::unique_ptr<Module> sides[2];
    for (int i = 0; i < 2; ++i) {
        QString error;
        sides[i] = m_diffSides.at(i).isEmpty() ? moduleFromJson(read)
                                               : loadModule(m_diffSides.at(i), &error);
        if (!sides[i]) {
            result.status = StatusUsage;
            result.message = error;
            return result;
        }
    }
    const auto differences = ConfigDiff::compare(*sides[0], *sides[1]);
    PlantRunner::addDifferences(differences, QString(), &result);
    result.status = differences.isEmpty() ? StatusOk : StatusDiffer;
    result.message = differences.isEmpty()
                         ? QStringLiteral("версии совпадают")
                         : QStringLiteral("различаются параметров: %1").arg(differences.size());
    return result;
}

QJsonObject PlantCommand::document() const
{
    return {{QStringLiteral("plant"), m_plant.name()},
            {QStringLiteral("file"), m_plantPath},
            {QStringLiteral("subcommand"), m_subcommand}};
}

bool PlantCommand::journal(const QCommandLineParser &parser, UnitResult *result, QString *error)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() > 1) {
        *error = QStringLiteral("лишний аргумент «%1»").arg(arguments.at(1));
        return false;
    }
    Journal::Filter filter;
    filter.unit = parser.value(QStringLiteral("unit"));
    if (parser.isSet(QStringLiteral("since"))) {
        const QString since = parser.value(QStringLiteral("since"));
        const QDate date = QDate::fromString(since, Qt::ISODate);
        filter.since
            = date.isValid() ? date.startOfDay() : QDateTime::fromString(since, Qt::ISODate);
        if (!filter.since.isValid()) {
            *error = QStringLiteral("--since: нужна дата ГГГГ-ММ-ДД, а не «%1»").arg(since);
            return false;
        }
    }
    // A mistyped plant path would otherwise show as an empty journal.
    Plant plant;
    QString reason;
    if (!arguments.isEmpty() && !Plant::load(arguments.first(), &Target::check, &plant, &reason)) {
        *error = QStringLiteral("%1: %2").arg(arguments.first(), reason);
        return false;
    }
    const QString path
        = arguments.isEmpty() ? Journal::inUserData() : Journal::besidePlant(plant.folder());
    const Journal::Read read = Journal::read(path, filter);
    result->target = path;
    QJsonArray json;
    for (const JournalEntry &entry : read.entries) {
        result->lines << journalLine(entry);
        for (const JournalEntry::Change &change : entry.changes)
            result->lines
                << QStringLiteral("    %1: %2 → %3").arg(change.path, change.before, change.after);
        json.append(entry.toJson());
    }
    result->data.insert(QStringLiteral("entries"), json);
    if (!read.error.isEmpty()) {
        result->status = StatusUsage;
        result->message = QStringLiteral("журнал не читается: %1").arg(read.error);
    } else if (read.skipped > 0) {
        result->message
            = QStringLiteral("пропущено строк, которые не читаются: %1").arg(read.skipped);
    }
    return true;
}
