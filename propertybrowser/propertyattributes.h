// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PROPERTYATTRIBUTES_H
#define PROPERTYATTRIBUTES_H

#include <QString>

// Names of the attributes a BrowserProperty understands; the manager checks
// each against the property's type.
namespace PropertyAttribute {
inline const QString EnumNames = QStringLiteral("enumNames");
inline const QString Minimum = QStringLiteral("minimum");
inline const QString Maximum = QStringLiteral("maximum");
inline const QString Decimals = QStringLiteral("decimals");
inline const QString SingleStep = QStringLiteral("singleStep");
inline const QString RegExp = QStringLiteral("regExp");
inline const QString ReadOnly = QStringLiteral("readOnly");
} // namespace PropertyAttribute

#endif // PROPERTYATTRIBUTES_H
