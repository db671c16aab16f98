#pragma once
// Decoding only the part of a JPEG that a cut needs: the columns of the cut (to the nearest block), no
// row below it, and the rows above it skipped without colour conversion. Optionally scaled down to M/8
// in the inverse DCT. A 40% cut of a 24-megapixel photo decodes a sixth of its pixels.

#include "convert/Orientation.h"

#include <vips/vips8>

#include <string>

namespace marquelo::convert {

enum class RegionDecode {
    Decoded,    // `out` holds the region
    NotThisWay, // not a plain YCbCr or grey JPEG, or not decodable this way: take the general path
    Refused,    // a scan bomb (too many scans, or scans that repeat earlier ones): decode no further
};

// Where a cut lies in a scaled decode that covers it rounded outwards to whole pixels: its edges and size
// in the decoded picture's pixels, fractions included.
struct CutPlacement {
    double left = 0, top = 0, width = 0, height = 0;
};

// The region [x0, x1) x [y0, y1) of the stored picture (before EXIF orientation), decoded at `eighths`/8
// of its size (1 to 8), as an 8-bit sRGB or grey picture with the file's ICC profile attached. The result
// covers the region's pixels at that scale, rounded outwards: never smaller than the region times
// `eighths`/8 in either direction. `placement`, if given, receives where the region itself lies in it.
RegionDecode decodeJpegRegion(const std::string& path, int eighths, const EdgeRect& region, vips::VImage& out,
                              CutPlacement* placement = nullptr);

} // namespace marquelo::convert
