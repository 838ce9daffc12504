// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef RECENTFILES_H
#define RECENTFILES_H

#include <QObject>
#include <QStringList>

// The configuration files used last, newest first, kept in the settings.
// Every change is announced, so each window's menu follows the list.
class RecentFiles : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxCount = 8;

    static QStringList load();
    // Puts the file first (once), drops the oldest beyond MaxCount, and stores the list.
    static QStringList add(const QString &fileName);
    static QStringList remove(const QString &fileName);

    // The folder of the last file opened or saved; empty before the first.
    static QString lastFolder();

    // The one object that announces changes.
    static RecentFiles *instance();

signals:
    void changed();

private:
    RecentFiles() = default;
};

#endif // RECENTFILES_H
