#pragma once
// What every preferences page shares: its controls are bound to fields of the dialog's working copy of
// the settings, filled from it when the dialog opens and read back, with the field limits, on OK.

#include "core/UserInterface.h"
#include "core/settings/AppConfig.h"
#include "ui/prefs/PreferencesCommand.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace marquelo {

class PreferencesPage : public QWidget {
    Q_OBJECT
public:
    // values is the dialog's working copy; the page reads and writes only the fields bound to its controls.
    PreferencesPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services,
                    QWidget* parent = nullptr);

    // One program of the tool pages: its edit with a browse button, its arguments and its hide check.
    struct ProgramRow {
        QString appLabel;
        const char* appKey;
        std::string AppConfig::*appField;
        QString argLabel;
        const char* argKey;
        std::string AppConfig::*argField;
        QString hideLabel;
        const char* hideKey;
        bool AppConfig::*hideField;
        QString browseTitle;
    };
    // A page that is only these programs, one under the other, in keyboard order.
    PreferencesPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services,
                    const std::vector<ProgramRow>& programs, QWidget* parent = nullptr);

    // Puts the working copy's values into the controls.
    virtual void fillControls();
    // Gives each "Browse..." button and "Hide" box the name of the field it belongs to, so that a
    // screen reader does not read out a row of buttons all called the same.
    void nameAmbiguousControls();
    // Reads every control into the working copy, in the page's order. On the first entry beyond its limit
    // it shows the standard message, selects that entry and returns false; later entries stay unread.
    virtual bool readControls();

    // The control bound to a setting (its object name is the key), or nullptr.
    QWidget* control(const char* key) const;

protected:
    AppConfig& values() { return m_values; }
    const PreferencesServices& services() const { return m_services; }

    // Binding a control to a field of the working copy; reads happen in binding order.
    void bindText(QLineEdit* edit, std::string AppConfig::*field, int maxChars);
    void bindTemplate(QPlainTextEdit* edit, std::string AppConfig::*field, int maxChars);
    void bindFlag(QCheckBox* check, bool AppConfig::*field);
    void bindRange(QLineEdit* edit, std::int32_t AppConfig::*field, std::int32_t low, std::int32_t high);
    void bindNonNegative(QLineEdit* edit, std::int32_t AppConfig::*field);
    void bindChoice(QButtonGroup* group, std::uint8_t AppConfig::*field);
    void bindChoice(QButtonGroup* group, std::int32_t AppConfig::*field);

    // Builders shared by the pages. Object names are the keys, so tests and focus can find the controls.
    QLineEdit* makeEdit(const char* key);
    QCheckBox* makeCheck(const QString& text, const char* key);
    QLabel* makeLabel(const QString& text, QWidget* buddy);
    // A "Browse..." button that opens the program chooser (or the folder chooser) on edit.
    QPushButton* makeProgramBrowse(const QString& text, const QString& title, QLineEdit* edit);
    QPushButton* makeFolderBrowse(const QString& text, const QString& title, QLineEdit* edit);

    using BrowseService = std::function<bool(QWidget* owner, const QString& title, QLineEdit* edit)>;
    QPushButton* makeBrowse(const QString& text, const QString& title, QLineEdit* edit,
                            BrowseService PreferencesServices::*chooser);

    // Keyboard order of the page's controls: the order of the page's tables, whatever the layout.
    static void chainTabOrder(const std::vector<QWidget*>& controls);

private:
    struct TextBinding {
        QLineEdit* edit;
        std::string AppConfig::*field;
        int maxChars; // 0: no limit
    };
    struct TemplateBinding {
        QPlainTextEdit* edit;
        std::string AppConfig::*field;
        int maxChars;
    };
    struct FlagBinding {
        QCheckBox* check;
        bool AppConfig::*field;
    };
    struct NumberBinding {
        QLineEdit* edit;
        std::int32_t AppConfig::*field;
        bool ranged; // false: any non-negative number
        std::int32_t low, high;
    };
    struct ChoiceBinding {
        QButtonGroup* group;
        std::variant<std::uint8_t AppConfig::*, std::int32_t AppConfig::*> field;
    };
    using Binding = std::variant<TextBinding, TemplateBinding, FlagBinding, NumberBinding, ChoiceBinding>;

    void fill(const Binding& binding);
    bool read(const Binding& binding);
    // Shows a refusal and, when the page is in front, selects the refused entry.
    void refuse(QWidget* control, const std::string& message);

    AppConfig& m_values;
    UserInterface& m_ui;
    const PreferencesServices& m_services;
    std::vector<Binding> m_bindings;
};

} // namespace marquelo
