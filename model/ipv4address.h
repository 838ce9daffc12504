// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef IPV4ADDRESS_H
#define IPV4ADDRESS_H

#include <QRegularExpression>

// A dotted IPv4 address as the editors take it: four octets 0…255 and
// nothing around them.
QRegularExpression ipv4AddressExpression();

#endif // IPV4ADDRESS_H
