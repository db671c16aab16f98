#pragma once
// The picture the tool reads for a camera RAW file: the largest preview the camera embedded (libexiv2),
// never a development of the sensor data.

#include <string>
#include <vector>

namespace marquelo::convert {

struct RawPreview {
    std::vector<unsigned char> bytes; // a JPEG as a rule; empty when the file has no preview
    int orientation = 1;              // the RAW file's EXIF orientation, 1..8
    std::string error;                // libexiv2's reason when it could not read the file
};

// Reads `path` (a RAW file) and returns its largest preview. Never throws.
RawPreview largestRawPreview(const std::string& path);

} // namespace marquelo::convert
