#pragma once
// The early window as the program sees it: a plain X window that showed the start photo while Qt was
// still starting, holding the keys typed into it until the viewer window takes over (EarlyHandOver).
// Every method may be called from any thread; after close() they do nothing.

#include "launch/LaunchHandOff.h"

#include <QEvent>
#include <QImage>
#include <QSize>
#include <QString>

#include <chrono>
#include <cstdint>
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

// The early window the program's front opened (launch/EarlyXWindow), as the viewer window takes it over:
// Qt's pictures and keys on one side, the front's plain pixels and X keys on the other.
class EarlyWindow {
public:
    explicit EarlyWindow(EarlyScreen& screen);
    ~EarlyWindow();
    EarlyWindow(const EarlyWindow&) = delete;
    EarlyWindow& operator=(const EarlyWindow&) = delete;

    // Puts the program's decode of the start photo (upright, of the photo's `fullSize`) on the window,
    // unless the front shows its own.
    void showPicture(const QImage& image, QSize fullSize);
    // The front decodes the photo and puts it on the window itself.
    bool decodesItself() const;
    // The program's decode is on its way to showPicture(): waitWhilePutting() waits for it.
    void pictureComing();
    // Waits, at most `patience`, while a picture is coming or being put on.
    void waitWhilePutting(std::chrono::milliseconds patience);
    // Handles what the X server sent (the window's size, exposures, keys) and logs what the front noted.
    void pump();
    // The keys typed so far, oldest first, as Qt would have reported them; each is returned once.
    std::vector<EarlyKey> takeKeys();
    // Destroys the window and closes the connection.
    void close();

private:
    void logNotes();

    EarlyScreen& m_screen;
};

} // namespace marquelo
