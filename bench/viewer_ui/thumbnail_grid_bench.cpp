// The thumbnail grid on a folder of many camera photos in a 1920x1080 window offscreen: the first screen
// of thumbnails and the whole folder with an empty shared cache, the first screen again with the cache
// filled, a page of movement with the keys, and resident memory with the list full. Baseline in the same
// run: TurboJPEG's full-resolution decode of one photo of the folder (median), and the resident memory
// of the same window before the grid opens.
//
// Usage: bench_thumbnail_grid [count] [source folder]   (defaults: 1000, the corpus camera folder)
// The folder of `count` photos is made of hard links (symbolic links across file systems) in a
// temporary folder; the cache is a temporary XDG_CACHE_HOME. Both are removed at the end.

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

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class SilentUi : public marquelo::UserInterface {
public:
    void message(std::string_view) override {}
    Answer ask(std::string_view, Buttons) override { return Answer::No; }
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double fullDecodeMs(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.readAll();
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, space = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    double ms = 0;
    if (tjDecompressHeader3(tj, data, (unsigned long)bytes.size(), &w, &h, &sub, &space) == 0) {
        std::vector<unsigned char> out(std::size_t(w) * std::size_t(h) * 4);
        QElapsedTimer t;
        t.start();
        tjDecompress2(tj, data, (unsigned long)bytes.size(), out.data(), w, 0, h, TJPF_BGRX, TJFLAG_FASTDCT);
        ms = t.nsecsElapsed() / 1e6;
    }
    tjDestroy(tj);
    return ms;
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

template <typename Condition> double waitMs(Condition done, int limitMs = 600000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
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
    const QString source = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(MARQUELO_CORPUS_DIR "/camera");
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

    std::vector<double> decodes;
    for (const QString& name : photos)
        decodes.push_back(fullDecodeMs(QDir(source).filePath(name)));
    const double decode = median(decodes);
    std::printf("baseline: full-resolution TurboJPEG decode of one photo: %.1f ms (median of %lld)\n", decode,
                static_cast<long long>(photos.size()));

    {
        Viewer cold(folder.path());
        QTest::keyClick(cold.window.get(), Qt::Key_G);
        const double first = waitMs([&] { return cold.screenDone(); });
        std::printf("empty cache: first screenful (%d cells): %.0f ms = %.1f full decodes\n",
                    cold.grid().visibleCount(), first, first / decode);
        const double all = first + waitMs([&] { return cold.grid().loader().pending() == 0; });
        std::printf("empty cache: all %d: %.0f ms = %.1f full decodes (%.1f ms per photo)\n", count, all, all / decode,
                    all / count);
    }
    {
        Viewer warm(folder.path());
        const long before = residentKb();
        QTest::keyClick(warm.window.get(), Qt::Key_G);
        const double first = waitMs([&] { return warm.screenDone(); });
        std::printf("warm cache: first screenful: %.1f ms = %.2f full decodes\n", first, first / decode);
        // A page down: key to the end of its paint, then until the new screen is complete.
        std::vector<double> frames, complete;
        bool painted = false;
        QObject::connect(&warm.grid(), &marquelo::ThumbnailGrid::painted, [&] { painted = true; });
        for (int i = 0; i < 8; ++i) {
            painted = false;
            QElapsedTimer t;
            t.start();
            QTest::keyClick(warm.window.get(), Qt::Key_PageDown);
            warm.grid().repaint();
            frames.push_back(t.nsecsElapsed() / 1e6);
            complete.push_back(frames.back() + waitMs([&] { return warm.screenDone(); }));
        }
        std::printf(
            "warm cache: Page Down key to painted frame: %.2f ms median (%.3f full decodes); screen complete %.1f ms\n",
            median(frames), median(frames) / decode, median(complete));
        waitMs([&] { return warm.grid().loader().pending() == 0; });
        std::printf("resident memory: viewer %ld MB, with the grid over %d entries %ld MB (ratio %.2f)\n",
                    before / 1024, count, residentKb() / 1024, double(residentKb()) / std::max(1L, before));
    }
    return 0;
}
