#pragma once
// The user's turns (/rotate and friends) as orientations of the media floor, where EXIF orientation and
// every other turn of a picture are worked out.

#include "convert/ConvertOptions.h"
#include "media/Orientation.h"

namespace marquelo::convert {

using media::EdgeRect;
using media::mapBack;
using media::Orientation;

Orientation orientationOf(Turn turn);

} // namespace marquelo::convert
