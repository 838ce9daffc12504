#ifndef MODBUSLOGGING_H
#define MODBUSLOGGING_H

#include <QLoggingCategory>

// Debug lines of the requests to the unit ("brk.modbus"; brk.modbus.* below it).
Q_DECLARE_LOGGING_CATEGORY(lcModbus)

#endif // MODBUSLOGGING_H
