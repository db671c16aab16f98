#pragma once
// The HTML creation page: the texts that begin and end every page and the tag written for each image.

#include "ui/prefs/PrefsPage.h"

namespace marquelo {

class PrefsTab6 : public PrefsPage {
    Q_OBJECT
public:
    PrefsTab6(AppConfig& values, UserInterface& ui, const PrefsServices& services, QWidget* parent = nullptr);
};

} // namespace marquelo
