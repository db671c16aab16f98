#pragma once
// Every key of the viewer window's widgets passes here first (an application event filter), so a focused
// toolbar button cannot swallow a key of the key table. Keys outside the table: Space and Enter press the
// focused toolbar button, Enter with none is OK. While the caption box is open only Enter and Escape are
// the window's. It also remembers the button that had the focus when a disabled state, a hidden toolbar
// or the caption box took it away, so Space and Enter never press a button Qt moved the focus to.

#include "core/Command.h"

#include <QObject>

#include <functional>

class QKeyEvent;
class QToolButton;
class QWidget;

namespace marquelo {

class CaptionBox;
class ViewerToolbar;

class ViewerKeyRouter : public QObject {
    Q_OBJECT
public:
    struct Actions {
        std::function<void(Command)> run;
        std::function<void()> ok;
        std::function<void()> cancel;
        std::function<void(bool shift)> captionEnter;
        // While the thumbnail grid is shown it sees every key first; true when it took the key.
        std::function<bool(QKeyEvent*)> grid;
        // While comparing, the compare view sees the keys next (Enter, Shift+arrows); true when taken.
        std::function<bool(QKeyEvent*)> compare;
    };

    // Install it with qApp->installEventFilter(); it routes only keys meant for `window`.
    ViewerKeyRouter(QWidget& window, const ViewerToolbar& toolbar, const CaptionBox& caption, Actions actions);

    // The toolbar button Space and Enter press: the focused one, or the remembered one while the
    // window itself has the focus.
    QToolButton* focusedButton() const;
    void rememberButton(QToolButton* button) { m_focusButton = button; }
    // Gives the remembered button its focus back once it can take it again.
    void restoreButtonFocus();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool routeKey(QKeyEvent* event);

    QWidget& m_window;
    const ViewerToolbar& m_toolbar;
    const CaptionBox& m_caption;
    Actions m_actions;
    QToolButton* m_focusButton = nullptr;
};

} // namespace marquelo
