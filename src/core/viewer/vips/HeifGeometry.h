#pragma once
// What a HEIF file asks to be done to its primary picture's geometry, read from its item properties.
// libheif applies a quarter turn to every plane byte by byte, a fifth of a phone photo's decode; the
// viewer turns the screen-sized copy instead, and needs to know the turn for that.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace marquelo {

// Quarter turns counter-clockwise (0..3) of the primary picture when a rotation is the only change of
// geometry its properties ask for; nullopt when they also mirror or crop it, or the boxes cannot be
// read (then libheif had better apply them itself).
std::optional<int> heifPrimaryQuarterTurns(const std::uint8_t* data, std::size_t size);

// One tile of a grid picture: its coded bytes (length-prefixed NAL units) and its decoder
// configuration (the 'hvcC' box's body).
struct HeifGridTile {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    const std::uint8_t* config = nullptr;
    std::size_t configSize = 0;
};

// A primary picture made of HEVC tiles of one size laid out row by row and cut to width x height.
struct HeifGrid {
    int rows = 0;
    int columns = 0;
    int width = 0;
    int height = 0;
    int tileWidth = 0;
    int tileHeight = 0;
    std::vector<HeifGridTile> tiles;
};

// The primary picture's grid when it is one the viewer can put together itself: HEVC tiles of one
// size, each stored in one piece in the file, with no change of geometry of their own, which cover the
// grid's size. nullopt for anything else, damaged boxes included; that is libheif's to read.
std::optional<HeifGrid> heifPrimaryHevcGrid(const std::uint8_t* data, std::size_t size);

// The coded bytes of a picture of one piece and its stored size (its 'ispe').
struct HeifCodedPicture {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    int width = 0;
    int height = 0;
};

// The primary picture of an AVIF when it is one AV1 picture stored in one piece, with no mirror, crop
// or layers; nullopt for anything else.
std::optional<HeifCodedPicture> heifPrimaryAv1(const std::uint8_t* data, std::size_t size);

} // namespace marquelo
