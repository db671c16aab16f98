// The thumbnail grid on a folder of many camera photos in a 1920x1080 window offscreen: the first screen
// of thumbnails and the whole folder with an empty shared cache, the first screen again with the cache
// filled, a page of movement with the keys, and resident memory once every page has been shown.
// Baselines in the same run: TurboJPEG decoding the folder's photos at 1/8 scale (what `djpeg -scale
// 1/8` does; the least a thumbnail made from the compressed picture can cost) and at full size, per
// photo and for the whole folder on the loader's two threads, and the resident memory of the same
// window before the grid opens.
//
// Usage: bench_thumbnail_grid [count] [source folder]   (defaults: 1000, the corpus camera folder)
// The folder of `count` photos is made of hard links (symbolic links across file systems) in a
// temporary folder; the cache is a temporary XDG_CACHE_HOME. Both are removed at the end.

#include "../Corpus.h"
#include "../Statistics.h"
#include "SilentUi.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/ThumbnailLoader.h"
#include "ui/viewer/ThumbnailGrid.h"
#include "ui/viewer/ViewerWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <turbojpeg.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using marquelo::bench::median;
using marquelo::bench::SilentUi;

// Reads the photo and decodes it at num/8 scale; the time of both, as a thumbnail maker pays both.
double decodeMs(const QString& path, int num)
{
    QElapsedTimer t;
    t.start();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.readAll();
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, space = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    if (tjDecompressHeader3(tj, data, (unsigned long)bytes.size(), &w, &h, &sub, &space) == 0) {
        const tjscalingfactor f{num, 8};
        const int sw = TJSCALED(w, f), sh = TJSCALED(h, f);
        // Uninitialised, as a decoder's own buffer is: clearing it is not decoding.
        std::unique_ptr<unsigned char[]> out(new unsigned char[std::size_t(sw) * std::size_t(sh) * 4]);
        tjDecompress2(tj, data, (unsigned long)bytes.size(), out.get(), sw, 0, sh, TJPF_BGRX, 0);
    }
    tjDestroy(tj);
    return t.nsecsElapsed() / 1e6;
}

// The 1/8-scale decodes of `paths` on two threads at once, as the loader runs: wall-clock ms.
double eighthOnTwoThreads(const std::vector<QString>& paths)
{
    std::atomic<std::size_t> next{0};
    QElapsedTimer t;
    t.start();
    auto run = [&] {
        for (std::size_t i = next++; i < paths.size(); i = next++)
            decodeMs(paths[i], 1);
    };
    std::thread a(run), b(run);
    a.join();
    b.join();
    return t.nsecsElapsed() / 1e6;
}

// The calling thread's processor time: what a frame costs, apart from waiting for a processor on a
// machine others share.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

std::string load()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five;
    in >> one >> five;
    return "load " + one + " " + five;
}

long statusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::strlen(key)));
    return 0;
}
long residentKb()
{
    return statusKb("VmRSS:");
}

// Sleeps in the event loop until `done`: the GUI thread takes no processor from the loader's threads
// while it waits (a timer looks again every few milliseconds in case no event comes).
template <typename Condition> double waitMs(Condition done, int limitMs = 900000)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(5);
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return clock.nsecsElapsed() / 1e6;
}

struct Viewer {
    marquelo::AppConfig config;
    marquelo::ImageList images;
    SilentUi ui;
    std::unique_ptr<marquelo::ViewerWindow> window;

    explicit Viewer(const QString& folder)
    {
        config.StartMaximized = false;
        config.Sorting = 1;
        images.scanDirectory(folder.toStdString(), config);
        window = std::make_unique<marquelo::ViewerWindow>(config, images, ui);
        window->resize(1920, 1080);
        window->show();
        window->showCurrent();
        QCoreApplication::processEvents();
    }
    marquelo::ThumbnailGrid& grid() { return window->grid(); }
    bool screenDone() { return grid().visibleDone() == grid().visibleCount(); }
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir cacheHome;
    qputenv("XDG_CACHE_HOME", cacheHome.path().toUtf8());
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const QString source =
        argc > 2 ? QString::fromLocal8Bit(argv[2])
                 : QString::fromStdString(marquelo::bench::corpusFolder("camera", "bench_thumbnail_grid"));
    if (source.isEmpty())
        return marquelo::bench::kSkipped;
    const QStringList photos = QDir(source).entryList({QStringLiteral("*.jpg"), QStringLiteral("*.JPG")}, QDir::Files);
    if (photos.isEmpty()) {
        std::fprintf(stderr, "no photos in %s\n", qPrintable(source));
        return 1;
    }
    QTemporaryDir folder;
    for (int i = 0; i < count; ++i) {
        const QByteArray from = QFile::encodeName(QDir(source).absoluteFilePath(photos[i % photos.size()]));
        const QByteArray to =
            QFile::encodeName(folder.filePath(QStringLiteral("p%1.jpg").arg(i, 5, 10, QLatin1Char('0'))));
        if (::link(from.constData(), to.constData()) != 0 && ::symlink(from.constData(), to.constData()) != 0) {
            std::perror("link");
            return 1;
        }
    }

    std::vector<double> eighths, fulls;
    std::vector<QString> paths;
    for (const QString& name : photos) {
        eighths.push_back(decodeMs(QDir(source).filePath(name), 1));
        fulls.push_back(decodeMs(QDir(source).filePath(name), 8));
    }
    for (int i = 0; i < count; ++i)
        paths.push_back(folder.filePath(QStringLiteral("p%1.jpg").arg(i, 5, 10, QLatin1Char('0'))));
    const double eighth = median(eighths);
    std::printf("baseline (%s): read + TurboJPEG decode of one photo: 1/8 scale %.1f ms, full size %.1f ms "
                "(medians of %lld)\n",
                load().c_str(), eighth, median(fulls), static_cast<long long>(photos.size()));
    const int firstCells = 77; // a 1920x1080 window's screenful of 160-pixel cells
    const double eighthFirst = eighthOnTwoThreads({paths.begin(), paths.begin() + std::min(count, firstCells)});
    const double eighthAll = eighthOnTwoThreads(paths);
    std::printf("baseline (%s): 1/8-scale decodes on two threads: first %d photos %.0f ms, all %d %.0f ms\n",
                load().c_str(), std::min(count, firstCells), eighthFirst, count, eighthAll);

    {
        Viewer cold(folder.path());
        QTest::keyClick(cold.window.get(), Qt::Key_G);
        const double first = waitMs([&] { return cold.screenDone(); });
        std::printf("empty cache (%s): first screenful (%d cells): %.0f ms = %.2f x the 1/8 decodes\n", load().c_str(),
                    cold.grid().visibleCount(), first, first / eighthFirst);
        const double all = first + waitMs([&] { return cold.grid().loader().pending() == 0; });
        std::printf("empty cache (%s): all %d: %.0f ms = %.2f x the 1/8 decodes (%.1f ms per photo)\n", load().c_str(),
                    count, all, all / eighthAll, all / count);
    }
    {
        Viewer warm(folder.path());
        // The peak from here on: the baselines' full-size decodes above are not the grid's.
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = residentKb();
        QTest::keyClick(warm.window.get(), Qt::Key_G);
        const double first = waitMs([&] { return warm.screenDone(); });
        std::printf("warm cache (%s): first screenful: %.1f ms = %.3f x the 1/8 decodes\n", load().c_str(), first,
                    first / eighthFirst);
        // A page down: key to the end of its paint, then until the new screen is complete.
        std::vector<double> frames, frameCpu, complete;
        for (int i = 0; i < 8; ++i) {
            // Between pages the loader catches up, as it does while someone looks at a page.
            waitMs([&] { return warm.grid().loader().pending() == 0; }, 5000);
            QElapsedTimer t;
            t.start();
            const double cpuBefore = threadCpuMs();
            QTest::keyClick(warm.window.get(), Qt::Key_PageDown);
            warm.grid().repaint();
            frames.push_back(t.nsecsElapsed() / 1e6);
            frameCpu.push_back(threadCpuMs() - cpuBefore);
            complete.push_back(frames.back() + waitMs([&] { return warm.screenDone(); }));
        }
        std::printf("warm cache (%s): Page Down key to painted frame: %.2f ms median, %.2f ms worst (%.3f x one 1/8 "
                    "decode); the GUI thread's processor time in it %.2f ms median, %.2f ms worst; screen complete "
                    "%.1f ms\n",
                    load().c_str(), median(frames), *std::max_element(frames.begin(), frames.end()),
                    median(frames) / eighth, median(frameCpu), *std::max_element(frameCpu.begin(), frameCpu.end()),
                    median(complete));
        // Every page of the folder, as someone holding Page Down would see it, then back to the top.
        const int pages = (count + warm.grid().visibleCount() - 1) / std::max(1, warm.grid().visibleCount());
        for (int i = 0; i < pages + 1; ++i) {
            QTest::keyClick(warm.window.get(), Qt::Key_PageDown);
            waitMs([&] { return warm.screenDone(); }, 5000);
        }
        QTest::keyClick(warm.window.get(), Qt::Key_Home);
        waitMs([&] { return warm.screenDone() && warm.grid().loader().pending() == 0; });
        const long after = residentKb();
        std::printf("resident memory (%s): viewer %ld MB; with the grid over %d entries, every page shown, %ld MB "
                    "(ratio %.2f; peak since the viewer opened %ld MB; %d thumbnails held, %.1f MB of pixels)\n",
                    load().c_str(), before / 1024, count, after / 1024, double(after) / std::max(1L, before),
                    statusKb("VmHWM:") / 1024, warm.grid().thumbnailsHeld(), warm.grid().thumbnailBytes() / 1048576.0);
    }
    return 0;
}
