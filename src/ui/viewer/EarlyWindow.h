#pragma once
// A plain X window that shows the start photo while Qt is still starting: mapped from the top of
// main() with the viewer window's title, class, state and background, given the picture as soon as
// it is decoded, and holding the keys typed into it until the viewer window takes over (EarlyHandOver).
// Every method may be called from any thread; after close() they do nothing.

#include "core/viewer/EarlyWindowPlan.h"

#include <QEvent>
#include <QImage>
#include <QRect>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace marquelo {

// A key typed into the early window, as Qt would have reported it.
struct EarlyKey {
    QEvent::Type type = QEvent::KeyPress;
    int key = 0;
    Qt::KeyboardModifiers modifiers;
    QString text;
    std::uint32_t keycode = 0;
    std::uint32_t keysym = 0;
    std::uint32_t state = 0;
    // The X server's time of the press, comparable with Qt's own key events' timestamps.
    std::uint32_t time = 0;
};

// Qt's key for an X keysym; `text` is what the key types (used for the keys the table does not name).
// Qt::Key_unknown when Qt has no key for it.
int qtKeyForKeysym(std::uint32_t keysym, const QString& text);
// Qt's modifiers for the state of an X key event (Shift, Control, Mod1 = Alt, Mod4 = Meta) and its
// keysym (the keypad's keys carry Qt::KeypadModifier).
Qt::KeyboardModifiers qtModifiersForState(std::uint32_t state, std::uint32_t keysym);

class EarlyWindow {
public:
    // Connects to `display` (DISPLAY when empty), creates the window and maps it. Nothing, with the
    // reason logged, when any step fails or no window manager would maximize it.
    static std::shared_ptr<EarlyWindow> open(const EarlyWindowPlan& plan, const std::string& display = {});
    ~EarlyWindow();
    EarlyWindow(const EarlyWindow&) = delete;
    EarlyWindow& operator=(const EarlyWindow&) = delete;

    // Puts the decoded picture (upright, of the photo's `fullSize`) on the window, laid out as the viewer
    // lays it out; waits a bounded time for the window manager to show the window first.
    void showPicture(const QImage& image, QSize fullSize);
    // Qt's application object is built: from now on the picture may be scaled with a QPainter.
    void qtReady();
    // A picture is on its way to showPicture() from another thread: waitWhilePutting() waits for it.
    void pictureComing();
    // Waits, at most `patience`, while a picture handed to showPicture() is still being put on.
    void waitWhilePutting(std::chrono::milliseconds patience);
    // Handles what the X server sent: the window's size, exposures (the picture again), keys.
    void pump();
    // The keys typed so far, oldest first; each is returned once.
    std::vector<EarlyKey> takeKeys();
    // Destroys the window and closes the connection.
    void close();

    bool pictureShown() const;
    std::uint32_t windowId() const;
    // The window's size as the window manager set it.
    QSize size() const;

private:
    struct X;
    EarlyWindow();
    void handle(void* event);
    void putPicture();
    bool putShared();
    void putInStrips();
    void translateKey(void* event);

    mutable std::mutex m_mutex;
    std::condition_variable m_putDone;
    bool m_putting = false;
    std::unique_ptr<X> m_x;
    EarlyWindowPlan m_plan;
    QSize m_size;
    bool m_exposed = false;
    bool m_shown = false;
    bool m_qtReady = false;
    QImage m_picture;
    QSize m_fullSize;
    // The picture scaled for m_size, and where it goes.
    QImage m_screenCopy;
    QRect m_destination;
    std::vector<EarlyKey> m_keys;
};

} // namespace marquelo
