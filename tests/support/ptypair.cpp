// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptypair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

void PtyPair::SocatProcess::setupChildProcess()
{
#ifdef Q_OS_LINUX
    prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
}

PtyPair::~PtyPair()
{
    stop();
}

void PtyPair::stop()
{
    if (m_socat.state() != QProcess::NotRunning) {
        m_socat.terminate();
        if (!m_socat.waitForFinished(2000)) {
            m_socat.kill();
            m_socat.waitForFinished(2000);
        }
    }
    // A killed socat leaves its links behind, and they would pass for new ones.
    QFile::remove(unitEnd());
    QFile::remove(clientEnd());
}

bool PtyPair::socatAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty();
}

bool PtyPair::start(QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!m_dir.isValid())
        return fail(QStringLiteral("no temporary folder: %1").arg(m_dir.errorString()));
    const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
    if (socat.isEmpty())
        return fail(QStringLiteral("socat is not installed"));

    m_socat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_socat.start(socat, {QStringLiteral("pty,raw,echo=0,link=%1").arg(unitEnd()),
                          QStringLiteral("pty,raw,echo=0,link=%1").arg(clientEnd())});
    if (!m_socat.waitForStarted(5000))
        return fail(QStringLiteral("socat did not start: %1").arg(m_socat.errorString()));

    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(unitEnd()) || !QFileInfo::exists(clientEnd())) {
        if (clock.elapsed() > 5000 || m_socat.state() == QProcess::NotRunning)
            return fail(QStringLiteral("socat made no pty pair"));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    return true;
}

QString PtyPair::unitEnd() const
{
    return m_dir.filePath(QStringLiteral("ttyUnit"));
}

QString PtyPair::clientEnd() const
{
    return m_dir.filePath(QStringLiteral("ttyClient"));
}
