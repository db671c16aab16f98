#pragma once
// The command line of marquelo-convert: what to read, how to cut, size, turn and compress it, and where
// to write it. Kept apart from the image work so that the grammar can be tested and fuzzed on its own.

#include <optional>
#include <string>
#include <vector>

namespace marquelo::convert {

struct CropBox {
    long long left = 0, top = 0, width = 0, height = 0;
};

struct ResampleSize {
    int width = 0, height = 0; // 0: follows from the other side and the picture's aspect
};

// A further size of the same cut, written from the same decode (/also).
struct ExtraOutput {
    ResampleSize size;
    std::string output;
};

// A turn of the picture as the viewer shows it, applied in command-line order.
enum class Turn { RotateLeft, RotateRight, Mirror, Flip };

struct ConvertOptions {
    std::string input;
    std::string output;
    std::optional<CropBox> crop;
    std::optional<ResampleSize> resample;
    bool keepAspect = false;
    int jpegQuality = 85;
    std::vector<Turn> turns;
    std::vector<ExtraOutput> also;
};

struct ParseResult {
    enum Action { Convert, Help, Version, Error } action = Error;
    ConvertOptions options;
    std::string error; // for Error: what is wrong, one line, without the program name
};

// Parses the arguments after the program name. Switches start with "/", may come in any order and are
// matched without regard to case; the one argument that is not a switch is the input.
ParseResult parseArguments(const std::vector<std::string>& args);

// The --help text, one line per switch.
std::string helpText();

} // namespace marquelo::convert
