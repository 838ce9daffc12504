// SPDX-License-Identifier: GPL-3.0-or-later
#include "recentfiles.h"

#include "appsettings.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString FilesKey = QStringLiteral("files/recent");
const QString FolderKey = QStringLiteral("files/lastFolder");

void store(const QStringList &files)
{
    AppSettings::setValue(FilesKey, files);
    emit RecentFiles::instance()->changed();
}

} // namespace

QStringList RecentFiles::load()
{
    QStringList files = AppSettings::value(FilesKey).toStringList();
    files.removeAll(QString());
    files.removeDuplicates();
    return files.mid(0, MaxCount);
}

QStringList RecentFiles::add(const QString &fileName)
{
    const QString path = QFileInfo(fileName).absoluteFilePath();
    QStringList files = load();
    files.removeAll(path);
    files.prepend(path);
    files = files.mid(0, MaxCount);
    AppSettings::setValue(FolderKey, QFileInfo(path).absolutePath());
    store(files);
    return files;
}

QStringList RecentFiles::remove(const QString &fileName)
{
    QStringList files = load();
    files.removeAll(fileName);
    store(files);
    return files;
}

QString RecentFiles::lastFolder()
{
    const QString folder = AppSettings::value(FolderKey).toString();
    return QDir(folder).exists() ? folder : QString();
}

RecentFiles *RecentFiles::instance()
{
    static RecentFiles notifier;
    return &notifier;
}
