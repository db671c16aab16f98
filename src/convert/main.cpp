// marquelo-convert: the bundled image tool that cuts, resamples, turns and compresses photos for
// Marquelo's pages. One line on standard error and a non-zero exit status on any failure.
#include "convert/ConvertOptions.h"
#include "convert/Converter.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    using namespace marquelo::convert;
    std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = parseArguments(args);
    switch (parsed.action) {
    case ParseResult::Help: std::fputs(helpText().c_str(), stdout); return 0;
    case ParseResult::Version: std::printf("marquelo-convert 1.%d\n", MARQUELO_VERSION_MINOR); return 0;
    case ParseResult::Error:
        std::fprintf(stderr, "marquelo-convert: %s (see --help)\n", parsed.error.c_str());
        return 2;
    case ParseResult::Convert: break;
    }
    std::string error;
    if (!convertImage(parsed.options, error)) {
        std::fprintf(stderr, "marquelo-convert: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
