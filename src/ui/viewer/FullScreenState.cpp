#include "ui/viewer/FullScreenState.h"

#include "core/settings/AppConfig.h"

#include <QWidget>

namespace marquelo {

FullScreenState::FullScreenState(QWidget& window, const AppConfig& config) : m_window(window), m_config(config) {}

void FullScreenState::showAsConfigured()
{
    if (m_config.StartMaximized) {
        if (m_config.FullScreenTitleBar)
            m_window.showMaximized();
        else
            m_window.showFullScreen();
    } else {
        m_window.show();
    }
}

bool FullScreenState::firstShown()
{
    if (m_ready)
        return false;
    // Shown maximized by start-up: without a title bar that is the full screen.
    if (!m_config.FullScreenTitleBar && (m_window.windowState() & Qt::WindowMaximized))
        m_window.setWindowState((m_window.windowState() & ~Qt::WindowMaximized) | Qt::WindowFullScreen);
    m_ready = true;
    return true;
}

void FullScreenState::stateChanged()
{
    if (!m_ready || m_config.FullScreenTitleBar)
        return;
    // Without a title bar a maximized window is the full screen; restoring it brings the frame back.
    const Qt::WindowStates state = m_window.windowState();
    if ((state & Qt::WindowMaximized) && !(state & Qt::WindowFullScreen) && !(state & Qt::WindowMinimized)) {
        m_ready = false;
        m_window.setWindowState((state & ~Qt::WindowMaximized) | Qt::WindowFullScreen);
        m_ready = true;
    }
}

void FullScreenState::titleBarChanged()
{
    if (!m_window.isMaximized() && !m_window.isFullScreen())
        return;
    m_ready = false;
    if (m_config.FullScreenTitleBar)
        m_window.setWindowState((m_window.windowState() & ~Qt::WindowFullScreen) | Qt::WindowMaximized);
    else
        m_window.setWindowState((m_window.windowState() & ~Qt::WindowMaximized) | Qt::WindowFullScreen);
    m_ready = true;
}

void FullScreenState::toggleFullScreen()
{
    const bool ready = m_ready;
    m_ready = false;
    Qt::WindowStates state = m_window.windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized);
    if (m_window.isFullScreen())
        state |= m_config.FullScreenTitleBar ? Qt::WindowMaximized : Qt::WindowNoState;
    else
        state |= Qt::WindowFullScreen;
    m_window.setWindowState(state);
    m_ready = ready;
}

} // namespace marquelo
