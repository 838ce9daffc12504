// SPDX-License-Identifier: GPL-3.0-or-later
#include "ipv4address.h"

QRegularExpression ipv4AddressExpression()
{
    const QString octet = QStringLiteral("(?:[0-1]?[0-9]?[0-9]|2[0-4][0-9]|25[0-5])");
    return QRegularExpression(QStringLiteral("^%1\\.%1\\.%1\\.%1$").arg(octet));
}
