// SPDX-License-Identifier: GPL-3.0-or-later
#include "module.h"
#include "modellogging.h"

#include "channel.h"
#include "codes.h"
#include "property.h"
#include "submodule.h"
#include "tableaccess.h"

#include <QDebug>
#include <QJsonArray>

#include <algorithm>

namespace {

using Word = ModuleTables::ModuleWord;
constexpr Word WordFirmware = ModuleTables::WordFirmware;
constexpr Word WordErrors = ModuleTables::WordErrors;
constexpr Word WordLockTimeout = ModuleTables::WordLockTimeout;
constexpr Word WordAddress = ModuleTables::WordAddress;
constexpr Word WordPort = ModuleTables::WordPort;
constexpr Word WordResponseDelay = ModuleTables::WordResponseDelay;
constexpr Word WordIp1 = ModuleTables::WordIp1;
constexpr Word WordIp2 = ModuleTables::WordIp2;
constexpr Word WordMask1 = ModuleTables::WordMask1;
constexpr Word WordMask2 = ModuleTables::WordMask2;
constexpr Word WordGate1 = ModuleTables::WordGate1;
constexpr Word WordGate2 = ModuleTables::WordGate2;
constexpr int EncodedBlockSize = ModuleTables::EncodedBlockSize;

// File key and the parameter it holds.
struct FileKey
{
    QString key;
    QString name;
};

const QList<FileKey> &fileKeys()
{
    static const QList<FileKey> keys = {
        {QStringLiteral("DEV_TYPE"), ModuleParam::Type},
        {QStringLiteral("SF_REV"), ModuleParam::Firmware},
        {QStringLiteral("DEV_STATE"), ModuleParam::Errors},
        {QStringLiteral("WDT"), ModuleParam::LockTimeout},
        {QStringLiteral("DEV_ADDR"), ModuleParam::Address},
        {QStringLiteral("PORT_CFG"), ModuleParam::PortConfig},
        {QStringLiteral("RESP_DELAY"), ModuleParam::ResponseDelay},
        {QStringLiteral("IP_1"), ModuleParam::Ip1},
        {QStringLiteral("IP_2"), ModuleParam::Ip2},
        {QStringLiteral("MASK_1"), ModuleParam::Mask1},
        {QStringLiteral("MASK_2"), ModuleParam::Mask2},
        {QStringLiteral("GATE_1"), ModuleParam::Gate1},
        {QStringLiteral("GATE_2"), ModuleParam::Gate2},
    };
    return keys;
}

// The parameters kept each in one module-block word as it is, with the name
// a range error gives them.
struct WordParam
{
    Word word;
    QString name;
    const char *what;
};

const QVector<WordParam> &plainWords()
{
    static const QVector<WordParam> words = {
        {WordAddress, ModuleParam::Address, "Modbus address"},
        {WordPort, ModuleParam::PortConfig, "port setting"},
        {WordResponseDelay, ModuleParam::ResponseDelay, "response delay"},
        {WordIp1, ModuleParam::Ip1, "IP-1"},
        {WordIp2, ModuleParam::Ip2, "IP-2"},
        {WordMask1, ModuleParam::Mask1, "MASK-1"},
        {WordMask2, ModuleParam::Mask2, "MASK-2"},
        {WordGate1, ModuleParam::Gate1, "GATE-1"},
        {WordGate2, ModuleParam::Gate2, "GATE-2"},
    };
    return words;
}

QString tenthsText(quint16 word)
{
    return QString::number(word / 10.0, 'g', 6);
}

// The file loader numbers every kind but ENI2; the decoder only the kinds up to TMP.
bool usesOrdinal(int type)
{
    return isSubmoduleType(type) && type != SubmoduleENI2;
}

} // namespace

Module::Module(int type, QObject *parent)
    : Device(parent)
{
    setValue(ModuleParam::Type, type);
    setValue(ModuleParam::Firmware, 0);
    setValue(ModuleParam::Errors, 0);
    setValue(ModuleParam::LockTimeout, 0);
    // 0 is the broadcast address: a module built offline must never write it
    // into a unit.
    setValue(ModuleParam::Address, 1);
    setValue(ModuleParam::ResponseDelay, 0);
    // Matches the derived rows below (1200 bit/s, no parity), so a module
    // built offline never writes baud code 0 into a unit.
    setValue(ModuleParam::PortConfig, FirstBaudCode);
    setValue(ModuleParam::BaudRate, FirstBaudCode);
    QMap<int, QString> baudNames;
    for (int i = 0; i < baudRateList().size(); ++i)
        baudNames.insert(i + FirstBaudCode, baudRateList().at(i));
    property(ModuleParam::BaudRate)->setEnumNames(baudNames);
    setValue(ModuleParam::Parity, 0);
    QMap<int, QString> parityNames;
    for (int i = 0; i < parityList().size(); ++i)
        parityNames.insert(i, parityList().at(i));
    property(ModuleParam::Parity)->setEnumNames(parityNames);
    setValue(ModuleParam::IpAddress, QStringLiteral("0.0.0.0"));
    setValue(ModuleParam::Ip1, 0);
    setValue(ModuleParam::Ip2, 0);
    setValue(ModuleParam::Mask, QStringLiteral("0.0.0.0"));
    setValue(ModuleParam::Mask1, 0);
    setValue(ModuleParam::Mask2, 0);
    setValue(ModuleParam::Gateway, QStringLiteral("0.0.0.0"));
    setValue(ModuleParam::Gate1, 0);
    setValue(ModuleParam::Gate2, 0);
}

Module::~Module() = default;

int Module::wordOf(const QString &name)
{
    for (const WordParam &entry : plainWords()) {
        if (entry.name == name)
            return entry.word;
    }
    // Rows decoded from a word, and the first word of a dotted address.
    static const QHash<QString, int> decoded = {
        {ModuleParam::Type, ModuleTables::WordModuleType},
        {ModuleParam::Firmware, WordFirmware},
        {ModuleParam::Errors, WordErrors},
        {ModuleParam::LockTimeout, WordLockTimeout},
        {ModuleParam::BaudRate, WordPort},
        {ModuleParam::Parity, WordPort},
        {ModuleParam::IpAddress, WordIp1},
        {ModuleParam::Mask, WordMask1},
        {ModuleParam::Gateway, WordGate1},
    };
    return decoded.value(name, -1);
}

QString Module::dottedAddress(quint16 high, quint16 low)
{
    return ModuleTables::wordsToDotted(high, low);
}

int Module::listCodeBase(const QString &name, int channelType)
{
    if (name == ModuleParam::BaudRate)
        return FirstBaudCode;
    if (name == ChannelParam::SignalType && channelType == TypeTemperatureInput)
        return FirstTemperatureSignalType;
    return 0;
}

namespace {

// The two register words of each dotted address row.
struct AddressWords
{
    const QString &row;
    const QString &high;
    const QString &low;
};

const AddressWords *addressWordsOf(const QString &row)
{
    static const AddressWords rows[] = {
        {ModuleParam::IpAddress, ModuleParam::Ip1, ModuleParam::Ip2},
        {ModuleParam::Mask, ModuleParam::Mask1, ModuleParam::Mask2},
        {ModuleParam::Gateway, ModuleParam::Gate1, ModuleParam::Gate2},
    };
    for (const AddressWords &words : rows) {
        if (words.row == row)
            return &words;
    }
    return nullptr;
}

} // namespace

bool Module::isDottedAddress(const QString &row)
{
    return addressWordsOf(row) != nullptr;
}

bool Module::setDottedAddress(const QString &row, const QString &text)
{
    const AddressWords *words = addressWordsOf(row);
    quint16 high = 0;
    quint16 low = 0;
    if (!words || !ModuleTables::dottedToWords(text, &high, &low)) {
        qCDebug(lcModel) << "Address text refused:" << text;
        return false;
    }
    setValue(words->high, int(high));
    setValue(words->low, int(low));
    // The row's own parameter keeps the text too, and its edit mark, so a rebuild shows
    // the address that will be written.
    if (Property *shown = property(row))
        shown->setValue(text);
    else
        setValue(row, text);
    return true;
}

void Module::updatePortWord()
{
    setValue(ModuleParam::PortConfig,
             int(ModuleTables::encodePortWord(value(ModuleParam::BaudRate).toInt(),
                                              value(ModuleParam::Parity).toInt())));
}

Device *Module::createSubmodule(int type)
{
    return isSubmoduleType(type) ? new Submodule(type, this) : nullptr;
}

QList<Submodule *> Module::submodules() const
{
    QList<Submodule *> list;
    for (QObject *child : children()) {
        if (auto *submodule = qobject_cast<Submodule *>(child))
            list.append(submodule);
    }
    std::stable_sort(list.begin(), list.end(), [](Submodule *a, Submodule *b) {
        return a->value(SubmoduleParam::Slot).toInt() < b->value(SubmoduleParam::Slot).toInt();
    });
    return list;
}

Submodule *Module::placeSubmodule(int type, int slot)
{
    auto *submodule = qobject_cast<Submodule *>(createSubmodule(type));
    if (!submodule)
        return nullptr;
    submodule->setValue(SubmoduleParam::Slot, slot);
    renumberChannels();
    return submodule;
}

void Module::removeSubmodule(Submodule *submodule)
{
    if (!submodule || submodule->parent() != this)
        return;
    delete submodule;
    renumberChannels();
}

std::unique_ptr<Submodule> Module::takeSubmodule(Submodule *submodule)
{
    if (!submodule || submodule->parent() != this)
        return nullptr;
    submodule->setParent(nullptr);
    renumberChannels();
    return std::unique_ptr<Submodule>(submodule);
}

void Module::insertSubmodule(std::unique_ptr<Submodule> submodule)
{
    if (!submodule)
        return;
    submodule.release()->setParent(this);
    renumberChannels();
}

int Module::renumberChannels()
{
    int next[FamilyCount] = {};
    int changed = 0;
    const QList<Submodule *> boards = submodules();
    for (Submodule *board : boards)
        changed += board->renumber(next);
    return changed;
}

void Module::fromTables(ModuleTables dataModule)
{
    const QVector<quint16> t = dataModule.moduleTable();
    if (t.size() < ModuleTables::ModuleBlockSize)
        return;

    setValue(ModuleParam::Firmware, tenthsText(t.at(WordFirmware)));
    setValue(ModuleParam::Errors, QString::number(t.at(WordErrors)));
    setValue(ModuleParam::LockTimeout, tenthsText(t.at(WordLockTimeout)));
    setValue(ModuleParam::Address, QString::number(t.at(WordAddress)));
    setValue(ModuleParam::ResponseDelay, QString::number(t.at(WordResponseDelay)));
    const quint16 port = t.at(WordPort);
    setValue(ModuleParam::PortConfig, QString::number(port));
    setValue(ModuleParam::BaudRate, ModuleTables::baudCodeOf(port));
    setValue(ModuleParam::Parity, ModuleTables::parityCodeOf(port));
    setValue(ModuleParam::Ip1, int(t.at(WordIp1)));
    setValue(ModuleParam::Ip2, int(t.at(WordIp2)));
    setValue(ModuleParam::IpAddress, dottedAddress(t.at(WordIp1), t.at(WordIp2)));
    setValue(ModuleParam::Mask1, int(t.at(WordMask1)));
    setValue(ModuleParam::Mask2, int(t.at(WordMask2)));
    setValue(ModuleParam::Mask, dottedAddress(t.at(WordMask1), t.at(WordMask2)));
    setValue(ModuleParam::Gate1, int(t.at(WordGate1)));
    setValue(ModuleParam::Gate2, int(t.at(WordGate2)));
    setValue(ModuleParam::Gateway, dottedAddress(t.at(WordGate1), t.at(WordGate2)));

    int seen[LastSubmoduleType + 1] = {};
    for (int slot = 0; slot < ModuleTables::SlotCount; ++slot) {
        const quint16 code = t.at(ModuleTables::FirstSlotWord + slot);
        if (!isSubmoduleType(code))
            continue;
        Device *submodule = createSubmodule(code);
        Q_ASSERT(submodule);
        submodule->setValue(SubmoduleParam::Slot, slot);
        if (code <= SubmoduleTMP)
            submodule->setValue(SubmoduleParam::Ordinal, seen[code]);
        ++seen[code];
        submodule->fromTables(dataModule);
    }
}

ModuleTables Module::toTables(ModuleTables dataModule) const
{
    dataModule = Device::toTables(dataModule);

    QVector<quint16> t = dataModule.moduleTable();
    if (t.size() >= EncodedBlockSize) {
        quint16 word = 0;
        if (TableAccess::toTenthsWord(value(ModuleParam::LockTimeout), "lock time-out", &word))
            t[WordLockTimeout] = word;
        for (const WordParam &entry : plainWords()) {
            if (TableAccess::toWord(value(entry.name), entry.what, &word))
                t[entry.word] = word;
        }
        dataModule.setModuleTable(t);
    } else {
        qCDebug(lcModel) << "Module block too short to encode:" << t.size();
    }

    for (Device *child : childDevices())
        dataModule = child->toTables(dataModule);
    return dataModule;
}

int Module::settleMarks(const ModuleTables &unit)
{
    Module held(value(ModuleParam::Type).toInt());
    held.fromTables(unit);
    return Device::settleMarks(held);
}

int Module::markUnread(const ModuleTables &low, const ModuleTables &high)
{
    Module lowModule(value(ModuleParam::Type).toInt());
    lowModule.fromTables(low);
    Module highModule(value(ModuleParam::Type).toInt());
    highModule.fromTables(high);
    return Device::markUnread(lowModule, highModule);
}

// Boards pair by slot, whatever order they were added in.
QList<Device *> Module::pairedChildren() const
{
    QList<Device *> boards;
    for (Submodule *submodule : submodules())
        boards.append(submodule);
    return boards;
}

QJsonObject Module::toJson() const
{
    QJsonObject module;
    for (const FileKey &entry : fileKeys())
        module.insert(entry.key, value(entry.name).toString());
    QJsonArray submodules;
    for (Device *child : childDevices())
        submodules.append(child->toJson());
    QJsonObject root;
    root.insert(QStringLiteral("module"), module);
    root.insert(QStringLiteral("submodules"), submodules);
    return root;
}

void Module::fromJson(const QJsonObject &root)
{
    const QJsonObject module = root.value(QStringLiteral("module")).toObject();
    quint16 words[WordGate2 + 1] = {};
    const QHash<QString, int> addressWords = {
        {QStringLiteral("IP_1"), WordIp1},     {QStringLiteral("IP_2"), WordIp2},
        {QStringLiteral("MASK_1"), WordMask1}, {QStringLiteral("MASK_2"), WordMask2},
        {QStringLiteral("GATE_1"), WordGate1}, {QStringLiteral("GATE_2"), WordGate2},
    };
    for (const QString &key : module.keys()) {
        const auto entry = std::find_if(fileKeys().begin(), fileKeys().end(),
                                        [&key](const FileKey &k) { return k.key == key; });
        if (entry == fileKeys().end())
            continue;
        const QString text = module.value(key).toString();
        setValue(entry->name, text);
        if (entry->name == ModuleParam::PortConfig) {
            const int port = text.toInt();
            setValue(ModuleParam::BaudRate, ModuleTables::baudCodeOf(port));
            setValue(ModuleParam::Parity, ModuleTables::parityCodeOf(port));
        } else if (addressWords.contains(key)) {
            words[addressWords.value(key)] = text.toUShort();
        }
    }
    setValue(ModuleParam::IpAddress, dottedAddress(words[WordIp1], words[WordIp2]));
    setValue(ModuleParam::Mask, dottedAddress(words[WordMask1], words[WordMask2]));
    setValue(ModuleParam::Gateway, dottedAddress(words[WordGate1], words[WordGate2]));

    const QJsonArray elements = root.value(QStringLiteral("submodules")).toArray();
    bool slotTaken[ModuleTables::SlotCount] = {};
    for (Submodule *present : submodules()) {
        const int slot = present->value(SubmoduleParam::Slot).toInt();
        if (slot >= 0 && slot < ModuleTables::SlotCount)
            slotTaken[slot] = true;
    }
    int seen[LastSubmoduleType + 1] = {};
    for (const QJsonValue &element : elements) {
        const QJsonObject obj = element.toObject();
        const int type = obj.value(QStringLiteral("TYPE_SUBMODULE")).toString().toInt();
        const int slot = obj.value(QStringLiteral("POSITION_SUBMODULE")).toString().toInt();
        if (!isSubmoduleType(type))
            continue;
        // A unit has six slots: a board outside them or on top of another
        // would give a module no unit can have.
        if (slot < 0 || slot >= ModuleTables::SlotCount || slotTaken[slot]) {
            qCDebug(lcModel) << "Submodule skipped, slot out of range or taken:" << slot;
            continue;
        }
        slotTaken[slot] = true;
        Device *submodule = createSubmodule(type);
        Q_ASSERT(submodule);
        submodule->setValue(SubmoduleParam::Slot, slot);
        if (usesOrdinal(type))
            submodule->setValue(SubmoduleParam::Ordinal, seen[type]);
        ++seen[type];
        submodule->fromJson(obj);
    }
    // A file may number the channels in the order its boards were added; the
    // unit numbers them by slot, and so do the registers they are written to.
    if (const int corrected = renumberChannels())
        qCDebug(lcModel) << "Channel numbers of the file corrected to slot order:" << corrected;
}

CompareResult Module::compare(const Device *other) const
{
    const auto *module = qobject_cast<const Module *>(other);
    if (!module)
        return CompareNotModule;
    if (value(ModuleParam::Type) != module->value(ModuleParam::Type)) {
        qCDebug(lcModel) << "Type module does not match";
        return CompareModuleType;
    }
    const QList<Submodule *> ours = submodules();
    const QList<Submodule *> others = module->submodules();
    if (ours.size() != others.size()) {
        qCDebug(lcModel) << "Different number of submodules";
        return CompareSubmoduleCount;
    }
    // Every board is compared with the board in the same slot: a file is
    // written into the unit slot by slot.
    for (int i = 0; i < ours.size(); ++i) {
        const QVariant slot = ours.at(i)->value(SubmoduleParam::Slot);
        if (slot.toInt() != others.at(i)->value(SubmoduleParam::Slot).toInt()) {
            qCDebug(lcModel) << "Submodule slots do not match" << slot;
            return CompareSubmoduleType;
        }
        const CompareResult result = ours.at(i)->compare(others.at(i));
        if (result != CompareMatch)
            return result;
    }
    return CompareMatch;
}
