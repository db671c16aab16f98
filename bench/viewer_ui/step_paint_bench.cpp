// Steps through the camera photos of the corpus in a 1920x1080 window offscreen and times each key press
// (Page Down) to the end of the paint it causes, waiting before each step until read-ahead has prepared
// the next photo. Baselines in the same run: TurboJPEG's full-resolution decode of each photo, and
// drawing an already scaled 1920x1080 picture once (the least any paint can cost).
//
// Usage: bench_viewer_step [photo folder] (default: the corpus camera folder)
//        bench_viewer_step --formats: the step median for a folder of each format of the formats corpus
//        (HEIF, AVIF, WebP, PNG, TIFF, JPEG XL, RAW previews, profiled JPEG), against the same bare blit.

#include "../Corpus.h"
#include "../Statistics.h"
#include "../viewer/FormatFolders.h"
#include "SilentUi.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/PictureCache.h"
#include "core/viewer/PictureSlot.h"
#include "ui/viewer/ViewerWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using marquelo::bench::median;
using marquelo::bench::SilentUi;

// TurboJPEG's own full decode of the file, in milliseconds (read from memory, like the viewer).
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

bool neighbourReady(marquelo::ImageList& images, int index)
{
    if (index >= images.count())
        return true;
    const auto& entry = images.at(index);
    const auto& slot = entry.pictures[std::size_t(entry.shown)];
    return slot && slot->ready();
}

// Key press to finished paint for each step through `images` in `window`, each step taken once read-ahead
// has prepared the neighbour. `decodes` gets TurboJPEG's full decode of each photo when not null.
std::vector<double> stepThrough(marquelo::ViewerWindow& window, marquelo::ImageList& images, std::vector<double>* keys,
                                std::vector<double>* decodes)
{
    std::vector<double> steps;
    for (int i = 0; i + 1 < images.count(); ++i) {
        QElapsedTimer wait;
        wait.start();
        while (!neighbourReady(images, i + 1) && wait.elapsed() < 10000)
            QTest::qWait(2);
        // A person looks at each photo for a moment: let the window finish what the load started.
        QTest::qWait(40);
        QElapsedTimer t;
        t.start();
        QTest::keyClick(&window, Qt::Key_PageDown);
        const double keyMs = t.nsecsElapsed() / 1e6;
        window.repaint(); // the paint the key asked for, done now
        steps.push_back(t.nsecsElapsed() / 1e6);
        if (keys)
            keys->push_back(keyMs);
        if (std::getenv("STEP_DEBUG")) {
            const auto shown = window.cache().shown();
            QElapsedTimer again;
            again.start();
            window.repaint();
            std::printf("%s %dx%d fmt %d full %dx%d step %.1f repaint %.1f\n", images.currentName().c_str(),
                        shown.image.width(), shown.image.height(), int(shown.image.format()), shown.fullSize.width(),
                        shown.fullSize.height(), steps.back(), again.nsecsElapsed() / 1e6);
        }
        if (decodes)
            decodes->push_back(fullDecodeMs(QString::fromStdString(images.pathOf(images.currentName()))));
    }
    return steps;
}

// The least a paint can cost: one scaled 1920x1080 picture drawn into the window's backing store.
double bareBlitMs()
{
    std::vector<double> blits;
    QImage scaled(1920, 1080, QImage::Format_RGB32);
    scaled.fill(Qt::darkGreen);
    QImage target(1920, 1080, QImage::Format_RGB32);
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer t;
        t.start();
        QPainter p(&target);
        p.drawImage(0, 0, scaled);
        p.end();
        blits.push_back(t.nsecsElapsed() / 1e6);
    }
    return median(blits);
}

marquelo::AppConfig stepConfig()
{
    marquelo::AppConfig config;
    config.CacheDepth = 1;
    config.ReadAhead = true;
    config.StartMaximized = false;
    config.Sorting = 1;
    return config;
}

// The step median of each format, all against the same bare blit.
// The window at the benchmark's 1920x1080, with the current photo on screen.
void showFullHd(marquelo::ViewerWindow& window)
{
    window.cache().setViewSize(QSize(1920, 1080));
    window.resize(1920, 1080);
    window.show();
    window.showCurrent();
    window.repaint();
}

int stepFormats()
{
    const double blit = bareBlitMs();
    std::printf("key press to finished paint by format, 12 photos each (goal: median <= 16 ms)\n");
    std::printf("%-8s %6s %10s %10s %12s\n", "format", "steps", "median ms", "max ms", "median/blit");
    const std::string formats = marquelo::bench::corpusFolder("formats", "bench_viewer_step");
    if (formats.empty())
        return marquelo::bench::kSkipped;
    for (const auto& folder : marquelo::bench::formatFolders(formats, 12)) {
        marquelo::AppConfig config = stepConfig();
        config.PictureExtensions = marquelo::bench::corpusExtensions();
        marquelo::ImageList images;
        if (!images.scanDirectory(folder.path(), config) || images.count() < 2)
            continue;
        SilentUi ui;
        marquelo::ViewerWindow window(config, images, ui);
        showFullHd(window);
        const std::vector<double> steps = stepThrough(window, images, nullptr, nullptr);
        std::printf("%-8s %6zu %10.2f %10.2f %12.2f\n", folder.format.c_str(), steps.size(), median(steps),
                    *std::max_element(steps.begin(), steps.end()), median(steps) / blit);
    }
    std::printf("bare 1920x1080 blit, median: %.2f ms\n", blit);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--formats") == 0)
        return stepFormats();
    const std::string folder = argc > 1 ? argv[1] : marquelo::bench::corpusFolder("camera", "bench_viewer_step");
    if (folder.empty())
        return marquelo::bench::kSkipped;

    marquelo::AppConfig config = stepConfig();
    marquelo::ImageList images;
    if (!images.scanDirectory(folder, config) || images.count() < 2) {
        std::fprintf(stderr, "no photos in %s\n", folder.c_str());
        return 1;
    }
    SilentUi ui;
    marquelo::ViewerWindow window(config, images, ui);
    showFullHd(window);

    std::vector<double> decodes;
    std::vector<double> keys;
    const std::vector<double> steps = stepThrough(window, images, &keys, &decodes);
    const double blit = bareBlitMs();

    const double step = median(steps);
    const double decode = median(decodes);
    std::printf("photos stepped:                      %zu\n", steps.size());
    std::printf("key press to finished paint, median: %.2f ms (max %.2f ms)\n", step,
                *std::max_element(steps.begin(), steps.end()));
    std::printf("  of which the key's own work:       %.2f ms\n", median(keys));
    std::printf("TurboJPEG full decode, median:       %.2f ms\n", decode);
    std::printf("bare 1920x1080 blit, median:         %.2f ms\n", blit);
    std::printf("step / full decode:                  %.3f\n", decode > 0 ? step / decode : 0.0);
    std::printf("step / bare blit:                    %.2f\n", blit > 0 ? step / blit : 0.0);
    std::printf("scaled copies made:                  %d (one per view)\n", window.scaledCopies());
    return 0;
}
