#pragma once
// Turns the bytes of a photo into an upright picture at the smallest scale that still fills the area it
// is shown in, refusing pictures too large to hold in memory.

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <cstdint>
#include <string>

namespace marquelo {

struct DecodedPicture {
    bool ok = false;
    QImage image;   // upright (EXIF orientation applied)
    QSize fullSize; // upright size at full resolution
    bool fullResolution = false;
};

class PictureDecoder {
public:
    // A picture whose full-resolution pixels would take more than this is refused as undecodable.
    static constexpr std::int64_t kMaxDecodedBytes = std::int64_t(1) << 30;

    // Decodes `bytes` so that the upright picture fitted into `fitInto` loses no detail and, when
    // `minScale` > 0, at least that fraction of its full resolution. An empty `fitInto` decodes at full
    // resolution. JPEG is decoded by TurboJPEG with DCT scaling; what TurboJPEG cannot read (CMYK,
    // other formats named .jpg) goes through Qt's readers. With `threads` > 1 a JPEG whose restart
    // markers allow it is decoded in that many bands at once. Never throws; ok is false on any failure.
    static DecodedPicture decode(const QByteArray& bytes, QSize fitInto, double minScale = 0, int threads = 1);

    // Reads the whole file in one read and decodes it. Files larger than kMaxDecodedBytes are refused.
    static DecodedPicture decodeFile(const std::string& path, QSize fitInto, double minScale = 0, int threads = 1);
};

} // namespace marquelo
