#pragma once
// The row of icon buttons over the top edge of the picture, built from the toolbar table.
// It sends each button's command to the window and keeps the enabled states the window asks for.

#include "core/Command.h"
#include "core/settings/AppConfig.h"
#include "core/viewer/Toolbar.h"

#include <QColor>
#include <QObject>

#include <array>
#include <functional>

class QToolButton;
class QWidget;

namespace marquelo {

class ViewerToolbar : public QObject {
    Q_OBJECT
public:
    // The buttons become children of `window`, laid out from the table; a click runs `onCommand`.
    ViewerToolbar(QWidget* window, std::function<void(Command)> onCommand);

    // The button that sends `command`, or nullptr.
    QToolButton* button(Command command) const;
    bool isToolbarButton(const QWidget* widget) const;

    void setVisible(bool visible);
    bool isVisible() const { return m_visible; }
    // Every button in table order (the appearance restyles and places them).
    const std::array<QToolButton*, kToolbarSize>& buttons() const { return m_buttons; }
    // Modern: the widget the buttons were moved into; it shows and hides with them. nullptr: none.
    void setContainer(QWidget* container);
    // Back to the Classic row: the buttons as children of the window at the table's places, our icons.
    void restoreClassic(QWidget* window);
    // The buttons sit on the picture's background colour.
    void setBackground(QColor colour);
    // Enables the tool buttons that have the program or folder they need (Edit also needs a picture).
    void updateToolButtons(const AppConfig& config, bool currentIsPicture);
    // The position-dependent buttons of the current entry.
    void updateNavigation(bool canGoBack, bool canGoForward, bool hasEdited, bool editAllowed);

    // The pixel area the row covers at 1x (the caption box takes this place while a caption is typed).
    static int left();
    static int right();
    static constexpr int kButtonSize = 24;
    static constexpr int kTop = 0;

private:
    std::array<QToolButton*, kToolbarSize> m_buttons{};
    QWidget* m_container = nullptr;
    bool m_visible = true;
};

} // namespace marquelo
