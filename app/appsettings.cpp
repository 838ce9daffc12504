// SPDX-License-Identifier: GPL-3.0-or-later
#include "appsettings.h"

#include <QSettings>

namespace {

QString &settingsFile()
{
    static QString fileName;
    return fileName;
}

} // namespace

void AppSettings::useUserFile()
{
    const QSettings user(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("virat"),
                         QStringLiteral("brk-configurator"));
    useFile(user.fileName());
}

void AppSettings::useFile(const QString &fileName)
{
    settingsFile() = fileName;
}

QString AppSettings::fileName()
{
    return settingsFile();
}

QVariant AppSettings::value(const QString &key, const QVariant &fallback)
{
    if (settingsFile().isEmpty())
        return fallback;
    return QSettings(settingsFile(), QSettings::IniFormat).value(key, fallback);
}

void AppSettings::setValue(const QString &key, const QVariant &value)
{
    if (settingsFile().isEmpty())
        return;
    QSettings(settingsFile(), QSettings::IniFormat).setValue(key, value);
}
