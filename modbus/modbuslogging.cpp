#include "modbuslogging.h"

Q_LOGGING_CATEGORY(lcModbus, "brk.modbus")
