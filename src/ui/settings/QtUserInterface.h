#pragma once
// UserInterface on Qt message boxes: caption "Marquelo", owned by the window the user is looking at,
// texts always plain.

#include "core/UserInterface.h"

class QWidget;

namespace marquelo {

class QtUserInterface : public UserInterface {
public:
    // The boxes are parented to the active window, or to fallbackParent (may be null) when none is.
    explicit QtUserInterface(QWidget* fallbackParent = nullptr) : m_fallbackParent(fallbackParent) {}

    void setFallbackParent(QWidget* parent) { m_fallbackParent = parent; }

    // A modal information box with an OK button.
    void message(std::string_view text) override;
    // The same with the information icon.
    void information(std::string_view text) override;
    // A modal question box with a question icon; Escape or the close box gives the last button.
    Answer ask(std::string_view text, Buttons buttons) override;

private:
    QWidget* owner() const;

    QWidget* m_fallbackParent;
};

} // namespace marquelo
