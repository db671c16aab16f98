#pragma once
// The whole program over a temporary work folder: settings stored in a private file and loaded by the
// real start-up, the window with every room wired in, messages answered by a script, modal dialogs by
// a pilot, and a test script in place of the event loop.
//
// Work folder layout: photos/ (the image folder), out/ (pages), favorites/, settings.conf.

#include "harness/DialogPilot.h"
#include "support/ScriptedStartupHooks.h"
#include "support/ScriptedUserInterface.h"

#include "core/settings/AppConfig.h"

#include <QTemporaryDir>

#include <functional>
#include <string>

namespace marquelo {
class ViewerWindow;
}

namespace marquelo::test {

class ProgramSession {
public:
    // A fresh work folder with empty photos/, and settings that point every folder into it and every
    // outside program at marquelo-convert or at `true`, so that nothing leaves the folder.
    ProgramSession();
    ~ProgramSession();

    std::string work() const { return m_work.path().toStdString(); }
    std::string photos() const { return work() + "/photos"; }
    std::string output() const { return work() + "/out"; }
    std::string favorites() const { return work() + "/favorites"; }
    std::string settingsFile() const { return m_settingsFile.empty() ? work() + "/settings.conf" : m_settingsFile; }
    // Keeps the settings in `path` instead (its folder must exist).
    void setSettingsFile(std::string path) { m_settingsFile = std::move(path); }

    // The settings the program will start with; change them before run().
    AppConfig& settings() { return m_settings; }

    // Stores the settings, starts the program on `argument` (the photo folder when empty), runs
    // `script` on the window instead of the event loop and saves at exit as the program does.
    // False when start-up ended before the window (the reason is in ui.messages).
    bool run(const std::function<void(ViewerWindow&)>& script, std::string argument = {});

    ScriptedUserInterface ui;
    ScriptedStartupHooks hooks;
    DialogPilot pilot;

private:
    QTemporaryDir m_work;
    std::string m_settingsFile;
    AppConfig m_settings;
};

// Runs pending events for about `ms` milliseconds (pictures arrive from loader threads).
void settle(int ms = 20);

// Runs the viewer's change check once, as its 250 ms timer does.
void tickChangeCheck(ViewerWindow& window);

// Types `text` into the caption box and presses Enter (Shift+Enter with `shift`).
void typeCaption(ViewerWindow& window, const QString& text, bool shift = false);

// Copies `count` camera photos of the corpus into `folder`, shrunk to at most `side` pixels, as
// photo-01.jpg ... Returns the names.
std::vector<std::string> copyCorpusPhotos(const std::string& folder, int count, int side);

} // namespace marquelo::test
