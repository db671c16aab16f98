// Entry point: the application object does all the work of start-up and returns the exit code.
#include "app/MarqueloApp.h"
#include "ui/settings/Choosers.h"
#include "ui/settings/QtStartupHooks.h"
#include "ui/settings/QtUserInterface.h"
#include "ui/settings/Resources.h"
#include "ui/viewer/DisplayProfile.h"

#include "core/viewer/PictureCache.h"
#include "core/viewer/PictureColour.h"
#include "core/viewer/StartPicture.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // The two informational options work without a display.
    if (argc >= 2) {
        const std::string first = argv[1];
        if (first == "--help" || first == "--version") {
            const std::string text =
                first == "--help" ? marquelo::MarqueloApp::helpText() : marquelo::MarqueloApp::versionText();
            std::fputs(text.c_str(), stdout);
            return 0;
        }
    }

    // A photo named alone on the command line is read and decoded while Qt and the window start (the
    // decode begins once the screen is known: asked of X directly, or of Qt once it runs); started on a
    // folder or with Qt's options, the window loads it as ever.
    marquelo::StartPicture startPicture(argc == 2 && argv[1][0] != '-' ? std::string(argv[1]) : std::string(),
                                        marquelo::probeScreenBeforeQt);

    QApplication app(argc, argv);
    if (startPicture.started()) {
        marquelo::PictureColour::setDisplayProfile(marquelo::readDisplayProfile());
        startPicture.screenKnown(marquelo::PictureCache::primaryScreenPixels());
    }
    QApplication::setWindowIcon(marquelo::applicationIcon());
    // X11 matches windows to the entry by WM_CLASS, the executable's name (its StartupWMClass).
    QGuiApplication::setDesktopFileName(QString::fromLatin1(marquelo::kDesktopFileName));
    marquelo::keepChoosersFromRemembering();
    // QApplication has taken its own options (-platform, ...) out of argv; the rest is ours.
    const std::vector<std::string> args(argv, argv + argc);

    marquelo::SettingsStore store;
    marquelo::QtUserInterface ui;
    marquelo::QtStartupHooks hooks;
    marquelo::MarqueloApp application(store, marquelo::SettingsEnvironment::current(), ui, hooks);
    return application.run(args);
}
