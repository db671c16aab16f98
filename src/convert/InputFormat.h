#pragma once
// The picture formats marquelo-convert reads, told apart by their first bytes, each with the one libvips
// loader that may open it. A file that is none of them (text, TGA, PDF, a camera's raw file named .jpg)
// is refused before any decoder has seen a byte of it, whatever its name says.

#include <cstddef>
#include <span>
#include <string_view>

namespace marquelo::convert {

struct InputFormat {
    std::string_view name;   // for messages and tests: "jpeg", "png", ...
    std::string_view loader; // the libvips operation that loads it from a file
    bool (*matches)(std::span<const unsigned char> head);
};

// How many leading bytes the detection needs at most.
inline constexpr std::size_t kFormatHeadBytes = 32;

// Every format the tool reads, in the order they are tried. Adding a format is adding a row here.
std::span<const InputFormat> inputFormats();

// The format whose signature `head` (the first kFormatHeadBytes of a file, or all of a shorter one)
// carries; nullptr for anything else.
const InputFormat* detectInputFormat(std::span<const unsigned char> head);

} // namespace marquelo::convert
