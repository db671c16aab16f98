#pragma once
// The "Preferences" dialog: six pages of settings behind a tab bar, the placeholder legend, OK and Cancel.
// It edits a copy of the settings and copies it back only when OK finds every entry acceptable; the page
// in front is remembered in CurrentCfgTab at once, so even Cancel keeps it.

#include "core/UserInterface.h"
#include "core/settings/AppConfig.h"
#include "ui/prefs/PreferencesCommand.h"

#include <QDialog>

#include <array>
#include <string>

class QLabel;
class QStackedWidget;
class QTabBar;

namespace marquelo {

class PreferencesPage;
class GeneralPreferencesPage;
class EditCompressPreferencesPage;
class MiscPreferencesPage;
class HtmlCreationPreferencesPage;

class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPageCount = 6;

    // Fills every page from config and brings page CurrentCfgTab to the front (none when it is 6 or more).
    PreferencesDialog(AppConfig& config, UserInterface& ui, PreferencesServices services, QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    // The page at a tab index (0 General ... 5 HTML creation).
    PreferencesPage* page(int index) const { return m_pages.at(std::size_t(index)); }
    // Index of the page in front, or -1 when none is shown.
    int shownPage() const { return m_shown; }
    QTabBar* tabBar() const { return m_tabs; }

    // Brings page index to the front (remembered in CurrentCfgTab), then enables the control, gives it
    // the keyboard focus and selects its text.
    void showPageAndFocus(int index, QWidget* control);

public Q_SLOTS:
    // Checks every entry in order; the first rejection leaves the dialog open and the settings untouched.
    // When all pass, the edited settings are copied into the record and the dialog closes with OK.
    void accept() override;

private:
    void selectTab(int index);
    // Ctrl+Tab and Ctrl+Shift+Tab go to the next and the previous page.
    void addTabShortcuts();
    bool confirm();
    // The path check of one entry; on rejection the entry's page comes to the front before the message.
    bool checkPath(const std::string& path, unsigned requirements, int pageIndex, QWidget* control);
    // Modern shows the placeholder legend only under the pages whose entries take placeholders.
    void updateLegend();

    AppConfig& m_config;
    AppConfig m_values; // the pages' working copy
    UserInterface& m_ui;
    PreferencesServices m_services;
    QTabBar* m_tabs = nullptr;
    QStackedWidget* m_stack = nullptr;
    GeneralPreferencesPage* m_general = nullptr;
    EditCompressPreferencesPage* m_editCompress = nullptr;
    MiscPreferencesPage* m_misc = nullptr;
    HtmlCreationPreferencesPage* m_htmlCreation = nullptr;
    std::array<PreferencesPage*, kPageCount> m_pages{};
    int m_shown = -1;
    QLabel* m_legend = nullptr;
};

} // namespace marquelo
