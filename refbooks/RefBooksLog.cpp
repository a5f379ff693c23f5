#include "refbooks/RefBooksLog.h"

Q_LOGGING_CATEGORY(lcRefBooks, "kodra.refbooks", QtWarningMsg)
