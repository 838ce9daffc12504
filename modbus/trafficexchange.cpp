// SPDX-License-Identifier: GPL-3.0-or-later
#include "trafficexchange.h"

namespace {

QString joined(const QVector<quint16> &values, bool asSwitch)
{
    QStringList parts;
    parts.reserve(values.size());
    for (quint16 value : values)
        parts << QString::number(asSwitch ? int(value != 0) : int(value));
    return parts.join(QLatin1Char(' '));
}

} // namespace

bool TrafficExchange::isError() const
{
    return outcome != Outcome::Pending && outcome != Outcome::Answered
           && outcome != Outcome::Broadcast;
}

QString TrafficExchange::timeText() const
{
    return QString::number(double(sentUs) / 1e6, 'f', 3);
}

QString TrafficExchange::functionName(int function)
{
    switch (function) {
    case 1:
        return QStringLiteral("01 чтение катушек");
    case 2:
        return QStringLiteral("02 чтение дискретных входов");
    case 3:
        return QStringLiteral("03 чтение регистров");
    case 4:
        return QStringLiteral("04 чтение входных регистров");
    case 5:
        return QStringLiteral("05 запись катушки");
    case 6:
        return QStringLiteral("06 запись регистра");
    case 15:
        return QStringLiteral("15 запись катушек");
    case 16:
        return QStringLiteral("16 запись регистров");
    default:
        return QString::number(function);
    }
}

QString TrafficExchange::functionText() const
{
    return functionName(function);
}

QString TrafficExchange::requestText() const
{
    if (!isWrite())
        return QString::number(count);
    return QStringLiteral("= ") + joined(values, function == 5 || function == 15);
}

QString TrafficExchange::exceptionMeaning(int code)
{
    switch (code) {
    case 0x01:
        return QStringLiteral("недопустимая функция");
    case 0x02:
        return QStringLiteral("недопустимый адрес данных");
    case 0x03:
        return QStringLiteral("недопустимое значение");
    case 0x04:
        return QStringLiteral("отказ устройства");
    case 0x05:
        return QStringLiteral("запрос принят, выполняется");
    case 0x06:
        return QStringLiteral("устройство занято");
    case 0x08:
        return QStringLiteral("ошибка чётности памяти");
    case 0x0A:
        return QStringLiteral("шлюз: нет пути");
    case 0x0B:
        return QStringLiteral("шлюз: устройство не отвечает");
    default:
        return QStringLiteral("неизвестное исключение");
    }
}

QString TrafficExchange::resultText() const
{
    switch (outcome) {
    case Outcome::Pending:
        return QStringLiteral("ожидание ответа");
    case Outcome::Answered:
        return isWrite() ? QStringLiteral("выполнено")
                         : joined(values, function == 1 || function == 2);
    case Outcome::Mismatch:
        return QStringLiteral("ответ не на этот запрос");
    case Outcome::Exception:
        return QStringLiteral("исключение %1: %2")
            .arg(QStringLiteral("%1").arg(exceptionCode, 2, 16, QLatin1Char('0')).toUpper(),
                 exceptionMeaning(exceptionCode));
    case Outcome::Timeout:
        return QStringLiteral("нет ответа (тайм-аут)");
    case Outcome::Aborted:
        return QStringLiteral("прервано");
    case Outcome::Failed:
        return QStringLiteral("ошибка: ") + error;
    case Outcome::NotSent:
        return QStringLiteral("не отправлен: ") + error;
    case Outcome::Broadcast:
        return QStringLiteral("широковещательный, без ответа");
    }
    return QString();
}

QString TrafficExchange::roundTripText() const
{
    return roundTripUs < 0 ? QString() : QString::number(double(roundTripUs) / 1000.0, 'f', 1);
}

QStringList TrafficExchange::columnTitles()
{
    return {QStringLiteral("Время, с"),          QStringLiteral("Адрес"),
            QStringLiteral("Функция"),           QStringLiteral("Регистр"),
            QStringLiteral("Кол-во / значения"), QStringLiteral("Результат"),
            QStringLiteral("Ответ, мс")};
}

QStringList TrafficExchange::columnTexts() const
{
    return {timeText(),     QString::number(serverAddress),
            functionText(), QString::number(start),
            requestText(),  resultText(),
            roundTripText()};
}
