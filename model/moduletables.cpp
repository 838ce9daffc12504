#include "moduletables.h"
#include "codes.h"
#include "modellogging.h"

#include <QDebug>
#include <QStringList>

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
    case SubmoduleDO4:
        return {0, 0, 0, 4}; // DO4
    case SubmoduleSIM:
        return {0, 0, 0, 2}; // SIM
    case SubmoduleR:
        return {0, 0, 0, 2}; // R
    case SubmoduleAI:
        return {4, 0, 0, 0}; // AI
    case SubmoduleAIO:
        return {2, 2, 0, 0}; // AIO
    case SubmoduleDI:
        return {0, 0, 4, 0}; // DI
    case SubmoduleTMP:
        return {2, 0, 0, 0}; // TMP
    case SubmoduleDO6:
        return {0, 0, 0, 6}; // DO6
    case SubmoduleDI6:
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
        qCDebug(lcModel) << "ModuleTables::setModuleTable m_moduleTable.isEmpty()";
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

int ModuleTables::slotCode(int slot) const
{
    if (slot < 0 || slot >= SlotCount)
        return 0;
    return moduleWord(ModuleWord(FirstSlotWord + slot));
}

quint16 ModuleTables::encodePortWord(int baudCode, int parityCode)
{
    return quint16((parityCode * 64 + baudCode) % 256);
}

bool ModuleTables::dottedToWords(const QString &text, quint16 *high, quint16 *low)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    int octets[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        octets[i] = parts.at(i).toInt(&ok, 10);
        if (!ok || octets[i] < 0 || octets[i] > 255)
            return false;
    }
    *high = quint16(octets[0] * 256 + octets[1]);
    *low = quint16(octets[2] * 256 + octets[3]);
    return true;
}

QString ModuleTables::wordsToDotted(quint16 high, quint16 low)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(high >> 8)
        .arg(high & 255)
        .arg(low >> 8)
        .arg(low & 255);
}
