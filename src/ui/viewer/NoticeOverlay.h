#pragma once
// Short notices over the bottom of the picture ("Added to favorites: ..."): shown for about three
// seconds, then faded out. The line never takes the focus, a key or a mouse click, so the viewer goes
// on exactly as if it were not there.

#include <QObject>
#include <QString>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QTimer;
class QWidget;

namespace marquelo {

class NoticeOverlay : public QObject {
    Q_OBJECT
public:
    static constexpr int kShownMs = 3000;
    static constexpr int kFadeMs = 400;

    // The line becomes a child of `window` (object name "notice").
    explicit NoticeOverlay(QWidget* window);

    // Shows `text`, replacing a notice still on screen, and starts its time again.
    void show(const QString& text);
    // Keeps the line at the bottom centre after the window changed its size.
    void place();
    // The line's distance from the window's bottom edge (Modern keeps it clear of its toolbar).
    static constexpr int kBottomMargin = 24;
    void setBottomMargin(int pixels);

    bool visible() const;
    QString text() const;

private:
    void fade();

    QWidget* m_window;
    QLabel* m_label;
    QGraphicsOpacityEffect* m_opacity;
    QPropertyAnimation* m_fade;
    QTimer* m_timer;
    int m_bottomMargin = kBottomMargin;
};

} // namespace marquelo
