#pragma once
// The decisions of start-up that need no window: loading the settings with the first-run sequence,
// the update question, the check for the bundled image tool and the output folders. What needs a
// dialog goes through UserInterface and StartupHooks, so tests drive all of it with a script.

#include "core/UserInterface.h"
#include "core/settings/AppConfig.h"
#include "core/settings/SettingsStore.h"

#include <functional>
#include <string>

namespace marquelo {

// The help pages of the program, as numbered in its resources.
inline constexpr int kNoticePage = 104;    // first run: the bundled image tool was not found
inline constexpr int kShortcutsPage = 168; // the shortcut keys

// The dialogs of start-up beyond plain messages; the ui floor implements them with widgets.
class StartupHooks {
public:
    virtual ~StartupHooks() = default;
    // The folder chooser "Select image directory"; false when cancelled.
    virtual bool chooseImageDirectory(std::string& directory) = 0;
    // The disclaimer; true only when it ended with ACCEPT.
    virtual bool acceptDisclaimer() = 0;
    // The help window on one of the program's pages.
    virtual void showHelpPage(int page) = 0;
};

// Asks "Connect to the internet and check for updates?" (Yes, No, Cancel); only Yes runs check. Without
// a check (a packaged installation) nothing is asked.
void offerUpdateCheck(UserInterface& ui, const std::function<void()>& check);

// Whether a program text names something that exists, resolved the way the launcher resolves it:
// a text with '/' is that path; otherwise programDirectory/<text>, then an executable on PATH.
bool programExists(const std::string& program, const std::string& programDirectory);

// Loads the settings; when the store was never saved (ConfigIsValid 0), runs the first run: the
// disclaimer (false returned at once when it was not accepted; nothing written), the first save, the
// update question, and notice page 104 when ImageCompressApp cannot be found. True: carry on.
bool loadSettings(SettingsStore& store, const SettingsEnvironment& env, AppConfig& config, UserInterface& ui,
                  StartupHooks& hooks, const std::function<void()>& checkForUpdates);

enum class FolderState { Existed, Created, NotCreated, NotADirectory };

// Makes sure a folder exists, creating missing parents too. NotADirectory when something else
// already has that name; NotCreated when creating failed (not reported: writers report their own).
FolderState ensureFolder(const std::string& path);

// BaseOutputDirectory, then BestOfDirectory, through ensureFolder. For a name taken by a non-folder,
// ui shows "'%s' is not a diectory. Application cannot run." and the result is false (end at once).
bool ensureOutputFolders(const AppConfig& config, UserInterface& ui);

} // namespace marquelo
