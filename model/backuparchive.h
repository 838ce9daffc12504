// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef BACKUPARCHIVE_H
#define BACKUPARCHIVE_H

#include <QDateTime>
#include <QString>
#include <QStringList>

class Module;

// The versions of each unit's configuration a plant keeps, one folder per
// unit and one file per version named by its UTC time
// (<root>/<unit name>/2026-03-01T020000.brcf). A version is added only when
// the configuration differs, by parameter, from the unit's newest one.
class BackupArchive
{
public:
    enum class Added { Stored, Unchanged, Failed };

    explicit BackupArchive(const QString &root);

    // backups/ beside the plant file.
    static QString besidePlant(const QString &plantFolder);

    QString root() const { return m_root; }
    QString unitFolder(const QString &unitName) const;
    // Paths of the unit's versions, newest first.
    QStringList versions(const QString &unitName) const;
    // "2026-03-01T020000" of a version's path.
    static QString versionName(const QString &path);

    // Stores `module` as the unit's version at `time` unless the newest
    // version holds the same parameters; *path gets the new version's file.
    Added add(const QString &unitName, const Module &module, const QDateTime &time, QString *path,
              QString *error);

private:
    QString m_root;
};

#endif // BACKUPARCHIVE_H
