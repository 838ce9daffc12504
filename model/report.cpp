// SPDX-License-Identifier: GPL-3.0-or-later
#include "report.h"

#include "codes.h"
#include "module.h"
#include "parametertree.h"
#include "registermap.h"
#include "submodule.h"

#include <QHash>

namespace {

using Entry = ParameterTree::Entry;
using Style = ReportTable::Style;

const QString DateFormat = QStringLiteral("dd.MM.yyyy HH:mm");
const QString Separator = QStringLiteral(" / ");
const QString SignLine = QStringLiteral("____________________");

QVector<ReportCell> cells(const QStringList &texts)
{
    QVector<ReportCell> row;
    for (const QString &text : texts)
        row.append({text, false});
    return row;
}

const Entry *moduleEntry(const QVector<Entry> &entries, const QString &name)
{
    for (const Entry &entry : entries) {
        if (entry.slot < 0 && entry.name == name)
            return &entry;
    }
    return nullptr;
}

QString moduleText(const QVector<Entry> &entries, const QString &name)
{
    const Entry *entry = moduleEntry(entries, name);
    return entry ? entry->displayTextWithUnits() : QString();
}

// "9600 бит/с, 8N1"
QString portText(const Module &module, const QVector<Entry> &entries)
{
    const int parity = ParameterTree::choiceCode(module.value(ModuleParam::Parity));
    return QStringLiteral("%1 бит/с, %2")
        .arg(moduleText(entries, ModuleParam::BaudRate),
             frameFormatList.value(parity, QString::number(parity)));
}

QString unitLabel(const Module &module, const QString &unitName)
{
    if (!unitName.isEmpty())
        return unitName;
    return QStringLiteral("%1, адрес %2")
        .arg(moduleTypeName(module.value(ModuleParam::Type).toInt()))
        .arg(module.value(ModuleParam::Address).toInt());
}

ReportTable titleBlock(const Module &module, const QVector<Entry> &entries, const QString &unitName,
                       const ReportInfo &info)
{
    ReportTable table;
    table.heading = QStringLiteral("Общие сведения");
    table.style = Style::Fields;
    const auto add = [&](const QString &label, const QString &value) {
        table.rows.append(cells({label, value}));
    };
    if (!unitName.isEmpty())
        add(QStringLiteral("Модуль"), unitName);
    for (const QString &name : {ModuleParam::Type, ModuleParam::Firmware, ModuleParam::Address})
        add(name, moduleText(entries, name));
    add(QStringLiteral("Порт RS-485"), portText(module, entries));
    for (const QString &name : {ModuleParam::IpAddress, ModuleParam::Mask, ModuleParam::Gateway,
                                ModuleParam::LockTimeout, ModuleParam::ResponseDelay})
        // The unit goes with the value, not the label ("Задержка ответа, мс").
        add(name.section(QStringLiteral(", "), 0, 0), moduleText(entries, name));
    add(QStringLiteral("Дата и время"), info.made.toString(DateFormat));
    add(QStringLiteral("Версия программы"), info.version);
    add(QStringLiteral("Составил"), info.author);
    return table;
}

ReportTable boardsTable(const Module &module)
{
    ReportTable table;
    table.heading = QStringLiteral("Субмодули");
    table.columns = QStringList{QStringLiteral("Слот"), QStringLiteral("Субмодуль"),
                                QStringLiteral("Каналов")};
    QHash<int, const Submodule *> bySlot;
    for (const Submodule *submodule : module.submodules())
        bySlot.insert(submodule->value(SubmoduleParam::Slot).toInt(), submodule);
    for (int slot = 0; slot < slotLetterList.size(); ++slot) {
        const Submodule *board = bySlot.value(slot);
        table.rows.append(
            cells({slotLetter(slot),
                   board ? submoduleTypeName(board->submoduleType()) : QStringLiteral("нет"),
                   board ? QString::number(board->channels().size()) : QString()}));
    }
    return table;
}

// Keys that name a parameter by slot, place of the channel on its board and
// name, so the same board in a new module finds its default.
QVector<QString> entryKeys(const QVector<Entry> &entries)
{
    QVector<QString> keys;
    const Device *channel = nullptr;
    int slot = -2;
    int index = -1;
    for (const Entry &entry : entries) {
        if (entry.slot != slot) {
            slot = entry.slot;
            index = -1;
        }
        if (entry.device != channel) {
            channel = entry.device;
            ++index;
        }
        keys << QStringLiteral("%1:%2:%3").arg(slot).arg(index).arg(entry.name);
    }
    return keys;
}

// Every parameter's text on new boards of the same types in the same slots.
QHash<QString, QString> defaultTexts(const Module &module)
{
    Module fresh(module.value(ModuleParam::Type).toInt());
    for (const Submodule *submodule : module.submodules())
        fresh.placeSubmodule(submodule->submoduleType(),
                             submodule->value(SubmoduleParam::Slot).toInt());
    const QVector<Entry> entries = ParameterTree::entries(fresh);
    const QVector<QString> keys = entryKeys(entries);
    QHash<QString, QString> texts;
    for (int i = 0; i < entries.size(); ++i)
        texts.insert(keys.at(i), entries.at(i).displayText());
    return texts;
}

// The boards' channels, one row each; a board's channels of one kind share a table.
void addChannelTables(const Module &module, const QVector<Entry> &entries, ReportSection *section)
{
    const QVector<QString> keys = entryKeys(entries);
    const QHash<QString, QString> defaults = defaultTexts(module);
    for (const Submodule *submodule : module.submodules()) {
        const int slot = submodule->value(SubmoduleParam::Slot).toInt();
        const QString heading
            = QStringLiteral("Слот %1: субмодуль %2")
                  .arg(slotLetter(slot), submoduleTypeName(submodule->submoduleType()));
        const int first = section->tables.size();
        for (int i = 0; i < entries.size();) {
            if (entries.at(i).slot != slot) {
                ++i;
                continue;
            }
            QStringList columns{QStringLiteral("Канал")};
            QVector<ReportCell> row{{entries.at(i).path.section(Separator, 1, 1), false}};
            for (const Device *channel = entries.at(i).device;
                 i < entries.size() && entries.at(i).device == channel; ++i) {
                const Entry &entry = entries.at(i);
                // Without the unit: a limit is not edited because its signal is.
                const bool edited = defaults.contains(keys.at(i))
                                    && defaults.value(keys.at(i)) != entry.displayText();
                columns << entry.name;
                row.append({entry.displayTextWithUnits(), edited});
            }
            if (section->tables.size() == first || section->tables.last().columns != columns) {
                ReportTable table;
                table.columns = columns;
                section->tables.append(table);
            }
            section->tables.last().rows.append(row);
        }
        if (section->tables.size() == first) {
            ReportTable table;
            table.style = Style::Fields;
            table.rows.append(cells({QStringLiteral("Настраиваемых параметров нет"), QString()}));
            section->tables.append(table);
        }
        section->tables[first].heading = heading;
    }
}

ReportTable mapTable(const Module &module)
{
    ReportTable table;
    table.heading = QStringLiteral("Карта регистров");
    // The description names slot, board and channel: it leads each row, as a
    // channel's name does, in place of those three columns.
    constexpr int FirstNamed = 1; // "Слот", "Субмодуль", "Канал"
    constexpr int Named = 3;
    constexpr int Description = FirstNamed + Named;
    const auto arrange = [&](QStringList fields) {
        fields.move(Description, 0);
        fields.erase(fields.begin() + FirstNamed + 1, fields.begin() + FirstNamed + 1 + Named);
        return fields;
    };
    table.columns = arrange(registerMapHeader());
    for (const RegisterMapRow &row : registerMapRows(module))
        table.rows.append(cells(arrange(registerMapFields(row))));
    return table;
}

ReportTable signatures(const ReportInfo &info)
{
    ReportTable table;
    table.heading = QStringLiteral("Подписи");
    table.style = Style::Signatures;
    table.columns = QStringList{QString(), QStringLiteral("ФИО"), QStringLiteral("Подпись"),
                                QStringLiteral("Дата")};
    const QString author = info.author.isEmpty() ? SignLine : info.author;
    table.rows.append(cells({QStringLiteral("Настройку выполнил"), author, SignLine, SignLine}));
    table.rows.append(cells({QStringLiteral("Принял"), SignLine, SignLine, SignLine}));
    return table;
}

ReportSection unitSection(const Module &module, const QString &unitName, const ReportInfo &info)
{
    const QVector<Entry> entries = ParameterTree::entries(module);
    ReportSection section;
    section.title = unitLabel(module, unitName);
    section.tables.append(titleBlock(module, entries, unitName, info));
    section.tables.append(boardsTable(module));
    addChannelTables(module, entries, &section);
    section.tables.append(mapTable(module));
    section.tables.append(signatures(info));
    return section;
}

} // namespace

QString ReportInfo::userName()
{
    const QString name = qEnvironmentVariable("USER");
    return name.isEmpty() ? qEnvironmentVariable("USERNAME") : name;
}

Report unitReport(const Module &module, const QString &unitName, const ReportInfo &info)
{
    Report report;
    report.title = QStringLiteral("Отчёт о настройке модуля");
    report.sections.append(unitSection(module, unitName, info));
    report.pageHeader = QStringLiteral("%1 — %2").arg(report.sections.first().title,
                                                      info.made.toString(DateFormat));
    return report;
}

Report plantReport(const QString &plantName, const QVector<ReportUnit> &units,
                   const ReportInfo &info)
{
    Report report;
    report.title = QStringLiteral("Отчёт о настройке установки «%1»").arg(plantName);
    report.pageHeader = QStringLiteral("%1 — %2").arg(plantName, info.made.toString(DateFormat));
    report.contents = true;
    for (const ReportUnit &unit : units) {
        if (unit.module)
            report.sections.append(unitSection(*unit.module, unit.name, info));
    }
    return report;
}
