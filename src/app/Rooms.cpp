// Wiring of the rooms into the program. Each room adds one call to the section that fits its need;
// keep the calls short and the wiring itself in the room.
#include "app/AppContext.h"
#include "core/settings/Startup.h"
#include "ui/page/PageCommands.h"
#include "ui/prefs/PreferencesCommand.h"
#include "ui/tools/ImageActions.h"
#include "ui/update/UpdateActions.h"
#include "ui/viewer/ViewerAppearance.h"
#include "ui/viewer/ViewerWindow.h"

namespace marquelo {

void registerEarlyHooks(AppContext& app)
{
    (void)app;
    // Rooms register their start-up hooks here
    // Update check (first-run Yes and the preferences button): on the installation path as stored.
    app.checkForUpdates = [&app] { checkForUpdates(app.config.InstallationPath, app.ui); };
}

void registerRooms(AppContext& app)
{
    (void)app;
    // Rooms register their commands here
    // Help (keys ?, / and F1, the toolbar's Help button): the shortcut keys, written from the key table.
    // Once it was opened the start-up hint about it is not shown again.
    app.window->setCommandHandler(Command::Help, [&app, w = app.window] {
        app.config.KeyHelpSeen = true;
        showKeyHelp(w, app.config);
    });
    // Page builder: A (caption box, Enter / Escape), Shift+! close page, O open page.
    bindPageCommands(*app.window);
    // Tools: E, S, Ctrl+arrows, 1-4, B, H, V, Ctrl+B hand the photo or the page to outside programs.
    bindToolCommands(*app.window);
    // Preferences (key C); its Misc page runs the update check on the stored installation path.
    registerPreferencesCommand(*app.window, app.config, app.ui, app.saveSettings,
                               [&app](const std::string&) { app.checkForUpdates(); });
}

} // namespace marquelo
