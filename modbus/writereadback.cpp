// SPDX-License-Identifier: GPL-3.0-or-later
#include "writereadback.h"

#include "registerblocks.h"

#include <QStringList>

namespace {

// Function 3 and 1 limits, in registers and coils.
constexpr int MaxRegistersPerRead = 125;
constexpr int MaxCoilsPerRead = 2000;

} // namespace

void WriteReadBack::setWrites(const QVector<ModbusRequest> &requests)
{
    clear();
    for (const ModbusRequest &request : requests) {
        if (!RegisterBlocks::isWriteBlock(request.type) || request.unit.valueCount() < 1)
            continue;
        const QModbusDataUnit::RegisterType type = request.unit.registerType();
        const QVector<quint16> values = request.unit.values();
        for (int i = 0; i < values.size(); ++i) {
            // A coil is sent as 0xFF00 or 0 and read back as 1 or 0.
            const quint16 value
                = type == QModbusDataUnit::Coils ? (values.at(i) ? 1 : 0) : values.at(i);
            m_written.append({request.type, Key(type, request.unit.startAddress() + i), value});
        }
    }
}

void WriteReadBack::clear()
{
    m_written.clear();
    m_read.clear();
}

QVector<ModbusRequest> WriteReadBack::readRequests(int serverAddress) const
{
    QVector<ModbusRequest> requests;
    auto add = [&](int block, int type, int first, int last) {
        ModbusRequest request;
        request.unit = QModbusDataUnit(QModbusDataUnit::RegisterType(type), first,
                                       quint16(last - first + 1));
        request.type = TypeResponse(RegisterBlocks::readBlockOf(block));
        request.serverAddress = serverAddress;
        requests.append(request);
    };
    int i = 0;
    while (i < m_written.size()) {
        const int block = m_written.at(i).blockType;
        const int type = m_written.at(i).key.first;
        const int limit = type == QModbusDataUnit::Coils ? MaxCoilsPerRead : MaxRegistersPerRead;
        int first = m_written.at(i).key.second;
        int last = first;
        for (; i < m_written.size() && m_written.at(i).blockType == block; ++i) {
            const int address = m_written.at(i).key.second;
            if (address - first >= limit) {
                add(block, type, first, last);
                first = address;
            }
            last = qMax(last, address);
        }
        add(block, type, first, last);
    }
    return requests;
}

void WriteReadBack::store(const QModbusDataUnit &request, const QVector<quint16> &values)
{
    const int type = request.registerType();
    for (int i = 0; i < values.size() && i < int(request.valueCount()); ++i) {
        const quint16 value
            = type == QModbusDataUnit::Coils ? (values.at(i) ? 1 : 0) : values.at(i);
        m_read.insert(Key(type, request.startAddress() + i), value);
    }
}

QVector<WriteReadBack::Difference> WriteReadBack::differences() const
{
    QVector<Difference> result;
    for (const Written &written : m_written) {
        const auto read = m_read.constFind(written.key);
        if (read == m_read.constEnd() || *read == written.value)
            continue;
        result.append({QModbusDataUnit::RegisterType(written.key.first), written.key.second,
                       written.value, *read});
    }
    return result;
}

QString WriteReadBack::reportText(const QVector<Difference> &differences, int maxLines)
{
    if (differences.isEmpty())
        return QStringLiteral("Проверка записи: считанные значения совпадают с записанными.");
    QStringList lines{QStringLiteral("Проверка записи: не совпадают %1 из записанных значений:")
                          .arg(differences.size())};
    const int shown = maxLines < 0 ? differences.size() : qMin(maxLines, differences.size());
    for (int i = 0; i < shown; ++i)
        lines << differenceText(differences.at(i));
    if (shown < differences.size())
        lines << QStringLiteral("… и ещё %1 (см. окно вывода)").arg(differences.size() - shown);
    return lines.join(QLatin1Char('\n'));
}

QString WriteReadBack::differenceText(const Difference &difference)
{
    const QString what = difference.registerType == QModbusDataUnit::Coils
                             ? QStringLiteral("катушка")
                             : QStringLiteral("регистр");
    return QStringLiteral("%1 %2: записано %3, считано %4")
        .arg(what)
        .arg(difference.address)
        .arg(difference.written)
        .arg(difference.read);
}
