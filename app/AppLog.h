#pragma once

#include <QLoggingCategory>

// What the program catches at start and end without showing it (kodra.app).
// Warnings show by default; QT_LOGGING_RULES="kodra.*=true" shows the rest.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
