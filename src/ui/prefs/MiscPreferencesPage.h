#pragma once
// The Misc page: installation path, HTML editor, preview browser, file extensions, the favorites folder
// and size, the button that runs the update check at once, the cull's sidecars and the cameras' clocks.

#include "ui/prefs/PreferencesPage.h"

namespace marquelo {

class MiscPreferencesPage : public PreferencesPage {
    Q_OBJECT
public:
    // installedConfig is the record the program runs on: the update check uses its installation path,
    // never the one being edited on this page.
    MiscPreferencesPage(AppConfig& values, const AppConfig& installedConfig, UserInterface& ui,
                        const PreferencesServices& services, QWidget* parent = nullptr);

    QLineEdit* installationEdit() const { return m_installation; }
    QLineEdit* favoritesEdit() const { return m_favorites; }
    QPlainTextEdit* clockOffsetsEdit() const { return m_clockOffsets; }

private:
    const AppConfig& m_installedConfig;
    QLineEdit* m_installation = nullptr;
    QLineEdit* m_favorites = nullptr;
    QPlainTextEdit* m_clockOffsets = nullptr;
};

} // namespace marquelo
