#pragma once
// When a photo was taken, for the capture-time order: the camera's DateTimeOriginal, placed on the
// world's clock by its OffsetTimeOriginal where the camera wrote one (else read as this computer's local
// time), refined by SubSecTimeOriginal so that a burst keeps its order, and moved by the clock offset the
// user gave for that camera. A photo without one is placed by its file time.

#include "media/ExifTiff.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marquelo {

// The CameraClockOffsets setting: one camera a line, "Make Model = seconds" (or "Model = seconds"),
// the seconds added to every time that camera wrote. Letter case and runs of blanks in the name do not
// matter; empty lines and lines starting with "#" are skipped.
struct ClockOffset {
    std::string camera; // folded: lower case, single blanks
    std::int64_t seconds = 0;
};
using ClockOffsets = std::vector<ClockOffset>;

struct ClockOffsetsParse {
    ClockOffsets offsets;
    int badLine = 0;   // 1-based line that is not "name = seconds"; 0 when all are fine
    std::string error; // the message the preferences show for it
};
ClockOffsetsParse parseClockOffsets(std::string_view text);

// The offset for a camera (Make and Model as EXIF has them), 0 when none is listed.
std::int64_t clockOffsetFor(const ClockOffsets& offsets, std::string_view make, std::string_view model);

// The capture time in nanoseconds since 1970 (UTC); nothing when DateTimeOriginal is missing or no date.
std::optional<std::int64_t> captureTimeNs(const media::ExifCaptureFields& fields, const ClockOffsets& offsets);

// The capture time of the file `path`, read from its first bytes, or `fileTimeNs` when it has none.
std::int64_t captureTimeOrFileTime(const std::string& path, std::int64_t fileTimeNs, const ClockOffsets& offsets);

} // namespace marquelo
