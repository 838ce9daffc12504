// SPDX-License-Identifier: GPL-3.0-or-later
#include "tableaccess.h"
#include "modellogging.h"

#include <QDebug>

#include <cmath>

namespace TableAccess {

namespace {

constexpr qint64 WordMax = 0xFFFF;

bool isText(const QVariant &value)
{
    return value.userType() == QMetaType::QString || value.userType() == QMetaType::QByteArray;
}

bool fitsWord(double x)
{
    return x >= 0.0 && x <= double(WordMax); // false for NaN
}

} // namespace

bool holds(const QVector<quint16> &table, qint64 index, qint64 width)
{
    return index >= 0 && width >= 0 && index + width <= qint64(table.size());
}

bool toWord(const QVariant &value, const char *what, quint16 *word)
{
    if (isText(value)) {
        const QString text = value.toString();
        bool ok = false;
        const qint64 n = text.toLongLong(&ok);
        if (ok) {
            if (n < 0 || n > WordMax) {
                qCDebug(lcModel) << "Value out of 16-bit range, register not written:" << what << n;
                return false;
            }
            *word = quint16(n);
            return true;
        }
        // A number too big for an integer text ("1e9") must not become 0.
        const double d = text.toDouble(&ok);
        if (ok && !fitsWord(std::trunc(d))) {
            qCDebug(lcModel) << "Value out of 16-bit range, register not written:" << what << text;
            return false;
        }
        *word = 0; // not an integer text, read as 0 like every other reader
        return true;
    }
    if (!value.isValid()) {
        *word = 0;
        return true;
    }
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok) {
        *word = 0;
        return true;
    }
    const double rounded = std::round(d);
    if (!fitsWord(rounded)) {
        qCDebug(lcModel) << "Value out of 16-bit range, register not written:" << what << d;
        return false;
    }
    *word = quint16(rounded);
    return true;
}

bool toTenthsWord(const QVariant &value, const char *what, quint16 *word)
{
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok) {
        *word = 0;
        return true;
    }
    const double tenths = std::trunc(d * 10.0);
    if (!fitsWord(tenths)) {
        qCDebug(lcModel) << "Value out of 16-bit range, register not written:" << what << d;
        return false;
    }
    *word = quint16(tenths);
    return true;
}

bool toBoundedInt(const QVariant &value, int max, int *result)
{
    bool ok = false;
    const qint64 n = value.toString().toLongLong(&ok);
    if (!ok || n < 0 || n > max)
        return false;
    *result = int(n);
    return true;
}

} // namespace TableAccess
