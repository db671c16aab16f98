#pragma once
// The HDR description (nclx) of a HEIF or AVIF file, which libvips does not hand over with the pixels.
// Beside libvips rather than in the media floor itself: it links libheif, which only the libvips module
// and the image tool load, never the program at its start.

#include "media/HdrColour.h"

#include <cstddef>

namespace marquelo::media {

// The transfer and primaries of the primary image's nclx colour description; HdrTransfer::None when the
// bytes are no HEIF/AVIF libheif reads, carry no nclx description, or describe SDR samples.
HdrDescription heifHdrDescription(const void* bytes, std::size_t size);

} // namespace marquelo::media
