// The page's numbering and ending removal on whatever bytes a page edited by hand may hold.
#include "FuzzCheck.h"

#include "core/page/PageFile.h"
#include "core/page/PageFormat.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string g_page; // the page file every run rewrites

// The page as the rewrite reads it: every line, LF or CR LF ended, followed by CR LF.
std::string withCrLfLines(const std::string& page)
{
    std::string out;
    std::size_t start = 0;
    while (start < page.size()) {
        std::size_t end = page.find('\n', start);
        std::string line = page.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (end != std::string::npos && !line.empty() && line.back() == '\r')
            line.pop_back();
        out += line + "\r\n";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string dir = (base / "marquelo-fuzz-XXXXXX").string();
    if (!mkdtemp(dir.data()))
        std::abort();
    g_page = dir + "/page.html";
    static const std::string s_dir = dir;
    std::atexit([] {
        std::error_code e;
        fs::remove_all(s_dir, e);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string ending = in.ConsumeRandomLengthString(128);
    const std::string page = in.ConsumeRemainingBytesAsString();

    const std::int64_t highest = marquelo::highestAnchor(page);
    MARQUELO_FUZZ_CHECK(highest >= 1 && highest <= INT_MAX);
    // The next image number never wraps around.
    MARQUELO_FUZZ_CHECK(highest + 1 > highest);

    const std::optional<std::string> cut = marquelo::withoutEnding(page, ending);
    const std::string lines = withCrLfLines(page);
    const std::size_t first = ending.empty() ? std::string::npos : lines.find(ending);
    const bool once = first != std::string::npos && lines.find(ending, first + ending.size()) == std::string::npos;
    MARQUELO_FUZZ_CHECK(cut.has_value() == once);
    if (!cut)
        return 0;
    MARQUELO_FUZZ_CHECK(*cut == lines.substr(0, first) + lines.substr(first + ending.size()));

    // The rewrite on disk replaces the page with exactly the new text and leaves nothing beside it.
    MARQUELO_FUZZ_CHECK(marquelo::PageFile::rewrite(g_page, page));
    MARQUELO_FUZZ_CHECK(marquelo::PageFile::read(g_page) == page);
    MARQUELO_FUZZ_CHECK(marquelo::PageFile::rewrite(g_page, *cut));
    MARQUELO_FUZZ_CHECK(marquelo::PageFile::read(g_page) == *cut);
    std::error_code ec;
    MARQUELO_FUZZ_CHECK(
        std::distance(fs::directory_iterator(fs::path(g_page).parent_path(), ec), fs::directory_iterator()) == 1);
    return 0;
}
