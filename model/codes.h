// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CODES_H
#define CODES_H

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <initializer_list>

class QJsonArray;

// Integer codes shared by the model, the views and the communication layer,
// with the texts the user sees for them. Unknown codes never fail: every
// lookup has a fallback text.

// Board codes as the unit keeps them in the slot words of the module block; 0 is an empty slot.
enum SubmoduleType {
    SubmoduleNone = 0,
    SubmoduleDO4 = 1,
    SubmoduleSIM = 2,
    SubmoduleR = 3,
    SubmoduleAI = 4,
    SubmoduleAIO = 5,
    SubmoduleDI = 6,
    SubmoduleTMP = 7,
    SubmoduleDO6 = 8,
    SubmoduleENI2 = 9,
    SubmoduleDI6 = 10,
    LastSubmoduleType = SubmoduleDI6
};
Q_DECLARE_METATYPE(SubmoduleType)

inline bool isSubmoduleType(int code)
{
    return code > SubmoduleNone && code <= LastSubmoduleType;
}

// The one module type the program knows (word 0 of the module block).
inline bool isModuleType(int code)
{
    return code == 1;
}

// Kind of a channel, the value of its "Тип канала" parameter.
enum TypeChannel {
    TypeAnalogInput = 0,
    TypeAnalogOutput = 1,
    TypeTemperatureInput = 2,
    TypeDigitalInput = 3,
    TypeDigitalOutput = 4,
    TypeStepperMotor = 5,
    TypeCountingInput = 6
};
Q_DECLARE_METATYPE(TypeChannel)

// How a parameter is encoded in registers (Property::valueType).
enum ValueType {
    ValueInt16 = 0,
    ValueUInt16 = 1,
    ValueInt32 = 2,
    ValueBool = 4,
    ValueFloat32 = 5,
    ValueEnum = 6,
    ValueNone = 10
};

// Modbus register tables, numbered as QModbusDataUnit::RegisterType.
enum RegisterKind {
    RegisterInvalid = 0,
    RegisterDiscreteInputs = 1,
    RegisterCoils = 2,
    RegisterInputRegisters = 3,
    RegisterHoldingRegisters = 4
};

QString submoduleTypeName(int type);
QString channelTypeName(int type);
QString valueTypeName(int type);
QString signalTypeName(int type);
QString moduleTypeName(int type);
// How a device whose module type word is not a unit's is named: "не модуль БРК-40 (тип N)".
QString notUnitText(int type);
QString moduleErrorName(int bit);
QString slotLetter(int slot);
// Board names by slot (empty: no board) as "A:AIO B:- C:DI".
QString boardsLine(const QJsonArray &boards);

// Modbus function table number shown for a register type (1, 2, 4, 3), 0xFFFF otherwise.
quint16 registerFunctionNumber(int registerType);

// Number of registers a single parameter of this value type occupies.
int registerCountOfValueType(int type);

// 16 bytes, byte i is 1 when bit i of the word is set (bit 0 first).
QByteArray wordToBits(quint16 word);
// Inverse of wordToBits for up to 16 bytes; bytes beyond 16 are ignored.
quint16 bitsToValue(const QByteArray &bits);

// The unit keeps a 32-bit float in two registers, the lower address holding
// the low half of the IEEE-754 pattern.
float wordsToFloat(quint16 low, quint16 high);
void floatToWords(float value, quint16 *low, quint16 *high);

// A constant list of display texts whose position gives the stored code.
// It reads as a list (baudRateList.at(0)) and, for older callers, as a call
// (baudRateList()) giving the same list.
class TextList : public QStringList
{
public:
    TextList(std::initializer_list<QString> texts)
        : QStringList(texts)
    {}
    const QStringList &operator()() const { return *this; }
};

// code = position + 3
inline const TextList baudRateList
    = {QStringLiteral("1200"),  QStringLiteral("2400"),  QStringLiteral("4800"),
       QStringLiteral("9600"),  QStringLiteral("19200"), QStringLiteral("38400"),
       QStringLiteral("57600"), QStringLiteral("115200")};
// code = position; the last text mixes Russian and English as the unit's
// documentation does
inline const TextList parityList
    = {QStringLiteral("нет / 1 стоп-бит"), QStringLiteral("нет / 2 стоп-бита"),
       QStringLiteral("четн / 1 стоп-бит"), QStringLiteral("нечет / 1 stop bit")};
// The same settings as a frame is written: data bits, parity, stop bits; code = position
inline const TextList frameFormatList
    = {QStringLiteral("8N1"), QStringLiteral("8N2"), QStringLiteral("8E1"), QStringLiteral("8O1")};
// code = position
inline const TextList dataFormatList
    = {QStringLiteral("INT16"), QStringLiteral("FLOAT32"), QStringLiteral("INT32")};
// code = position; the first letter is the Cyrillic "х"
inline const TextList multiplierList = {QStringLiteral("х1"), QStringLiteral("х10"),
                                        QStringLiteral("х100"), QStringLiteral("х1000")};
// code = position
inline const TextList slotLetterList
    = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
       QStringLiteral("D"), QStringLiteral("E"), QStringLiteral("F")};

// Stored baud code of the first entry of baudRateList.
constexpr int FirstBaudCode = 3;
// Temperature inputs list the signal types from this code on.
constexpr int FirstTemperatureSignalType = 4;

#endif // CODES_H
