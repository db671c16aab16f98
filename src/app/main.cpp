// The program's entry, called by its front (launch/main.cpp) once this module is loaded: the application
// object does all the work of start-up and returns the exit code.
#include "app/MarqueloApp.h"
#include "ui/settings/Choosers.h"
#include "ui/settings/QtStartupHooks.h"
#include "ui/settings/QtUserInterface.h"
#include "ui/settings/Resources.h"
#include "ui/viewer/DisplayProfile.h"
#include "ui/viewer/EarlyWindow.h"

#include "launch/LaunchHandOff.h"

#include "core/settings/CommandLine.h"
#include "core/settings/Logging.h"
#include "core/settings/StartPath.h"
#include "core/settings/StartupTrace.h"
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

} // namespace

extern "C" __attribute__((visibility("default"))) int marquelo_program_main(int argc, char** argv,
                                                                            marquelo::LaunchHandOff* handOff)
{
    marquelo::startup::mark("program loaded");
    // A front built apart from this program may hand over something else: nothing is taken from it.
    if (handOff && handOff->interface != marquelo::kLaunchInterface) {
        qCWarning(lcViewer) << "the program's front does not match the program: its early window is not used";
        handOff = nullptr;
    }
    if (handOff) {
        for (const marquelo::EarlyNote& note : handOff->notes) {
            if (note.warning)
                qCWarning(lcViewer) << note.text.c_str();
            else
                qCInfo(lcViewer) << note.text.c_str();
        }
    }
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

    // The front's early window, when it opened one for the start photo.
    std::shared_ptr<marquelo::EarlyWindow> earlyWindow;
    if (handOff && handOff->early)
        earlyWindow = std::make_shared<marquelo::EarlyWindow>(*handOff->early);

    // A photo named alone on the command line is read and decoded while Qt and the window start (the
    // decode begins once the screen is known: asked of X directly, or of Qt once it runs); started on a
    // folder or with Qt's options, the window loads it as ever. While the front decodes the photo for the
    // early window, this decode waits for it rather than taking the other core from Qt's start.
    std::optional<marquelo::StartPicture> startPicture;
    startPicture.emplace(
        line.paths.size() == 1 && line.qtArguments.size() == 1 ? line.paths.front() : std::string(),
        [earlyWindow]() {
            if (earlyWindow && earlyWindow->decodesItself())
                earlyWindow->waitWhilePutting(std::chrono::milliseconds(300));
            return marquelo::probeScreenBeforeQt();
        },
        [earlyWindow](const QImage& picture, QSize fullSize) {
            if (earlyWindow)
                earlyWindow->showPicture(picture, fullSize);
        });
    if (earlyWindow && !startPicture->started()) {
        // The program does not start on the photo after all: the window would wait for nothing.
        earlyWindow->close();
        earlyWindow.reset();
    } else if (earlyWindow && !earlyWindow->decodesItself()) {
        // This decode is the early window's picture: the viewer window waits for it a moment.
        earlyWindow->pictureComing();
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
