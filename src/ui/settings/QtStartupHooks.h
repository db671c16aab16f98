#pragma once
// The start-up dialogs on widgets: the folder chooser, the disclaimer and the help window.

#include "core/settings/Startup.h"

namespace marquelo {

class QtStartupHooks : public StartupHooks {
public:
    bool chooseImageDirectory(std::string& directory) override;
    bool acceptDisclaimer() override;
    void showHelpPage(int page) override;
};

} // namespace marquelo
