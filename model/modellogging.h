// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELLOGGING_H
#define MODELLOGGING_H

#include <QLoggingCategory>

// Debug lines of the device model; QT_LOGGING_RULES="brk.model.debug=false" silences them.
Q_DECLARE_LOGGING_CATEGORY(lcModel)

#endif // MODELLOGGING_H
