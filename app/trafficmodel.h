// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TRAFFICMODEL_H
#define TRAFFICMODEL_H

#include <QAbstractTableModel>
#include <QPointer>
#include <QTimer>

class TrafficRecorder;
struct TrafficExchange;

// The exchanges a traffic recorder keeps, one row each, oldest first. Rows
// follow the recorder in batches (at most SyncMs late), so a burst of
// requests costs the view one update; while paused no rows are added, though
// rows the ring drops still go.
class TrafficModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Time, Address, Function, Start, Request, Result, RoundTrip, ColumnCount };
    static constexpr int SyncMs = 250;

    explicit TrafficModel(TrafficRecorder *recorder, QObject *parent = nullptr);
    // Shows another recorder's exchanges (null: none).
    void setRecorder(TrafficRecorder *recorder);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Null for a row the recorder no longer keeps (until the next update).
    const TrafficExchange *exchangeAt(int row) const;

    void setPaused(bool paused);
    // Brings the rows up to the recorder now.
    void sync();

private:
    void onFinished(const TrafficExchange &exchange);
    void scheduleSync();

    QPointer<TrafficRecorder> m_recorder; // not owned
    quint64 m_first = 0;                  // ids shown: m_first .. m_end - 1
    quint64 m_end = 0;
    quint64 m_changedFirst = 0; // finished since the last update: ids in [first, end)
    quint64 m_changedEnd = 0;
    bool m_paused = false;
    QTimer m_timer;
};

#endif // TRAFFICMODEL_H
