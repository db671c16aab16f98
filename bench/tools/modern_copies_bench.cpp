// What a photo added to a Modern page costs against the same photo on a Classic page, in CPU time of
// marquelo-convert (user + system, steadier than wall time on a shared machine), in one run:
//   classic: one copy at the page size (Medium, 512), as the default template asks;
//   modern:  the page size, 2x, 3x and the large copy from one decode (/also), sized as the page sizes
//            them (a copy the crop has no pixels for is not made);
//   three:   the same copies by separate runs, the cost /also saves.
// Whole photos and a centred 40% cut of each camera photo; the ratios' geometric means at the end, for
// whole photos, for cuts and for both.
//
// usage: bench_modern_copies [CORPUS_CAMERA_DIR] [REPEATS]
#include "../Corpus.h"
#include "../Statistics.h"
#include "core/page/ModernPageFormat.h"

#include <vips/vips8>

#include <algorithm>
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

using marquelo::bench::median;

// CPU seconds of one run of a program (no shell); negative when it failed.
double cpuOf(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
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
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double geomean(const std::vector<double>& v)
{
    double log = 0;
    for (double x : v)
        log += std::log(x);
    return v.empty() ? 0 : std::exp(log / double(v.size()));
}

using marquelo::TargetSize;

// The crop scaled to a long side, never above the crop; the short side truncated, as the page does it.
TargetSize scaled(int w, int h, int side)
{
    const long long l = std::min(side, std::max(w, h));
    return h <= w ? TargetSize{int(l), int((long long)h * l / w)} : TargetSize{int((long long)w * l / h), int(l)};
}

std::string pair(TargetSize s)
{
    return std::to_string(s.width) + "," + std::to_string(s.height);
}

} // namespace

int main(int argc, char** argv)
{
    if (VIPS_INIT(argv[0]))
        return 1;
    const std::string cameraDir = argc > 1 ? argv[1] : marquelo::bench::corpusFolder("camera", "bench_modern_copies");
    if (cameraDir.empty())
        return marquelo::bench::kSkipped;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string tmp = fs::temp_directory_path() / ("bench_modern_" + std::to_string(getpid()));
    fs::create_directories(tmp);

    std::vector<std::string> photos;
    for (const auto& e : fs::directory_iterator(cameraDir))
        if (e.path().extension() == ".jpg")
            photos.push_back(e.path().string());
    std::sort(photos.begin(), photos.end());
    std::printf("%zu photos, whole and a centred 40%% cut, median CPU of %d runs each\n\n", photos.size(), repeats);
    std::printf("%-34s %-5s %10s %10s | %8s %8s %8s | %6s %6s\n", "photo", "cut", "crop", "large", "classic", "modern",
                "three", "m/c", "3/c");

    std::vector<double> modernRatio, threeRatio, wholeRatio, cutRatio;
    for (const std::string& photo : photos) {
        const vips::VImage upright = vips::VImage::new_from_file(photo.c_str()).autorot();
        const int W = upright.width(), H = upright.height();
        for (const double share : {1.0, 0.4}) {
            const int w = int(W * share), h = int(H * share), l = (W - w) / 2, t = (H - h) / 2;
            const TargetSize page = scaled(w, h, 512);
            const marquelo::ModernCopySizes sizes = marquelo::modernCopySizes(page, w, h);
            const TargetSize twice = sizes.twice, thrice = sizes.thrice, large = sizes.large;
            const std::vector<std::string> base = {MARQUELO_CONVERT_PATH, photo,
                                                   "/crop=(" + std::to_string(l) + "," + std::to_string(t) + "," +
                                                       std::to_string(w) + "," + std::to_string(h) + ")",
                                                   "/aspectratio", "/jpgq=85"};
            auto with = [&](TargetSize s, const std::string& out, std::vector<std::string> extra = {}) {
                std::vector<std::string> args = base;
                args.push_back("/resample=(" + pair(s) + ")");
                args.push_back("/convert=" + tmp + "/" + out);
                args.insert(args.end(), extra.begin(), extra.end());
                return args;
            };
            std::vector<std::string> alsoArgs;
            if (twice.width > 0)
                alsoArgs.push_back("/also=(" + pair(twice) + "," + tmp + "/m@2x.jpg)");
            if (thrice.width > 0)
                alsoArgs.push_back("/also=(" + pair(thrice) + "," + tmp + "/m@3x.jpg)");
            if (large.width > 0)
                alsoArgs.push_back("/also=(" + pair(large) + "," + tmp + "/m-large.jpg)");

            std::vector<double> c, m, three;
            for (int i = 0; i < repeats; ++i) { // interleaved, so load changes hit all alike
                c.push_back(cpuOf(with(page, "c.jpg")));
                m.push_back(cpuOf(with(page, "m.jpg", alsoArgs)));
                double sum = cpuOf(with(page, "s.jpg"));
                if (twice.width > 0)
                    sum += cpuOf(with(twice, "s@2x.jpg"));
                if (thrice.width > 0)
                    sum += cpuOf(with(thrice, "s@3x.jpg"));
                if (large.width > 0)
                    sum += cpuOf(with(large, "s-large.jpg"));
                three.push_back(sum);
            }
            const double cm = median(c), mm = median(m), tm = median(three);
            if (cm <= 0 || mm <= 0 || tm <= 0) {
                std::printf("%-34s failed\n", fs::path(photo).filename().c_str());
                continue;
            }
            modernRatio.push_back(mm / cm);
            threeRatio.push_back(tm / cm);
            (share == 1.0 ? wholeRatio : cutRatio).push_back(mm / cm);
            std::printf("%-34s %-5s %10s %10s | %8.3f %8.3f %8.3f | %6.2f %6.2f\n", fs::path(photo).filename().c_str(),
                        share == 1.0 ? "whole" : "40%", (std::to_string(w) + "x" + std::to_string(h)).c_str(),
                        large.width > 0 ? (std::to_string(large.width) + "x" + std::to_string(large.height)).c_str()
                                        : "-",
                        cm, mm, tm, mm / cm, tm / cm);
        }
    }
    std::printf("\ngeometric mean: modern / classic %.2f (whole photos %.2f, cuts %.2f), three runs / classic %.2f\n",
                geomean(modernRatio), geomean(wholeRatio), geomean(cutRatio), geomean(threeRatio));
    fs::remove_all(tmp);
    return 0;
}
