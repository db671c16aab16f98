#pragma once
// An AVIF's one AV1 picture decoded by dav1d directly, on a thread a core, and scaled to the screen in
// bands beside one another. Through libheif 1.15 the same picture spent most of its time having its
// full-size planes allocated and cleared, and its conversion to RGB ran on one thread.

#include "core/viewer/vips/HeifGeometry.h"
#include "core/viewer/vips/TileScaler.h"
#include "core/viewer/vips/VipsModule.h"

namespace marquelo {

// `picture` decoded and scaled to targetWidth x targetHeight (as stored, not turned) in interleaved
// 8-bit RGB through `conversion`; nullopt when its samples are deeper than 8 bits (libheif's), a
// refusal (a VipsPixels that is not ok, with its reason) when it cannot be decoded.
std::optional<VipsPixels> decodeAv1Picture(const HeifCodedPicture& picture, int targetWidth, int targetHeight,
                                           const YcbcrToRgb& conversion, const PictureThreads& threads);

} // namespace marquelo
