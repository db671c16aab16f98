#pragma once
// The update check as the rest of the program starts it: from the first run and from the preferences.

#include "core/UserInterface.h"

#include <string>

class QWidget;

namespace marquelo {

// Runs the whole update check for the installation in `installationPath` (normally InstallationPath),
// with the progress window and the upgrade page of the desktop. Returns when the check has ended.
void checkForUpdates(const std::string& installationPath, UserInterface& ui, QWidget* parent = nullptr);

// Asks "Connect to the internet and check for updates?" first; on Yes runs checkForUpdates().
void offerUpdateCheck(const std::string& installationPath, UserInterface& ui, QWidget* parent = nullptr);

} // namespace marquelo
