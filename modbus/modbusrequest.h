// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODBUSREQUEST_H
#define MODBUSREQUEST_H

#include "typeresponse.h"

#include <QModbusDataUnit>

// One request of a queue: what to send, to whom, and the block name its reply
// is handled under. A plain value; queues hold it by value.
struct ModbusRequest
{
    QModbusDataUnit unit;
    TypeResponse type = rT2000;
    int serverAddress = 0;
};

Q_DECLARE_METATYPE(ModbusRequest)

#endif // MODBUSREQUEST_H
