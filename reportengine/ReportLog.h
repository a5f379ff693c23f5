#pragma once

#include <QLoggingCategory>

// What the report engine catches and does not show: QT_LOGGING_RULES="kodra.report=true".
Q_DECLARE_LOGGING_CATEGORY(reportLog)
