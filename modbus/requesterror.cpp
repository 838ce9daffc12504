// SPDX-License-Identifier: GPL-3.0-or-later
#include "requesterror.h"
#include "typeresponse.h"

#include <codes.h>

#include <QCoreApplication>
#include <QModbusReply>
#include <QSerialPort>

QString sendErrorText(SendKind kind, const QString &clientError)
{
    switch (kind) {
    case SendKind::Read:
        return QStringLiteral("Read error: ") + clientError;
    case SendKind::Write:
        return QStringLiteral("Write error: ") + clientError;
    case SendKind::WriteAccept:
        return QStringLiteral("Write accept error: ") + clientError;
    }
    return clientError;
}

QString clientErrorText(const QModbusDevice &client)
{
    const auto *port = client.findChild<QSerialPort *>();
    const char *text = nullptr;
    switch (port ? port->error() : QSerialPort::NoError) {
    case QSerialPort::DeviceNotFoundError:
        text = "Referenced serial device does not exist.";
        break;
    case QSerialPort::PermissionError:
        text = "Cannot open serial device due to permissions.";
        break;
    case QSerialPort::OpenError:
        text = "Cannot open serial device.";
        break;
    default:
        return client.errorString();
    }
    // The Modbus library's own words, in its translation.
    return QCoreApplication::translate("QModbusDevice", text);
}

int exceptionCodeOf(const QModbusResponse &response)
{
    const QByteArray data = response.data();
    return data.isEmpty() ? 0xff : quint8(data.at(0));
}

QString requestErrorText(int type, QModbusDevice::Error error, const QString &errorString,
                         const QModbusResponse &rawResult)
{
    if (error == QModbusDevice::ProtocolError) {
        const int code = exceptionCodeOf(rawResult);
        return QStringLiteral("Ошибка запроса %1: %2 (Mobus exception: 0x%3)")
            .arg(typeResponseName(type), errorString, QString::number(code, 16));
    }
    return QStringLiteral("Ошибка запроса %1: %2 (code: 0x%3)")
        .arg(typeResponseName(type), errorString, QString::number(int(error), 16));
}

QString requestErrorText(int type, const QModbusReply &reply)
{
    return requestErrorText(type, reply.error(), reply.errorString(), reply.rawResult());
}

QString parameterRequestErrorText(QModbusDevice::Error error, const QString &errorString,
                                  const QModbusResponse &rawResult)
{
    if (error == QModbusDevice::ProtocolError) {
        return QStringLiteral("Ошибка запроса : %1 (Mobus exception: 0x%2)")
            .arg(errorString, QString::number(exceptionCodeOf(rawResult), 16));
    }
    return QStringLiteral("Ошибка запроса: %1 (code: 0x%2)")
        .arg(errorString, QString::number(int(error), 16));
}

QString parameterRequestErrorText(const QModbusReply &reply)
{
    return parameterRequestErrorText(reply.error(), reply.errorString(), reply.rawResult());
}

QString mismatchErrorText(int type, const QModbusDataUnit &request, const QModbusDataUnit &result)
{
    return QStringLiteral("Ошибка запроса %1: ответ не соответствует запросу "
                          "(ожидался адрес %2, регистров %3; получен адрес %4, регистров %5)")
        .arg(typeResponseName(type))
        .arg(request.startAddress())
        .arg(request.valueCount())
        .arg(result.startAddress())
        .arg(result.valueCount());
}
