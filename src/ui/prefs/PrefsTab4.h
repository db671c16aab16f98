#pragma once
// The Rotate/Flip page: the programs that rotate left and right, flip and mirror an image.

#include "ui/prefs/PrefsPage.h"

namespace marquelo {

class PrefsTab4 : public PrefsPage {
    Q_OBJECT
public:
    PrefsTab4(AppConfig& values, UserInterface& ui, const PrefsServices& services, QWidget* parent = nullptr);
};

} // namespace marquelo
