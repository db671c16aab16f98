#pragma once
// The caption input of the add flow: a white line edit in the toolbar's place. While it is open the
// toolbar is hidden and the window's key table is off; Enter and Escape go to the page room's handlers.

#include <QString>

#include <functional>

class QLineEdit;
class QWidget;

namespace marquelo {

struct AppConfig;
class ViewerToolbar;

class CaptionBox {
public:
    // The box becomes a child of `window` (object name "caption"), hidden.
    CaptionBox(QWidget* window, ViewerToolbar& toolbar, const AppConfig& config);

    // Empties the box, shows it over the toolbar and gives it the focus.
    void open();
    // Hides the box and brings the toolbar back if the settings show it. True when the box was open.
    bool close();
    bool isOpen() const { return m_open; }
    // Fills the open box with `text`, all of it selected, so the first key typed replaces it.
    void offer(const QString& text);
    QString text() const;

    void setHandlers(std::function<void(bool shift)> onEnter, std::function<void()> onEscape);
    // Run the page room's handler; false when none is set (the window then just closes the box).
    bool enter(bool shift);
    bool escape();

private:
    QLineEdit* m_edit = nullptr;
    ViewerToolbar& m_toolbar;
    const AppConfig& m_config;
    std::function<void(bool)> m_onEnter;
    std::function<void()> m_onEscape;
    bool m_open = false;
};

} // namespace marquelo
