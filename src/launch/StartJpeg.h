#pragma once
// The start photo decoded by the front for the early window when it is a plain JPEG: libjpeg scales it
// while decoding (the DCT's own eighths) to the least size that still covers the picture's place on the
// screen, straight into the screen's 32-bit words, and the rows go on to be scaled as they come. Only
// what the front can show exactly as the viewer will is decoded here (sRGB or no profile, YCbCr, RGB or
// grey); everything else is left to the program's decode.

#include "launch/EarlyPixels.h"
#include "media/JpegHeader.h"
#include "media/Orientation.h"

#include <cstdint>
#include <functional>
#include <string>

namespace marquelo {

struct StartJpegInfo {
    // Why the front does not decode the photo; empty when it does.
    std::string skipped;
    int storedWidth = 0;
    int storedHeight = 0;
    // The photo upright at full scale.
    int fullWidth = 0;
    int fullHeight = 0;
    media::Orientation orientation;
};

// What the JPEG whose first bytes are `head` is, and whether the front decodes it.
StartJpegInfo readStartJpeg(media::ByteView head);

// The eighths (1, 2, 4 or 8) libjpeg scales a `width` x `height` picture by so that it is at least
// `toWidth` x `toHeight`.
int eighthsToCover(int width, int height, int toWidth, int toHeight);

// Rows as libjpeg makes them: `count` rows of `width` words, of a picture `height` rows high, in order.
using DecodedRows = std::function<void(const std::uint32_t* rows, int count, int width, int height)>;

// Decodes the JPEG read from the start of the open file `fd` at `eighths` of its size, as it is stored
// (before its orientation), handing the rows on as they come. libjpeg's reason when it fails, else empty.
std::string decodeStartJpeg(int fd, int eighths, const DecodedRows& rows);

// A piece of an upright picture: `width` x `height` pixels, rows one after the other, whose top left
// corner is at (`left`, `top`).
using PlacedArea = std::function<void(int left, int top, int width, int height, const std::uint32_t* pixels)>;

// Decodes the JPEG `info` describes from `fd` for a place on the screen of `width` x `height` (upright):
// libjpeg decodes on this thread while the rows are scaled on another and handed on, upright, in bands
// as they are finished (a photo on its side in bands of columns). libjpeg's reason when it fails, else
// empty.
std::string decodeForPlace(int fd, const StartJpegInfo& info, int width, int height, const PlacedArea& placed);

} // namespace marquelo
