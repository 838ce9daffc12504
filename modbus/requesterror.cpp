#include "requesterror.h"

#include <codes.h>

#include <QModbusReply>

QString sendErrorText(SendKind kind, const QString &clientError)
{
    switch (kind) {
    case SendKind::Read: return QStringLiteral("Read error: ") + clientError;
    case SendKind::Write: return QStringLiteral("Write error: ") + clientError;
    case SendKind::WriteAccept: return QStringLiteral("Write accept error: ") + clientError;
    }
    return clientError;
}

QString requestErrorText(int type, QModbusDevice::Error error, const QString &errorString,
                         const QModbusResponse &rawResult)
{
    if (error == QModbusDevice::ProtocolError) {
        // The exception code is the response's only data byte. Read it directly:
        // Qt 5.15 keeps the function code of an exception sign-extended, which
        // its own exceptionCode() trips over under the enum sanitizer.
        const QByteArray data = rawResult.data();
        const int code = data.isEmpty() ? 0xff : quint8(data.at(0));
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

QString mismatchErrorText(int type, const QModbusDataUnit &request,
                          const QModbusDataUnit &result)
{
    return QStringLiteral("Ошибка запроса %1: ответ не соответствует запросу "
                          "(ожидался адрес %2, регистров %3; получен адрес %4, регистров %5)")
        .arg(typeResponseName(type))
        .arg(request.startAddress())
        .arg(request.valueCount())
        .arg(result.startAddress())
        .arg(result.valueCount());
}
