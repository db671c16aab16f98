#pragma once
// Decodes the photo formats of today's phones and cameras for the viewer: HEIF/HEIC and AVIF, WebP,
// PNG, TIFF and JPEG XL through libvips, camera RAW files through the largest preview the camera
// embedded (libexiv2). Pictures come out upright, in the display's colour space, 8 bits per sample,
// alpha kept (premultiplied) for the window to lay over its background.

#include "core/viewer/PictureDecoder.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace marquelo {

class VipsPictureDecoder {
public:
    // Same contract as PictureDecoder::decode: no more pixels than `fitInto` (and `minScale`) need
    // where the format can decode smaller, the first frame of an animation, the primary image of a
    // HEIF file. Refuses pictures above PictureDecoder::kMaxDecodedBytes before decoding them.
    // `threads`, as there: how many cores the picture may take (HEIC grids, AVIF).
    static DecodedPicture decode(const QByteArray& bytes, QSize fitInto, double minScale = 0,
                                 std::int64_t maxDecodedBytes = PictureDecoder::kMaxDecodedBytes, int threads = 1);

    // Whether `bytes` start like a picture format decoded here (the contents decide, not the name).
    static bool recognises(const QByteArray& bytes);

    // The largest embedded preview of a camera RAW file, upright by the RAW file's orientation when
    // the preview has none of its own. fullSize is the preview's: RAW data is never developed.
    static DecodedPicture decodeRawPreview(const QByteArray& bytes, QSize fitInto, double minScale = 0);
    // The same for the preview already taken out of the RAW file, with the RAW file's orientation.
    static DecodedPicture decodePreviewJpeg(const QByteArray& jpeg, int rawOrientation, QSize fitInto,
                                            double minScale = 0);

    // Loads libvips (a module of its own, on first use) and starts it, once for the process
    // (thread-safe); false when it cannot run.
    static bool startLibrary();
};

} // namespace marquelo
