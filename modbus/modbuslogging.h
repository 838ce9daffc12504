// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODBUSLOGGING_H
#define MODBUSLOGGING_H

#include <QLoggingCategory>

// Debug lines of the requests to the unit ("brk.modbus"; brk.modbus.* below it).
Q_DECLARE_LOGGING_CATEGORY(lcModbus)
// Every request and reply of a read or write sequence ("brk.modbus.transfer").
Q_DECLARE_LOGGING_CATEGORY(lcTransfer)

#endif // MODBUSLOGGING_H
