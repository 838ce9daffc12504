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

    // Length of the module block as the unit reports it (registers 2000..2022).
    static constexpr int ModuleBlockSize = 23;
    // Index of the slot word of slot A in the module block.
    static constexpr int FirstSlotWord = 17;
    static constexpr int SlotCount = 6;

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
