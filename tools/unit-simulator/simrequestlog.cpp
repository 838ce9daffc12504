// SPDX-License-Identifier: GPL-3.0-or-later
#include "simrequestlog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSimLog, "brk.sim.log")

bool SimRequestLog::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        *error = QStringLiteral("cannot open log %1: %2").arg(path, m_file.errorString());
        return false;
    }
    return true;
}

void SimRequestLog::add(const SimRequestRecord &record)
{
    if (m_file.isOpen()) {
        const QByteArray line = toJsonLine(record);
        if (m_file.write(line) != line.size() || !m_file.flush())
            qCWarning(lcSimLog) << "log write failed:" << m_file.errorString();
    }
    if (m_keep) {
        m_records.push_back(record);
        if (m_records.size() > kMemoryLimit)
            m_records.pop_front();
    }
}

QVector<SimRequestRecord> SimRequestLog::records() const
{
    return QVector<SimRequestRecord>(m_records.begin(), m_records.end());
}

QByteArray SimRequestLog::toJsonLine(const SimRequestRecord &record)
{
    QJsonObject object{{QStringLiteral("time"), record.time.toString(Qt::ISODateWithMs)},
                       {QStringLiteral("slave"), record.slave}};
    if (record.result == SimRequestRecord::Event) {
        object.insert(QStringLiteral("event"), record.note);
    } else {
        object.insert(QStringLiteral("function"), record.function);
        if (record.address >= 0)
            object.insert(QStringLiteral("address"), record.address);
        if (!record.values.isEmpty()) {
            QJsonArray values;
            for (quint16 value : record.values)
                values.append(value);
            object.insert(QStringLiteral("values"), values);
        } else if (record.count > 0) {
            object.insert(QStringLiteral("count"), record.count);
        }
        switch (record.result) {
        case SimRequestRecord::Answered:
            object.insert(QStringLiteral("result"), QStringLiteral("ok"));
            break;
        case SimRequestRecord::Exception:
            object.insert(QStringLiteral("exception"), record.exception);
            break;
        case SimRequestRecord::Dropped:
            object.insert(QStringLiteral("result"), QStringLiteral("dropped"));
            break;
        case SimRequestRecord::NoUnit:
            object.insert(QStringLiteral("result"), QStringLiteral("no unit"));
            break;
        case SimRequestRecord::Event:
            break;
        }
        if (!record.fault.isEmpty())
            object.insert(QStringLiteral("fault"), record.fault);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}
