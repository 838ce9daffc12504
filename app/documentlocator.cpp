// SPDX-License-Identifier: GPL-3.0-or-later
#include "documentlocator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString DocumentLocator::installedDataDir()
{
    if (!QCoreApplication::instance())
        return QString();
    return QDir::cleanPath(QCoreApplication::applicationDirPath()
                           + QStringLiteral("/../share/brk-configurator"));
}

QStringList DocumentLocator::defaultSearchDirs()
{
    QStringList dirs;
    if (QCoreApplication::instance())
        dirs << installedDataDir() << QCoreApplication::applicationDirPath();
    // The source tree this file was compiled from: app/.. is its root.
    dirs << QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/..");
    return dirs;
}

QString DocumentLocator::findFile(const QString &relativePath, const QStringList &dirs,
                                  int levelsUp)
{
    if (relativePath.isEmpty() || QDir::isAbsolutePath(relativePath)
        || relativePath.contains(QLatin1String("..")))
        return QString();

    for (const QString &start : dirs) {
        QDir dir(start);
        for (int level = 0; level <= levelsUp; ++level) {
            const QFileInfo candidate(dir.filePath(relativePath));
            if (candidate.isFile())
                return candidate.canonicalFilePath();
            if (!dir.cdUp())
                break;
        }
    }
    return QString();
}

QString DocumentLocator::findHelpFile(const QString &name)
{
    QStringList dirs;
    if (QCoreApplication::instance())
        dirs << installedDataDir() << QDir::currentPath() << QCoreApplication::applicationDirPath();
    else
        dirs << QDir::currentPath();
    return findFile(name, dirs, 0);
}

QUrl DocumentLocator::resolve(const QUrl &link, const QStringList &dirs)
{
    if (!link.isRelative())
        return QUrl();
    const QString path = findFile(link.path(), dirs);
    if (path.isEmpty())
        return QUrl();
    QUrl url = QUrl::fromLocalFile(path);
    if (link.hasFragment())
        url.setFragment(link.fragment());
    return url;
}
