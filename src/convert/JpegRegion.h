#pragma once
// Decoding only the part of a JPEG that a cut needs: the columns of the cut (to the nearest block), no
// row below it, and the rows above it skipped without colour conversion. Optionally scaled down by 2, 4
// or 8 in the DCT. A 40% cut of a 24-megapixel photo decodes a sixth of its pixels.

#include "convert/Orientation.h"

#include <vips/vips8>

#include <string>

namespace marquelo::convert {

// The region [x0, x1) x [y0, y1) of the stored picture (before EXIF orientation), decoded at 1/`shrink`,
// as an 8-bit sRGB or grey picture with the file's ICC profile attached. False when the file is not a
// plain YCbCr or grey JPEG or cannot be decoded this way; the caller then takes the general path.
bool decodeJpegRegion(const std::string& path, int shrink, const EdgeRect& region, vips::VImage& out);

} // namespace marquelo::convert
