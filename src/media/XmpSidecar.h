#pragma once

// A photographer's marks (stars, reject, colour label) live where every other photo tool looks for
// them: an XMP sidecar beside the photo. darktable and digiKam name it NAME.EXT.xmp, Adobe's programs
// NAME.xmp; a photo may also carry XMP inside, which is read but never written (the photo's bytes are
// never touched). A sidecar belongs to the user and often to another program too, so a write keeps
// every other property and namespace, goes through a temporary file and a rename, and merges with a
// change another program made since the sidecar was read.

#include <cstdint>
#include <optional>
#include <string>

namespace marquelo::media {

// Stars 1..5, 0 for none, -1 for a reject (as darktable and Lightroom write it).
inline constexpr int kRatingRejected = -1;
inline constexpr int kRatingNone = 0;
inline constexpr int kRatingMax = 5;

// A sidecar larger than this is refused: real ones, even with a long darktable history, are far smaller.
inline constexpr std::size_t kMaxSidecarBytes = 4u * 1024u * 1024u;

struct XmpMarks {
    int rating = kRatingNone;
    std::string label; // "Red", "Yellow", "Green", "Blue", "Purple", or empty

    bool operator==(const XmpMarks&) const = default;
};

// How a new sidecar is named when the photo has none.
enum class SidecarNaming : std::uint8_t {
    NameWithExtension, // photo.jpg.xmp (darktable, digiKam)
    NameOnly,          // photo.xmp (Adobe)
};

std::string sidecarNameWithExtension(const std::string& photoPath);
std::string sidecarNameOnly(const std::string& photoPath);

// What was seen of a sidecar when it was read, to notice a change by another program before a write.
struct SidecarStamp {
    bool exists = false;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::uint64_t inode = 0;

    bool operator==(const SidecarStamp&) const = default;
};

enum class MarksSource : std::uint8_t { None, Sidecar, Embedded };

struct MarksRead {
    XmpMarks marks;
    MarksSource source = MarksSource::None;
    std::string sidecarPath; // the sidecar that was read (empty when none exists)
    SidecarStamp stamp;
    // The sidecar (or embedded XMP) could not be used; the marks read as none. The reason, in words.
    std::string problem;
};

// Reads the marks of a photo: NAME.EXT.xmp, else NAME.xmp, else the XMP inside the photo. Never throws;
// a sidecar that is not XMP, too large, truncated, with a DOCTYPE or entities, or with a rating outside
// -1..5 gives no marks and a problem. The photo's own XMP is read only from its first 128 KB, and
// silently gives no marks when unusable. readEmbedded = false skips it.
MarksRead readMarks(const std::string& photoPath, bool readEmbedded = true);

// The dc:description of the photo's sidecar (NAME.EXT.xmp, else NAME.xmp) as it stands there, its
// default language first; nullopt when there is no sidecar or it holds none. A sidecar that cannot be
// used gives nullopt and `problem`.
std::optional<std::string> readSidecarDescription(const std::string& photoPath, std::string* problem = nullptr);

// Which marks a write changes; the others stay as the sidecar on disk has them.
struct MarksChange {
    std::optional<int> rating;
    std::optional<std::string> label;
    // dc:description's default-language text; its other languages stay. Empty removes the default.
    std::optional<std::string> description = std::nullopt;
};

struct MarksWrite {
    bool ok = false;
    std::string error;                // why nothing was changed
    std::string sidecarPath;          // the sidecar written
    std::string backupPath;           // a bad sidecar kept aside before it was replaced
    bool mergedOutsideChange = false; // the sidecar had changed since `seen`; the change was kept
    XmpMarks marks;                   // the marks now on disk
    SidecarStamp stamp;               // the sidecar as written
};

// Applies `change` to the photo's sidecar. The sidecar is re-read just before writing, so whatever
// another program wrote since `seen` is kept; a sidecar that cannot be used is first renamed to
// NAME.xmp.bak. Clearing marks of a photo without a sidecar writes nothing.
MarksWrite writeMarks(const std::string& photoPath, const MarksChange& change, const SidecarStamp& seen,
                      SidecarNaming naming = SidecarNaming::NameWithExtension);

} // namespace marquelo::media
