// The published version number read from arbitrary bytes, against the C library's own reading.
#include "FuzzCheck.h"

#include "core/update/UpdateCheck.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int got = marquelo::leadingVersionNumber(text);

    // strtol stops at the first NUL, as a reader of the text would; saturated to int.
    const std::string cString = text.c_str();
    const long expected = std::clamp<long>(std::strtol(cString.c_str(), nullptr, 10), INT_MIN, INT_MAX);
    MARQUELO_FUZZ_CHECK(got == expected);
    return 0;
}
