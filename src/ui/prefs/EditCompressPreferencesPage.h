#pragma once
// The Edit/Compress page: the image editor and edit suffix, the compression program and the three sizes.

#include "ui/prefs/PreferencesPage.h"

namespace marquelo {

class EditCompressPreferencesPage : public PreferencesPage {
    Q_OBJECT
public:
    EditCompressPreferencesPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services,
                                QWidget* parent = nullptr);

    QLineEdit* suffixEdit() const { return m_suffix; }

private:
    QLineEdit* m_suffix = nullptr;
};

} // namespace marquelo
