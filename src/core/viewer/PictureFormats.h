#pragma once
// What a photo's file name says about its format: camera RAW files, JPEGs, and the formats a web
// browser can show as they are.

#include <string>
#include <string_view>
#include <vector>

namespace marquelo {

// The extension of `name` after its last dot, lower-cased (ASCII); "" when there is none.
std::string lowerExtension(std::string_view name);

// A camera RAW file (.dng, .cr2, .cr3, .crw, .nef, .arw, .srf, .orf, .rw2, .raf, .pef, .srw, ...), shown
// through its embedded preview.
bool isRawName(std::string_view name);

// A JPEG by its name (.jpg, .jpeg, .jpe in any case).
bool isJpegName(std::string_view name);

// A picture a browser cannot show (HEIF/HEIC, TIFF, JPEG XL, camera RAW): its page and favorite copies
// are JPEG files named .jpg. JPEG, PNG, WebP, AVIF, GIF and every non-picture keep their own type.
bool isPublishedAsJpeg(std::string_view name);

// True when `name` matches `pattern` as a whole; `*` is any run of characters, `?` one character, and
// the letters A-Z match either case. An empty pattern matches nothing.
bool matchesPattern(std::string_view pattern, std::string_view name);

// The patterns of an OtherExtensions value, split at ";" in order (empty pieces kept: they match nothing).
std::vector<std::string> splitPatterns(std::string_view otherExtensions);

// A-Z as a-z; every other byte as it is.
unsigned char foldAsciiCase(unsigned char c);

// A picture the folder listing shows with the default settings: a JPEG, or a name the default
// PictureExtensions patterns match.
bool listedByDefault(std::string_view name);

// `name` up to its last dot (the whole name when it has no extension).
std::string_view nameStem(std::string_view name);

// Whether the file at `path` is an animated WebP, of which the viewer shows and publishes the first frame
// only. Reads its first bytes; false for anything it cannot read.
bool isAnimatedWebp(const std::string& path);

} // namespace marquelo
