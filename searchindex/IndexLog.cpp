#include "searchindex/IndexLog.h"

Q_LOGGING_CATEGORY(lcSearchIndex, "kodra.searchindex")
