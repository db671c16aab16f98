#pragma once
// The early window: a plain X window mapped before Qt is loaded, with the viewer window's title, class,
// state and background, given the start photo as soon as it is decoded, and holding the keys typed
// into it until the viewer window takes over.

#include "core/viewer/EarlyWindowPlan.h"
#include "launch/EarlyPixels.h"
#include "launch/LaunchHandOff.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace marquelo {

class EarlyXWindow final : public EarlyScreen {
public:
    // Connects to `display` (DISPLAY when empty), creates the window and maps it. Nothing, with the reason
    // in `notes`, when any step fails or no window manager would maximize it.
    static std::unique_ptr<EarlyXWindow> open(const EarlyWindowPlan& plan, std::vector<EarlyNote>& notes,
                                              const std::string& display = {});
    ~EarlyXWindow();
    EarlyXWindow(const EarlyXWindow&) = delete;
    EarlyXWindow& operator=(const EarlyXWindow&) = delete;

    // The display has a colour profile of its own: only the program's colour-managed decode may be shown.
    bool displayHasProfile() const { return m_displayProfile; }
    // The front decodes the photo itself and shows it (decodesItself() is true from now on).
    void decodingItself();
    void note(bool warning, std::string text);
    // Waits, at most `patienceMs`, for the window manager to have shown the window, and tells the size
    // the viewer gives a photo of `fullWidth` x `fullHeight` in it. False when the window never came.
    bool waitForPlace(int fullWidth, int fullHeight, int patienceMs, int& width, int& height);
    // A picture of `width` x `height` put together piece by piece (from any one thread), then shown at
    // once where the viewer lays it out. endRows(false) gives it up.
    bool beginRows(int width, int height);
    // The picture is on (or given up): waitWhilePutting() returns.
    void putDone();
    // `width` x `height` pixels, rows one after the other, at (`left`, `top`) of the picture.
    void putArea(int left, int top, int width, int height, const std::uint32_t* pixels);
    void endRows(bool complete);

    void showPicture(const std::uint32_t* pixels, int width, int height, std::ptrdiff_t stride, int fullWidth,
                     int fullHeight) override;
    void pictureComing() override;
    void noPictureComing() override;
    void waitWhilePutting(int patienceMs) override;
    bool decodesItself() const override;
    void pump() override;
    std::vector<EarlyKeyPress> takeKeys() override;
    std::vector<EarlyNote> takeNotes() override;
    void close() override;
    std::uint32_t backgroundXrgb() const override;

private:
    struct X;
    EarlyXWindow();
    void handle(void* event);
    // Puts the finished picture on the window.
    void copyPicture();
    void readKey(void* event);

    mutable std::mutex m_mutex;
    std::condition_variable m_putDone;
    bool m_putting = false;
    bool m_decodesItself = false;
    std::unique_ptr<X> m_x;
    EarlyWindowPlan m_plan;
    bool m_displayProfile = false;
    int m_width = 0;
    int m_height = 0;
    bool m_exposed = false;
    bool m_shown = false;
    // The picture's size on the server, and whether all its rows are there.
    int m_pixmapWidth = 0;
    int m_pixmapHeight = 0;
    bool m_pixmapComplete = false;
    std::vector<EarlyKeyPress> m_keys;
    std::vector<EarlyNote> m_notes;
};

} // namespace marquelo
