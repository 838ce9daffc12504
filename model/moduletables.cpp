#include "moduletables.h"

#include <QDebug>

namespace {

struct ChannelCounts
{
    int ai;
    int ao;
    int di;
    int dout;
};

// Channels carried by each board kind, indexed by its slot code.
ChannelCounts countsOfSlotCode(quint16 code)
{
    switch (code) {
    case 1:
        return {0, 0, 0, 4}; // DO4
    case 2:
        return {0, 0, 0, 2}; // SIM
    case 3:
        return {0, 0, 0, 2}; // R
    case 4:
        return {4, 0, 0, 0}; // AI
    case 5:
        return {2, 2, 0, 0}; // AIO
    case 6:
        return {0, 0, 4, 0}; // DI
    case 7:
        return {2, 0, 0, 0}; // TMP
    case 8:
        return {0, 0, 0, 6}; // DO6
    case 10:
        return {0, 0, 6, 0}; // DI6
    default:
        return {0, 0, 0, 0}; // ENI2 and unknown codes carry no channels
    }
}

} // namespace

void ModuleTables::setModuleTable(const QVector<quint16> &table)
{
    m_moduleTable = table;
    m_countSubmodules = 0;
    m_countAI = 0;
    m_countAO = 0;
    m_countDI = 0;
    m_countDO = 0;

    if (m_moduleTable.isEmpty()) {
        qDebug() << "ModuleTables::setModuleTable m_moduleTable.isEmpty()";
        return;
    }
    if (m_moduleTable.size() < ModuleBlockSize)
        return;

    for (int slot = 0; slot < SlotCount; ++slot) {
        const quint16 code = m_moduleTable.at(FirstSlotWord + slot);
        if (code == 0)
            continue;
        ++m_countSubmodules;
        const ChannelCounts counts = countsOfSlotCode(code);
        m_countAI += counts.ai;
        m_countAO += counts.ao;
        m_countDI += counts.di;
        m_countDO += counts.dout;
    }
}
