// SPDX-License-Identifier: GPL-3.0-or-later
#include "codes.h"

#include <QJsonArray>

#include <cstring>

namespace {

const QString unknownText = QStringLiteral("Неизвестный");

[[maybe_unused]] const int typeChannelMetaTypeId = qRegisterMetaType<TypeChannel>("TypeChannel");

} // namespace

QString submoduleTypeName(int type)
{
    switch (type) {
    case SubmoduleDO4:
        return QStringLiteral("DO4");
    case SubmoduleSIM:
        return QStringLiteral("SIM");
    case SubmoduleR:
        return QStringLiteral("R");
    case SubmoduleAI:
        return QStringLiteral("AI");
    case SubmoduleAIO:
        return QStringLiteral("AIO");
    case SubmoduleDI:
        return QStringLiteral("DI");
    case SubmoduleTMP:
        return QStringLiteral("TMP");
    case SubmoduleDO6:
        return QStringLiteral("DO6");
    case SubmoduleENI2:
        return QStringLiteral("ENI2");
    case SubmoduleDI6:
        return QStringLiteral("DI6");
    default:
        return unknownText;
    }
}

QString channelTypeName(int type)
{
    switch (type) {
    case TypeAnalogInput:
        return QStringLiteral("Аналоговый вход");
    case TypeAnalogOutput:
        return QStringLiteral("Аналоговый выход");
    case TypeTemperatureInput:
        return QStringLiteral("Вход термосопротивлений");
    case TypeDigitalInput:
        return QStringLiteral("Дискретный вход");
    case TypeDigitalOutput:
        return QStringLiteral("Дискретный выход");
    case TypeStepperMotor:
        return QStringLiteral("Регистр частоты импульсов ШИМ");
    case TypeCountingInput:
        return QStringLiteral("Счетный регистр");
    default:
        return unknownText;
    }
}

QString valueTypeName(int type)
{
    switch (type) {
    case ValueInt16:
        return QStringLiteral("Int16");
    case ValueUInt16:
        return QStringLiteral("UInt16");
    case ValueInt32:
        return QStringLiteral("Int32");
    case ValueBool:
        return QStringLiteral("Bool");
    case ValueFloat32:
        return QStringLiteral("Float32");
    default:
        return unknownText;
    }
}

QString signalTypeName(int type)
{
    static const QStringList names = {
        QStringLiteral("Напряжение 0-10В"),
        QStringLiteral("Ток 4-20мА"),
        QStringLiteral("Ток 0-20мА"),
        QStringLiteral("Ток 0-5мА"),
        QStringLiteral("Сопротивление, Ом"),
        QStringLiteral("Термосопр. Pt100, ℃"),
        QStringLiteral("Термосопр. Pt1000, ℃"),
        QStringLiteral("Термосопр. 50М, ℃"),
        QStringLiteral("Термосопр. 100М, ℃"),
        QStringLiteral("Термопара ТХК(L), ℃"),
        QStringLiteral("Термопара ТЖК(J), ℃"),
        QStringLiteral("Термопара  ТНН(N), ℃"),
        QStringLiteral("Термопара ТХА(K), ℃"),
        QStringLiteral("Термопара ТПП(S), ℃"),
        QStringLiteral("Термопара ТПП(R), ℃"),
        QStringLiteral("Термопара ТПР(B), ℃"),
        QStringLiteral("Термопара ТВР(A-1), ℃"),
        QStringLiteral("Термопара ТВР(A-2), ℃"),
        QStringLiteral("Термопара ТВР(A-3), ℃"),
        QStringLiteral("Термопара ТМК(T), ℃"),
        QStringLiteral("Термосопр. ТСП50, ℃"),
        QStringLiteral("Термосопр. ТСП100, ℃"),
        QStringLiteral("Милливольты. мВ"),
    };
    if (type < 0 || type >= names.size())
        return unknownText;
    return names.at(type);
}

QString moduleTypeName(int type)
{
    if (isModuleType(type))
        return QStringLiteral("ВИРАТ7100.20 БРК");
    return unknownText;
}

QString notUnitText(int type)
{
    return QStringLiteral("не модуль БРК-40 (тип %1)").arg(type);
}

QString moduleErrorName(int bit)
{
    switch (bit) {
    case 0:
        return QStringLiteral("Сигнал внешней блокировки");
    case 1:
        return QStringLiteral("Блокировка по таймауту запроса");
    case 2:
        return QStringLiteral("Watchdog reset");
    case 5:
        return QStringLiteral("Ошибка конфиг. в eeprom с восстановлением из резервного банка");
    case 6:
        return QStringLiteral("Невосст. ошибка конфиг. в eeprom");
    default:
        return QStringLiteral("Неизвестный тип");
    }
}

QString slotLetter(int slot)
{
    const QStringList &letters = slotLetterList();
    if (slot < 0 || slot >= letters.size())
        return QStringLiteral("-");
    return letters.at(slot);
}

QString boardsLine(const QJsonArray &boards)
{
    QStringList texts;
    for (int slot = 0; slot < boards.size(); ++slot) {
        const QString board = boards.at(slot).toString();
        texts << slotLetter(slot) + QLatin1Char(':')
                     + (board.isEmpty() ? QStringLiteral("-") : board);
    }
    return texts.join(QLatin1Char(' '));
}

quint16 registerFunctionNumber(int registerType)
{
    switch (registerType) {
    case RegisterDiscreteInputs:
        return 1;
    case RegisterCoils:
        return 2;
    case RegisterInputRegisters:
        return 4;
    case RegisterHoldingRegisters:
        return 3;
    default:
        return 0xFFFF;
    }
}

int registerCountOfValueType(int type)
{
    return (type == ValueInt32 || type == ValueFloat32) ? 2 : 1;
}

QByteArray wordToBits(quint16 word)
{
    QByteArray bits(16, '\0');
    for (int i = 0; i < 16; ++i)
        bits[i] = char((word >> i) & 1);
    return bits;
}

quint16 bitsToValue(const QByteArray &bits)
{
    quint16 value = 0;
    const int count = qMin(bits.size(), 16);
    for (int i = 0; i < count; ++i) {
        if (bits.at(i) != 0)
            value |= quint16(1u << i);
    }
    return value;
}

float wordsToFloat(quint16 low, quint16 high)
{
    const quint32 pattern = (quint32(high) << 16) | low;
    float value;
    std::memcpy(&value, &pattern, sizeof value);
    return value;
}

void floatToWords(float value, quint16 *low, quint16 *high)
{
    quint32 pattern;
    std::memcpy(&pattern, &value, sizeof pattern);
    *low = quint16(pattern & 0xFFFF);
    *high = quint16(pattern >> 16);
}
