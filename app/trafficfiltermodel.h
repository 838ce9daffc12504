// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TRAFFICFILTERMODEL_H
#define TRAFFICFILTERMODEL_H

#include <QSortFilterProxyModel>

class TrafficModel;
struct TrafficExchange;

// The rows of a TrafficModel that pass the monitor's filters: one unit
// address, one function, errors only (0 and false let everything through).
class TrafficFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit TrafficFilterModel(TrafficModel *source, QObject *parent = nullptr);

    void setServerAddress(int address);
    void setFunction(int function);
    void setErrorsOnly(bool errorsOnly);

    const TrafficExchange *exchangeAt(int row) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    TrafficModel *m_source; // not owned
    int m_address = 0;
    int m_function = 0;
    bool m_errorsOnly = false;
};

#endif // TRAFFICFILTERMODEL_H
