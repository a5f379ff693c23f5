#pragma once

#include <QLoggingCategory>

// What the data layer drops without telling its caller (kodra.store).
// Warnings show by default; QT_LOGGING_RULES="kodra.*=true" shows the rest.
Q_DECLARE_LOGGING_CATEGORY(lcStore)
