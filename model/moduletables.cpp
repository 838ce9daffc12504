// SPDX-License-Identifier: GPL-3.0-or-later
#include "moduletables.h"
#include "boards.h"
#include "modellogging.h"

#include <QDebug>
#include <QStringList>

#include <algorithm>
#include <iterator>

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
        const BoardLayout &board = boardLayout(code);
        m_countAI += board.analogInputs;
        m_countAO += board.analogOutputs;
        m_countDI += board.discreteInputs;
        m_countDO += board.discreteOutputs;
    }
}

int ModuleTables::slotCode(int slot) const
{
    if (slot < 0 || slot >= SlotCount)
        return 0;
    return moduleWord(ModuleWord(FirstSlotWord + slot));
}

bool ModuleTables::isLinkWord(int word)
{
    return std::find(std::begin(LinkWords), std::end(LinkWords), word) != std::end(LinkWords);
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
