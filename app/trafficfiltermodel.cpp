// SPDX-License-Identifier: GPL-3.0-or-later
#include "trafficfiltermodel.h"

#include "trafficmodel.h"

#include <trafficexchange.h>

TrafficFilterModel::TrafficFilterModel(TrafficModel *source, QObject *parent)
    : QSortFilterProxyModel(parent)
    , m_source(source)
{
    setSourceModel(source);
}

void TrafficFilterModel::setServerAddress(int address)
{
    m_address = address;
    invalidateFilter();
}

void TrafficFilterModel::setFunction(int function)
{
    m_function = function;
    invalidateFilter();
}

void TrafficFilterModel::setErrorsOnly(bool errorsOnly)
{
    m_errorsOnly = errorsOnly;
    invalidateFilter();
}

const TrafficExchange *TrafficFilterModel::exchangeAt(int row) const
{
    return m_source->exchangeAt(mapToSource(index(row, 0)).row());
}

bool TrafficFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const TrafficExchange *exchange = m_source->exchangeAt(sourceRow);
    if (!exchange)
        return false;
    return (m_address == 0 || exchange->serverAddress == m_address)
           && (m_function == 0 || exchange->function == m_function)
           && (!m_errorsOnly || exchange->isError());
}
