// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundunitstable.h"

#include "applogging.h"

FoundUnitsTable::FoundUnitsTable(QWidget *parent)
    : QTableWidget(parent)
{}

FoundUnitsTable::~FoundUnitsTable()
{
    qCDebug(lcApp) << "~FoundUnitsTable()";
}

void FoundUnitsTable::mouseDoubleClickEvent(QMouseEvent *event)
{
    Q_UNUSED(event)
    emit itemClick();
}
