#include "modellogging.h"

Q_LOGGING_CATEGORY(lcModel, "brk.model")
