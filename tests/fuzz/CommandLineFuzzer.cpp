// The launcher's splitting of an argument text: quotes only group and vanish, and arguments quoted back
// together split into the same arguments.
#include "FuzzCheck.h"

#include "core/tools/Launcher.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> args = marquelo::splitCommandLine(text);

    std::string rejoined;
    std::size_t kept = 0;
    for (const std::string& arg : args) {
        MARQUELO_FUZZ_CHECK(arg.find('"') == std::string::npos);
        kept += arg.size();
        rejoined += (rejoined.empty() ? "\"" : " \"") + arg + "\"";
    }
    // Nothing is invented: every byte of an argument comes from the text.
    MARQUELO_FUZZ_CHECK(kept <= text.size());
    MARQUELO_FUZZ_CHECK(marquelo::splitCommandLine(rejoined) == args);
    return 0;
}
