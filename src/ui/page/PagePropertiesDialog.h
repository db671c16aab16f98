#pragma once
// "Page Properties": the title and folder of a new page, its date, background image, colours and
// layout. The folder follows the title until the user types in it, and again once the user empties it.

#include "core/page/PageHost.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QDateEdit;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace marquelo {

class UserInterface;

class PagePropertiesDialog : public QDialog {
    Q_OBJECT
public:
    PagePropertiesDialog(const PageSetupValues& initial, bool createSubdirectory, UserInterface& ui,
                         QWidget* parent = nullptr);

    // The fields as they stand (after OK: as confirmed).
    PageSetupValues values() const;

    // Replaces the colour chooser (tests); it gets the current colour and returns true on OK.
    void setColourPicker(std::function<bool(ColourRef&)> picker) { m_pickColour = std::move(picker); }

    // Closes with OK unless the folder is blank (while pages get folders) or the background image
    // names no existing file; then that field gets the focus and the reason is shown.
    void accept() override;

private:
    // The dialog's sections, each a group box made with its controls and their connections.
    QGroupBox* makeTitleGroup(const PageSetupValues& initial);
    QGroupBox* makeDateGroup(const PageSetupValues& initial);
    QGroupBox* makeImageGroup(const PageSetupValues& initial);
    QGroupBox* makeColourGroup(const PageSetupValues& initial);
    QGroupBox* makeLayoutGroup(const PageSetupValues& initial);
    QGroupBox* makeStyleGroup(const PageSetupValues& initial);
    void titleChanged(const QString& title);
    void pick(ColourRef& colour, QFrame* swatch);
    void applyAutoLink();
    void showLayout(int layout);
    void updateDateMode();

    UserInterface& m_ui;
    bool m_createSubdirectory;
    bool m_subdirFollowsTitle = false;
    ColourRef m_bgColor;
    ColourRef m_textColor;
    ColourRef m_linkColor;
    std::function<bool(ColourRef&)> m_pickColour;

    QLineEdit* m_title;
    QLineEdit* m_subdirectory;
    QRadioButton* m_datePickerMode;
    QRadioButton* m_dateTextMode;
    QDateEdit* m_date;
    QLineEdit* m_dateText;
    QLineEdit* m_bgImage;
    QFrame* m_bgSwatch;
    QFrame* m_textSwatch;
    QFrame* m_linkSwatch;
    QPushButton* m_linkButton;
    QCheckBox* m_autoLink;
    QButtonGroup* m_layout;
    QButtonGroup* m_style;
    QLabel* m_preview;
};

} // namespace marquelo
