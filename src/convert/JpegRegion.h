#pragma once
// Decoding only the part of a JPEG that a cut needs: the columns of the cut (to the nearest block), no
// row below it, and the rows above it skipped without colour conversion. Optionally scaled down by 2, 4
// or 8 in the DCT. A 40% cut of a 24-megapixel photo decodes a sixth of its pixels.

#include "convert/Orientation.h"

#include <vips/vips8>

#include <string>

namespace marquelo::convert {

enum class RegionDecode {
    Decoded,    // `out` holds the region
    NotThisWay, // not a plain YCbCr or grey JPEG, or not decodable this way: take the general path
    Refused,    // a scan bomb (too many scans, or scans that repeat earlier ones): decode no further
};

// The region [x0, x1) x [y0, y1) of the stored picture (before EXIF orientation), decoded at 1/`shrink`,
// as an 8-bit sRGB or grey picture with the file's ICC profile attached.
RegionDecode decodeJpegRegion(const std::string& path, int shrink, const EdgeRect& region, vips::VImage& out);

} // namespace marquelo::convert
