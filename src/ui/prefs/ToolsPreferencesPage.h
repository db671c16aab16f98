#pragma once
// The Tools page: the four user tools started by the keys 1 to 4.

#include "ui/prefs/PreferencesPage.h"

namespace marquelo {

class ToolsPreferencesPage : public PreferencesPage {
    Q_OBJECT
public:
    ToolsPreferencesPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services,
                         QWidget* parent = nullptr);
};

} // namespace marquelo
