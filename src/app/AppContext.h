#pragma once
// What start-up hands to every room when it wires the program together: the settings record, the
// image list, the message boxes, the main window and a few services. All of it lives until exit.

#include "core/UserInterface.h"
#include "core/settings/AppConfig.h"
#include "core/viewer/ImageList.h"

#include <functional>
#include <string>

namespace marquelo {

class ViewerWindow;

struct AppContext {
    AppConfig& config;
    ImageList& images;
    UserInterface& ui;
    // The main window; null while the early hooks are registered (before the settings are loaded).
    ViewerWindow* window = nullptr;
    // Writes the whole record to the store (reports a failure itself).
    std::function<void()> saveSettings;
    // The folder of the running executable.
    std::string programDirectory;
    // The update check run when the first-run question is answered Yes (and by whoever else wants
    // it). Does nothing until the update room sets it in registerEarlyHooks().
    std::function<void()> checkForUpdates = [] {};
};

// Before the settings are loaded: rooms set the hooks the first run may call. No window exists yet.
void registerEarlyHooks(AppContext& app);

// After the window is built, before it is shown: rooms register their command handlers on it.
void registerRooms(AppContext& app);

} // namespace marquelo
