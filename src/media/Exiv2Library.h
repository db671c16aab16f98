#pragma once

// libexiv2 keeps process-wide state (its XMP toolkit, its log handler, the BMFF switch) that must be set
// up once before any use and from one thread. Every reader and writer of metadata comes through here:
// the opening functions set it up themselves, and turn the library's exceptions into reasons.

#include <exiv2/exif.hpp>
#include <exiv2/image.hpp>
#include <exiv2/xmp_exiv2.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace marquelo::media {

// Sets libexiv2 up on first call (thread-safe, idempotent): quiet logging, XMP toolkit ready, BMFF
// containers (HEIF, CR3) readable where the library was built with them.
void startExiv2();

// A picture opened by libexiv2 with its metadata read, or why that failed.
struct MetadataImage {
    std::unique_ptr<Exiv2::Image> image; // null on failure
    std::string error;                   // for the user: "not a picture with metadata", libexiv2's reason
    explicit operator bool() const { return image != nullptr; }
};

// Opens a picture held in memory (read through readRegularFile: libexiv2 would otherwise open and map
// the path itself) and reads its metadata. libexiv2 copies the bytes. Never throws.
MetadataImage openMetadata(const void* data, std::size_t size);

// Opens the picture `path` in place, for files too large to hold twice (RAW files, the tool's own
// in-memory copy of its input): refused unless it is a regular file, so that a FIFO never blocks.
// Never throws.
MetadataImage openMetadataFile(const std::string& path);

// EXIF values as the program shows them; nullopt when the tag is missing, has too few values or
// (for rationals) a zero denominator.
std::optional<std::string> exifText(const Exiv2::ExifData& exif, const char* key);
std::optional<double> exifRational(const Exiv2::ExifData& exif, const char* key, long index = 0);
// An XMP text property: a language alternative's x-default entry (else its first), or a plain value;
// nullopt when the key is missing.
std::optional<std::string> xmpText(const Exiv2::XmpData& xmp, const char* key);
// The picture's EXIF orientation 1..8; 1 when it is missing or makes no sense.
int exifOrientation(const Exiv2::ExifData& exif);

// The picture a camera RAW file is shown and converted by: the largest preview the camera embedded
// (a JPEG as a rule; RAW data is never developed), with the RAW file's EXIF orientation, since the
// preview rarely carries one of its own.
struct RawPreview {
    std::vector<unsigned char> bytes; // empty when there is none; `error` then says why
    int orientation = 1;
    std::string error;
    bool readable = false; // libexiv2 could read the file as a picture with metadata (it may hold no preview)
};

RawPreview largestRawPreview(const void* data, std::size_t size);
RawPreview largestRawPreview(const std::string& path);

// Told of every read from the file, before it is made; benchmarks count and slow them down with it.
class ReadWatch {
public:
    virtual ~ReadWatch() = default;
    virtual void reading(std::uint64_t offset, std::size_t bytes) = 0;
};

// The preview of the RAW file open as `fd` (a regular file of `size` bytes), read piece by piece
// where it sits: the container's directories and the preview itself, not the sensor data around
// them, which on a memory card or a network share would cost seconds. A file that libexiv2 can only
// parse whole (or that changes size meanwhile) reads short and fails with its reason.
RawPreview largestRawPreview(int fd, std::uint64_t size, ReadWatch* watch = nullptr);

} // namespace marquelo::media
