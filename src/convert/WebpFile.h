#pragma once
// Edits of a WebP file's RIFF chunks, without decoding its picture.

#include "convert/JpegFile.h"

namespace marquelo::convert {

// Drops the EXIF and XMP chunks of a WebP file and their flags in its VP8X header. libvips' WebP saver
// writes an EXIF block even for a picture without metadata (and, in some versions, whatever EXIF the
// picture carries, "strip" or not). False, with `webp` unchanged, when it is not a well-formed WebP file.
bool dropWebpMetadata(Bytes& webp);

} // namespace marquelo::convert
