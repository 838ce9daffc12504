// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef APPSETTINGS_H
#define APPSETTINGS_H

#include <QString>
#include <QVariant>

// What the configurator remembers between runs (connection fields, window
// layout, folders, recent files). The program names the user's settings file
// at start-up; until someone names a file nothing is kept, so windows built by
// tests neither read nor leave a user's settings.
class AppSettings
{
public:
    // The user's own file (INI format in the user's configuration folder).
    static void useUserFile();
    // Any file, e.g. a test's temporary one; empty: keep nothing.
    static void useFile(const QString &fileName);
    static QString fileName();

    static QVariant value(const QString &key, const QVariant &fallback = QVariant());
    static void setValue(const QString &key, const QVariant &value);
};

#endif // APPSETTINGS_H
