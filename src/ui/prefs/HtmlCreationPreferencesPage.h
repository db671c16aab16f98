#pragma once
// The HTML creation page: the texts that begin and end every page, the tag written for each image, the
// style of new pages and what a Modern page adds (its web address, the camera line under each photo).

#include "ui/prefs/PreferencesPage.h"

class QLineEdit;

namespace marquelo {

class HtmlCreationPreferencesPage : public PreferencesPage {
    Q_OBJECT
public:
    HtmlCreationPreferencesPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services,
                                QWidget* parent = nullptr);

    QLineEdit* baseUrlEdit() const { return m_baseUrl; }

private:
    QLineEdit* m_baseUrl = nullptr;
};

} // namespace marquelo
