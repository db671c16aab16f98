#pragma once
// The photo the program was started on, read and decoded while Qt, the settings and the window start
// up: its name is known the moment main() runs, and its decode is most of the wait for the first
// picture. The picture cache takes the result for its first load instead of decoding again.

#include "core/viewer/PictureDecoder.h"

#include <QSize>

#include <QByteArray>

#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace marquelo {

class StartPicture {
public:
    // What can be learnt of the screen before Qt has started: its size in device pixels and the
    // display's colour profile (empty: sRGB).
    struct Screen {
        QSize pixels;
        QByteArray profile;
    };
    // Asked on the start picture's thread; nothing when only Qt can tell.
    using ScreenProbe = std::function<std::optional<Screen>()>;
    // Told the decoded picture (upright) and the photo's full size, on the start picture's thread,
    // after the cache can have it.
    using DecodedHook = std::function<void(const QImage& picture, QSize fullSize)>;

    // Starts reading `path` on a thread of the loads pool when it names a regular file of a picture type the
    // program lists by default (anything else is left to the ordinary load). The decode starts as
    // soon as `probe` tells the screen (and sets the display's profile), else at screenKnown(). Only
    // one start picture exists at a time; it becomes claimable at once. `decoded` hears of a picture that
    // decoded.
    explicit StartPicture(const std::string& path, ScreenProbe probe = {}, DecodedHook decoded = {});
    // Withdraws the offer and waits a bounded time for its task (it reads and decodes nothing more once
    // withdrawn).
    ~StartPicture();
    StartPicture(const StartPicture&) = delete;
    StartPicture& operator=(const StartPicture&) = delete;

    // The screen the cache fits pictures into (device pixels) is known and the display's colour
    // profile is set: the decode may start (when the probe has not started it already).
    void screenKnown(QSize fitInto);

    // True when a task was started for the path.
    bool started() const;
    // True once that task has ended: the picture is decoded, or the offer was withdrawn.
    bool finished() const;

    // For the cache's load of `path` fitted into `fitInto`: the decode of the start picture when it is
    // the same file decoded with at least the detail that screen needs, otherwise nothing. Taken once: whatever asks
    // first gets it or cancels it, so a later load never waits for a decode nobody else will use.
    static std::optional<std::shared_future<DecodedPicture>> claim(const std::string& path, QSize fitInto);

private:
    struct State;
    // The one start picture that may still be claimed.
    static std::mutex s_offerMutex;
    static std::shared_ptr<State> s_offer;
    std::shared_ptr<State> m_state;
};

} // namespace marquelo
