// SPDX-License-Identifier: GPL-3.0-or-later
#include "modbuscall.h"

#include <QEventLoop>
#include <QMap>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>
#include <QTimer>

namespace {

ModbusCallResult finish(QModbusReply *reply, int waitMs)
{
    ModbusCallResult result;
    if (!reply) {
        result.error = QModbusDevice::ConnectionError;
        return result;
    }
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply, &QModbusReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!reply->isFinished()) {
        result.error = QModbusDevice::TimeoutError;
        reply->deleteLater();
        return result;
    }
    result.error = reply->error();
    if (result.error == QModbusDevice::ProtocolError) {
        // Qt 5.15 keeps a sign-extended function code in exception responses, which its
        // inline isException() trips over under -fsanitize=enum: read the data byte instead.
        const QByteArray data = reply->rawResult().data();
        result.exception = data.isEmpty() ? 0xFF : quint8(data.at(0));
    } else if (result.error == QModbusDevice::NoError)
        result.values = reply->result().values();
    reply->deleteLater();
    return result;
}

QVector<quint16> numbers(const QString &list)
{
    QVector<quint16> values;
    for (const QString &text : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        values << quint16(text.toUInt(nullptr, 0));
    return values;
}

QString numbersText(const QVector<quint16> &values)
{
    QStringList texts;
    for (quint16 value : values)
        texts << QStringLiteral("0x%1").arg(value, 0, 16);
    return texts.join(QLatin1Char(','));
}

QString outcomeOf(const ModbusCallResult &result)
{
    if (result.error == QModbusDevice::TimeoutError)
        return QStringLiteral("T");
    if (result.exception != 0)
        return QString::number(result.exception);
    return result.ok() ? QString() : QStringLiteral("error %1").arg(result.error);
}

} // namespace

ModbusCallResult ModbusCall::read(QModbusClient *client, QModbusDataUnit::RegisterType type,
                                  int address, int count, int slave, int waitMs)
{
    return finish(client->sendReadRequest(QModbusDataUnit(type, address, quint16(count)), slave),
                  waitMs);
}

ModbusCallResult ModbusCall::write(QModbusClient *client, QModbusDataUnit::RegisterType type,
                                   int address, const QVector<quint16> &values, int slave,
                                   int waitMs)
{
    return finish(client->sendWriteRequest(QModbusDataUnit(type, address, values), slave), waitMs);
}

std::unique_ptr<QModbusTcpClient> ModbusCall::tcpClient(quint16 port, int timeoutMs, int retries)
{
    auto client = std::make_unique<QModbusTcpClient>();
    client->setConnectionParameter(QModbusDevice::NetworkAddressParameter, "127.0.0.1");
    client->setConnectionParameter(QModbusDevice::NetworkPortParameter, port);
    client->setTimeout(timeoutMs);
    client->setNumberOfRetries(retries);
    if (!client->connectDevice()
        || !QTest::qWaitFor([&client] { return client->state() == QModbusDevice::ConnectedState; },
                            5000))
        qWarning("no connection to 127.0.0.1:%d", port);
    return client;
}

QString ModbusCall::run(QModbusClient *client, const QString &requests)
{
    static const QRegularExpression form(QStringLiteral(
        R"(^([hicd])(\d+)(?:=([\dA-Fa-fx,]+)|:(\d+)|\?([\dA-Fa-fx,]+))?(?:@(\d+))?(?:!(\w+))?$)"));
    static const QMap<QChar, QModbusDataUnit::RegisterType> types{
        {'h', QModbusDataUnit::HoldingRegisters},
        {'i', QModbusDataUnit::InputRegisters},
        {'c', QModbusDataUnit::Coils},
        {'d', QModbusDataUnit::DiscreteInputs}};
    for (QString text : requests.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        // The unit's service codes, as they go on the wire.
        text.replace(QRegularExpression("^arm-module"), "h2016=0x6C5B")
            .replace(QRegularExpression("^arm"), "h2016=0x6C31");
        const QRegularExpressionMatch m = form.match(text);
        if (!m.hasMatch())
            return text + QStringLiteral(": not understood");
        const auto type = types.value(m.captured(1).at(0));
        const int address = m.captured(2).toInt();
        const int slave = m.captured(6).isEmpty() ? 1 : m.captured(6).toInt();
        const QVector<quint16> expected = numbers(m.captured(5));
        const ModbusCallResult result
            = m.captured(3).isEmpty()
                  ? read(client, type, address,
                         expected.isEmpty() ? qMax(1, m.captured(4).toInt()) : expected.size(),
                         slave)
                  : write(client, type, address, numbers(m.captured(3)), slave);
        if (outcomeOf(result) != m.captured(7)
            || (!expected.isEmpty() && result.values != expected))
            return QStringLiteral("%1: outcome \"%2\", values %3")
                .arg(text, outcomeOf(result), numbersText(result.values));
    }
    return QString();
}
