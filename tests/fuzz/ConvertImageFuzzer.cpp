// marquelo-convert's image work on arbitrary file contents with arbitrary cuts, sizes and turns: it ends
// with a written picture or a one-line reason, and a failure leaves no output and no temporary file.
#include "FuzzCheck.h"

#include "convert/Converter.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <vips/vips8>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace fs = std::filesystem;
using namespace marquelo::convert;

namespace {

fs::path g_dir;

// Every run writes below one private folder, in memory when /dev/shm is there.
fs::path makeWorkDir()
{
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "marquelo-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    return pattern;
}

// Pictures above this many pixels are skipped: they are refused or converted correctly, only slowly.
constexpr long long kMaxPixels = 4'000'000;

bool smallEnough(const std::string& bytes)
{
    VipsImage* header = vips_image_new_from_buffer(bytes.data(), bytes.size(), "", nullptr);
    if (!header) {
        vips_error_clear();
        return true; // not a picture to libvips: the converter must refuse it, and does so quickly
    }
    const long long pixels = (long long)vips_image_get_width(header) * vips_image_get_height(header);
    g_object_unref(header);
    return pixels <= kMaxPixels;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("VIPS_CONCURRENCY", "1", 1);
    g_dir = makeWorkDir();
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(g_dir, ec);
    });
    if (VIPS_INIT("marquelo-convert-fuzz") != 0)
        std::abort();
    vips_cache_set_max(0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The options are taken from the end of the input, so the picture at its start stays intact.
    FuzzedDataProvider in(data, size);
    ConvertOptions o;
    const std::uint8_t shape = in.ConsumeIntegral<std::uint8_t>();
    if (shape & 1)
        o.crop =
            CropBox{in.ConsumeIntegralInRange<long long>(-64, 1200), in.ConsumeIntegralInRange<long long>(-64, 1200),
                    in.ConsumeIntegralInRange<long long>(1, 1500), in.ConsumeIntegralInRange<long long>(1, 1500)};
    if (shape & 2) {
        ResampleSize r{in.ConsumeIntegralInRange<int>(0, 96), in.ConsumeIntegralInRange<int>(0, 96)};
        if (r.width == 0 && r.height == 0)
            r.width = 1;
        o.resample = r;
    }
    o.keepAspect = shape & 4;
    o.jpegQuality = in.ConsumeIntegralInRange<int>(1, 100);
    const int turnCount = (shape >> 3) & 3;
    for (int i = 0; i < turnCount; ++i)
        o.turns.push_back(Turn(in.ConsumeIntegralInRange<int>(0, 3)));
    static const char* const kOutputs[] = {"out.jpg", "out.png", "out.JPEG", "out"};
    const std::string outputName = kOutputs[(shape >> 5) & 3];

    const std::string bytes = in.ConsumeRemainingBytesAsString();
    if (!smallEnough(bytes))
        return 0;

    const fs::path input = g_dir / "in.jpg";
    const fs::path output = g_dir / outputName;
    {
        std::ofstream f(input, std::ios::binary | std::ios::trunc);
        f.write(bytes.data(), std::streamsize(bytes.size()));
    }
    o.input = input.string();
    o.output = output.string();

    std::string error;
    const bool ok = convertImage(o, error);
    std::error_code ec;
    if (ok) {
        MARQUELO_FUZZ_CHECK(fs::is_regular_file(output, ec) && fs::file_size(output, ec) > 0);
    } else {
        MARQUELO_FUZZ_CHECK(!error.empty());
        MARQUELO_FUZZ_CHECK(!fs::exists(output, ec));
    }
    // Whatever happened, no temporary file of the atomic write is left behind.
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(g_dir, ec)) {
        (void)entry;
        ++entries;
    }
    MARQUELO_FUZZ_CHECK(entries == (ok ? 2 : 1));
    fs::remove(output, ec);
    return 0;
}
