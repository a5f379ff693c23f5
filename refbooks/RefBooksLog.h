#pragma once

#include <QLoggingCategory>

// What the reference books catch and do not show (kodra.refbooks).
// Warnings show by default; QT_LOGGING_RULES="kodra.*=true" shows the rest.
Q_DECLARE_LOGGING_CATEGORY(lcRefBooks)
