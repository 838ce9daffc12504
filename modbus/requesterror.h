// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef REQUESTERROR_H
#define REQUESTERROR_H

#include <QModbusDataUnit>
#include <QModbusDevice>
#include <QModbusPdu>
#include <QString>

class QModbusReply;

// Texts shown to the user when a request fails.

// Prefixes of a send that could not even start; the client's error text follows.
enum class SendKind {
    Read,       // "Read error: "
    Write,      // "Write error: " (data, command and flag writes)
    WriteAccept // "Write accept error: " (reset and reboot commands)
};
QString sendErrorText(SendKind kind, const QString &clientError);

// The client's last error for the user. A serial port that cannot be opened
// leaves the system's own words there (English whatever the language); the
// port's error tells it instead.
QString clientErrorText(const QModbusDevice &client);

// Exception code of an exception response, 0xff when it carries none. Read
// from the data byte: Qt 5.15 keeps the function code of an exception
// sign-extended, which its own exceptionCode() trips over under the enum
// sanitizer.
int exceptionCodeOf(const QModbusResponse &response);

// A reply that finished with an error. A Modbus exception reply shows the
// exception code of the raw response (0xff when it carries none); any other
// error shows the QModbusDevice::Error value.
QString requestErrorText(int type, QModbusDevice::Error error, const QString &errorString,
                         const QModbusResponse &rawResult);
QString requestErrorText(int type, const QModbusReply &reply);

// A failed reply to a request that names no block (the calibration poller's
// single-parameter reads and writes).
QString parameterRequestErrorText(QModbusDevice::Error error, const QString &errorString,
                                  const QModbusResponse &rawResult);
QString parameterRequestErrorText(const QModbusReply &reply);

// A reply without error whose result does not answer its request.
QString mismatchErrorText(int type, const QModbusDataUnit &request, const QModbusDataUnit &result);

#endif // REQUESTERROR_H
