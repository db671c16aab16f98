#include "ui/prefs/PreferencesCommand.h"

#include "ui/prefs/PreferencesDialog.h"
#include "ui/settings/Choosers.h"
#include "ui/viewer/ViewerWindow.h"

#include <QLineEdit>

namespace marquelo {

PreferencesServices
PreferencesServices::standard(std::function<void(const std::string& installationPath)> checkForUpdates)
{
    PreferencesServices services;
    services.browseForApplication = [](QWidget* owner, const QString& title, QLineEdit* edit) {
        return marquelo::browseForApplication(owner, title, edit);
    };
    services.browseForFolder = [](QWidget* owner, const QString& title, QLineEdit* edit) {
        return marquelo::browseForFolder(owner, title, edit);
    };
    services.pickColour = [](QWidget* owner, ColourRef& colour) { return marquelo::pickColour(owner, colour); };
    services.checkForUpdates = std::move(checkForUpdates);
    return services;
}

bool runPreferences(QWidget* parent, AppConfig& config, UserInterface& ui, const PreferencesServices& services)
{
    PreferencesDialog dialog(config, ui, services, parent);
    return dialog.exec() == QDialog::Accepted;
}

PreferencesCommand::PreferencesCommand(ViewerWindow& window, AppConfig& config, UserInterface& ui,
                                       std::function<void()> saveSettings,
                                       std::function<void(const std::string& installationPath)> checkForUpdates)
    : m_window(window), m_config(config), m_ui(ui), m_saveSettings(std::move(saveSettings)),
      m_services(PreferencesServices::standard(std::move(checkForUpdates)))
{
}

void PreferencesCommand::run()
{
    // The outcome does not matter here: Cancel may have changed the remembered page, and anything the
    // rest of the program changed in memory reaches the store with this save too.
    runPreferences(&m_window, m_config, m_ui, m_services);
    if (m_saveSettings)
        m_saveSettings();
    m_window.applySettings();
}

void PreferencesCommand::install()
{
    m_window.setCommandHandler(Command::Preferences, [command = *this]() mutable { command.run(); });
}

void registerPreferencesCommand(ViewerWindow& window, AppConfig& config, UserInterface& ui,
                                std::function<void()> saveSettings,
                                std::function<void(const std::string& installationPath)> checkForUpdates)
{
    PreferencesCommand(window, config, ui, std::move(saveSettings), std::move(checkForUpdates)).install();
}

} // namespace marquelo
