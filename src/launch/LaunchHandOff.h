#pragma once
// What the program's front, the small `marquelo` executable, hands to the program it loads. The front
// links only libjpeg and xcb, so it runs its first line a few milliseconds after the process starts:
// it maps the early window and decodes the start photo into it while the dynamic linker brings in Qt
// and the rest of the program (`marquelo_program.so`) on the other core. Plain C++ on both sides; both
// are built together, so a C++ interface is safe across the boundary.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace marquelo {

// A key typed into the early window, as X reported it and the keyboard's layout reads it.
struct EarlyKeyPress {
    bool press = true;
    std::uint32_t keycode = 0;
    std::uint32_t keysym = 0;
    std::uint32_t state = 0;
    // The X server's time of the event.
    std::uint32_t time = 0;
    // What the key types, UTF-8 (control characters included, as Qt reports them).
    std::string text;
};

// Something the front would have logged: the program logs it under the viewer's category.
struct EarlyNote {
    bool warning = false;
    std::string text;
};

// The early window. Every method may be called from any thread; after close() they do nothing.
class EarlyScreen {
public:
    // Puts a picture on the window: `width` x `height` pixels, upright, 32-bit xRGB words `stride`
    // bytes apart, of a photo whose upright full size is `fullWidth` x `fullHeight`. It is scaled to
    // where the viewer lays out the whole photo. Waits a bounded time for the window manager to show
    // the window first.
    virtual void showPicture(const std::uint32_t* pixels, int width, int height, std::ptrdiff_t stride, int fullWidth,
                             int fullHeight) = 0;
    // A picture is on its way to showPicture(): waitWhilePutting() waits for it.
    virtual void pictureComing() = 0;
    // No picture is coming after all.
    virtual void noPictureComing() = 0;
    // Waits, at most `patienceMs`, while a picture is coming or being put on.
    virtual void waitWhilePutting(int patienceMs) = 0;
    // True when the front decodes the start photo for the window itself: the program's decode need not
    // be shown on it.
    virtual bool decodesItself() const = 0;
    // Handles what the X server sent: the window's size, exposures (the picture again), keys.
    virtual void pump() = 0;
    // The keys typed so far, oldest first; each is returned once.
    virtual std::vector<EarlyKeyPress> takeKeys() = 0;
    // What happened that the log should hear of, oldest first; each is returned once.
    virtual std::vector<EarlyNote> takeNotes() = 0;
    // Destroys the window and closes the connection.
    virtual void close() = 0;
    // The viewer's background as 0x00RRGGBB: what transparent parts of a picture show.
    virtual std::uint32_t backgroundXrgb() const = 0;

protected:
    ~EarlyScreen() = default;
};

// Raised whenever the hand-off changes, so a front never runs a program built apart from it.
inline constexpr int kLaunchInterface = 1;

struct LaunchHandOff {
    int interface = kLaunchInterface;
    // The early window, or nothing (the reason is among the notes).
    EarlyScreen* early = nullptr;
    // Why the front opened no early window, and anything else it noticed before the program ran.
    std::vector<EarlyNote> notes;
};

} // namespace marquelo

// The program's entry, looked up by name in `marquelo_program.so`. `handOff` is null when the front
// did nothing ahead of it.
using MarqueloProgramMain = int (*)(int argc, char** argv, marquelo::LaunchHandOff* handOff);
inline constexpr const char* kProgramMainSymbol = "marquelo_program_main";
