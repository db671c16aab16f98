#include "core/settings/Logging.h"

// Critical as the threshold keeps warnings out of a user's terminal and the test logs until asked for.
Q_LOGGING_CATEGORY(lcSettings, "marquelo.settings", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcViewer, "marquelo.viewer", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcThumbnails, "marquelo.thumbnails", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcTools, "marquelo.tools", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcPage, "marquelo.page", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcUpdate, "marquelo.update", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcApp, "marquelo.app", QtCriticalMsg)
