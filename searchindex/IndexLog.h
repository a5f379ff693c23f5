#pragma once

#include <QLoggingCategory>

// What the index drops or gives up without telling the user (kodra.searchindex).
Q_DECLARE_LOGGING_CATEGORY(lcSearchIndex)
