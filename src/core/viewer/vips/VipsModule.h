#pragma once
// The libvips side of the viewer, built as a module of its own that the program loads the first time a
// picture needs it. libvips brings about a hundred libraries along (codecs, glib, ImageMagick, poppler,
// ...), and loading them at start would add tens of milliseconds to every start, JPEG-only folders
// included. Only this header is shared: the program never links libvips, the module never links the
// program's code (so no state, such as the display's profile, exists twice).

#include "media/HdrColour.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

namespace marquelo {

// Bumped whenever VipsModule or VipsPixels change, so a stale module is refused rather than misread.
inline constexpr int kVipsModuleVersion = 5;

// A picture as libvips decoded it: interleaved RGB or RGBA of 8 or 16 bits, neither in the display's
// colours nor upright yet.
struct VipsPixels {
    bool ok = false;
    QString error; // why not ok, in words for the user
    std::shared_ptr<void> data;
    int width = 0;
    int height = 0;
    int bands = 0;
    int bits = 8;
    std::int64_t stride = 0;
    // The embedded profile; cleared when libvips itself made the pixels sRGB on the way.
    QByteArray icc;
    bool madeSrgb = false;
    // How an HDR HEIF/AVIF describes its samples (nclx); no transfer for every other picture.
    media::HdrDescription hdr;
    int orientation = 1; // EXIF 1..8
    QSize fullSize;      // upright, at full resolution
    bool fullResolution = false;
};

// Runs `count` pieces of one picture at once on the program's threads and returns when all have ended:
// the module's own work starts no threads of its own.
using RunPieces = void (*)(int count, void* context, void (*piece)(void* context, int index));

// How far the work of one picture may be split: into `count` pieces at once through `run`; everything
// on the calling thread when count is 1 or run is null (a read-ahead or a thumbnail leaves the cores
// to the picture on screen).
struct PictureThreads {
    int count = 1;
    RunPieces run = nullptr;
};

struct VipsModule {
    int version;
    // Starts libvips once for the process (thread-safe); false when it cannot run.
    bool (*start)();
    // Whether the bytes start like a picture format a viewer loader may take.
    bool (*recognises)(const QByteArray& bytes);
    // No more pixels than `fitInto` and `minScale` need where the format can decode smaller; refuses
    // pictures above `maxDecodedBytes` before decoding them.
    VipsPixels (*decode)(const QByteArray& bytes, QSize fitInto, double minScale, std::int64_t maxDecodedBytes,
                         PictureThreads threads);
};

} // namespace marquelo

// The module's one entry point.
extern "C" const marquelo::VipsModule* marquelo_vips_module();
