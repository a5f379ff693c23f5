#pragma once

#include <QLoggingCategory>

// What the main window catches and does not show (kodra.browser).
// Warnings show by default; QT_LOGGING_RULES="kodra.*=true" shows the rest.
Q_DECLARE_LOGGING_CATEGORY(lcBrowser)
