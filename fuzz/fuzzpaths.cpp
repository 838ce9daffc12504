// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzpaths.h"

#include "codes.h"
#include "configfile.h"
#include "module.h"
#include "submodule.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRK_LEAK_CHECKER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define BRK_LEAK_CHECKER 1
#endif
#ifdef BRK_LEAK_CHECKER
#include <sanitizer/lsan_interface.h>
#endif

namespace FuzzPaths {

namespace {

using Words = QVector<quint16>;

// One table of the image, reachable through its getter and setter.
struct Table
{
    const char *name;
    Words (ModuleTables::*get)() const;
    void (ModuleTables::*set)(const Words &);
};

const Table tables[] = {
    {"moduleTable", &ModuleTables::moduleTable, &ModuleTables::setModuleTable},
    {"pwmDOTable", &ModuleTables::pwmDOTable, &ModuleTables::setPwmDOTable},
    {"blockValuesDOTable", &ModuleTables::blockValuesDOTable, &ModuleTables::setBlockValuesDOTable},
    {"antibounceDITable", &ModuleTables::antibounceDITable, &ModuleTables::setAntibounceDITable},
    {"flagsAITable", &ModuleTables::flagsAITable, &ModuleTables::setFlagsAITable},
    {"limitsAITable", &ModuleTables::limitsAITable, &ModuleTables::setLimitsAITable},
    {"typesValueAITable", &ModuleTables::typesValueAITable, &ModuleTables::setTypesValueAITable},
    {"flagsAOTable", &ModuleTables::flagsAOTable, &ModuleTables::setFlagsAOTable},
    {"limitsAOTable", &ModuleTables::limitsAOTable, &ModuleTables::setLimitsAOTable},
    {"typesValueAOTable", &ModuleTables::typesValueAOTable, &ModuleTables::setTypesValueAOTable},
    {"blockValuesAOTable", &ModuleTables::blockValuesAOTable, &ModuleTables::setBlockValuesAOTable},
};
constexpr int TableCount = int(sizeof(tables) / sizeof(tables[0]));

// Marks the words no channel should touch when its numbers lie outside the image.
constexpr quint16 Sentinel = 0xA5A5;

QString sameLengths(const ModuleTables &before, const ModuleTables &after)
{
    for (const Table &t : tables) {
        const int was = (before.*t.get)().size();
        const int now = (after.*t.get)().size();
        if (was != now)
            return QStringLiteral("%1 changed its length from %2 to %3")
                .arg(t.name)
                .arg(was)
                .arg(now);
    }
    return QString();
}

// Tables of 32-bit floats, two words each, the low half first.
bool holdsFloats(const Table &t)
{
    return t.get == &ModuleTables::limitsAITable || t.get == &ModuleTables::limitsAOTable
           || t.get == &ModuleTables::blockValuesAOTable;
}

// Floats compare by value: a file keeps a NaN as the text "nan", which loads
// as the one quiet NaN, and -0 as 0.
bool sameFloatWords(const Words &a, const Words &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); i += 2) {
        if (i + 1 == a.size())
            return a.at(i) == b.at(i);
        const float x = wordsToFloat(a.at(i), a.at(i + 1));
        const float y = wordsToFloat(b.at(i), b.at(i + 1));
        const bool same = x == y || (std::isnan(x) && std::isnan(y));
        if (!same)
            return false;
    }
    return true;
}

QString sameTables(const ModuleTables &a, const ModuleTables &b)
{
    for (const Table &t : tables) {
        const Words x = (a.*t.get)();
        const Words y = (b.*t.get)();
        if (holdsFloats(t) ? !sameFloatWords(x, y) : x != y)
            return QStringLiteral("%1 differs after a second decode and encode").arg(t.name);
    }
    if (a.countSubmodules() != b.countSubmodules() || a.countAI() != b.countAI()
        || a.countAO() != b.countAO() || a.countDI() != b.countDI() || a.countDO() != b.countDO())
        return QStringLiteral("channel counts differ");
    return QString();
}

// Writing back a freshly decoded image must give the unit what it already
// has. Allowed differences: the flag words keep only the format and
// multiplier bits and their spare word becomes 0, a coil becomes 0 or 1, and a
// module block too short to decode gets the module's own values (checked
// apart in foreignWordsKept).
QString unchangedByRewrite(const ModuleTables &in, const ModuleTables &out)
{
    const int blockSize = in.moduleTable().size();
    for (const Table &t : tables) {
        if (t.get == &ModuleTables::moduleTable && blockSize >= 16
            && blockSize < ModuleTables::ModuleBlockSize)
            continue;
        const bool flags
            = t.get == &ModuleTables::flagsAITable || t.get == &ModuleTables::flagsAOTable;
        const bool coils = t.get == &ModuleTables::blockValuesDOTable;
        const Words a = (in.*t.get)();
        const Words b = (out.*t.get)();
        for (int i = 0; i < a.size(); ++i) {
            bool same = a.at(i) == b.at(i);
            // A decoded -0 equals the parameter's initial 0 and is not stored.
            if (!same && holdsFloats(t) && i + 1 - i % 2 < a.size()) {
                const int lo = i - i % 2;
                same = wordsToFloat(a.at(lo), a.at(lo + 1)) == wordsToFloat(b.at(lo), b.at(lo + 1));
            }
            if (!same && flags)
                same = b.at(i) == (i % 2 == 0 ? (a.at(i) & 0x00F0) : 0);
            if (!same && coils)
                same = a.at(i) != 0 && b.at(i) == 1;
            if (!same)
                return QStringLiteral("%1[%2] rewritten from %3 to %4 without an edit")
                    .arg(t.name)
                    .arg(i)
                    .arg(a.at(i))
                    .arg(b.at(i));
        }
    }
    return QString();
}

// The module owns words 4 to 7 and 10 to 15 of its block; the others are
// the unit's and must come back as they were.
QString foreignWordsKept(const Words &before, const Words &after)
{
    for (int i = 0; i < before.size(); ++i) {
        const bool owned = (i >= 4 && i <= 7) || (i >= 10 && i <= 15);
        if ((!owned || before.size() < 16) && before.at(i) != after.at(i))
            return QStringLiteral("module block word %1 changed from %2 to %3")
                .arg(i)
                .arg(before.at(i))
                .arg(after.at(i));
    }
    return QString();
}

int boardCount(const Module &module)
{
    return module.submodules().size();
}

// A register image for the boards of a loaded module, every word a sentinel.
ModuleTables imageFor(const Module &module)
{
    Words block(ModuleTables::ModuleBlockSize, Sentinel);
    block[0] = 1;
    for (int i = 0; i < ModuleTables::SlotCount; ++i)
        block[ModuleTables::FirstSlotWord + i] = 0;
    for (Submodule *board : module.submodules())
        block[ModuleTables::FirstSlotWord + board->value(SubmoduleParam::Slot).toInt()]
            = quint16(board->submoduleType());
    ModuleTables image;
    image.setModuleTable(block);
    image.setTypesValueAITable(Words(image.countAI(), Sentinel));
    image.setLimitsAITable(Words(image.countAI() * 4, Sentinel));
    image.setFlagsAITable(Words(image.countAI() * 2, Sentinel));
    image.setTypesValueAOTable(Words(image.countAO(), Sentinel));
    image.setLimitsAOTable(Words(image.countAO() * 4, Sentinel));
    image.setFlagsAOTable(Words(image.countAO() * 2, Sentinel));
    image.setBlockValuesAOTable(Words(image.countAO() * 2, Sentinel));
    image.setAntibounceDITable(Words((image.countDI() + 15) / 16, Sentinel));
    image.setPwmDOTable(Words(image.countDO(), Sentinel));
    image.setBlockValuesDOTable(Words(image.countDO(), Sentinel));
    return image;
}

// What a module word must hold after encoding the text a file gave it:
// the number when it fits 16 bits, the old word when it does not.
QString moduleWordsFromFile(const QJsonObject &module, const Words &block)
{
    const struct
    {
        const char *key;
        int word;
    } keys[] = {{"DEV_ADDR", 5}, {"PORT_CFG", 6}, {"RESP_DELAY", 7}, {"IP_1", 10},  {"IP_2", 11},
                {"MASK_1", 12},  {"MASK_2", 13},  {"GATE_1", 14},    {"GATE_2", 15}};
    for (const auto &k : keys) {
        const QString text = module.value(QLatin1String(k.key)).toString();
        bool ok = false;
        const qint64 n = text.toLongLong(&ok);
        if (!ok)
            continue;
        const quint16 expected = (n >= 0 && n <= 0xFFFF) ? quint16(n) : Sentinel;
        if (block.at(k.word) != expected)
            return QStringLiteral("%1 \"%2\" encoded as %3").arg(k.key, text).arg(block.at(k.word));
    }
    bool ok = false;
    const QString wdt = module.value(QLatin1String("WDT")).toString();
    const double seconds = wdt.toDouble(&ok);
    if (ok && std::isfinite(seconds)) {
        const double tenths = std::trunc(seconds * 10.0);
        const quint16 expected = (tenths >= 0 && tenths <= 0xFFFF) ? quint16(tenths) : Sentinel;
        if (block.at(4) != expected)
            return QStringLiteral("WDT \"%1\" encoded as %2").arg(wdt).arg(block.at(4));
    }
    return QString();
}

// Qt 5.15's JSON parser leaks the earlier value of a key that appears twice
// when that value is a non-empty array ({"a":[1],"a":[]}). The leak is Qt's,
// so the leak checker skips the file load; everything the model does with
// the result is still checked.
QJsonObject loadSkippingQtParserLeak(const QString &path)
{
#ifdef BRK_LEAK_CHECKER
    __lsan::ScopedDisabler qtParser;
#endif
    return loadJsonObject(path);
}

} // namespace

ModuleTables tablesFromBytes(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const int size = bytes.size();
    int pos = TableCount;
    ModuleTables image;
    for (int t = 0; t < TableCount; ++t) {
        const int length = t < size ? data[t] : 0;
        Words words(length, 0);
        for (int i = 0; i < length; ++i, pos += 2) {
            if (pos + 1 < size)
                words[i] = quint16(data[pos] | (data[pos + 1] << 8));
        }
        (image.*tables[t].set)(words);
    }
    return image;
}

QByteArray bytesFromTables(const ModuleTables &image)
{
    QByteArray lengths, words;
    for (const Table &t : tables) {
        const Words table = (image.*t.get)();
        lengths.append(char(qMin(table.size(), 255)));
        for (int i = 0; i < qMin(table.size(), 255); ++i) {
            words.append(char(table.at(i) & 0xFF));
            words.append(char(table.at(i) >> 8));
        }
    }
    return lengths + words;
}

QString runTables(const QByteArray &bytes)
{
    const ModuleTables in = tablesFromBytes(bytes);
    const Words block = in.moduleTable();
    const int type = block.isEmpty() ? -1 : block.at(0);

    Module first(type);
    first.fromTables(in);
    if (boardCount(first) > ModuleTables::SlotCount)
        return QStringLiteral("more than six boards decoded");
    const ModuleTables out = first.toTables(in);
    QString fault = sameLengths(in, out);
    if (fault.isEmpty())
        fault = foreignWordsKept(block, out.moduleTable());
    if (fault.isEmpty())
        fault = unchangedByRewrite(in, out);
    if (!fault.isEmpty())
        return fault;

    Module second(type);
    second.fromTables(out);
    const int compared = first.compare(&second);
    if (compared != CompareMatch)
        return QStringLiteral("decoded modules compare as %1").arg(compared);
    fault = sameTables(out, second.toTables(out));
    if (!fault.isEmpty())
        return fault;

    // Saved to a file and opened again, the configuration must write the
    // same registers as the module it was saved from.
    Module loaded(-1);
    loaded.fromJson(QJsonDocument::fromJson(QJsonDocument(first.toJson()).toJson()).object());
    fault = sameTables(out, loaded.toTables(in));
    return fault.isEmpty() ? fault : fault + QStringLiteral(" (after a save and load)");
}

QString runConfigFile(const QByteArray &bytes, const QString &dir)
{
    const QString inPath = dir + QStringLiteral("/in.brcf");
    const QString outPath = dir + QStringLiteral("/out.brcf");
    {
        QFile file(inPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(bytes) != bytes.size())
            return QStringLiteral("cannot write the input file");
    }

    Module first(-1);
    first.fromJson(loadSkippingQtParserLeak(inPath));
    if (boardCount(first) > ModuleTables::SlotCount)
        return QStringLiteral("more than six boards loaded");

    const QJsonObject saved = first.toJson();
    if (!saveJsonObject(saved, outPath))
        return QStringLiteral("saving failed");
    const QJsonObject reloaded = loadSkippingQtParserLeak(outPath);
    if (reloaded != saved)
        return QStringLiteral("the saved file reads back different");

    Module second(-1);
    second.fromJson(reloaded);
    if (second.toJson() != saved)
        return QStringLiteral("loading the saved file gives another configuration");
    const int compared = first.compare(&second);
    if (compared != CompareMatch)
        return QStringLiteral("saved and reloaded modules compare as %1").arg(compared);

    const ModuleTables image = imageFor(first);
    const ModuleTables encoded = first.toTables(image);
    QString fault = sameLengths(image, encoded);
    if (fault.isEmpty())
        fault = foreignWordsKept(image.moduleTable(), encoded.moduleTable());
    if (fault.isEmpty())
        fault = moduleWordsFromFile(saved.value(QStringLiteral("module")).toObject(),
                                    encoded.moduleTable());
    return fault;
}

} // namespace FuzzPaths
