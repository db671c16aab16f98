#pragma once
// What marquelo-convert does to JPEG files without decoding them: reading and resetting the EXIF
// orientation, and quarter turns and mirrors in the DCT domain (no quality lost).

#include "convert/Orientation.h"
#include "media/JpegSegments.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace marquelo::convert {

using Bytes = std::vector<unsigned char>;
using ByteView = std::span<const unsigned char>;

// A progressive JPEG may spread its picture over many scans, and each costs a pass over the whole
// picture: a few hundred kilobytes of scans keep a decoder busy for minutes. Like libjpeg-turbo's own
// limit, more than this many scans is refused on every decode path.
inline constexpr int kMaxJpegScans = 500;

using media::countJpegScans;

// The EXIF orientation 1..8 of a JPEG; 1 when there is none or it cannot be read.
int exifOrientation(ByteView jpeg);

// Sets the EXIF orientation of a JPEG in place to `value` when it has one. Malformed data is left alone.
void setExifOrientation(Bytes& jpeg, int value);

// Width and height of a JPEG as stored; false when its header cannot be read.
bool jpegSize(ByteView jpeg, int& width, int& height);

// Turns the stored pixels of `jpeg` by `o` without re-encoding, keeping every marker. Fails (returns
// false, `error` says why) when the size does not allow a perfect transform or the data is damaged.
bool losslessTransform(ByteView jpeg, const Orientation& o, Bytes& out, std::string& error);

} // namespace marquelo::convert
