// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef WINDOWJOURNAL_H
#define WINDOWJOURNAL_H

#include <moduletables.h>
#include <writejob.h>

#include <QString>

class QModbusClient;

// The journal line of a write made by a window: beside the open plant's file
// when the unit is one of its units, otherwise in the user's data folder.
class WindowJournal
{
public:
    // Appends the write of `after` over `before`; returns what to tell the user
    // when the journal cannot be written (the write stands all the same).
    static QString writeFinished(const QModbusClient *client, int serverAddress,
                                 const ModuleTables &before, const ModuleTables &after,
                                 WriteJob::Outcome outcome);
    // The target text of the unit at `serverAddress` on the client's line.
    static QString targetOf(const QModbusClient *client, int serverAddress);
};

#endif // WINDOWJOURNAL_H
