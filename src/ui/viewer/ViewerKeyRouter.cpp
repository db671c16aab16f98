#include "ui/viewer/ViewerKeyRouter.h"

#include "core/viewer/KeyTable.h"
#include "ui/viewer/CaptionBox.h"
#include "ui/viewer/ViewerToolbar.h"

#include <QApplication>
#include <QKeyEvent>
#include <QToolButton>

namespace marquelo {

ViewerKeyRouter::ViewerKeyRouter(QWidget& window, const ViewerToolbar& toolbar, const CaptionBox& caption,
                                 Actions actions)
    : m_window(window), m_toolbar(toolbar), m_caption(caption), m_actions(std::move(actions))
{
}

QToolButton* ViewerKeyRouter::focusedButton() const
{
    QWidget* focus = m_window.focusWidget();
    if (m_toolbar.isToolbarButton(focus))
        return static_cast<QToolButton*>(focus);
    if (focus == &m_window || focus == nullptr)
        return m_focusButton;
    return nullptr;
}

void ViewerKeyRouter::restoreButtonFocus()
{
    QWidget* focus = m_window.focusWidget();
    if ((focus == &m_window || focus == nullptr) && m_focusButton && m_focusButton->isEnabled() &&
        m_focusButton->isVisible() && !m_caption.isOpen()) {
        m_focusButton->setFocus(Qt::OtherFocusReason);
        m_focusButton = nullptr;
    }
}

bool ViewerKeyRouter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == &m_window)
        return routeKey(static_cast<QKeyEvent*>(event));
    return QObject::eventFilter(watched, event);
}

bool ViewerKeyRouter::routeKey(QKeyEvent* event)
{
    // Another modal window (preferences, a question) owns the keyboard until it closes.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != &m_window)
        return false;
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool enter =
        (key == Qt::Key_Return || key == Qt::Key_Enter) && !(mods & (Qt::AltModifier | Qt::ControlModifier));

    if (m_caption.isOpen()) {
        // The key table is off: letters go into the box; Enter and Escape end the caption.
        if (enter) {
            m_actions.captionEnter(mods & Qt::ShiftModifier);
            return true;
        }
        if (key == Qt::Key_Escape) {
            m_actions.cancel();
            return true;
        }
        return false;
    }

    if (m_actions.grid && m_actions.grid(event))
        return true;
    if (m_actions.compare && m_actions.compare(event))
        return true;
    if (const auto command = lookupKey(key, mods)) {
        m_actions.run(*command);
        return true;
    }
    QToolButton* focused = focusedButton();
    if (key == Qt::Key_Space && (mods & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (focused && focused->isEnabled() && focused->isVisible()) {
            focused->click();
            return true;
        }
        return focused != nullptr;
    }
    if (enter) {
        if (focused && focused->isEnabled() && focused->isVisible())
            focused->click();
        else
            m_actions.ok();
        return true;
    }
    return false;
}

} // namespace marquelo
