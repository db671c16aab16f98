#pragma once
// The Rotate/Flip page: the programs that rotate left and right, flip and mirror an image.

#include "ui/prefs/PreferencesPage.h"

namespace marquelo {

class RotateFlipPreferencesPage : public PreferencesPage {
    Q_OBJECT
public:
    RotateFlipPreferencesPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services,
                              QWidget* parent = nullptr);
};

} // namespace marquelo
