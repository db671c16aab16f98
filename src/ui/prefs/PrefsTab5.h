#pragma once
// The Tools page: the four user tools started by the keys 1 to 4.

#include "ui/prefs/PrefsPage.h"

namespace marquelo {

class PrefsTab5 : public PrefsPage {
    Q_OBJECT
public:
    PrefsTab5(AppConfig& values, UserInterface& ui, const PrefsServices& services, QWidget* parent = nullptr);
};

} // namespace marquelo
