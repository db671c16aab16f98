#pragma once

// One logging category per room, quiet by default: a failure is shown to the user where it happens and
// logged here with its reason, so QT_LOGGING_RULES="marquelo.*=true" (or "marquelo.page.warning=true")
// tells a developer or a bug report what went wrong without a debugger.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcViewer)
Q_DECLARE_LOGGING_CATEGORY(lcThumbnails)
Q_DECLARE_LOGGING_CATEGORY(lcTools)
Q_DECLARE_LOGGING_CATEGORY(lcPage)
Q_DECLARE_LOGGING_CATEGORY(lcUpdate)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
