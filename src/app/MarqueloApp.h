#pragma once
// The application: turns the command line into an image folder and a start photo, loads the settings
// (with the first run), makes the output folders, lists the photos, runs the main window and saves
// the settings at exit when the store is still valid.

#include "app/AppContext.h"
#include "core/settings/AppConfig.h"
#include "core/settings/SettingsStore.h"
#include "core/settings/Startup.h"
#include "core/viewer/ImageList.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace marquelo {

class EarlyWindow;
class ViewerWindow;

// Steps 13 and 14 of start-up: lists directory into images and makes the start file current.
// "Error opening directory: %s" or "Can't find '%s/%s'" through ui and false when the viewer must
// not run. An empty file starts on the first entry, showing its edited copy when it has one.
bool selectStartImage(ImageList& images, const AppConfig& config, const std::string& directory, const std::string& file,
                      UserInterface& ui);

class MarqueloApp {
public:
    // store, ui and hooks must outlive the object. env gives the defaults derived from the machine.
    MarqueloApp(SettingsStore& store, SettingsEnvironment env, UserInterface& ui, StartupHooks& hooks);
    ~MarqueloApp();

    // The whole life of the program for argv (element 0 is the program): returns the exit code.
    // "--help" and "--version" print and return at once.
    int run(const std::vector<std::string>& argv);

    // The steps before the window: false when the program ends without it (the exit code is 0 then).
    bool prepare(const std::vector<std::string>& argv);
    // Builds the window, lets the rooms register, shows the current photo and runs until the window
    // asks to exit. Tests may replace the loop (runWindowLoop) to close it at once.
    void runViewer();
    // At exit: saves when ConfigIsValid in the store (re-read now) is non-zero.
    void finish();

    AppConfig& config() { return m_config; }
    ImageList& images() { return m_images; }
    AppContext& context() { return m_context; }
    ViewerWindow* window() const { return m_window.get(); }
    const std::string& imageDirectory() const { return m_directory; }

    // The window that shows the start photo while Qt starts: the viewer window takes its place once it
    // has drawn the photo itself. It is closed when start-up ends without the viewer window.
    void setEarlyWindow(std::shared_ptr<EarlyWindow> early) { m_early = std::move(early); }

    // Runs the window until it is done; the default runs the Qt event loop until exitRequested().
    std::function<void(ViewerWindow&)> runWindowLoop;

    // The text of --help and --version.
    static std::string helpText();
    static std::string versionText();

private:
    SettingsStore& m_store;
    SettingsEnvironment m_env;
    UserInterface& m_ui;
    StartupHooks& m_hooks;
    AppConfig m_config;
    ImageList m_images;
    AppContext m_context;
    std::unique_ptr<ViewerWindow> m_window;
    std::shared_ptr<EarlyWindow> m_early;
    std::string m_directory;
};

} // namespace marquelo
