// SPDX-License-Identifier: GPL-3.0-or-later
#include "modellogging.h"

Q_LOGGING_CATEGORY(lcModel, "brk.model")
