#pragma once
// The tiles of a HEIC grid picture decoded by libde265 directly, each on whichever of the program's
// threads is free, and each scaled to the screen the moment it is decoded. libheif 1.15 can only hand
// over the whole picture: all tiles pasted into one full-size image, which it first clears, then
// converted to RGB on one thread.

#include "core/viewer/vips/HeifGeometry.h"
#include "core/viewer/vips/TileScaler.h"
#include "core/viewer/vips/VipsModule.h"

#include <QString>

#include <functional>
#include <optional>

namespace marquelo {

// Each of `count` pieces on `threads`, or all on this thread when it has one.
void runPieces(const PictureThreads& threads, int count, const std::function<void(int)>& piece);
// The scaled picture made RGB through `conversion`, in a band a thread.
VipsPixels scaledRgb(const TileScaler& scaler, const YcbcrToRgb& conversion, const PictureThreads& threads);

// How the grid's tiles are coded, read from the first tile's configuration: the chroma planes' halving
// (0 or 1 each way) and whether the picture is grey; nullopt for what this does not decode (samples
// deeper than 8 bits, a configuration it cannot read).
struct HevcLayout {
    int chromaShiftX = 1;
    int chromaShiftY = 1;
    bool grey = false;
};
std::optional<HevcLayout> hevcGridLayout(const HeifGrid& grid);

// The grid decoded and scaled to targetWidth x targetHeight (the picture as stored, not turned) in
// interleaved 8-bit RGB through `conversion`, a tile at a time on each of `threads`. A refusal (a tile that
// cannot be decoded) is a VipsPixels that is not ok, with its reason.
VipsPixels decodeHevcGrid(const HeifGrid& grid, const HevcLayout& layout, int targetWidth, int targetHeight,
                          const YcbcrToRgb& conversion, const PictureThreads& threads);

} // namespace marquelo
