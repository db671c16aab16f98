// marquelo-convert's command line from arbitrary arguments: either an error with a reason or options that
// the image work can rely on.
#include "FuzzCheck.h"

#include "convert/ConvertOptions.h"
#include "convert/Converter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using namespace marquelo::convert;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Arguments are separated by NUL bytes, as they arrive from the kernel.
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back().push_back(char(data[i]));
    }
    if (args.size() > 64)
        return 0;

    const ParseResult r = parseArguments(args);
    switch (r.action) {
    case ParseResult::Help:
    case ParseResult::Version: return 0;
    case ParseResult::Error: MARQUELO_FUZZ_CHECK(!r.error.empty()); return 0;
    case ParseResult::Convert: break;
    }
    const ConvertOptions& o = r.options;
    MARQUELO_FUZZ_CHECK(!o.input.empty());
    MARQUELO_FUZZ_CHECK(!o.output.empty());
    MARQUELO_FUZZ_CHECK(o.jpegQuality >= 1 && o.jpegQuality <= 100);
    if (o.crop) {
        MARQUELO_FUZZ_CHECK(o.crop->width > 0 && o.crop->height > 0);
        MARQUELO_FUZZ_CHECK(o.crop->width <= (1 << 20) && o.crop->height <= (1 << 20));
    }
    if (o.resample) {
        MARQUELO_FUZZ_CHECK(o.resample->width >= 0 && o.resample->height >= 0);
        MARQUELO_FUZZ_CHECK(o.resample->width > 0 || o.resample->height > 0);
    }
    MARQUELO_FUZZ_CHECK(o.turns.size() < args.size());

    // Sizes the image work derives from what was accepted stay positive for any picture.
    if (o.resample) {
        for (const auto& [w, h] :
             {std::pair{1, 1}, std::pair{1 << 20, 1}, std::pair{1, 1 << 20}, std::pair{4000, 3000}}) {
            int outW = 0, outH = 0;
            resampledSize(w, h, *o.resample, o.keepAspect, outW, outH);
            MARQUELO_FUZZ_CHECK(outW >= 1 && outH >= 1);
        }
    }
    return 0;
}
