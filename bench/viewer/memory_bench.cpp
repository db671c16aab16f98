// Memory while stepping through 200 photos with CacheDepth 1 and read-ahead on, as a user holding the
// arrow key does: how many decoded pictures are held at most, and resident memory after the first
// window is filled against the end of the walk. Then the same walk through a folder of each format of
// the formats corpus (HEIF, AVIF, WebP, PNG, TIFF, JPEG XL, RAW previews, profiled JPEG): pictures held
// at most, whatever the decoder, and the resident memory it takes.
#include "../Corpus.h"
#include "FormatFolders.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/PictureCache.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {

double residentMiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

int picturesHeld(const marquelo::ImageList& list)
{
    int held = 0;
    for (int i = 0; i < list.count(); ++i)
        for (const auto& slot : list.at(i).pictures)
            held += slot && !slot->loading.load() && !slot->image.isNull();
    return held;
}

struct Walk {
    int steps = 0;
    int maxHeld = 0;
    double firstWindow = 0; // resident MiB once the first window is filled
    double peak = 0;
    double end = 0;
};

Walk walk(const std::string& folder, const std::string& extensions, bool verbose)
{
    marquelo::AppConfig config;
    config.Sorting = 1;
    config.CacheDepth = 1;
    config.ReadAhead = true;
    if (!extensions.empty())
        config.PictureExtensions = extensions;
    marquelo::ImageList list;
    list.scanDirectory(folder, config);
    marquelo::PictureCache cache(list, config);
    cache.setViewSize(QSize(1920, 1080));

    Walk w;
    w.steps = list.count();
    for (int i = 0; i < list.count(); ++i) {
        list.setCurrent(i);
        cache.waitForCurrent();
        cache.updateReadAhead();
        // About the pace of a held arrow key: read-ahead gets a little time between steps.
        for (int t = 0; t < 4; ++t) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            QCoreApplication::sendPostedEvents();
        }
        w.maxHeld = std::max(w.maxHeld, picturesHeld(list));
        const double rss = residentMiB();
        if (i == 2)
            w.firstWindow = rss;
        if (verbose && (i == 2 || i % 25 == 0))
            std::printf("step %3d: %.0f MiB, %d pictures held\n", i, rss, picturesHeld(list));
        w.peak = std::max(w.peak, rss);
    }
    while (cache.runningLoads() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    QCoreApplication::sendPostedEvents();
    w.maxHeld = std::max(w.maxHeld, picturesHeld(list));
    w.end = residentMiB();
    return w;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string camera = marquelo::bench::corpusFolder("camera", "bench_viewer_memory");
    const std::string formats = marquelo::bench::corpusFolder("formats", "bench_viewer_memory");
    if (camera.empty() || formats.empty())
        return marquelo::bench::kSkipped;
    std::vector<std::filesystem::path> photos;
    for (const auto& e : std::filesystem::directory_iterator(camera))
        photos.push_back(e.path());
    std::sort(photos.begin(), photos.end());
    {
        QTemporaryDir dir;
        for (int i = 0; i < 200; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "IMG_%04d.jpg", i);
            std::filesystem::create_symlink(photos[std::size_t(i) % photos.size()],
                                            dir.path().toStdString() + "/" + name);
        }
        const Walk w = walk(dir.path().toStdString(), std::string(), true);
        std::printf("photos stepped: %d, CacheDepth 1\n", w.steps);
        std::printf("decoded pictures held at most: %d\n", w.maxHeld);
        std::printf("resident memory: after first window %.0f MiB, peak %.0f MiB (%.2fx), end %.0f MiB (%.2fx)\n",
                    w.firstWindow, w.peak, w.peak / w.firstWindow, w.end, w.end / w.firstWindow);
    }

    std::printf("\nCacheDepth 1 by format, 24 steps each (goal: at most 3 decoded pictures held)\n");
    std::printf("%-8s %5s %12s %12s %10s\n", "format", "held", "first MiB", "peak MiB", "peak/first");
    const std::string extensions = marquelo::bench::corpusExtensions();
    for (const auto& folder : marquelo::bench::formatFolders(formats, 24)) {
        const Walk w = walk(folder.path(), extensions, false);
        std::printf("%-8s %5d %12.0f %12.0f %10.2f\n", folder.format.c_str(), w.maxHeld, w.firstWindow, w.peak,
                    w.peak / w.firstWindow);
    }
    return 0;
}
