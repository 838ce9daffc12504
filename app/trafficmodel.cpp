// SPDX-License-Identifier: GPL-3.0-or-later
#include "trafficmodel.h"

#include <trafficrecorder.h>

#include <QBrush>

TrafficModel::TrafficModel(TrafficRecorder *recorder, QObject *parent)
    : QAbstractTableModel(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(SyncMs);
    connect(&m_timer, &QTimer::timeout, this, &TrafficModel::sync);
    setRecorder(recorder);
}

void TrafficModel::setRecorder(TrafficRecorder *recorder)
{
    beginResetModel();
    if (m_recorder)
        disconnect(m_recorder, nullptr, this, nullptr);
    m_recorder = recorder;
    m_first = m_end = recorder ? recorder->firstId() : 0;
    m_changedFirst = m_changedEnd = 0;
    endResetModel();
    if (!recorder)
        return;
    connect(recorder, &TrafficRecorder::recorded, this, &TrafficModel::scheduleSync);
    connect(recorder, &TrafficRecorder::finished, this, &TrafficModel::onFinished);
    connect(recorder, &TrafficRecorder::cleared, this, &TrafficModel::sync);
    sync();
}

int TrafficModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_end - m_first);
}

int TrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const TrafficExchange *TrafficModel::exchangeAt(int row) const
{
    if (!m_recorder || row < 0 || quint64(row) >= m_end - m_first)
        return nullptr;
    return m_recorder->exchange(m_first + quint64(row));
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const
{
    const TrafficExchange *exchange = exchangeAt(index.row());
    if (!exchange)
        return QVariant();
    if (role == Qt::ForegroundRole)
        return exchange->isError() ? QVariant(QBrush(Qt::red)) : QVariant();
    if (role == Qt::TextAlignmentRole && index.column() != Result && index.column() != Function
        && index.column() != Request)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();
    switch (index.column()) {
    case Time:
        return exchange->timeText();
    case Address:
        return exchange->serverAddress;
    case Function:
        return exchange->functionText();
    case Start:
        return exchange->start;
    case Request:
        return exchange->requestText();
    case Result:
        return exchange->resultText();
    case RoundTrip:
        return exchange->roundTripText();
    default:
        return QVariant();
    }
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const QStringList titles = TrafficExchange::columnTitles();
    return section >= 0 && section < titles.size() ? titles.at(section) : QVariant();
}

void TrafficModel::setPaused(bool paused)
{
    m_paused = paused;
    sync();
}

void TrafficModel::onFinished(const TrafficExchange &exchange)
{
    if (m_changedFirst == m_changedEnd) {
        m_changedFirst = exchange.id;
        m_changedEnd = exchange.id + 1;
    } else {
        m_changedFirst = qMin(m_changedFirst, exchange.id);
        m_changedEnd = qMax(m_changedEnd, exchange.id + 1);
    }
    scheduleSync();
}

void TrafficModel::scheduleSync()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void TrafficModel::sync()
{
    m_timer.stop();
    if (!m_recorder)
        return;
    // Rows the ring dropped, or a clear took, go from the top.
    const quint64 first = m_recorder->firstId();
    if (first > m_first) {
        const quint64 dropped = qMin(first, m_end) - m_first;
        if (dropped > 0) {
            beginRemoveRows(QModelIndex(), 0, int(dropped) - 1);
            m_first += dropped;
            endRemoveRows();
        }
        m_first = first;
        m_end = qMax(m_end, first);
    }
    const quint64 end = m_recorder->endId();
    if (!m_paused && end > m_end) {
        beginInsertRows(QModelIndex(), int(m_end - m_first), int(end - m_first) - 1);
        m_end = end;
        endInsertRows();
    }
    const quint64 changedFirst = qMax(m_changedFirst, m_first);
    const quint64 changedEnd = qMin(m_changedEnd, m_end);
    if (changedFirst < changedEnd)
        emit dataChanged(index(int(changedFirst - m_first), 0),
                         index(int(changedEnd - m_first) - 1, ColumnCount - 1));
    m_changedFirst = m_changedEnd = 0;
}
