#pragma once

#include <QLoggingCategory>

// What the controls catch and show as an empty value (kodra.widgets).
// Warnings show by default; QT_LOGGING_RULES="kodra.*=true" shows the rest.
Q_DECLARE_LOGGING_CATEGORY(lcWidgets)
