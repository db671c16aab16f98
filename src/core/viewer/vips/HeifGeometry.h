#pragma once
// What a HEIF file asks to be done to its primary picture's geometry, read from its item properties.
// libheif applies a quarter turn to every plane byte by byte, a fifth of a phone photo's decode; the
// viewer turns the screen-sized copy instead, and needs to know the turn for that.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace marquelo {

// Quarter turns counter-clockwise (0..3) of the primary picture when a rotation is the only change of
// geometry its properties ask for; nullopt when they also mirror or crop it, or the boxes cannot be
// read (then libheif had better apply them itself).
std::optional<int> heifPrimaryQuarterTurns(const std::uint8_t* data, std::size_t size);

} // namespace marquelo
