// SPDX-License-Identifier: GPL-3.0-or-later
#include "configfile.h"

#include "codes.h"
#include "csvwriter.h"
#include "modellogging.h"
#include "module.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace {
// Real configurations are a few kilobytes; this keeps a hostile file from
// taking the memory of the whole machine.
constexpr qint64 MaxFileSize = 16 * 1024 * 1024;
constexpr qint64 ChunkSize = 64 * 1024;
} // namespace

QJsonObject loadJsonObject(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcModel, "Couldn't open save file.");
        return QJsonObject();
    }
    // Read in chunks: a single read(MaxFileSize + 1) would reserve the whole
    // limit for every file, however small.
    QByteArray data;
    while (data.size() <= MaxFileSize) {
        const QByteArray chunk = file.read(qMin<qint64>(ChunkSize, MaxFileSize + 1 - data.size()));
        if (chunk.isEmpty())
            break;
        data += chunk;
    }
    if (data.size() > MaxFileSize) {
        qCWarning(lcModel) << "Configuration file too large:" << path;
        return QJsonObject();
    }
    return QJsonDocument::fromJson(data).object();
}

bool isConfiguration(const QJsonObject &root)
{
    return root.value(QStringLiteral("module")).isObject();
}

bool saveJsonObject(const QJsonObject &obj, const QString &path)
{
    QString error;
    if (!writeFileAtomically(path, QJsonDocument(obj).toJson(), &error)) {
        qCWarning(lcModel) << "Couldn't write save file:" << path << error;
        return false;
    }
    return true;
}

QString unknownContents(const QJsonObject &root)
{
    const QString type = root.value(QStringLiteral("module"))
                             .toObject()
                             .value(QStringLiteral("DEV_TYPE"))
                             .toVariant()
                             .toString();
    if (!type.isEmpty() && !isModuleType(type.toInt()))
        return QStringLiteral("неизвестный тип модуля %1").arg(type);
    const QJsonArray boards = root.value(QStringLiteral("submodules")).toArray();
    for (const QJsonValue &board : boards) {
        const QString code
            = board.toObject().value(QStringLiteral("TYPE_SUBMODULE")).toVariant().toString();
        if (!isSubmoduleType(code.toInt()))
            return QStringLiteral("неизвестный тип субмодуля %1").arg(code);
    }
    return QString();
}

std::unique_ptr<Module> moduleFromJson(const QJsonObject &root)
{
    auto module = std::make_unique<Module>(-1);
    module->fromJson(root);
    return module;
}

std::unique_ptr<Module> loadModule(const QString &path, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    QString reason;
    if (!QFileInfo(path).isReadable()) {
        reason = QStringLiteral("Не удалось открыть файл %1").arg(shown);
    } else {
        // Anything else would open as an empty configuration, or without the
        // boards it does not know, which a save would then write over the file.
        const QJsonObject root = loadJsonObject(path);
        const QString unknown = unknownContents(root);
        if (isConfiguration(root) && unknown.isEmpty())
            return moduleFromJson(root);
        reason = QStringLiteral("Файл %1 не является файлом конфигурации модуля").arg(shown);
        if (!unknown.isEmpty())
            reason += QStringLiteral(": ") + unknown;
    }
    if (error)
        *error = reason;
    return nullptr;
}

std::unique_ptr<Module> moduleFromTables(const ModuleTables &tables)
{
    auto module = std::make_unique<Module>(tables.moduleType());
    module->fromTables(tables);
    return module;
}

QString fileCheckReason(int compareResult)
{
    static const char *const reasons[] = {
        "невозможно открыть модуль",    "разные типы модулей",    "разное кол-во субмодулей",
        "невозможно открыть субмодуль", "разные типы субмодулей", "разное кол-во каналов",
        "невозможно открыть канал",     "разные типы каналов",
    };
    if (compareResult >= CompareNotModule && compareResult <= CompareChannelType)
        return QStringLiteral("Ошибка: ") + QString::fromUtf8(reasons[compareResult - 1]);
    return QStringLiteral("Неизвестная ошибка");
}

QString fileCheckWarning(int compareResult)
{
    return QStringLiteral("Не верная конфигурация загружаемого модуля. %1")
        .arg(fileCheckReason(compareResult));
}
