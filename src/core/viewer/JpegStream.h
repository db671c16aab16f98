#pragma once
// Decoding a JPEG through libjpeg row by row, so that the rows already decoded can be worked on (brought
// into the display's colours) on other threads while the rest of the picture is still being decoded.

#include "core/viewer/JpegBands.h"

#include <atomic>
#include <cstddef>
#include <functional>

namespace marquelo {

// Decodes the single-scan JPEG in `data` at `scale` into `dst` (`pitch` bytes a row, room for the
// `width` x `height` scaled picture) in the 32-bit layout of QImage::Format_RGB32, the same bytes
// TurboJPEG gives, and calls `band(first, count)` each time about `bandRows` more rows are complete. False
// on any error or warning (damage, a short file) and for progressive files: the caller decodes those in
// one piece; the rows of the bands already reported stay as they were decoded. False as well as soon as
// `stop` (when given) is set: the decode ends within a few rows.
bool decodeJpegRows(const unsigned char* data, std::size_t size, JpegScale scale, unsigned char* dst, int pitch,
                    int width, int height, int bandRows, const std::function<void(int first, int count)>& band,
                    const std::atomic<bool>* stop = nullptr);

} // namespace marquelo
