#ifndef RECENTFILES_H
#define RECENTFILES_H

#include <QStringList>

// The configuration files used last, newest first, kept in the settings.
class RecentFiles
{
public:
    static constexpr int MaxCount = 8;

    static QStringList load();
    // Puts the file first (once), drops the oldest beyond MaxCount, and stores the list.
    static QStringList add(const QString &fileName);
    static QStringList remove(const QString &fileName);

    // The folder of the last file opened or saved; empty before the first.
    static QString lastFolder();
};

#endif // RECENTFILES_H
