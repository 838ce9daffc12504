// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QSysInfo>

namespace {

const QString FileName = QStringLiteral("journal.jsonl");

QString userName()
{
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

bool matches(const JournalEntry &entry, const Journal::Filter &filter)
{
    if (!filter.unit.isEmpty() && entry.unit != filter.unit && entry.target != filter.unit)
        return false;
    return !filter.since.isValid() || entry.time >= filter.since;
}

} // namespace

const QString JournalEntry::Confirmed = QStringLiteral("confirmed");
const QString JournalEntry::Unconfirmed = QStringLiteral("unconfirmed");
const QString JournalEntry::Refused = QStringLiteral("refused");

QString JournalEntry::outcomeText(const QString &outcome)
{
    if (outcome == Confirmed)
        return QStringLiteral("подтверждена");
    if (outcome == Unconfirmed)
        return QStringLiteral("не подтверждена");
    return outcome == Refused ? QStringLiteral("отклонена") : outcome;
}

JournalEntry JournalEntry::now()
{
    JournalEntry entry;
    entry.time = QDateTime::currentDateTimeUtc();
    entry.user = userName();
    entry.computer = QSysInfo::machineHostName();
    return entry;
}

QJsonObject JournalEntry::toJson() const
{
    QJsonArray list;
    for (const Change &change : changes)
        list.append(QJsonObject{{QStringLiteral("path"), change.path},
                                {QStringLiteral("old"), change.before},
                                {QStringLiteral("new"), change.after}});
    return QJsonObject{{QStringLiteral("time"), time.toUTC().toString(Qt::ISODate)},
                       {QStringLiteral("user"), user},
                       {QStringLiteral("computer"), computer},
                       {QStringLiteral("unit"), unit},
                       {QStringLiteral("target"), target},
                       {QStringLiteral("unitType"), unitType},
                       {QStringLiteral("firmware"), firmware},
                       {QStringLiteral("address"), address},
                       {QStringLiteral("action"), action},
                       {QStringLiteral("changes"), list},
                       {QStringLiteral("outcome"), outcome}};
}

JournalEntry JournalEntry::fromJson(const QJsonObject &json)
{
    JournalEntry entry;
    entry.time = QDateTime::fromString(json.value(QStringLiteral("time")).toString(), Qt::ISODate);
    const auto text = [&json](const char *key) {
        return json.value(QLatin1String(key)).toString();
    };
    entry.user = text("user");
    entry.computer = text("computer");
    entry.unit = text("unit");
    entry.target = text("target");
    entry.unitType = text("unitType");
    entry.firmware = text("firmware");
    entry.address = json.value(QStringLiteral("address")).toInt();
    entry.action = text("action");
    entry.outcome = text("outcome");
    for (const QJsonValue &value : json.value(QStringLiteral("changes")).toArray()) {
        const QJsonObject change = value.toObject();
        entry.changes.append({change.value(QStringLiteral("path")).toString(),
                              change.value(QStringLiteral("old")).toString(),
                              change.value(QStringLiteral("new")).toString()});
    }
    return entry;
}

QString Journal::besidePlant(const QString &plantFolder)
{
    return QDir(plantFolder).filePath(FileName);
}

QString Journal::inUserData()
{
    // Shared by the configurator and brkctl, whatever the program's name.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(QStringLiteral("virat/brk-configurator/") + FileName);
}

bool Journal::append(const QString &path, const JournalEntry &entry, QString *error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    // Unbuffered: the line goes out in one write, so lines of programs that
    // write at the same time do not mix.
    if (!file.open(QIODevice::Append | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray line = QJsonDocument(entry.toJson()).toJson(QJsonDocument::Compact) + '\n';
    if (file.write(line) != line.size()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

Journal::Read Journal::read(const QString &path, const Filter &filter)
{
    Read read;
    QFile file(path);
    if (!file.exists())
        return read;
    if (!file.open(QIODevice::ReadOnly)) {
        read.error = file.errorString();
        return read;
    }
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty())
            continue;
        const QJsonObject json = QJsonDocument::fromJson(line).object();
        const JournalEntry entry = JournalEntry::fromJson(json);
        if (json.isEmpty() || !entry.time.isValid()) {
            ++read.skipped;
            continue;
        }
        if (matches(entry, filter))
            read.entries.append(entry);
    }
    return read;
}
