// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef WINDOWJOURNAL_H
#define WINDOWJOURNAL_H

#include <moduletables.h>
#include <transfersequence.h>
#include <writejob.h>

#include <QString>

#include <functional>

struct JournalEntry;
class Module;
class Property;
class QModbusClient;
class QModbusReply;
class QVariant;

// The journal lines of the writes a window makes: beside the open plant's
// file when the unit is one of its units, otherwise in the user's data folder.
// Each function returns, or tells, what to say to the user when the journal
// cannot be written; the write stands all the same.
class WindowJournal
{
public:
    // Appends the write of `after` over `before`.
    static QString writeFinished(const QModbusClient *client, int serverAddress,
                                 const ModuleTables &before, const ModuleTables &after,
                                 WriteJob::Outcome outcome);
    // Appends the reset of the unit whose image was `tables`, ended with `result`.
    static QString resetFinished(const QModbusClient *client, int serverAddress,
                                 const ModuleTables &tables, const TransferSequence &sequence,
                                 TransferSequence::Result result);
    // Appends a calibration write of `parameter` when its reply ends, even
    // after the dialog is gone; `tell` gets the text for the user, if any.
    static void watchCalibrationWrite(const QModbusClient *client, int serverAddress,
                                      const Module &module, const Property &parameter,
                                      const QVariant &before, QModbusReply *reply,
                                      const std::function<void(const QString &)> &tell);
    // The target text of the unit at `serverAddress` on the client's line.
    static QString targetOf(const QModbusClient *client, int serverAddress);

private:
    static JournalEntry entryFor(const QModbusClient *client, int serverAddress, int unitType,
                                 const QString &firmware, const QString &action);
    static JournalEntry entryFor(const QModbusClient *client, int serverAddress,
                                 const ModuleTables &tables, const QString &action);
    static QString append(JournalEntry entry);
};

#endif // WINDOWJOURNAL_H
