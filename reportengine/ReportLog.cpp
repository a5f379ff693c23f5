#include "reportengine/ReportLog.h"

Q_LOGGING_CATEGORY(reportLog, "kodra.report")
