// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PLANT_H
#define PLANT_H

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>

// One unit of a plant: how it is reached (a brkctl target) and the file of
// its intended configuration, relative to the plant file's folder.
struct PlantUnit
{
    QString name;
    QString target;
    QString file;
    QString notes;
};

// A plant file (.brplant): the units a site keeps, in a JSON document meant
// to be kept under version control (one key per line, keys in a fixed order).
//
//     Plant plant;
//     if (!Plant::load(path, &Target::check, &plant, &error)) // "строка 7: …"
//         …;
class Plant
{
public:
    // Whether a target text is valid; false with the reason.
    using TargetCheck = std::function<bool(const QString &target, QString *reason)>;

    // Reads and checks a plant; false with "строка N: reason" in *error, the
    // plant left as it was.
    static bool load(const QString &path, const TargetCheck &check, Plant *plant, QString *error);
    static bool parse(const QByteArray &text, const TargetCheck &check, Plant *plant,
                      QString *error);

    QByteArray toJson() const;
    bool save(const QString &path, QString *error) const;

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    const QVector<PlantUnit> &units() const { return m_units; }
    // False when the name is taken.
    bool addUnit(const PlantUnit &unit);
    const PlantUnit *unit(const QString &name) const;

    // The folder the plant file is in; unit files, backups and the journal are beside it.
    QString folder() const { return m_folder; }
    void setFolder(const QString &folder) { m_folder = folder; }
    QString filePath(const PlantUnit &unit) const;

private:
    QString m_name;
    QVector<PlantUnit> m_units;
    QString m_folder;
};

#endif // PLANT_H
