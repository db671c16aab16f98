// Entry point: the application object does all the work of start-up and returns the exit code.
#include "app/MarqueloApp.h"
#include "ui/settings/Choosers.h"
#include "ui/settings/QtStartupHooks.h"
#include "ui/settings/QtUserInterface.h"
#include "ui/settings/Resources.h"
#include "ui/viewer/DisplayProfile.h"
#include "ui/viewer/EarlyWindow.h"

#include "core/settings/CommandLine.h"
#include "core/settings/Logging.h"
#include "core/settings/StartPath.h"
#include "core/settings/StartupTrace.h"
#include "core/viewer/EarlyWindowPlan.h"
#include "core/viewer/PictureCache.h"
#include "core/viewer/PictureColour.h"
#include "core/viewer/StartPicture.h"
#include "core/viewer/WorkPools.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
}

// Where the early window and the decoded start picture meet, whichever comes first: a small photo is
// decoded before the window is open.
struct EarlySlot {
    std::mutex mutex;
    std::shared_ptr<marquelo::EarlyWindow> window;
    // main() has opened the window, or decided against it: a picture is no longer kept here.
    bool settled = false;
    bool decoded = false;
    QImage picture;
    QSize fullSize;
};

// The early window for the start photo, when the settings and the display allow one (the reason is
// logged when not). Reads the stored settings as the viewer window will, before Qt exists.
std::shared_ptr<marquelo::EarlyWindow> openEarlyWindow(const marquelo::CommandLine& line, bool startPicture)
{
    std::error_code ec;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    const bool qtOptions = line.qtArguments.size() > 1;
    // Everything that needs no file first: most starts that go without it end here.
    if (const std::string reason = marquelo::earlyWindowRuledOut(startPicture, qtOptions, environment);
        !reason.empty()) {
        qCInfo(lcViewer) << "no early window:" << reason.c_str();
        return nullptr;
    }
    std::optional<marquelo::AppConfig> config;
    marquelo::SettingsStore store(marquelo::SettingsStore::storeFileFor(QString::fromStdString(executable.string())));
    if (store.readConfigIsValid() != 0) {
        config.emplace();
        store.load(*config, marquelo::SettingsEnvironment());
    }
    marquelo::EarlyWindowChoice choice =
        marquelo::chooseEarlyWindow(startPicture, qtOptions, config ? &*config : nullptr, environment);
    if (!choice.plan) {
        qCInfo(lcViewer) << "no early window:" << choice.reason.c_str();
        return nullptr;
    }
    // The title the viewer window gives itself for the photo, so the title bar does not change.
    const marquelo::StartPath start = marquelo::resolveStartPath(line.paths.front());
    choice.plan->title = marquelo::absoluteFolder(start.directory) + "/" + start.file + " - Marquelo";
    // WM_CLASS as Qt sets it: the resource name (RESOURCE_NAME, else the name the program was
    // started by) and the application's name, the executable's.
    const std::string resource = environment("RESOURCE_NAME");
    choice.plan->instanceName =
        !resource.empty() ? resource : std::filesystem::path(line.qtArguments.front()).filename().string();
    choice.plan->className = executable.filename().string();
    return marquelo::EarlyWindow::open(*choice.plan);
}

} // namespace

int main(int argc, char** argv)
{
    marquelo::startup::mark("main");
    // Everything that needs no window is answered before Qt starts: without a display Qt aborts.
    const marquelo::CommandLine line = marquelo::parseCommandLine(std::vector<std::string>(argv, argv + argc));
    switch (line.action) {
    case marquelo::CommandLine::Action::Help: std::fputs(marquelo::MarqueloApp::helpText().c_str(), stdout); return 0;
    case marquelo::CommandLine::Action::Version:
        std::fputs(marquelo::MarqueloApp::versionText().c_str(), stdout);
        return 0;
    case marquelo::CommandLine::Action::Usage:
        std::fprintf(stderr, "marquelo: unknown option '%s'\n", line.unknown.c_str());
        std::fputs(marquelo::MarqueloApp::helpText().c_str(), stderr);
        return 2;
    case marquelo::CommandLine::Action::Run: break;
    }
    if (!marquelo::canReachDisplay(line, environment)) {
        std::fputs("cannot open a display: set DISPLAY or WAYLAND_DISPLAY\n", stderr);
        return 1;
    }

    // A photo named alone on the command line is read and decoded while Qt and the window start (the
    // decode begins once the screen is known: asked of X directly, or of Qt once it runs); started on a
    // folder or with Qt's options, the window loads it as ever.
    std::optional<marquelo::StartPicture> startPicture;
    const auto early = std::make_shared<EarlySlot>();
    startPicture.emplace(line.paths.size() == 1 && line.qtArguments.size() == 1 ? line.paths.front() : std::string(),
                         marquelo::probeScreenBeforeQt, [early](const QImage& picture, QSize fullSize) {
                             std::shared_ptr<marquelo::EarlyWindow> window;
                             {
                                 const std::lock_guard lock(early->mutex);
                                 window = early->window;
                                 if (!window && !early->settled) {
                                     early->decoded = true;
                                     early->picture = picture;
                                     early->fullSize = fullSize;
                                 }
                             }
                             if (window)
                                 window->showPicture(picture, fullSize);
                         });
    // Meanwhile the photo may go on the screen before Qt is ready, in a plain X window of the viewer
    // window's size and place.
    std::shared_ptr<marquelo::EarlyWindow> earlyWindow = openEarlyWindow(line, startPicture->started());
    {
        const std::lock_guard lock(early->mutex);
        early->settled = true;
        early->window = earlyWindow;
        QImage picture = std::exchange(early->picture, {});
        if (earlyWindow && early->decoded) {
            // Decoded already: put on from a loads thread while Qt starts here.
            earlyWindow->pictureComing();
            const bool started = marquelo::workpools::tryRun(
                marquelo::workpools::loads(), [earlyWindow, picture = std::move(picture), fullSize = early->fullSize] {
                    earlyWindow->showPicture(picture, fullSize);
                });
            if (!started)
                earlyWindow->showPicture(QImage(), {}); // nobody waits for a picture that is not coming
        }
    }

    // Qt sees only its own options, so no path is ever taken for one of them; argc and the strings
    // must live as long as the application.
    std::vector<std::string> qtWords = line.qtArguments;
    std::vector<char*> qtArgv;
    for (std::string& word : qtWords)
        qtArgv.push_back(word.data());
    qtArgv.push_back(nullptr);
    int qtArgc = int(qtWords.size());
    QApplication app(qtArgc, qtArgv.data());
    marquelo::startup::mark("QApplication ready");
    if (earlyWindow)
        earlyWindow->qtReady();
    if (startPicture->started()) {
        marquelo::PictureColour::setDisplayProfile(marquelo::readDisplayProfile());
        startPicture->screenKnown(marquelo::PictureCache::primaryScreenPixels());
    }
    QApplication::setWindowIcon(marquelo::applicationIcon());
    // X11 matches windows to the entry by WM_CLASS, the executable's name (its StartupWMClass).
    QGuiApplication::setDesktopFileName(QString::fromLatin1(marquelo::kDesktopFileName));
    marquelo::keepChoosersFromRemembering();
    std::vector<std::string> args{line.qtArguments.front()};
    args.insert(args.end(), line.paths.begin(), line.paths.end());

    int code = 0;
    {
        marquelo::SettingsStore store;
        marquelo::QtUserInterface ui;
        marquelo::QtStartupHooks hooks;
        marquelo::MarqueloApp application(store, marquelo::SettingsEnvironment::current(), ui, hooks);
        application.setEarlyWindow(std::move(earlyWindow));
        code = application.run(args);
    }
    // The window and its loads are gone and the settings are written; their owners have cancelled
    // the background work and waited for it. What still runs gets a last moment. A task that could not
    // be stopped (a decode inside a library) still uses Qt, the decoders' libraries and the colour
    // transforms: the program leaves without tearing them down under it.
    startPicture.reset();
    if (!marquelo::workpools::finish(std::chrono::milliseconds(250))) {
        std::fflush(nullptr);
        std::quick_exit(code);
    }
    return code;
}
