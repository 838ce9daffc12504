// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CONFIGFILE_H
#define CONFIGFILE_H

#include "moduletables.h"

#include <QJsonObject>
#include <QString>

#include <memory>

class Module;

// Reads a configuration file; an empty object when it cannot be opened, is
// not JSON or has no object at its top.
QJsonObject loadJsonObject(const QString &path);

// Writes the object as indented JSON. The old file stays as it was unless
// the whole new one reached the disk; false on any failure.
bool saveJsonObject(const QJsonObject &obj, const QString &path);

// Whether a loaded document is a configuration of the unit: it holds a
// "module" object.
bool isConfiguration(const QJsonObject &root);

// A module or board type of the document the program does not know, as
// "неизвестный тип модуля 99" or "неизвестный тип субмодуля 77"; empty when
// every type is known (a module without a type is taken as it is).
QString unknownContents(const QJsonObject &root);

// A configuration file as the windows open it: a module of the file's type
// (-1 when the file names none) built from the file. Null for a file that
// cannot be read, is not a configuration or holds a type the program does not
// know, with the reason in *error.
std::unique_ptr<Module> loadModule(const QString &path, QString *error = nullptr);

// A module built from a configuration document already in memory (a file's
// contents or a configuration read from a unit), of the type it names.
std::unique_ptr<Module> moduleFromJson(const QJsonObject &root);

// A unit's register image as the windows decode it: a module of the type in
// word 0, its boards and channels decoded from the image.
std::unique_ptr<Module> moduleFromTables(const ModuleTables &tables);

// Why a file does not fit the unit, for a non-zero Device::compare result:
// "Ошибка: " and the reason, or "Неизвестная ошибка".
QString fileCheckReason(int compareResult);
// The warning shown for it: "Не верная конфигурация загружаемого модуля. " and the reason.
QString fileCheckWarning(int compareResult);

#endif // CONFIGFILE_H
