// Runs the page-image work (whole picture and a centred 40% cut, to 512 and 960 pixels, quality 85)
// with marquelo-convert, vipsthumbnail (same output size from the same file) and ImageMagick's convert,
// side by side in one run, and prints wall time and peak memory of each with the ratios.
//
// usage: bench_convert [CORPUS_CAMERA_DIR] [REPEATS]
#include "../Corpus.h"

#include <vips/vips8>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Sample {
    double seconds = 0;
    double cpu = 0; // user + system: steadier than wall time on a busy machine
    long peakKiB = 0;
    bool ok = false;
};

// Runs a program (no shell) and measures it from outside: wall clock and the child's peak resident set.
Sample run(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    std::fflush(stdout); // or the child flushes our buffered lines a second time
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
            _exit(126);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Sample s;
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    s.peakKiB = usage.ru_maxrss;
    s.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    s.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return s;
}

Sample median(std::vector<Sample> samples)
{
    std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.seconds < b.seconds; });
    Sample m = samples[samples.size() / 2];
    for (const Sample& s : samples) {
        m.ok = m.ok && s.ok;
        m.peakKiB = std::max(m.peakKiB, s.peakKiB);
    }
    return m;
}

double geomean(const std::vector<double>& v)
{
    double log = 0;
    for (double x : v)
        log += std::log(x);
    return v.empty() ? 0 : std::exp(log / double(v.size()));
}

} // namespace

int main(int argc, char** argv)
{
    if (VIPS_INIT(argv[0]))
        return 1;
    const std::string cameraDir = argc > 1 ? argv[1] : marquelo::bench::corpusFolder("camera", "bench_convert");
    if (cameraDir.empty())
        return marquelo::bench::kSkipped;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string tmp = fs::temp_directory_path() / ("bench_convert_" + std::to_string(getpid()));
    fs::create_directories(tmp);

    std::vector<std::string> photos;
    for (const auto& e : fs::directory_iterator(cameraDir)) {
        vips::VImage header = vips::VImage::new_from_file(e.path().c_str());
        const double mp = double(header.width()) * header.height() / 1e6;
        if (mp >= 12 && mp <= 24.5)
            photos.push_back(e.path().string());
    }
    std::sort(photos.begin(), photos.end());
    std::printf("%zu photos of 12-24 MP, median of %d runs each (ImageMagick: 1 run)\n\n", photos.size(), repeats);
    std::printf("%-34s %-9s %5s | %8s %8s %8s | %7s %7s | %7s %7s\n", "photo", "case", "size", "ours s", "vthumb s",
                "IM s", "t/vth", "IM/t", "MiB", "m/vth");

    std::vector<double> vsThumbTime, vsMagickTime, vsThumbMemory, vsThumbCpu, vsMagickCpu;
    for (const std::string& photo : photos) {
        // Upright size, as the viewer's rectangles are.
        const vips::VImage upright = vips::VImage::new_from_file(photo.c_str()).autorot();
        const int W = upright.width(), H = upright.height();
        for (const double share : {1.0, 0.4}) {
            const int w = int(W * share), h = int(H * share), l = (W - w) / 2, t = (H - h) / 2;
            for (const int longSide : {512, 960}) {
                const int tw = h <= w ? longSide : w * longSide / h;
                const int th = h <= w ? h * longSide / w : longSide;
                const std::string box = std::to_string(tw) + "x" + std::to_string(th);
                const std::vector<std::string> ours = {MARQUELO_CONVERT_PATH,
                                                       photo,
                                                       "/crop=(" + std::to_string(l) + "," + std::to_string(t) + "," +
                                                           std::to_string(w) + "," + std::to_string(h) + ")",
                                                       "/resample=(" + std::to_string(tw) + "," + std::to_string(th) +
                                                           ")",
                                                       "/aspectratio",
                                                       "/jpgq=85",
                                                       "/convert=" + tmp + "/ours.jpg"};
                const std::vector<std::string> thumb = {
                    "vipsthumbnail", photo, "--size", box, "-o", tmp + "/thumb.jpg[Q=85,strip]"};
                const std::vector<std::string> magick = {"convert",
                                                         photo,
                                                         "-auto-orient",
                                                         "-crop",
                                                         std::to_string(w) + "x" + std::to_string(h) + "+" +
                                                             std::to_string(l) + "+" + std::to_string(t),
                                                         "+repage",
                                                         "-resize",
                                                         box + "!",
                                                         "-quality",
                                                         "85",
                                                         tmp + "/magick.jpg"};
                std::vector<Sample> a, b;
                for (int i = 0; i < repeats; ++i) { // interleaved, so load changes hit both alike
                    a.push_back(run(ours));
                    b.push_back(run(thumb));
                }
                const Sample mo = median(a), mt = median(b), mm = run(magick);
                if (!mo.ok || !mt.ok || !mm.ok) {
                    std::printf("%s: a run failed (ours %d, vipsthumbnail %d, convert %d)\n", photo.c_str(), mo.ok,
                                mt.ok, mm.ok);
                    continue;
                }
                vsThumbTime.push_back(mo.seconds / mt.seconds);
                vsMagickTime.push_back(mm.seconds / mo.seconds);
                vsThumbMemory.push_back(double(mo.peakKiB) / double(mt.peakKiB));
                vsThumbCpu.push_back(mo.cpu / mt.cpu);
                vsMagickCpu.push_back(mm.cpu / mo.cpu);
                std::printf("%-34s %-9s %5d | %8.3f %8.3f %8.3f | %7.2f %7.1f | %7.1f %7.2f\n",
                            fs::path(photo).filename().c_str(), share == 1.0 ? "whole" : "crop 40%", longSide,
                            mo.seconds, mt.seconds, mm.seconds, mo.seconds / mt.seconds, mm.seconds / mo.seconds,
                            mo.peakKiB / 1024.0, double(mo.peakKiB) / double(mt.peakKiB));
            }
        }
    }
    std::printf("\ngeometric means over %zu cases:\n", vsThumbTime.size());
    std::printf("  wall time, marquelo-convert / vipsthumbnail:  %.2fx (target <= 1.1)\n", geomean(vsThumbTime));
    std::printf("  wall time, ImageMagick / marquelo-convert:    %.1fx (target >= 4)\n", geomean(vsMagickTime));
    std::printf("  peak memory, marquelo-convert / vipsthumbnail: %.2fx (target <= 1.2)\n", geomean(vsThumbMemory));
    std::printf("  CPU time, marquelo-convert / vipsthumbnail:   %.2fx\n", geomean(vsThumbCpu));
    std::printf("  CPU time, ImageMagick / marquelo-convert:     %.1fx\n", geomean(vsMagickCpu));
    if (!vsThumbTime.empty())
        std::printf("  worst case: time %.2fx, memory %.2fx\n",
                    *std::max_element(vsThumbTime.begin(), vsThumbTime.end()),
                    *std::max_element(vsThumbMemory.begin(), vsThumbMemory.end()));
    fs::remove_all(tmp);
    return 0;
}
