#include "applog.h"

Q_LOGGING_CATEGORY(lcApp, "brk.app")
