// SPDX-License-Identifier: GPL-3.0-or-later
#include "target.h"

#include <QRegularExpression>
#include <QUrlQuery>

namespace {

QString usage()
{
    return QStringLiteral("ожидается %1 или %2").arg(Target::tcpForm(), Target::rtuForm());
}

bool toNumber(const QString &text, int minimum, int maximum, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= minimum && *value <= maximum;
}

// "N" or "N-M" within the bounds.
bool toRange(const QString &text, int minimum, int maximum, int *first, int *last)
{
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() > 2 || !toNumber(parts.first(), minimum, maximum, first))
        return false;
    *last = *first;
    return parts.size() == 1 || (toNumber(parts.last(), *first, maximum, last));
}

struct Parsed
{
    Target target;
    QString unitText;
    QString hostText;
};

bool parseParts(const QString &text, Parsed *parsed, QString *error)
{
    const QString bad = QStringLiteral("неверная цель «%1»: ").arg(text);
    Target &target = parsed->target;
    QString rest;
    if (text.startsWith(QLatin1String("tcp://"))) {
        target.kind = Target::Kind::Tcp;
        rest = text.mid(6);
    } else if (text.startsWith(QLatin1String("rtu:"))) {
        target.kind = Target::Kind::Rtu;
        rest = text.mid(4);
    } else {
        *error = bad + usage();
        return false;
    }
    const int question = rest.indexOf(QLatin1Char('?'));
    const QUrlQuery query(question < 0 ? QString() : rest.mid(question + 1));
    const QString place = question < 0 ? rest : rest.left(question);

    QStringList known{QStringLiteral("unit")};
    parsed->unitText = query.hasQueryItem(QStringLiteral("unit"))
                           ? query.queryItemValue(QStringLiteral("unit"))
                           : QStringLiteral("1");
    if (target.isTcp()) {
        const int colon = place.lastIndexOf(QLatin1Char(':'));
        parsed->hostText = colon < 0 ? place : place.left(colon);
        if (colon >= 0 && !toNumber(place.mid(colon + 1), 1, 65535, &target.port)) {
            *error = bad + QStringLiteral("порт должен быть числом 1…65535");
            return false;
        }
        if (parsed->hostText.isEmpty()) {
            *error = bad + QStringLiteral("не указан хост");
            return false;
        }
    } else {
        target.device = place;
        if (place.isEmpty()) {
            *error = bad + QStringLiteral("не указан последовательный порт");
            return false;
        }
        known << QStringLiteral("baud") << QStringLiteral("parity") << QStringLiteral("stop");
        if (query.hasQueryItem(QStringLiteral("baud"))
            && !toNumber(query.queryItemValue(QStringLiteral("baud")), 1, 4000000, &target.baud)) {
            *error = bad + QStringLiteral("baud должен быть скоростью линии, например 19200");
            return false;
        }
        const QString parity = query.queryItemValue(QStringLiteral("parity"));
        if (parity == QLatin1String("even"))
            target.parity = QSerialPort::EvenParity;
        else if (parity == QLatin1String("odd"))
            target.parity = QSerialPort::OddParity;
        else if (!parity.isEmpty() && parity != QLatin1String("none")) {
            *error = bad + QStringLiteral("parity: none, even или odd");
            return false;
        }
        const QString stop = query.queryItemValue(QStringLiteral("stop"));
        if (stop == QLatin1String("2"))
            target.stopBits = QSerialPort::TwoStop;
        else if (!stop.isEmpty() && stop != QLatin1String("1")) {
            *error = bad + QStringLiteral("stop: 1 или 2");
            return false;
        }
    }
    QStringList seen;
    for (const auto &item : query.queryItems()) {
        if (!known.contains(item.first)) {
            *error = bad + QStringLiteral("неизвестный параметр «%1»").arg(item.first);
            return false;
        }
        // Which of two values counts would be a guess.
        if (seen.contains(item.first)) {
            *error = bad + QStringLiteral("параметр «%1» указан дважды").arg(item.first);
            return false;
        }
        seen << item.first;
    }
    return true;
}

// The last octet of an IPv4 address written as a range ("10.0.0.1-20"), or an
// empty text (host names may hold hyphens).
QString lastOctetRange(const Parsed &parsed)
{
    static const QRegularExpression range(QStringLiteral("^(?:\\d+\\.){3}([^.]*-[^.]*)$"));
    const QRegularExpressionMatch match = range.match(parsed.hostText);
    return parsed.target.isTcp() && match.hasMatch() ? match.captured(1) : QString();
}

} // namespace

bool Target::check(const QString &text, QString *error)
{
    Target target;
    return parse(text, &target, error);
}

bool Target::parse(const QString &text, Target *target, QString *error)
{
    Parsed parsed;
    if (!parseParts(text.trimmed(), &parsed, error))
        return false;
    const QString bad = QStringLiteral("неверная цель «%1»: ").arg(text.trimmed());
    if (!toNumber(parsed.unitText, MinUnit, MaxUnit, &parsed.target.unit)) {
        *error = bad + QStringLiteral("unit должен быть адресом 1…247");
        return false;
    }
    if (!lastOctetRange(parsed).isEmpty()) {
        *error = bad + QStringLiteral("диапазон адресов допустим только в команде scan");
        return false;
    }
    parsed.target.host = parsed.hostText;
    *target = parsed.target;
    return true;
}

bool Target::parseRange(const QString &text, QVector<Target> *targets, QString *error)
{
    Parsed parsed;
    if (!parseParts(text.trimmed(), &parsed, error))
        return false;
    const QString bad = QStringLiteral("неверная цель «%1»: ").arg(text.trimmed());
    int firstUnit = 0;
    int lastUnit = 0;
    if (!toRange(parsed.unitText, MinUnit, MaxUnit, &firstUnit, &lastUnit)) {
        *error = bad + QStringLiteral("unit должен быть адресом 1…247 или диапазоном N-M");
        return false;
    }
    QStringList hosts{parsed.hostText};
    const QString lastOctet = lastOctetRange(parsed);
    if (!lastOctet.isEmpty()) {
        const int dot = parsed.hostText.lastIndexOf(QLatin1Char('.'));
        int first = 0;
        int last = 0;
        if (!toRange(lastOctet, 0, 255, &first, &last)) {
            *error = bad + QStringLiteral("диапазон адресов пишется как 10.0.0.1-20");
            return false;
        }
        hosts.clear();
        for (int octet = first; octet <= last; ++octet)
            hosts << parsed.hostText.left(dot + 1) + QString::number(octet);
    }
    for (const QString &host : qAsConst(hosts)) {
        for (int unit = firstUnit; unit <= lastUnit; ++unit) {
            Target target = parsed.target;
            target.host = host;
            target.unit = unit;
            targets->append(target);
        }
    }
    return true;
}

QString Target::toString() const
{
    if (isTcp())
        return QStringLiteral("tcp://%1:%2?unit=%3").arg(host).arg(port).arg(unit);
    const QString parityText = parity == QSerialPort::EvenParity  ? QStringLiteral("even")
                               : parity == QSerialPort::OddParity ? QStringLiteral("odd")
                                                                  : QStringLiteral("none");
    return QStringLiteral("rtu:%1?baud=%2&parity=%3&stop=%4&unit=%5")
        .arg(device)
        .arg(baud)
        .arg(parityText)
        .arg(stopBits == QSerialPort::TwoStop ? 2 : 1)
        .arg(unit);
}

QString Target::tcpForm()
{
    return QStringLiteral("tcp://ХОСТ[:ПОРТ][?unit=N]");
}

QString Target::rtuForm()
{
    return QStringLiteral("rtu:УСТРОЙСТВО[?baud=N&parity=none|even|odd&stop=1|2&unit=N]");
}

QString Target::lineKey() const
{
    // Every TCP unit gets a connection of its own.
    return isTcp() ? toString() : QStringLiteral("rtu:") + device;
}
