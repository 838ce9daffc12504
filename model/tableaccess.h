// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TABLEACCESS_H
#define TABLEACCESS_H

#include <QVariant>
#include <QVector>

// Bounded access to the register image and checked conversion of parameter
// values into 16-bit words, so that nothing reads past a table or wraps
// silently into a register.
namespace TableAccess {

// True when entries index .. index + width - 1 exist.
bool holds(const QVector<quint16> &table, qint64 index, qint64 width = 1);

// Converts a parameter value for a 16-bit register. Text that is not a number
// gives 0; a number outside 0..65535 gives false with a debug line naming
// `what`, and the caller leaves the word in the image as it was.
bool toWord(const QVariant &value, const char *what, quint16 *word);

// As toWord, for a value in tenths (value × 10, truncated toward zero).
bool toTenthsWord(const QVariant &value, const char *what, quint16 *word);

// Integer in 0..max taken from a file text; false for anything else.
bool toBoundedInt(const QVariant &value, int max, int *result);

} // namespace TableAccess

#endif // TABLEACCESS_H
