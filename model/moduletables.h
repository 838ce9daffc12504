// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODULETABLES_H
#define MODULETABLES_H

#include <QMetaType>
#include <QVector>

// Register image of one unit: the module block, the ten per-channel tables
// and the channel counts derived from the slot words of the module block.
class ModuleTables
{
public:
    ModuleTables() = default;

    int countSubmodules() const { return m_countSubmodules; }
    int countAI() const { return m_countAI; }
    int countAO() const { return m_countAO; }
    int countDI() const { return m_countDI; }
    int countDO() const { return m_countDO; }

    QVector<quint16> moduleTable() const { return m_moduleTable; }
    QVector<quint16> pwmDOTable() const { return m_pwmDOTable; }
    QVector<quint16> blockValuesDOTable() const { return m_blockValuesDOTable; }
    QVector<quint16> antibounceDITable() const { return m_antibounceDITable; }
    QVector<quint16> flagsAITable() const { return m_flagsAITable; }
    QVector<quint16> limitsAITable() const { return m_limitsAITable; }
    QVector<quint16> typesValueAITable() const { return m_typesValueAITable; }
    QVector<quint16> flagsAOTable() const { return m_flagsAOTable; }
    QVector<quint16> limitsAOTable() const { return m_limitsAOTable; }
    QVector<quint16> typesValueAOTable() const { return m_typesValueAOTable; }
    QVector<quint16> blockValuesAOTable() const { return m_blockValuesAOTable; }

    // Stores the module block and recounts the channels from its slot words.
    void setModuleTable(const QVector<quint16> &table);
    void setPwmDOTable(const QVector<quint16> &table) { m_pwmDOTable = table; }
    void setBlockValuesDOTable(const QVector<quint16> &table) { m_blockValuesDOTable = table; }
    void setAntibounceDITable(const QVector<quint16> &table) { m_antibounceDITable = table; }
    void setFlagsAITable(const QVector<quint16> &table) { m_flagsAITable = table; }
    void setLimitsAITable(const QVector<quint16> &table) { m_limitsAITable = table; }
    void setTypesValueAITable(const QVector<quint16> &table) { m_typesValueAITable = table; }
    void setFlagsAOTable(const QVector<quint16> &table) { m_flagsAOTable = table; }
    void setLimitsAOTable(const QVector<quint16> &table) { m_limitsAOTable = table; }
    void setTypesValueAOTable(const QVector<quint16> &table) { m_typesValueAOTable = table; }
    void setBlockValuesAOTable(const QVector<quint16> &table) { m_blockValuesAOTable = table; }

    // Words of the module block (register 2000 + word).
    enum ModuleWord {
        WordModuleType = 0,
        WordFirmware = 2, // tenths: 22 is version 2.2
        WordErrors = 3,
        WordLockTimeout = 4,
        WordAddress = 5,
        WordPort = 6, // parity code * 64 + baud code
        WordResponseDelay = 7,
        WordIp1 = 10, // each address: high word first, two octets per word
        WordIp2 = 11,
        WordMask1 = 12,
        WordMask2 = 13,
        WordGate1 = 14,
        WordGate2 = 15,
        FirstSlotWord = 17, // slot A; slots B..F follow
        WordEepromFlag = 23,
        WordJumper = 24 // reported from firmware 2.2 on
    };
    // The words that say how the unit is reached: address, port word, IP
    // address, mask and gateway.
    static constexpr ModuleWord LinkWords[]
        = {WordAddress, WordPort, WordIp1, WordIp2, WordMask1, WordMask2, WordGate1, WordGate2};
    static bool isLinkWord(int word);
    // Length of the module block as the unit reports it (registers 2000..2022).
    static constexpr int ModuleBlockSize = 23;
    // Words up to the gateway must be present before the model encodes into the block.
    static constexpr int EncodedBlockSize = WordGate2 + 1;
    // The module block with the jumper word, read before a unit is opened.
    static constexpr int JumperBlockSize = WordJumper + 1;
    static constexpr int JumperWordFirmware = 22;
    static constexpr int SlotCount = 6;

    // The module block's words by name; 0 when the block is too short.
    quint16 moduleWord(ModuleWord word) const { return m_moduleTable.value(word); }
    int moduleType() const { return moduleWord(WordModuleType); }
    int firmware() const { return moduleWord(WordFirmware); }
    int address() const { return moduleWord(WordAddress); }
    quint16 portWord() const { return moduleWord(WordPort); }
    // Board code in a slot 0..5 (0: empty).
    int slotCode(int slot) const;
    bool jumperSet() const { return moduleWord(WordJumper) == 1; }

    // The port word of a baud code (3..10) and a parity code (0..3).
    static quint16 encodePortWord(int baudCode, int parityCode);
    static int baudCodeOf(quint16 portWord) { return portWord & 31; }
    static int parityCodeOf(quint16 portWord) { return portWord >> 6; }
    // A dotted address "a.b.c.d" as the two words the unit keeps; false for any other text.
    static bool dottedToWords(const QString &text, quint16 *high, quint16 *low);
    static QString wordsToDotted(quint16 high, quint16 low);

private:
    int m_countSubmodules = 0;
    int m_countAI = 0;
    int m_countAO = 0;
    int m_countDI = 0;
    int m_countDO = 0;
    QVector<quint16> m_moduleTable;
    QVector<quint16> m_pwmDOTable;
    QVector<quint16> m_blockValuesDOTable;
    QVector<quint16> m_antibounceDITable;
    QVector<quint16> m_flagsAITable;
    QVector<quint16> m_limitsAITable;
    QVector<quint16> m_typesValueAITable;
    QVector<quint16> m_flagsAOTable;
    QVector<quint16> m_limitsAOTable;
    QVector<quint16> m_typesValueAOTable;
    QVector<quint16> m_blockValuesAOTable;
};

Q_DECLARE_METATYPE(ModuleTables)

#endif // MODULETABLES_H
