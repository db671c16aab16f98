#pragma once
// The preferences command of the viewer: the six-page dialog, then the settings saved, then the viewer
// brought up to date with what changed. The dialog is modal; nothing here outlives the command.

#include "core/UserInterface.h"
#include "core/settings/AppConfig.h"

#include <functional>
#include <string>

class QLineEdit;
class QString;
class QWidget;

namespace marquelo {

class ViewerWindow;

// What the dialog reaches outside itself. The standard set uses the common choosers; tests replace them.
struct PreferencesServices {
    // Program chooser opened on the edit's text; on OK the chosen full path replaces the text.
    std::function<bool(QWidget* owner, const QString& title, QLineEdit* edit)> browseForApplication;
    // Folder chooser; on OK the chosen folder replaces the edit's text.
    std::function<bool(QWidget* owner, const QString& title, QLineEdit* edit)> browseForFolder;
    // Colour chooser opened on colour; on OK colour takes the chosen one and the result is true.
    std::function<bool(QWidget* owner, ColourRef& colour)> pickColour;
    // The update check, given the stored installation path (never the one being edited).
    std::function<void(const std::string& installationPath)> checkForUpdates;

    // The common choosers, and the given update check (may be empty: the button then does nothing).
    static PreferencesServices standard(std::function<void(const std::string& installationPath)> checkForUpdates);
};

// Runs the dialog modally on config. Copies the edited settings into config only when every entry
// passed its checks and OK closed the dialog; Cancel changes nothing but CurrentCfgTab. Returns
// whether the dialog ended with OK.
bool runPreferences(QWidget* parent, AppConfig& config, UserInterface& ui, const PreferencesServices& services);

// The command behind key C and the toolbar's Configuration button.
class PreferencesCommand {
public:
    PreferencesCommand(ViewerWindow& window, AppConfig& config, UserInterface& ui, std::function<void()> saveSettings,
                       std::function<void(const std::string& installationPath)> checkForUpdates);

    // The dialog, then (whether it ended with OK or Cancel) the save, then the viewer's reaction.
    void run();

    // Makes run() the window's handler of Command::Preferences. The window must outlive the handler.
    void install();

private:
    ViewerWindow& m_window;
    AppConfig& m_config;
    UserInterface& m_ui;
    std::function<void()> m_saveSettings;
    PreferencesServices m_services;
};

// Shorthand for start-up wiring: builds a PreferencesCommand and installs it on the window.
void registerPreferencesCommand(ViewerWindow& window, AppConfig& config, UserInterface& ui,
                                std::function<void()> saveSettings,
                                std::function<void(const std::string& installationPath)> checkForUpdates);

} // namespace marquelo
