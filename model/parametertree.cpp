// SPDX-License-Identifier: GPL-3.0-or-later
#include "parametertree.h"

#include "channel.h"
#include "codes.h"
#include "module.h"
#include "property.h"
#include "registermap.h"
#include "submodule.h"

namespace {

const QString Separator = QStringLiteral(" / ");
constexpr int ShownMatches = 3;

const QMap<int, QString> &offOnChoices()
{
    static const QMap<int, QString> choices{{0, QStringLiteral("Выкл")},
                                            {1, QStringLiteral("Вкл")}};
    return choices;
}

using Entry = ParameterTree::Entry;
using Kind = Entry::Kind;

Entry make(const QString &path, const Device *device, const QString &name, Kind kind)
{
    Entry entry;
    entry.path = path;
    entry.device = device;
    entry.name = name;
    entry.kind = kind;
    return entry;
}

Entry ranged(Entry entry, double minimum, double maximum, int decimals = 0)
{
    entry.minimum = minimum;
    entry.maximum = maximum;
    entry.decimals = decimals;
    return entry;
}

void addModuleEntries(const Module &module, QVector<Entry> *entries)
{
    const QString base = ParameterTree::ModuleGroup + Separator;
    const auto add = [&](const QString &name, Kind kind) {
        entries->append(make(base + name, &module, name, kind));
        entries->last().link = ModuleTables::isLinkWord(Module::wordOf(name));
        return &entries->last();
    };
    add(ModuleParam::Type, Kind::ReadOnly);
    add(ModuleParam::Firmware, Kind::ReadOnly);
    Entry *lockTimeout = add(ModuleParam::LockTimeout, Kind::Real);
    *lockTimeout = ranged(*lockTimeout, 0, ParameterTree::LockTimeoutMaximum, 1);
    Entry *address = add(ModuleParam::Address, Kind::Integer);
    *address = ranged(*address, ParameterTree::MinAddress, ParameterTree::MaxAddress);
    Entry *delay = add(ModuleParam::ResponseDelay, Kind::Integer);
    *delay = ranged(*delay, 0, ParameterTree::WordMaximum);
    for (const QString &name : {ModuleParam::BaudRate, ModuleParam::Parity}) {
        Entry *choice = add(name, Kind::Choice);
        if (const Property *p = module.property(name))
            choice->choices = p->enumNames();
    }
    for (const QString &name : {ModuleParam::IpAddress, ModuleParam::Mask, ModuleParam::Gateway})
        add(name, Kind::Address);
}

void addChannelEntries(const QString &base, int slot, const Channel *channel,
                       QVector<Entry> *entries)
{
    const int type = channel->value(ChannelParam::Type).toInt();
    const QString path
        = base + ParameterTree::channelName(type, channel->value(ChannelParam::Number).toInt())
          + Separator;
    const bool analog
        = type == TypeAnalogInput || type == TypeAnalogOutput || type == TypeTemperatureInput;
    for (const Property *p : channel->properties()) {
        const QString name = p->name();
        Entry entry = make(path + name, channel, name, Kind::Choice);
        entry.slot = slot;
        if (name == ChannelParam::SignalType || name == ChannelParam::DataFormat
            || name == ChannelParam::Multiplier) {
            if (!analog)
                continue;
            entry.choices = p->enumNames();
        } else if (name == ChannelParam::LowerLimit || name == ChannelParam::UpperLimit) {
            entry = ranged(entry, -ParameterTree::LimitBound, ParameterTree::LimitBound, 3);
            entry.kind = Kind::Real;
        } else if (name == ChannelParam::Antibounce) {
            entry.choices = offOnChoices();
        } else if (name == ChannelParam::Pwm) {
            entry = ranged(entry, 0, ParameterTree::PwmMaximum);
            entry.kind = Kind::Integer;
        } else if (name == ChannelParam::BlockValue && type == TypeAnalogOutput) {
            entry = ranged(entry, 0, ParameterTree::BlockValueMaximum, 3);
            entry.kind = Kind::Real;
        } else if (name == ChannelParam::BlockValue && type == TypeDigitalOutput) {
            entry.choices = offOnChoices();
        } else {
            continue;
        }
        entries->append(entry);
    }
}

QString rangeText(const Entry &entry)
{
    return QStringLiteral("%1 … %2").arg(QString::number(entry.minimum, 'f', entry.decimals),
                                         QString::number(entry.maximum, 'f', entry.decimals));
}

QString badValueText(const Entry &entry, const QString &value)
{
    return QStringLiteral("«%1»: недопустимое значение «%2»").arg(entry.path, value);
}

QString allowedText(const Entry &entry)
{
    if (entry.kind == Kind::Choice)
        return QStringLiteral(", допустимо: %1")
            .arg(entry.choices.values().join(QStringLiteral(", ")));
    if (entry.kind == Kind::Address)
        return QStringLiteral(", нужен адрес вида 192.168.1.99");
    return QStringLiteral(", допустимо %1").arg(rangeText(entry));
}

} // namespace

const QString ParameterTree::ModuleGroup = QStringLiteral("Модуль");

QString ParameterTree::boardName(int type, int slot)
{
    return QStringLiteral("Субмодуль %1 (Слот %2)").arg(submoduleTypeName(type), slotLetter(slot));
}

QString ParameterTree::channelName(int type, int number)
{
    return channelTypeName(type) + QLatin1Char(' ') + QString::number(number + 1);
}

QString ParameterTree::Entry::displayText() const
{
    const QVariant value = device ? device->value(name) : QVariant();
    switch (kind) {
    case Kind::ReadOnly:
        if (name == ModuleParam::Type)
            return moduleTypeName(value.toInt());
        return value.toString();
    case Kind::Integer:
        return QString::number(value.toInt());
    case Kind::Real:
        return QString::number(value.toDouble(), 'f', decimals);
    case Kind::Choice: {
        const int code = choiceCode(value);
        return choices.value(code, QString::number(code));
    }
    case Kind::Address:
        return value.toString();
    }
    return QString();
}

QString ParameterTree::Entry::units() const
{
    if (name == ModuleParam::LockTimeout)
        return QStringLiteral("с");
    if (name == ModuleParam::ResponseDelay)
        return QStringLiteral("мс");
    if (name == ChannelParam::Pwm)
        return QStringLiteral("%");
    // Limits and block values carry none: what the unit makes of them (a scale
    // of the engineering value, not the signal's mA or V) is the unit's own.
    return QString();
}

QString ParameterTree::Entry::displayTextWithUnits() const
{
    const QString unit = units();
    return unit.isEmpty() ? displayText() : displayText() + QLatin1Char(' ') + unit;
}

QString ParameterTree::Entry::problem(int heldPort) const
{
    const QVariant value = device ? device->value(name) : QVariant();
    bool ok = true;
    switch (kind) {
    case Kind::ReadOnly:
        return QString();
    case Kind::Integer:
    case Kind::Real: {
        const double number = value.toDouble(&ok);
        ok = ok && number >= minimum && number <= maximum;
        break;
    }
    case Kind::Choice:
        ok = choices.contains(choiceCode(value))
             || (link && device && device->value(ModuleParam::PortConfig).toInt() == heldPort);
        break;
    case Kind::Address:
        quint16 high = 0;
        quint16 low = 0;
        ok = ModuleTables::dottedToWords(value.toString(), &high, &low);
        break;
    }
    return ok ? QString() : badValueText(*this, displayText()) + allowedText(*this);
}

QStringList ParameterTree::badValues(const Module &module, const Module *unit)
{
    const int heldPort = (unit ? *unit : module).value(ModuleParam::PortConfig).toInt();
    QStringList problems;
    for (const Entry &entry : entries(module)) {
        const QString problem = entry.problem(heldPort);
        if (!problem.isEmpty())
            problems << problem;
    }
    return problems;
}

QVector<ParameterTree::Entry> ParameterTree::entries(const Module &module)
{
    QVector<Entry> list;
    addModuleEntries(module, &list);
    for (const Submodule *submodule : module.submodules()) {
        const int slot = submodule->value(SubmoduleParam::Slot).toInt();
        const QString base
            = boardName(submodule->value(SubmoduleParam::Type).toInt(), slot) + Separator;
        for (const Channel *channel : submodule->channels())
            addChannelEntries(base, slot, channel, &list);
    }
    return list;
}

QString ParameterTree::normalizedPath(const QString &path)
{
    QStringList segments = path.split(QLatin1Char('/'));
    for (QString &segment : segments)
        segment = segment.simplified();
    return segments.join(Separator);
}

const ParameterTree::Entry *ParameterTree::find(const QVector<Entry> &entries, const QString &path,
                                                QString *error)
{
    // Names may hold a slash ("Скорость, бит/с"): both sides are split alike.
    const QString wanted = normalizedPath(path);
    QVector<const Entry *> matches;
    for (const Entry &entry : entries) {
        const QString candidate = normalizedPath(entry.path);
        if (candidate.compare(wanted, Qt::CaseInsensitive) == 0)
            return &entry;
        if (candidate.endsWith(Separator + wanted, Qt::CaseInsensitive))
            matches.append(&entry);
    }
    if (matches.size() == 1)
        return matches.first();
    if (matches.isEmpty()) {
        *error = QStringLiteral("нет параметра «%1»").arg(path.trimmed());
    } else {
        QStringList paths;
        for (const Entry *entry : matches.mid(0, ShownMatches))
            paths << entry->path;
        if (matches.size() > ShownMatches)
            paths << QStringLiteral("…");
        *error = QStringLiteral("путь «%1» неоднозначен: %2")
                     .arg(wanted, paths.join(QStringLiteral("; ")));
    }
    return nullptr;
}

bool ParameterTree::set(Module &module, const QString &path, const QString &text, QString *error)
{
    const QVector<Entry> list = entries(module);
    const Entry *entry = find(list, path, error);
    if (!entry)
        return false;
    // The entries of a module we may change point into it.
    Device *device = const_cast<Device *>(entry->device);
    const QString value = text.trimmed();
    const QString bad = badValueText(*entry, value);
    switch (entry->kind) {
    case Kind::ReadOnly:
        *error = QStringLiteral("«%1»: параметр только для чтения").arg(entry->path);
        return false;
    case Kind::Integer: {
        bool ok = false;
        const int number = value.toInt(&ok);
        if (!ok || number < entry->minimum || number > entry->maximum) {
            *error = bad + allowedText(*entry);
            return false;
        }
        device->setValue(entry->name, number);
        return true;
    }
    case Kind::Real: {
        bool ok = false;
        const double number
            = QString(value).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (!ok || !(number >= entry->minimum && number <= entry->maximum)) {
            *error = bad + allowedText(*entry);
            return false;
        }
        device->setValue(entry->name, number);
        return true;
    }
    case Kind::Choice: {
        int code = -1;
        for (auto it = entry->choices.cbegin(); it != entry->choices.cend(); ++it) {
            if (it.value().compare(value, Qt::CaseInsensitive) == 0)
                code = it.key();
        }
        bool ok = false;
        const int number = value.toInt(&ok);
        if (code < 0 && ok && entry->choices.contains(number))
            code = number;
        if (code < 0) {
            *error = bad + allowedText(*entry);
            return false;
        }
        device->setValue(entry->name, code);
        if (auto *module = qobject_cast<Module *>(device))
            module->updatePortWord();
        return true;
    }
    case Kind::Address:
        if (!module.setDottedAddress(entry->name, value)) {
            *error = bad + allowedText(*entry);
            return false;
        }
        return true;
    }
    return false;
}

int ParameterTree::choiceCode(const QVariant &value)
{
    bool ok = false;
    const int code = value.toInt(&ok);
    if (ok)
        return code;
    // A bool, or the text "true"/"false" a file holds for one.
    return value.toBool() ? 1 : 0;
}
