#pragma once

#include <QLoggingCategory>

// What the administration dialogs catch and do not show (kodra.admin).
// Warnings show by default; QT_LOGGING_RULES="kodra.*=true" shows the rest.
Q_DECLARE_LOGGING_CATEGORY(lcAdmin)
