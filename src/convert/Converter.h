#pragma once
// The image work of marquelo-convert: load (shrinking in the decoder where it can), cut in upright
// coordinates, resample with Lanczos, turn, convert to sRGB and write atomically. Plain turns of a JPEG
// are done in the DCT domain whenever the picture's size allows.

#include "convert/ConvertOptions.h"

#include <string>

namespace marquelo::convert {

// Pictures whose decoded size would pass this are refused instead of exhausting memory.
inline constexpr unsigned long long kMaxDecodedBytes = 1ull << 30;
// No picture the tool can decode within that bound needs a larger file.
inline constexpr unsigned long long kMaxInputBytes = kMaxDecodedBytes;

// Starts libvips once per process (convertImage does it itself); its warnings about damaged data are
// kept quiet, since the outcome is reported in one line.
void startImageLibrary();

// Runs one conversion. Returns true on success; otherwise `error` holds one line such as
// "unable to load 'x.jpg': Not a JPEG file" and no output file was created or changed.
bool convertImage(const ConvertOptions& options, std::string& error);

// The size a /resample request gives for a `width` x `height` cut: exactly as asked, or with
// /aspectratio fitted into the box (a side within one pixel of the box is given the box's value, so
// sizes computed from the same aspect come out exactly as asked). A 0 side follows the aspect.
void resampledSize(int width, int height, const ResampleSize& request, bool keepAspect, int& outWidth, int& outHeight);

} // namespace marquelo::convert
