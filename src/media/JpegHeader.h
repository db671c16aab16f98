#pragma once
// What a JPEG file says about itself before its first scan: the frame, its colours and the metadata
// blocks the program and the image tool read (EXIF, XMP, the colour profile). Read by libjpeg's own
// marker code, so that every part of the program agrees with the decoder about what a file holds.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace marquelo::media {

using ByteView = std::span<const unsigned char>;

// True when the data starts like a JPEG file (SOI and the start of a marker).
bool startsLikeJpeg(ByteView data);

enum class JpegColours { Grey, YCbCr, Rgb, Cmyk, Ycck, Other };

struct JpegHeader {
    bool ok = false;
    std::string error; // libjpeg's reason when not ok
    int width = 0;
    int height = 0;
    int components = 0;
    JpegColours colours = JpegColours::Other;
    bool progressive = false;
    bool arithmetic = false;
    bool jfif = false;      // a JFIF APP0 block
    bool adobe = false;     // an Adobe APP14 block
    int adobeTransform = 0; // its colour transform (0: none, 1: YCbCr, 2: YCCK)
    // What libjpeg holds of a progressive picture until its last scan is read: every DCT coefficient,
    // two bytes each, at full resolution whatever the output scale.
    std::int64_t coefficientBytes = 0;
    std::vector<unsigned char> exif; // the TIFF structure of the first APP1 "Exif" block
    std::vector<unsigned char> xmp;  // the packet of the first APP1 XMP block
    std::vector<unsigned char> icc;  // the APP2 colour profile, its chunks put together; empty when incomplete
};

// Reads the markers of `jpeg` up to its first scan. Never decodes pixels; data cut short or damaged
// before the first scan is not ok, but the metadata blocks read before the damage are still given.
JpegHeader readJpegHeader(ByteView jpeg);

} // namespace marquelo::media
