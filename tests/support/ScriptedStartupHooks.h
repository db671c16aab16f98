#pragma once
// StartupHooks for tests: answers from fields and records the order of the dialogs that were shown.

#include "core/settings/Startup.h"

#include <string>
#include <vector>

namespace marquelo::test {

class ScriptedStartupHooks : public StartupHooks {
public:
    std::string chosenDirectory;    // what the folder chooser answers
    bool chooseFolder = true;       // false: the folder chooser is cancelled
    bool accept = true;             // the disclaimer's answer
    std::vector<std::string> shown; // "folder", "disclaimer", "help:<page>", in order

    bool chooseImageDirectory(std::string& directory) override
    {
        shown.emplace_back("folder");
        if (chooseFolder)
            directory = chosenDirectory;
        return chooseFolder;
    }
    bool acceptDisclaimer() override
    {
        shown.emplace_back("disclaimer");
        return accept;
    }
    void showHelpPage(int page) override { shown.push_back("help:" + std::to_string(page)); }
};

} // namespace marquelo::test
