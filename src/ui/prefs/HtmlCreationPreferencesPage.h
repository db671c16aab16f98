#pragma once
// The HTML creation page: the texts that begin and end every page and the tag written for each image.

#include "ui/prefs/PreferencesPage.h"

namespace marquelo {

class HtmlCreationPreferencesPage : public PreferencesPage {
    Q_OBJECT
public:
    HtmlCreationPreferencesPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services,
                                QWidget* parent = nullptr);
};

} // namespace marquelo
