// SPDX-License-Identifier: GPL-3.0-or-later
#include "interruptwatch.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int pipeEnds[2] = {-1, -1};
volatile sig_atomic_t received = 0;

void onSignal(int)
{
    if (received++ > 0) {
        static const char text[] = "\nbrkctl: остановлено без ожидания ответа\n";
        (void)!write(STDERR_FILENO, text, sizeof text - 1);
        _exit(InterruptWatch::SecondSignalStatus);
    }
    const char byte = 1;
    (void)!write(pipeEnds[1], &byte, 1);
}

} // namespace

InterruptWatch::InterruptWatch(QObject *parent)
    : QObject(parent)
{
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (read(pipeEnds[0], &byte, 1) > 0) {
        }
        emit interrupted();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

InterruptWatch::~InterruptWatch()
{
    if (!m_notifier)
        return;
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}
