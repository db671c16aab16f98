// Expansion of argument templates with arbitrary templates, folders and file names, and the output-name
// rule on arbitrary bytes.
#include "FuzzCheck.h"

#include "core/settings/AppConfig.h"
#include "core/tools/Launcher.h"
#include "core/tools/ToolTemplates.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

using namespace marquelo;

namespace {

bool allowedInOutputName(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '@' || c == '+' || c == '=' ||
           c == '.' || c == '-';
}

// Rectangles as the view geometry can produce them: inside a picture the decoder accepts (at most
// 2^28 pixels a side) or a window, so an inclusive side always fits an int.
Rect anyRect(FuzzedDataProvider& in)
{
    constexpr int kLimit = 1 << 28;
    Rect r;
    r.left = in.ConsumeIntegralInRange<int>(-kLimit, kLimit);
    r.top = in.ConsumeIntegralInRange<int>(-kLimit, kLimit);
    r.right = in.ConsumeIntegralInRange<int>(-kLimit, kLimit);
    r.bottom = in.ConsumeIntegralInRange<int>(-kLimit, kLimit);
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    // Each placeholder's text may hold placeholders again; short texts keep the product of the
    // repetitions small while still reaching every order of replacement.
    const std::string tmpl = in.ConsumeRandomLengthString(64);
    ExpansionInput input;
    input.imageDirectory = in.ConsumeRandomLengthString(32);
    input.shownName = in.ConsumeRandomLengthString(32);
    input.outputDirectory = in.ConsumeRandomLengthString(32);
    input.outputName = in.ConsumeBool() ? std::string() : in.ConsumeRandomLengthString(32);
    input.source = anyRect(in);
    const Rect destination = anyRect(in);

    AppConfig config;
    config.SizeSmall = in.ConsumeIntegral<int>();
    config.SizeMedium = in.ConsumeIntegral<int>();
    config.SizeLarge = in.ConsumeIntegral<int>();
    input.size = targetSize(input.source, destination, in.ConsumeIntegralInRange<int>(-1, 5), config);

    const std::string expanded = expandToolArguments(tmpl, input);
    // Whatever the names hold, they never add or remove an argument of the template.
    MARQUELO_FUZZ_CHECK(expandToolArgumentList(tmpl, input).size() == splitCommandLine(tmpl).size());
    if (tmpl.find('%') == std::string::npos)
        MARQUELO_FUZZ_CHECK(expanded == tmpl);

    const std::string name = in.ConsumeRemainingBytesAsString();
    const std::string normalized = normalizeOutputName(name);
    MARQUELO_FUZZ_CHECK(normalized.size() <= 64);
    for (char c : normalized)
        MARQUELO_FUZZ_CHECK(allowedInOutputName(c));
    MARQUELO_FUZZ_CHECK(normalizeOutputName(normalized) == normalized);
    return 0;
}
