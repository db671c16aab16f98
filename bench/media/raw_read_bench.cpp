// A camera RAW file's preview from a slow medium (a memory card, a network share): bytes read and
// time when only the container's directories and the preview are read, against reading the whole
// file first, as the viewer did. The medium is a reader that sleeps per request and per megabyte.
//
// Arguments: [MB/s] [ms per request] [files...]; default 20 MB/s and 2 ms (an SD card in a USB
// reader), and the RAW files of the corpus's formats folder, plus the CR3 given sensor data of a real
// camera's size (the corpus's sample had it removed).

#include "../Corpus.h"
#include "media/Exiv2Library.h"
#include "media/RegularFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct SlowMedium : marquelo::media::ReadWatch {
    SlowMedium(double mbps, double ms) : megabytesPerSecond(mbps), msPerRequest(ms) {}
    double megabytesPerSecond;
    double msPerRequest;
    std::uint64_t bytes = 0;
    int requests = 0;
    void reading(std::uint64_t, std::size_t count) override
    {
        bytes += count;
        ++requests;
        std::this_thread::sleep_for(
            std::chrono::duration<double, std::milli>(msPerRequest + double(count) / (megabytesPerSecond * 1e6) * 1e3));
    }
};

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A CR3 with `sensorBytes` of sensor data after its boxes, as a camera writes it.
std::string withSensorData(const std::string& cr3, std::uint32_t sensorBytes, const std::string& folder)
{
    std::ifstream in(cr3, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::uint32_t box = sensorBytes + 8;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(char(box >> shift));
    bytes.insert(bytes.end(), {'m', 'd', 'a', 't'});
    bytes.resize(bytes.size() + sensorBytes, '\x55');
    const std::string path = folder + "/camera_size.cr3";
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}

void measure(const std::string& path, double mbps, double msPerRequest)
{
    marquelo::media::RegularFile file(path);
    if (!file.isOpen()) {
        std::printf("%s: %s\n", path.c_str(), file.error().c_str());
        return;
    }
    // Whole: the file read in 1 MiB requests, then its preview found in memory.
    SlowMedium whole(mbps, msPerRequest);
    Clock::time_point start = Clock::now();
    std::vector<unsigned char> bytes(file.size());
    for (std::uint64_t at = 0; at < file.size();) {
        const std::size_t count = std::size_t(std::min<std::uint64_t>(1 << 20, file.size() - at));
        whole.reading(at, count);
        if (::pread(file.fd(), bytes.data() + at, count, off_t(at)) != ssize_t(count))
            break;
        at += count;
    }
    const marquelo::media::RawPreview fromWhole = marquelo::media::largestRawPreview(bytes.data(), bytes.size());
    const double wholeMs = msSince(start);
    bytes = {};

    SlowMedium ranged(mbps, msPerRequest);
    start = Clock::now();
    const marquelo::media::RawPreview fromRanges = marquelo::media::largestRawPreview(file.fd(), file.size(), &ranged);
    const double rangedMs = msSince(start);

    std::printf("%-28s %9.1f MB  whole: %9.2f MB %4d req %8.0f ms | preview only: %7.3f MB (%5.1f%%) %3d req %6.0f ms "
                "(%.3fx)  same preview: %s\n",
                std::filesystem::path(path).filename().c_str(), double(file.size()) / 1e6, double(whole.bytes) / 1e6,
                whole.requests, wholeMs, double(ranged.bytes) / 1e6, 100.0 * double(ranged.bytes) / double(file.size()),
                ranged.requests, rangedMs, rangedMs / wholeMs,
                fromWhole.bytes == fromRanges.bytes && !fromRanges.bytes.empty() ? "yes" : "NO");
}

} // namespace

int main(int argc, char** argv)
{
    const double mbps = argc > 1 ? std::atof(argv[1]) : 20;
    const double msPerRequest = argc > 2 ? std::atof(argv[2]) : 2;
    std::vector<std::string> files(argv + std::min(argc, 3), argv + argc);
    std::string scratch;
    if (files.empty()) {
        const std::string formats = marquelo::bench::corpusFolder("formats", "bench_media_raw");
        if (formats.empty())
            return marquelo::bench::kSkipped;
        for (const char* name : {"canon_eos_r6_pruned.cr3", "canon_powershot_g2.crw"})
            if (std::filesystem::exists(formats + "/" + name))
                files.push_back(formats + "/" + name);
        char folder[] = "/tmp/bench_media_raw.XXXXXX";
        if (::mkdtemp(folder)) {
            scratch = folder;
            if (!files.empty() && files.front().ends_with(".cr3"))
                files.push_back(withSensorData(files.front(), 24u << 20, scratch));
        }
    }
    double load[3] = {};
    ::getloadavg(load, 3);
    std::printf("bench_media_raw: a medium of %.0f MB/s and %.1f ms a request; load average %.2f\n", mbps, msPerRequest,
                load[0]);
    for (const std::string& path : files)
        measure(path, mbps, msPerRequest);
    if (!scratch.empty())
        std::filesystem::remove_all(scratch);
    return 0;
}
