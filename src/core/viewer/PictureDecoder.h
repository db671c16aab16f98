#pragma once
// Turns the bytes of a photo into an upright picture at the smallest scale that still fills the area it
// is shown in, refusing pictures too large to hold in memory.

#include "core/viewer/FileProbe.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <string>

namespace marquelo {

struct DecodedPicture {
    bool ok = false;
    // Why the picture could not be decoded, in words for the user ("the file ends early"); empty when ok.
    QString error;
    QImage image;   // upright (EXIF orientation applied)
    QSize fullSize; // upright size at full resolution
    bool fullResolution = false;
    // decodeFile: the file as it was read (or looked up, when it could not be read).
    FileStatus file;
};

class PictureDecoder {
public:
    // The most memory one decode may hold for pixels at once: the picture at full resolution, and
    // everything the decoders keep on the way (a reader's full-size image before scaling, 16-bit
    // samples, a copy for a format change or a quarter turn, the DCT coefficients of a progressive
    // JPEG). A decode that would need more is refused as undecodable.
    static constexpr std::int64_t kMaxDecodedBytes = std::int64_t(1) << 30;
    // A progressive JPEG with more scans than this is refused before any is decoded: each scan
    // walks the whole picture again, so a small file can ask for minutes of work. The number is
    // the one TurboJPEG's own scan limit uses.
    static constexpr int kMaxScans = 500;

    // Decodes `bytes` so that the upright picture fitted into `fitInto` loses no detail and, when
    // `minScale` > 0, at least that fraction of its full resolution. An empty `fitInto` decodes at full
    // resolution. JPEG is decoded by TurboJPEG with DCT scaling; what TurboJPEG cannot read (CMYK,
    // other formats named .jpg) goes through Qt's readers. With `threads` > 1 a JPEG whose restart
    // markers allow it is decoded in that many bands at once. Never throws; ok is false on any failure,
    // and error then says why.
    // Once `cancel` (when given) is set the decode gives up (ok false) at its next step: within a few
    // rows for a single-scan JPEG, between the stages of the others.
    static DecodedPicture decode(const QByteArray& bytes, QSize fitInto, double minScale = 0,
                                 std::int64_t maxDecodedBytes = kMaxDecodedBytes, int threads = 1,
                                 const std::atomic<bool>* cancel = nullptr);

    // Reads the whole regular file in one read (never opening a FIFO or a device) and decodes it.
    // Files larger than kMaxDecodedBytes are refused.
    static DecodedPicture decodeFile(const std::string& path, QSize fitInto, double minScale = 0,
                                     std::int64_t maxDecodedBytes = kMaxDecodedBytes, int threads = 1,
                                     const std::atomic<bool>* cancel = nullptr);
    // True when `path` names a regular file the viewer can show whatever its name: a camera RAW file,
    // or a file whose first bytes one of the decoders recognises. Reads only the start of the file.
    static bool readsPicture(const std::string& path);

    // decodeFile's second half, for a caller that read the file itself (earlier, on another thread).
    static DecodedPicture decodeContents(const std::string& path, FileContents contents, QSize fitInto,
                                         double minScale = 0, std::int64_t maxDecodedBytes = kMaxDecodedBytes,
                                         int threads = 1, const std::atomic<bool>* cancel = nullptr);
};

} // namespace marquelo
