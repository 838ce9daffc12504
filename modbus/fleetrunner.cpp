// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleetrunner.h"

FleetRunner::FleetRunner(const LinkOptions &options, int jobs, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_jobs(qMax(1, jobs))
{}

void FleetRunner::add(const Target &target, const Script &script)
{
    m_entries.append({target, script});
    const QString line = target.lineKey();
    if (!m_lines.contains(line))
        m_lineOrder.append(line);
    m_lines[line].append(m_entries.size() - 1);
}

void FleetRunner::start()
{
    m_results.resize(m_entries.size());
    if (m_entries.isEmpty()) {
        QMetaObject::invokeMethod(this, &FleetRunner::finished, Qt::QueuedConnection);
        return;
    }
    while (m_activeLines < m_jobs && !m_lineOrder.isEmpty())
        startNextLine();
}

void FleetRunner::interrupt()
{
    m_results.resize(m_entries.size());
    for (QVector<int> &queue : m_lines) {
        for (const int index : qAsConst(queue)) {
            UnitResult &result = m_results[index];
            result.target = m_entries.at(index).target.toString();
            result.status = StatusUnconfirmed;
            result.message = QStringLiteral("прервано: к модулю не обращались");
        }
        queue.clear();
    }
    m_lineOrder.clear();
    for (UnitSession *session : findChildren<UnitSession *>(QString(), Qt::FindDirectChildrenOnly))
        session->interrupt();
}

void FleetRunner::startNextLine()
{
    const QString line = m_lineOrder.takeFirst();
    ++m_activeLines;
    runNext(line);
}

void FleetRunner::runNext(const QString &line)
{
    QVector<int> &queue = m_lines[line];
    if (queue.isEmpty()) {
        --m_activeLines;
        if (!m_lineOrder.isEmpty())
            startNextLine();
        else if (m_activeLines == 0)
            emit finished();
        return;
    }
    const int index = queue.takeFirst();
    auto *session = new UnitSession(m_entries.at(index).target, m_options, this);
    m_running.insert(index, 0.0);
    connect(session, &UnitSession::progress, this, [this, index](double fraction) {
        m_running[index] = fraction;
        reportProgress();
    });
    connect(session, &UnitSession::finished, this, [this, session, index, line] {
        m_results[index] = session->result();
        m_running.remove(index);
        ++m_done;
        reportProgress();
        session->deleteLater();
        // The next unit of a serial line opens the port once this one has let it go.
        QMetaObject::invokeMethod(
            this, [this, line] { runNext(line); }, Qt::QueuedConnection);
    });
    m_entries.at(index).script(session);
}

void FleetRunner::reportProgress()
{
    double done = m_done;
    for (double fraction : qAsConst(m_running))
        done += qBound(0.0, fraction, 1.0);
    emit progress(done, m_entries.size());
}
