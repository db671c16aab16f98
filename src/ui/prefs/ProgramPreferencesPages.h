#pragma once
// The pages that are only a list of programs, each with its arguments and a check that hides it: the
// Rotate/Flip page (the programs that rotate left and right, flip and mirror an image) and the Tools
// page (the four user tools started by the keys 1 to 4).

#include "ui/prefs/PreferencesPage.h"

namespace marquelo {

PreferencesPage* makeRotateFlipPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services);
PreferencesPage* makeToolsPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services);

} // namespace marquelo
