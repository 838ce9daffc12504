// SPDX-License-Identifier: GPL-3.0-or-later
#include "applogging.h"

Q_LOGGING_CATEGORY(lcApp, "brk.app")
