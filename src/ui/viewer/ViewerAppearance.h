#pragma once
// The viewer's look, Classic or Modern (the setting Appearance), switched at once after the preferences.
// Classic leaves every widget exactly as the window built it. Modern moves the toolbar's buttons into a
// translucent bar at the bottom centre with 24-pixel theme icons, fades that bar out while the user
// walks through the photos and brings it back on a mouse move or M, draws the info line and the file
// name as light text with a soft shadow instead of on beige labels, and lifts the notices above the bar.
// The background colour itself comes from core/viewer/Appearance (PictureArea and the grid ask it).

#include "core/viewer/Appearance.h"

#include <QObject>
#include <QPoint>

#include <memory>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QWidget;

namespace marquelo {

class HelpWindow;
class NoticeOverlay;
class ViewerToolbar;

class ViewerAppearance : public QObject {
    Q_OBJECT
public:
    static constexpr int kIconSize = 24;
    static constexpr int kFadeOutMs = 250;
    static constexpr int kFadeInMs = 120;
    // The bar's distance from the window's bottom edge, and the notices' above the bar.
    static constexpr int kBarMargin = 16;

    ViewerAppearance(QWidget& window, const AppConfig& config, ViewerToolbar& toolbar, NoticeOverlay& notices);
    ~ViewerAppearance() override;

    // Takes the look the settings ask for now; nothing happens when it is the one already shown.
    void apply();
    Appearance current() const { return m_applied; }

    // A step from photo to photo: the Modern bar fades out.
    void walked();
    // The mouse moved or M was pressed: the Modern bar is back at once.
    void reveal();

    // Modern's bar (nullptr in Classic) and its opacity, 0 when faded out (tests).
    QWidget* bar() const { return m_bar; }
    qreal barOpacity() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void becomeModern();
    void becomeClassic();
    void placeBar();
    void fadeTo(qreal opacity, int ms);
    QLabel* label(const char* name) const;

    QWidget& m_window;
    const AppConfig& m_config;
    ViewerToolbar& m_toolbar;
    NoticeOverlay& m_notices;
    Appearance m_applied = Appearance::Classic;
    QWidget* m_bar = nullptr;
    QGraphicsOpacityEffect* m_opacity = nullptr;
    QPropertyAnimation* m_fade = nullptr;
    // Where the pointer was last seen: a move event at the same place (a window shown under a still
    // pointer) is not the user moving the mouse.
    QPoint m_lastPointer{-1, -1};
};

// The key help, written from the key table, in the look of the settings: Classic on its light olive
// ground, Modern on the overlays' dark ground.
std::unique_ptr<HelpWindow> makeKeyHelp(QWidget* parent, const AppConfig& config);
// The same, shown modally; returns the dialog's result.
int showKeyHelp(QWidget* parent, const AppConfig& config);

} // namespace marquelo
