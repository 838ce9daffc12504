// SPDX-License-Identifier: GPL-3.0-or-later
#include "modbuslogging.h"

Q_LOGGING_CATEGORY(lcModbus, "brk.modbus")
Q_LOGGING_CATEGORY(lcTransfer, "brk.modbus.transfer")
