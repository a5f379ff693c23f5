#include "browser/BrowserLog.h"

Q_LOGGING_CATEGORY(lcBrowser, "kodra.browser", QtWarningMsg)
