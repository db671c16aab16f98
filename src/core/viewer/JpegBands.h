#pragma once
// Decoding a JPEG at the smallest DCT scale the screen needs, and in independent bands on more than one
// thread when restart markers allow it.

#include <QSize>

#include <cstddef>

namespace marquelo {

// A DCT scale num/denom as TurboJPEG decodes it.
struct JpegScale {
    int num = 1;
    int denom = 1;
    bool operator==(const JpegScale&) const = default;
    double value() const { return double(num) / denom; }
};

// The fraction of full resolution a picture of `upright` size must keep: enough to fill `fitInto`
// (never more than full resolution; an empty `fitInto` asks for full resolution), and at least
// `minScale`.
double neededScale(QSize upright, QSize fitInto, double minScale);

// The smallest scale TurboJPEG offers (every M/8, 1/8 to 1) that keeps `needed` of the resolution.
JpegScale chooseJpegScale(double needed);

// Decodes the JPEG in `data` at `scale` into `dst` (`pitch` bytes a row, room for the whole scaled
// picture) with TurboJPEG's `pixelFormat`, split into `bands` horizontal bands decoded at once, one
// thread each. Only a single-scan Huffman JPEG whose restart markers fall on the band edges can be
// split; the bytes are the ones a single decode gives. Returns false (leaving `dst` in any state) when
// the file cannot be split, or any band fails or warns: the caller then decodes it whole.
bool decodeJpegInBands(const unsigned char* data, std::size_t size, JpegScale scale, unsigned char* dst, int pitch,
                       int pixelFormat, int bands);

} // namespace marquelo
