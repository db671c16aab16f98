#pragma once

// The description a photo already carries, as a caption to start from. Phones and photo managers put it
// in three places; which one wins follows the Metadata Working Group's guidelines: the XMP
// dc:description (a sidecar's before the photo's own), then IPTC Caption-Abstract, then EXIF
// ImageDescription. Many cameras fill ImageDescription with their own name or blanks; such text is no
// description and the next place is asked instead.

#include <optional>
#include <string>
#include <string_view>

namespace marquelo::media {

// A description longer than this is cut (at a character boundary): a caption is a line, not a text.
inline constexpr std::size_t kMaxDescriptionCharacters = 2000;

// True for what cameras write when nobody typed a description ("OLYMPUS DIGITAL CAMERA", "SONY DSC",
// ...); letter case and surrounding blanks do not matter.
bool isCameraBoilerplate(std::string_view text);

// `raw` as a caption can hold it: invalid UTF-8 repaired (each bad byte becomes U+FFFD, or the whole
// value is read as Latin-1 when `latin1Fallback`), control characters and line breaks become blanks,
// blanks trimmed, cut to kMaxDescriptionCharacters. Empty for boilerplate and blank values.
std::string usableDescription(std::string_view raw, bool latin1Fallback = false);

// The places in the order they are asked; each already made usable (empty: nothing there).
struct DescriptionPlaces {
    std::string sidecarXmp;
    std::string embeddedXmp;
    std::string iptc;
    std::string exif;
};
// The first non-empty place.
std::string chooseDescription(const DescriptionPlaces& places);

struct PhotoDescription {
    std::string text;    // empty when the photo has none
    std::string problem; // why the photo's metadata could not be read (the text may still come from a sidecar)
};

// Reads the places of the photo `photoPath` (its sidecar NAME.EXT.xmp or NAME.xmp, then the photo
// through libexiv2) and chooses. Never throws.
PhotoDescription readPhotoDescription(const std::string& photoPath);

} // namespace marquelo::media
