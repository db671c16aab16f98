#include "ui/tools/ImageActions.h"

#include "core/UserInterface.h"
#include "core/settings/AppConfig.h"
#include "core/tools/Launcher.h"

namespace marquelo {

std::string pageFilePath(const AppConfig& config)
{
    return config.CurOutputDirectory + "/" + config.OutputFilename;
}

void previewPage(const AppConfig& config, UserInterface& ui)
{
    if (config.PreviewBrowser.empty()) {
        ui.message("No preview browser configured");
        return;
    }
    // One argument whatever the path holds: a folder with a space must not split the page path.
    launchTool(config.PreviewBrowser, std::vector<std::string>{pageFilePath(config)}, false, ui);
}

void bindToolCommands(ViewerWindow& /*window*/) {}

} // namespace marquelo
