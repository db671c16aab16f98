#pragma once
// The two facts the program takes from an EXIF block without libexiv2: the orientation of the picture
// (read for every photo shown) and where the camera's small JPEG lies (for the thumbnails). Every field
// is checked for its type and count and every offset against the block's end.
//
// Why not libexiv2 here: bench_media_orientation (bench/media) reads the orientation of the same 128 KiB
// heads of the 29 camera photos of the corpus three ways. CPU time per photo on the 2-core development
// machine: this reader after the segment walk 0.1 µs, after libjpeg's header reader (the viewer's path)
// 5.6 µs, libexiv2 (open from memory, readMetadata, find the key) 415 µs. All three agree on every
// photo. At 415 µs a photo, libexiv2 would add a second and a half to a grid of 4000 thumbnails and more
// than the rest of a step's work in the viewer, for one number.

#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace marquelo::media {

// The TIFF structure of an EXIF block (what follows "Exif\0\0" in a JPEG's APP1).
using TiffView = std::span<const unsigned char>;

// Where IFD0's orientation value lies in the block, with its byte order: to read it, or to reset it in
// place. Nothing when there is none, or it is not one SHORT.
struct OrientationField {
    std::size_t at = 0; // the value's two bytes
    bool bigEndian = false;
};
std::optional<OrientationField> findExifOrientation(TiffView tiff);

// The EXIF orientation 1..8 of IFD0; 1 when there is none or it is not a valid value.
int exifOrientation(TiffView tiff);

// The camera's small JPEG (IFD1): its place in the block, checked to lie inside it.
struct ExifThumbnailPlace {
    std::size_t offset = 0;
    std::size_t size = 0;
};
std::optional<ExifThumbnailPlace> findExifThumbnail(TiffView tiff);

// What the capture-time order needs: IFD0's Make and Model and the EXIF IFD's DateTimeOriginal,
// OffsetTimeOriginal and SubSecTimeOriginal, as the ASCII the camera wrote (trailing NULs and blanks
// removed; empty when missing or not ASCII).
struct ExifCaptureFields {
    std::string make;
    std::string model;
    std::string dateTimeOriginal;   // "YYYY:MM:DD HH:MM:SS"
    std::string offsetTimeOriginal; // "+HH:MM"
    std::string subSecTimeOriginal; // digits of a second's fraction
};
ExifCaptureFields exifCaptureFields(TiffView tiff);

// The capture fields of the photo file `path`, read from its first bytes only: a JPEG's EXIF block, or
// the TIFF structure a TIFF-based RAW file (DNG, CR2, NEF, ARW, ...) starts with. All empty when the
// file cannot be read or holds none there. Never throws.
ExifCaptureFields readCaptureFields(const std::string& path);

} // namespace marquelo::media
