// SPDX-License-Identifier: GPL-3.0-or-later
#include "backuparchive.h"

#include "configdiff.h"
#include "configfile.h"
#include "csvwriter.h"
#include "module.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

#include <algorithm>

namespace {

const QString Suffix = QStringLiteral(".brcf");

// A unit name as one folder name: no separators, no "." or "..".
QString folderName(const QString &unitName)
{
    QString name = unitName;
    name.replace(QRegExp(QStringLiteral("[/\\\\:*?\"<>|\\x0000-\\x001f]")), QStringLiteral("_"));
    if (name.startsWith(QLatin1Char('.')))
        name.replace(0, 1, QLatin1Char('_'));
    return name;
}

// A version file that opens as the same configuration.
bool sameAsNewest(const QStringList &versions, const Module &module)
{
    if (versions.isEmpty())
        return false;
    // A version that no longer reads is no reason to skip a good one.
    const std::unique_ptr<Module> newest = loadModule(versions.first());
    return newest && ConfigDiff::compare(*newest, module).isEmpty();
}

} // namespace

BackupArchive::BackupArchive(const QString &root)
    : m_root(root)
{}

QString BackupArchive::besidePlant(const QString &plantFolder)
{
    return QDir(plantFolder).filePath(QStringLiteral("backups"));
}

QString BackupArchive::unitFolder(const QString &unitName) const
{
    return QDir(m_root).filePath(folderName(unitName));
}

QStringList BackupArchive::versions(const QString &unitName) const
{
    QDir folder(unitFolder(unitName));
    QStringList names = folder.entryList({QLatin1Char('*') + Suffix}, QDir::Files);
    // By time, then by the number of a later version within the same second.
    const auto key = [](const QString &name) {
        const QString base = versionName(name);
        return qMakePair(base.section(QLatin1Char('-'), 0, 2),
                         base.section(QLatin1Char('-'), 3).toInt());
    };
    std::sort(names.begin(), names.end(),
              [&key](const QString &a, const QString &b) { return key(b) < key(a); });
    QStringList paths;
    for (const QString &name : qAsConst(names))
        paths << folder.filePath(name);
    return paths;
}

QString BackupArchive::versionName(const QString &path)
{
    return QFileInfo(path).completeBaseName();
}

BackupArchive::Added BackupArchive::add(const QString &unitName, const Module &module,
                                        const QDateTime &time, QString *path, QString *error)
{
    if (sameAsNewest(versions(unitName), module))
        return Added::Unchanged;
    const QString folder = unitFolder(unitName);
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("не удалось создать каталог %1").arg(folder);
        return Added::Failed;
    }
    const QString stamp = time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHHmmss"));
    QString name = stamp;
    // Two changed versions within one second.
    for (int n = 2; QFileInfo::exists(QDir(folder).filePath(name + Suffix)); ++n)
        name = QStringLiteral("%1-%2").arg(stamp).arg(n);
    *path = QDir(folder).filePath(name + Suffix);
    if (!writeFileAtomically(*path, QJsonDocument(module.toJson()).toJson(), error))
        return Added::Failed;
    return Added::Stored;
}
