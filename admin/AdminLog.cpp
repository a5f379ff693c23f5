#include "admin/AdminLog.h"

Q_LOGGING_CATEGORY(lcAdmin, "kodra.admin", QtWarningMsg)
