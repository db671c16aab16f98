#pragma once
// One decoded picture of one version of one image-list entry, and the state of its loading.

#include "core/viewer/FileProbe.h"
#include "core/viewer/ScreenCopy.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>

namespace marquelo {

// A slot is shared between the list entry and the worker that fills it, so a load still running when
// its entry moves or is removed writes into this object only. The `loading` flag is the hand-over:
// while it is set only the worker writes the fields below it; once it is clear (release) only the GUI
// thread touches them.
struct PictureSlot {
    // Set by the GUI thread when a load starts, cleared by the worker as its very last write.
    std::atomic<bool> loading{false};
    // True when the last load succeeded, or when the entry is not a picture and there is nothing to decode.
    std::atomic<bool> loaded{false};

    // The decoded picture, upright (EXIF orientation applied), possibly at a reduced scale.
    QImage image;
    // Why the last load failed, in words for the user (DecodedPicture::error); empty after a success.
    QString error;
    // The upright picture's full-resolution size; every rectangle of the view is in these pixels.
    QSize fullSize;
    // The decoded image is the whole picture at full resolution.
    bool fullResolution = false;
    // The screen (device pixels) the load decoded for; empty: full resolution. A larger screen needs
    // the picture decoded again, whatever size this decode happened to come out at.
    QSize decodedFor;
    // The whole picture scaled for the window the load was started for (empty when it had none).
    ScreenCopy screen;
    // The file as the worker found it, read or not: a failed load remembers it like a good one, so
    // the change check reads an unreadable file again only once it has changed.
    FileStatus file;
    // The worker looked at the file (false for a movie, a missing entry or a worker that never ran).
    bool fileLookedAt = false;

    // GUI thread only: the end of the load has been applied to its entry (stored time cleared on failure).
    bool settled = true;

    // Ready to draw: the load has ended and succeeded.
    bool ready() const { return !loading.load(std::memory_order_acquire) && loaded.load(std::memory_order_acquire); }
};

} // namespace marquelo
