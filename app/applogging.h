// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef APPLOGGING_H
#define APPLOGGING_H

#include <QLoggingCategory>

// Debug lines of the windows, views and dialogs ("brk.app").
Q_DECLARE_LOGGING_CATEGORY(lcApp)

#endif // APPLOGGING_H
