#include "ui/settings/Resources.h"

#include "ui/settings/HelpWindow.h"

namespace marquelo {

QIcon applicationIcon()
{
    // pagePath() makes sure this room's resources are registered.
    (void)HelpWindow::pagePath(0);
    return QIcon(QStringLiteral(":/marquelo/settings/marquelo.svg"));
}

} // namespace marquelo
