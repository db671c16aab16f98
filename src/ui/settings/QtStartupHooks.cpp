#include "ui/settings/QtStartupHooks.h"

#include "ui/settings/Choosers.h"
#include "ui/settings/DisclaimerDialog.h"
#include "ui/settings/HelpWindow.h"

namespace marquelo {

bool QtStartupHooks::chooseImageDirectory(std::string& directory)
{
    return browseForFolderOnDisk(nullptr, QStringLiteral("Select image directory"), directory);
}

bool QtStartupHooks::acceptDisclaimer()
{
    return runDisclaimer(nullptr);
}

void QtStartupHooks::showHelpPage(int page)
{
    marquelo::showHelpPage(nullptr, page);
}

} // namespace marquelo
