#include "core/settings/Startup.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QString>

#include <filesystem>
#include <system_error>

namespace marquelo {

void offerUpdateCheck(UserInterface& ui, const std::function<void()>& check)
{
    // Nothing to run (a packaged installation, which its package manager updates): nothing to ask.
    if (!check)
        return;
    const auto answer = ui.ask("Connect to the internet and check for updates?", UserInterface::Buttons::YesNoCancel);
    if (answer == UserInterface::Answer::Yes)
        check();
}

bool programExists(const std::string& program, const std::string& programDirectory)
{
    if (program.empty())
        return false;
    const QString text = QString::fromStdString(program);
    if (program.find('/') != std::string::npos)
        return QFileInfo::exists(text);
    if (!programDirectory.empty() && QFileInfo::exists(QString::fromStdString(programDirectory) + u'/' + text))
        return true;
    return !QStandardPaths::findExecutable(text).isEmpty();
}

bool loadSettings(SettingsStore& store, const SettingsEnvironment& env, AppConfig& config, UserInterface& ui,
                  StartupHooks& hooks, const std::function<void()>& checkForUpdates)
{
    store.load(config, env);
    if (store.readConfigIsValid() != 0)
        return true;

    // First run: nothing reaches the store unless the terms were accepted, so a declined start
    // leaves the machine as it was and the next start asks again.
    if (!hooks.acceptDisclaimer())
        return false;
    store.save(config, ui);
    offerUpdateCheck(ui, checkForUpdates);
    if (!programExists(config.ImageCompressApp, env.programDirectory))
        hooks.showHelpPage(kNoticePage);
    return true;
}

FolderState ensureFolder(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p(path);
    const auto status = fs::status(p, ec);
    if (fs::is_directory(status))
        return FolderState::Existed;
    if (fs::exists(status))
        return FolderState::NotADirectory;
    if (path.empty())
        return FolderState::NotCreated;
    fs::create_directories(p, ec);
    return !ec && fs::is_directory(p, ec) ? FolderState::Created : FolderState::NotCreated;
}

bool ensureOutputFolders(const AppConfig& config, UserInterface& ui)
{
    for (const std::string* path : {&config.BaseOutputDirectory, &config.BestOfDirectory}) {
        if (ensureFolder(*path) == FolderState::NotADirectory) {
            ui.message("'" + *path + "' is not a diectory. Application cannot run.");
            return false;
        }
    }
    return true;
}

} // namespace marquelo
