#pragma once
// The window's state as the settings want it. Without a title bar (FullScreenTitleBar off) a maximized
// window is the full screen, whether start-up, the window manager or the preferences maximized it;
// with a title bar it stays an ordinary maximized window.

class QWidget;

namespace marquelo {

struct AppConfig;

class FullScreenState {
public:
    FullScreenState(QWidget& window, const AppConfig& config);

    // Shows the window maximized, full screen or normal as the settings say.
    void showAsConfigured();
    // Call from the window's showEvent. True only for the first show, after the state was settled.
    bool firstShown();
    // Call from the window's changeEvent on a window state change.
    void stateChanged();
    // After the preferences changed FullScreenTitleBar: a maximized or full-screen window swaps.
    void titleBarChanged();
    // F11: full screen on, or back to the maximized window (with a title bar) or the normal one.
    void toggleFullScreen();

private:
    QWidget& m_window;
    const AppConfig& m_config;
    // False until the first show and while the window changes its own state.
    bool m_ready = false;
};

} // namespace marquelo
