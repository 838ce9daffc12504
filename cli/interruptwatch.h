// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef INTERRUPTWATCH_H
#define INTERRUPTWATCH_H

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into interrupted() on the event loop: the handler
// only writes a byte to a pipe, the one thing safe there. A second signal
// ends the process at once, for a command that does not stop by itself.
class InterruptWatch : public QObject
{
    Q_OBJECT

public:
    // The exit status of a process ended by the second signal.
    static constexpr int SecondSignalStatus = 5;

    explicit InterruptWatch(QObject *parent = nullptr);
    ~InterruptWatch() override;

    bool isWatching() const { return m_notifier != nullptr; }

signals:
    void interrupted();

private:
    QSocketNotifier *m_notifier = nullptr; // child
};

#endif // INTERRUPTWATCH_H
