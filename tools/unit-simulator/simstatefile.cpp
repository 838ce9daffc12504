// SPDX-License-Identifier: GPL-3.0-or-later
#include "simstatefile.h"

#include "simunit.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

bool SimStateFile::load(const QString &path, const QList<SimUnit *> &units, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read state %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        *error = QStringLiteral("state %1 is not a JSON object: %2")
                     .arg(path, parseError.errorString());
        return false;
    }
    const QJsonArray saved = document.object().value(QStringLiteral("units")).toArray();
    QStringList problems;
    for (int i = 0; i < units.size() && i < saved.size(); ++i) {
        QString reason;
        if (!units.at(i)->loadConfiguration(saved.at(i).toObject(), &reason))
            problems << QStringLiteral("unit %1: %2").arg(i + 1).arg(reason);
    }
    if (!problems.isEmpty()) {
        *error = problems.join(QStringLiteral("; "));
        return false;
    }
    return true;
}

bool SimStateFile::save(const QString &path, const QList<SimUnit *> &units, QString *error)
{
    QJsonArray array;
    for (const SimUnit *unit : units)
        array.append(unit->saveConfiguration());
    const QByteArray data = QJsonDocument(QJsonObject{{QStringLiteral("units"), array}}).toJson();

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write state %1: %2").arg(path, file.errorString());
        return false;
    }
    // commit() replaces the file even after a failed write, so check each step.
    if (file.write(data) != data.size() || !file.flush()) {
        *error = QStringLiteral("cannot write state %1: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = QStringLiteral("cannot replace state %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
