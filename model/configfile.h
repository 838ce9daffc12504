#ifndef CONFIGFILE_H
#define CONFIGFILE_H

#include <QJsonObject>
#include <QString>

// Reads a configuration file; an empty object when it cannot be opened, is
// not JSON or has no object at its top.
QJsonObject loadJsonObject(const QString &path);

// Writes the object as indented JSON. The old file stays as it was unless
// the whole new one reached the disk; false on any failure.
bool saveJsonObject(const QJsonObject &obj, const QString &path);

#endif // CONFIGFILE_H
