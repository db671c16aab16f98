#pragma once
// A walk over the segments of a JPEG file for what libjpeg's marker reader cannot give without decoding:
// where the segments lie in the bytes (to cut a file into bands or reset a value in place), and the
// scans after the first (to count them before a decoder is let near a scan bomb). Everything else about
// a file's head is read by readJpegHeader (JpegHeader.h).

#include "media/ExifTiff.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>

namespace marquelo::media {

struct JpegSegment {
    unsigned char marker = 0;
    std::size_t at = 0;         // the marker's 0xFF
    std::size_t bodyAt = 0;     // the first byte after the two length bytes (after the marker for EOI)
    std::size_t bodyLength = 0; // without the length bytes
    std::size_t end() const { return bodyAt + bodyLength; }
};

struct JpegWalk {
    // Go on through each scan's entropy-coded data to the markers after it; otherwise the walk ends with
    // the first SOS segment.
    bool throughScans = false;
    // Step over bytes between segments that are no marker, as the decoders do (with a warning); otherwise
    // they end the walk.
    bool skipStrayBytes = false;
    // Called for each restart marker inside a scan's data, with its place and its marker byte.
    std::function<void(std::size_t at, unsigned char marker)> restart;
};

enum class JpegWalkEnd {
    Stopped, // `visit` returned false
    EndOfImage,
    EndOfData,
    Broken, // no SOI, or a segment running past the data, or no marker where one must be
};

// Calls `visit` for each segment from the one after SOI on (SOS included, and EOI with no body), until
// it returns false or the walk ends.
JpegWalkEnd walkJpeg(std::span<const unsigned char> jpeg, const std::function<bool(const JpegSegment&)>& visit,
                     const JpegWalk& how = {});

// The number of scans (SOS segments) of the first picture in `jpeg`, counted up to `stopAt`: one quick
// pass without decoding, so that a scan bomb is found before it keeps a decoder busy.
int countJpegScans(std::span<const unsigned char> jpeg, int stopAt);

// The place of the TIFF structure of the first APP1 "Exif" block before the first scan, for the rare
// caller that changes it in place; readJpegHeader gives a copy to everyone else.
struct ByteRange {
    std::size_t offset = 0;
    std::size_t size = 0;
};
std::optional<ByteRange> findJpegExif(std::span<const unsigned char> jpeg);

} // namespace marquelo::media
