// SPDX-License-Identifier: GPL-3.0-or-later
#include "plantrunner.h"

#include "unitscripts.h"

#include <backuparchive.h>
#include <codes.h>
#include <configdiff.h>
#include <configfile.h>
#include <journal.h>
#include <module.h>

#include <QJsonArray>

void PlantRunner::addDifferences(const QVector<ConfigDiff::Difference> &differences,
                                 const QString &prefix, UnitResult *result)
{
    QJsonArray json;
    for (const ConfigDiff::Difference &d : differences) {
        result->lines << prefix + d.toString();
        json.append(QJsonObject{{QStringLiteral("path"), d.path},
                                {QStringLiteral("left"), d.left},
                                {QStringLiteral("right"), d.right}});
    }
    result->data.insert(QStringLiteral("differences"), json);
}

void PlantRunner::describeBlock(const QVector<quint16> &block, UnitResult *result)
{
    QJsonArray boards;
    for (int slot = 0; slot < ModuleTables::SlotCount; ++slot) {
        const int code = block.value(ModuleTables::FirstSlotWord + slot);
        boards.append(code == 0 ? QString() : submoduleTypeName(code));
    }
    result->data.insert(QStringLiteral("type"),
                        moduleTypeName(block.value(ModuleTables::WordModuleType)));
    result->data.insert(QStringLiteral("firmware"),
                        QString::number(block.value(ModuleTables::WordFirmware) / 10.0, 'f', 1));
    result->data.insert(QStringLiteral("boards"), boards);
}

void PlantRunner::readStatus(UnitSession *unit)
{
    unit->open([unit] {
        unit->readModuleBlock(false, [unit](const QVector<quint16> &block) {
            describeBlock(block, &unit->result());
            unit->finish(StatusOk, QString());
        });
    });
}

void PlantRunner::check(UnitSession *unit, const QString &path, const QString &name)
{
    UnitScripts::readImage(unit, [path, name](UnitSession *unit, const ModuleTables &tables) {
        describeBlock(tables.moduleTable(), &unit->result());
        QString error;
        const std::unique_ptr<Module> file = loadModule(path, &error);
        if (!file) {
            unit->finish(StatusUsage, error);
            return;
        }
        ConfigDiff::Options options;
        options.ignoreLink = true;
        const auto differences = ConfigDiff::compare(*file, *moduleFromTables(tables), options);
        addDifferences(differences, name + QStringLiteral(": "), &unit->result());
        if (differences.isEmpty())
            unit->finish(StatusOk, QStringLiteral("совпадает с файлом"));
        else
            unit->finish(StatusDiffer,
                         QStringLiteral("отличается: %1 параметров").arg(differences.size()));
    });
}

void PlantRunner::backUp(UnitSession *unit, const QString &root, const QString &name)
{
    UnitScripts::readImage(unit, [root, name](UnitSession *unit, const ModuleTables &tables) {
        describeBlock(tables.moduleTable(), &unit->result());
        const std::unique_ptr<Module> module = moduleFromTables(tables);
        QString path;
        QString error;
        const auto added = BackupArchive(root).add(name, *module, QDateTime::currentDateTimeUtc(),
                                                   &path, &error);
        if (added == BackupArchive::Added::Failed) {
            unit->finish(StatusUsage, QStringLiteral("копия не сохранена: %1").arg(error));
            return;
        }
        const bool stored = added == BackupArchive::Added::Stored;
        unit->result().data.insert(QStringLiteral("newVersion"), stored);
        if (!stored) {
            unit->finish(StatusOk, QStringLiteral("без изменений"));
            return;
        }
        unit->result().data.insert(QStringLiteral("version"), path);
        unit->result().lines << QStringLiteral("%1: новая версия %2").arg(name, path);
        unit->finish(StatusOk, QString());
    });
}

void PlantRunner::readConfiguration(UnitSession *unit)
{
    UnitScripts::readImage(unit, [](UnitSession *unit, const ModuleTables &tables) {
        unit->result().data.insert(QStringLiteral("configuration"),
                                   moduleFromTables(tables)->toJson());
        unit->finish(StatusOk, QString());
    });
}

std::unique_ptr<Module> PlantRunner::reportModule(const Plant &plant, const PlantUnit &plantUnit,
                                                  const UnitResult &result, QString *title)
{
    *title = plantUnit.name;
    if (result.status == StatusOk) {
        auto module = std::make_unique<Module>(-1);
        module->fromJson(result.data.value(QStringLiteral("configuration")).toObject());
        return module;
    }
    *title += QStringLiteral(" (модуль не ответил, по файлу)");
    if (plantUnit.file.isEmpty())
        return nullptr;
    return loadModule(plant.filePath(plantUnit));
}

void PlantRunner::writeFile(UnitSession *unit, const Plant &plant, const PlantUnit &plantUnit)
{
    UnitScripts::WriteOptions write;
    write.keepLink = true;
    write.journal = {Journal::besidePlant(plant.folder()), plantUnit.name};
    UnitScripts::writeFile(unit, plant.filePath(plantUnit), write);
}
