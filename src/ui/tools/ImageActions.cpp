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
    launchTool(config.PreviewBrowser, pageFilePath(config), false, ui);
}

void bindToolCommands(ViewerWindow& /*window*/) {}

} // namespace marquelo
