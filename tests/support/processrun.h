// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PROCESSRUN_H
#define PROCESSRUN_H

#include <QString>
#include <QStringList>

// A program run to its end while this process's event loop goes on, so that
// simulated units running here keep answering it.
struct ProcessRun
{
    int status = -1; // exit code; -1 when it crashed, did not start or was killed at the time-out
    qint64 ms = 0;   // wall time from start to end
    QString out;
    QString err;

    static ProcessRun run(const QString &program, const QStringList &arguments,
                          int timeoutMs = 60000);
};

#endif // PROCESSRUN_H
