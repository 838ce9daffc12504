// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef REGISTERMAP_H
#define REGISTERMAP_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

class Module;

// One row of the register map: where the live value of one channel lies in
// the unit's Modbus address space.
struct RegisterMapRow
{
    int kind = -1;       // TypeChannel of the channel
    int table = -1;      // index into registerMapTitles()
    int slot = -1;       // 0..5 for slots A..F
    QString slotLetter;  // "A".."F"
    QString board;       // board type name, e.g. "AIO"
    int channel = 0;     // channel number as shown (an AIO board's outputs are 3 and 4)
    QString description; // "Слот B: субмодуль AIO, канал 3"
    int function = 0;    // Modbus function that reads the value: 1, 2, 3 or 4
    int address = 0;     // register as the window shows it (0-based)
    QString plcAddress;  // 1-based PLC notation: 00001+, 10001+, 30001+, 40001+
    QString format;      // "Bool", "Int16", "UInt16", "Int32", "Float32"
    QString units;       // unit of the channel's signal type ("мА", "℃" …); empty if none
};

// Unit of a signal type's values ("мА", "℃" …); empty if it has none.
QString signalUnits(int signal);

// Titles of the map's tables in display order. "Регистры антидребезга" gets no rows.
QStringList registerMapTitles();

// Column names of the map handed on (CSV, print, brkctl map), and one row's
// fields in that order.
QStringList registerMapHeader();
QStringList registerMapFields(const RegisterMapRow &row);
// The map as the CSV file the window exports and brkctl prints.
QByteArray registerMapCsv(const QVector<RegisterMapRow> &rows);

// The rows of the register map of a module, table by table in the order of
// registerMapTitles(), within a table by slot and then by channel. Channels
// without a live value are left out.
QVector<RegisterMapRow> registerMapRows(const Module &module);

#endif // REGISTERMAP_H
