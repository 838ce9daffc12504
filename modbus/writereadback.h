// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef WRITEREADBACK_H
#define WRITEREADBACK_H

#include "modbusrequest.h"

#include <QMap>
#include <QModbusDataUnit>
#include <QPair>
#include <QString>
#include <QVector>

// Checks that what a write sent came to rest in the unit: notes every data
// write of a write sequence, gives the reads that fetch those registers back
// (one per written block, from its first to its last written register) and
// compares what they bring with what was written. Command and flag writes
// are not checked. A plain value; TransferSequence runs the reads.
class WriteReadBack
{
public:
    struct Difference
    {
        QModbusDataUnit::RegisterType registerType = QModbusDataUnit::HoldingRegisters;
        int address = 0;
        quint16 written = 0;
        quint16 read = 0;
    };

    // Every data write among `requests` (the blocks wT300..wT2000).
    void setWrites(const QVector<ModbusRequest> &requests);
    void clear();
    bool isEmpty() const { return m_written.isEmpty(); }

    // Reads of the written registers, named after the read block over them,
    // in the order the blocks were written; none longer than a read may be.
    QVector<ModbusRequest> readRequests(int serverAddress) const;
    // Takes the values of one answered read.
    void store(const QModbusDataUnit &request, const QVector<quint16> &values);
    // Written registers whose read-back value differs, in write order. A
    // register that was never read back is not listed.
    QVector<Difference> differences() const;
    // The read-back brought this register's value.
    bool isRead(QModbusDataUnit::RegisterType type, int address) const
    {
        return m_read.contains(Key(type, address));
    }

    // The result as the user reads it: one line when all is equal, else a
    // heading and one line per differing register (at most `maxLines`; the
    // rest is counted).
    static QString reportText(const QVector<Difference> &differences, int maxLines = -1);
    // One differing register, as "регистр 813: записано 16512, считано 0".
    static QString differenceText(const Difference &difference);

private:
    using Key = QPair<int, int>; // register type, address
    struct Written
    {
        int blockType;
        Key key;
        quint16 value; // coils as 0 or 1
    };
    QVector<Written> m_written;
    QMap<Key, quint16> m_read;
};

#endif // WRITEREADBACK_H
