// SPDX-License-Identifier: GPL-3.0-or-later
#include "registermap.h"

#include "channel.h"
#include "codes.h"
#include "csvwriter.h"
#include "module.h"
#include "property.h"
#include "submodule.h"

#include <algorithm>

namespace {

// Table titles in display order, and the channel kind each one lists
// (-1: a table that no channel fills).
struct TableKind
{
    const char *title;
    int kind;
};

const TableKind tableKinds[] = {
    {"Дискретные входы", TypeDigitalInput},
    {"Дискретные выходы", TypeDigitalOutput},
    {"Аналоговые входы", TypeAnalogInput},
    {"Аналоговые выходы", TypeAnalogOutput},
    {"Температурные входы", TypeTemperatureInput},
    {"Счетные регистры", TypeCountingInput},
    {"Регистры антидребезга", -1},
    {"Частота ШИМ (аппаратного)", TypeStepperMotor},
};

int tableOf(int kind)
{
    for (int i = 0; i < int(std::size(tableKinds)); ++i) {
        if (tableKinds[i].kind == kind)
            return i;
    }
    return -1;
}

// Register number in the 1-based notation of PLC programs: the function's
// table digit followed by the register + 1.
QString plcAddressOf(int function, int address)
{
    int base = 0;
    switch (function) {
    case 1:
        base = 0;
        break;
    case 2:
        base = 1;
        break;
    case 4:
        base = 3;
        break;
    case 3:
        base = 4;
        break;
    default:
        return QString();
    }
    const int number = address + 1;
    // Registers past 9999 take the six-digit form.
    const int width = number > 9999 ? 5 : 4;
    return QString::number(base) + QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

} // namespace

QString signalUnits(int signal)
{
    if (signal == 0)
        return QStringLiteral("В");
    if (signal >= 1 && signal <= 3)
        return QStringLiteral("мА");
    if (signal == 4)
        return QStringLiteral("Ом");
    if (signal >= 5 && signal <= 21)
        return QStringLiteral("℃");
    if (signal == 22)
        return QStringLiteral("мВ");
    return QString();
}

QStringList registerMapTitles()
{
    QStringList titles;
    for (const TableKind &entry : tableKinds)
        titles << QString::fromUtf8(entry.title);
    return titles;
}

QStringList registerMapHeader()
{
    return {QStringLiteral("Таблица"), QStringLiteral("Слот"),        QStringLiteral("Субмодуль"),
            QStringLiteral("Канал"),   QStringLiteral("Описание"),    QStringLiteral("Функция"),
            QStringLiteral("Регистр"), QStringLiteral("Регистр ПЛК"), QStringLiteral("Формат"),
            QStringLiteral("Ед. изм.")};
}

QStringList registerMapFields(const RegisterMapRow &row)
{
    return {registerMapTitles().value(row.table),
            row.slotLetter,
            row.board,
            QString::number(row.channel),
            row.description,
            QString::number(row.function),
            QString::number(row.address),
            row.plcAddress,
            row.format,
            row.units};
}

QByteArray registerMapCsv(const QVector<RegisterMapRow> &rows)
{
    CsvWriter csv(registerMapHeader());
    for (const RegisterMapRow &row : rows)
        csv.addRow(registerMapFields(row));
    return csv.document();
}

QVector<RegisterMapRow> registerMapRows(const Module &module)
{
    QVector<RegisterMapRow> rows;
    for (const Submodule *submodule : module.submodules()) {
        const QString typeName = submoduleTypeName(submodule->value(SubmoduleParam::Type).toInt());
        const int slot = submodule->value(SubmoduleParam::Slot).toInt();
        for (const Channel *channel : submodule->channels()) {
            const int kind = channel->value(ChannelParam::Type).toInt();
            const Property *value = channel->property(ChannelParam::Value);
            const int table = tableOf(kind);
            if (!value || table < 0)
                continue;
            RegisterMapRow row;
            row.kind = kind;
            row.table = table;
            row.slot = slot;
            row.slotLetter = slotLetter(slot);
            row.board = typeName;
            row.channel = channel->value(ChannelParam::Number).toInt() + 1;
            // An AIO board's outputs follow its two inputs.
            if (kind == TypeAnalogOutput)
                row.channel += 2;
            row.description = QStringLiteral("Слот %1: субмодуль %2, канал %3")
                                  .arg(row.slotLetter, typeName)
                                  .arg(row.channel);
            row.function = registerFunctionNumber(value->registerType());
            row.address = value->address();
            row.plcAddress = plcAddressOf(row.function, row.address);
            row.format = valueTypeName(value->valueType());
            // Only a signal type the channel offers says what its value is in.
            if (const Property *signal = channel->property(ChannelParam::SignalType)) {
                const int code = signal->value().toInt();
                if (signal->enumNames().contains(code))
                    row.units = signalUnits(code);
            }
            rows.append(row);
        }
    }
    std::stable_sort(
        rows.begin(), rows.end(),
        [](const RegisterMapRow &a, const RegisterMapRow &b) { return a.table < b.table; });
    return rows;
}
