// SPDX-License-Identifier: GPL-3.0-or-later
#include "plant.h"

#include "csvwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cstring>

namespace {

// Plant files list units; this keeps a stray file from taking the memory.
constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

const QString KeyPlant = QStringLiteral("plant");
const QString KeyUnits = QStringLiteral("units");
const QStringList UnitKeys{QStringLiteral("name"), QStringLiteral("target"), QStringLiteral("file"),
                           QStringLiteral("notes")};

// The line of every key and array element of a JSON text that has already
// parsed, by path ("units/2/target"), and the first key repeated in an object
// (QJsonDocument keeps only the last of them).
class JsonLines
{
public:
    explicit JsonLines(const QByteArray &text)
        : m_text(text)
    {
        value(QString());
    }

    int line(const QString &path) const { return m_lines.value(path, 1); }
    QString repeated() const { return m_repeated; }

private:
    void value(const QString &path)
    {
        skipSpace();
        const char c = peek();
        if (c == '{')
            members(path);
        else if (c == '[')
            elements(path);
        else if (c == '"')
            string();
        else
            while (m_at < m_text.size() && !strchr(",]} \t\r\n", peek()))
                ++m_at;
    }

    void members(const QString &path)
    {
        ++m_at;
        QSet<QString> seen;
        for (skipSpace(); peek() != '}'; skipSpace()) {
            skipComma();
            const int line = m_line;
            const QString key = path + QLatin1Char('/') + string();
            if (seen.contains(key) && m_repeated.isEmpty())
                m_repeated = key;
            seen.insert(key);
            m_lines.insert(key, line);
            skipSpace();
            ++m_at; // ':'
            value(key);
        }
        ++m_at;
    }

    void elements(const QString &path)
    {
        ++m_at;
        for (int i = 0; skipSpace(), peek() != ']'; ++i) {
            skipComma();
            const QString item = path + QLatin1Char('/') + QString::number(i);
            m_lines.insert(item, m_line);
            value(item);
        }
        ++m_at;
    }

    // A string literal, decoded.
    QString string()
    {
        const int start = m_at++;
        while (m_at < m_text.size() && peek() != '"')
            m_at += peek() == '\\' ? 2 : 1;
        ++m_at;
        const QByteArray literal = '[' + m_text.mid(start, m_at - start) + ']';
        return QJsonDocument::fromJson(literal).array().at(0).toString();
    }

    void skipSpace()
    {
        for (; m_at < m_text.size() && strchr(" \t\r\n", peek()); ++m_at)
            m_line += peek() == '\n';
    }

    void skipComma()
    {
        if (peek() != ',')
            return;
        ++m_at;
        skipSpace();
    }

    char peek() const { return m_at < m_text.size() ? m_text.at(m_at) : '\0'; }

    const QByteArray &m_text;
    int m_at = 0;
    int m_line = 1;
    QHash<QString, int> m_lines;
    QString m_repeated;
};

// The reason a plant is refused, with its line.
bool refuse(const JsonLines &lines, const QString &path, const QString &reason, QString *error)
{
    *error = QStringLiteral("строка %1: %2").arg(lines.line(path)).arg(reason);
    return false;
}

QString keyName(const QString &path)
{
    return path.section(QLatin1Char('/'), -1);
}

bool readUnit(const QJsonValue &value, const QString &path, const JsonLines &lines, PlantUnit *unit,
              QString *error)
{
    if (!value.isObject())
        return refuse(lines, path, QStringLiteral("модуль должен быть объектом {…}"), error);
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = path + QLatin1Char('/') + it.key();
        if (!UnitKeys.contains(it.key()))
            return refuse(lines, key,
                          QStringLiteral("неизвестный ключ «%1» (нужны name, target, file, notes)")
                              .arg(it.key()),
                          error);
        if (!it.value().isString())
            return refuse(lines, key,
                          QStringLiteral("значение «%1» должно быть строкой").arg(it.key()), error);
    }
    for (const char *required : {"name", "target"}) {
        if (object.value(QLatin1String(required)).toString().trimmed().isEmpty())
            return refuse(lines, path, QStringLiteral("у модуля нет «%1»").arg(required), error);
    }
    unit->name = object.value(UnitKeys.at(0)).toString().trimmed();
    unit->target = object.value(UnitKeys.at(1)).toString().trimmed();
    unit->file = object.value(UnitKeys.at(2)).toString();
    unit->notes = object.value(UnitKeys.at(3)).toString();
    return true;
}

// A string as a JSON literal.
QByteArray quoted(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

} // namespace

bool Plant::load(const QString &path, const TargetCheck &check, Plant *plant, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // Qt's own reason is English; the user only needs to know which case it is.
        *error = file.exists() ? QStringLiteral("файл не открывается для чтения")
                               : QStringLiteral("нет файла");
        return false;
    }
    if (file.size() > MaxFileSize) {
        *error = QStringLiteral("файл слишком велик для файла объекта");
        return false;
    }
    Plant loaded;
    if (!parse(file.readAll(), check, &loaded, error))
        return false;
    loaded.m_folder = QFileInfo(path).absolutePath();
    *plant = loaded;
    return true;
}

bool Plant::parse(const QByteArray &text, const TargetCheck &check, Plant *plant, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        const int line = text.left(parseError.offset).count('\n') + 1;
        *error = QStringLiteral("строка %1: не JSON (%2)").arg(line).arg(parseError.errorString());
        return false;
    }
    const JsonLines lines(text);
    if (!document.isObject())
        return refuse(lines, QString(),
                      QStringLiteral("нужен объект {\"plant\": …, \"units\": […]}"), error);
    if (!lines.repeated().isEmpty())
        return refuse(lines, lines.repeated(),
                      QStringLiteral("ключ «%1» повторяется").arg(keyName(lines.repeated())),
                      error);
    const QJsonObject root = document.object();
    for (const QString &key : root.keys()) {
        if (key != KeyPlant && key != KeyUnits)
            return refuse(lines, QLatin1Char('/') + key,
                          QStringLiteral("неизвестный ключ «%1» (нужны plant и units)").arg(key),
                          error);
    }
    if (!root.value(KeyPlant).isString())
        return refuse(lines, QStringLiteral("/plant"),
                      QStringLiteral("нужно название объекта: \"plant\": \"…\""), error);
    if (!root.value(KeyUnits).isArray())
        return refuse(lines, QStringLiteral("/units"),
                      QStringLiteral("нужен список модулей: \"units\": […]"), error);

    Plant read;
    read.m_name = root.value(KeyPlant).toString();
    QHash<QString, QString> firstOf; // name -> path of the unit that has it
    const QJsonArray units = root.value(KeyUnits).toArray();
    read.m_units.reserve(units.size());
    for (int i = 0; i < units.size(); ++i) {
        const QString path = QStringLiteral("/units/%1").arg(i);
        PlantUnit unit;
        if (!readUnit(units.at(i), path, lines, &unit, error))
            return false;
        QString reason;
        if (check && !check(unit.target, &reason))
            return refuse(lines, path + QStringLiteral("/target"), reason, error);
        if (firstOf.contains(unit.name))
            return refuse(lines, path + QStringLiteral("/name"),
                          QStringLiteral("имя «%1» уже есть у модуля в строке %2")
                              .arg(unit.name)
                              .arg(lines.line(firstOf.value(unit.name) + QStringLiteral("/name"))),
                          error);
        firstOf.insert(unit.name, path);
        read.m_units.append(unit);
    }
    *plant = read;
    return true;
}

QByteArray Plant::toJson() const
{
    QByteArray text = "{\n    \"plant\": " + quoted(m_name) + ",\n    \"units\": [";
    for (int i = 0; i < m_units.size(); ++i) {
        const PlantUnit &unit = m_units.at(i);
        const QString values[] = {unit.name, unit.target, unit.file, unit.notes};
        text += i == 0 ? "\n        {" : ",\n        {";
        QList<QByteArray> fields;
        for (int k = 0; k < UnitKeys.size(); ++k) {
            if (k < 2 || !values[k].isEmpty())
                fields << "\n            " + quoted(UnitKeys.at(k)) + ": " + quoted(values[k]);
        }
        text += fields.join(',') + "\n        }";
    }
    text += m_units.isEmpty() ? "]\n}\n" : "\n    ]\n}\n";
    return text;
}

bool Plant::save(const QString &path, QString *error) const
{
    return writeFileAtomically(path, toJson(), error);
}

bool Plant::addUnit(const PlantUnit &unit)
{
    if (this->unit(unit.name))
        return false;
    m_units.append(unit);
    return true;
}

const PlantUnit *Plant::unit(const QString &name) const
{
    for (const PlantUnit &unit : m_units) {
        if (unit.name == name)
            return &unit;
    }
    return nullptr;
}

QString Plant::filePath(const PlantUnit &unit) const
{
    return unit.file.isEmpty() ? QString() : QDir(m_folder).filePath(unit.file);
}
