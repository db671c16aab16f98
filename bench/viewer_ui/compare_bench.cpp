// The compare view in a 1920x1080 window offscreen over the camera photos of the corpus, by the
// step_paint_bench method (a key press timed to the end of the paint it causes, each step taken once
// read-ahead has the photo):
//  - stepping the candidate of the two-pane view to a read-ahead photo (goal: median <= 8 ms,
//    p95 <= 16 ms), against a single-view step measured in the same run;
//  - entering the compare view (Shift+C) with both photos in the cache (goal: <= 50 ms);
//  - the decoded pixels held with four panes against the single view, CacheDepth 1 (goal: <= 1.6x).
//
// Usage: bench_compare [photo folder] (default: the corpus camera folder)
//        bench_compare --shots DIR [photo folder]: saves the window with two and four panes, fitted and
//        at 100 %, as PNG files in DIR, to be looked at by eye (nothing is timed).

#include "../Corpus.h"
#include "../Statistics.h"
#include "SilentUi.h"
#include "core/viewer/CompareLayout.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/PictureCache.h"
#include "core/viewer/PictureSlot.h"
#include "ui/viewer/CompareView.h"
#include "ui/viewer/ViewerWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

namespace {

using marquelo::bench::percentile;
using marquelo::bench::SilentUi;

bool ready(marquelo::ImageList& images, int index)
{
    if (index < 0 || index >= images.count())
        return true;
    const auto& entry = images.at(index);
    const auto& slot = entry.pictures[std::size_t(entry.shown)];
    return slot && slot->ready();
}

void waitReady(marquelo::ImageList& images, int index)
{
    QElapsedTimer wait;
    wait.start();
    while (!ready(images, index) && wait.elapsed() < 10000)
        QTest::qWait(2);
    // A person looks at the panes for a moment: the window finishes what the loads started.
    QTest::qWait(40);
}

double timedKey(marquelo::ViewerWindow& window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QElapsedTimer t;
    t.start();
    QTest::keyClick(&window, key, modifiers);
    window.repaint(); // the paint the key asked for, done now
    return t.nsecsElapsed() / 1e6;
}

// Every decoded picture and screen copy the entries hold, in bytes (each slot once).
qint64 heldBytes(marquelo::ImageList& images)
{
    std::set<const marquelo::PictureSlot*> seen;
    qint64 bytes = 0;
    for (int i = 0; i < images.count(); ++i) {
        for (const auto& slot : images.at(i).pictures) {
            if (!slot || !slot->ready() || !seen.insert(slot.get()).second)
                continue;
            bytes += slot->image.sizeInBytes() + slot->screen.scaled.sizeInBytes();
        }
    }
    return bytes;
}

// The panes as a person sees them: two fitted, two at 100 % on the middle, four at 100 %.
int saveShots(marquelo::ViewerWindow& window, marquelo::ImageList& images, const QString& dir)
{
    marquelo::CompareView& compare = window.compare();
    const auto settle = [&] {
        for (int index : compare.shownEntries())
            waitReady(images, index);
        QTest::qWait(400); // the detail decodes and the smooth copies
        for (int index : compare.shownEntries())
            waitReady(images, index);
        QTest::qWait(200);
    };
    const auto actualPixels = [&] {
        const auto& slot = images.current().pictures[std::size_t(images.current().shown)];
        compare.setPart(marquelo::actualPixelsPart(slot->fullSize, compare.paneDevicePixels()));
    };
    QTest::keyClick(&window, Qt::Key_C, Qt::ShiftModifier);
    settle();
    bool saved = window.grab().save(dir + "/compare-two-fitted.png");
    actualPixels();
    settle();
    saved = window.grab().save(dir + "/compare-two-100.png") && saved;
    QTest::keyClick(&window, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    actualPixels();
    settle();
    saved = window.grab().save(dir + "/compare-four-100.png") && saved;
    QTest::keyClick(&window, Qt::Key_0);
    settle();
    saved = window.grab().save(dir + "/compare-four-fitted.png") && saved;
    std::printf("%s in %s\n", saved ? "screenshots saved" : "could not save the screenshots", qPrintable(dir));
    return saved ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString shots;
    if (argc > 2 && std::string(argv[1]) == "--shots") {
        shots = QString::fromLocal8Bit(argv[2]);
        argv += 2;
        argc -= 2;
    }
    const std::string folder = argc > 1 ? argv[1] : marquelo::bench::corpusFolder("camera", "bench_compare");
    if (folder.empty())
        return marquelo::bench::kSkipped;

    marquelo::AppConfig config;
    config.CacheDepth = 1;
    config.ReadAhead = true;
    config.StartMaximized = false;
    config.Sorting = 1;
    marquelo::ImageList images;
    if (!images.scanDirectory(folder, config) || images.count() < 6) {
        std::fprintf(stderr, "fewer than 6 photos in %s\n", folder.c_str());
        return 1;
    }
    SilentUi ui;
    marquelo::ViewerWindow window(config, images, ui);
    window.cache().setViewSize(QSize(1920, 1080));
    window.resize(1920, 1080);
    window.show();
    window.showCurrent();
    window.repaint();
    if (!shots.isEmpty())
        return saveShots(window, images, shots);
    const int count = images.count();

    // Baseline: single-view steps to a read-ahead photo, the first half of the folder.
    std::vector<double> single;
    for (int i = 0; i + 1 < count / 2; ++i) {
        waitReady(images, i + 1);
        single.push_back(timedKey(window, Qt::Key_PageDown));
    }
    waitReady(images, images.currentIndex() + 1);
    waitReady(images, images.currentIndex() - 1);
    const qint64 singleBytes = heldBytes(images);

    // Entering with the reference and its next photo (the candidate) in the cache.
    waitReady(images, images.currentIndex() + 1);
    const double enter = timedKey(window, Qt::Key_C, Qt::ShiftModifier);

    // Candidate steps, each to a photo read-ahead has.
    std::vector<double> steps;
    marquelo::CompareView& compare = window.compare();
    for (int i = 0; i < count - 3; ++i) {
        const int candidate = compare.shownEntries()[1];
        if (candidate + 1 >= count)
            break;
        waitReady(images, candidate + 1);
        steps.push_back(timedKey(window, Qt::Key_PageDown));
    }

    // Four panes, settled, against the single view's hold.
    window.runCommand(marquelo::Command::First);
    timedKey(window, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    for (int index : compare.shownEntries())
        waitReady(images, index);
    waitReady(images, compare.shownEntries().back() + 1);
    const qint64 fourBytes = heldBytes(images);

    const double base = percentile(single, 0.5);
    std::printf("photos: %d, window 1920x1080, CacheDepth 1\n", count);
    std::printf("single-view step (baseline), median:    %.2f ms over %zu steps\n", base, single.size());
    std::printf("candidate step, median:                 %.2f ms (%.2fx the baseline; goal <= 8 ms)\n",
                percentile(steps, 0.5), base > 0 ? percentile(steps, 0.5) / base : 0.0);
    std::printf("candidate step, p95:                    %.2f ms (%.2fx the baseline; goal <= 16 ms) over %zu steps\n",
                percentile(steps, 0.95), base > 0 ? percentile(steps, 0.95) / base : 0.0, steps.size());
    std::printf("entering the compare view:              %.2f ms (%.2fx the baseline; goal <= 50 ms)\n", enter,
                base > 0 ? enter / base : 0.0);
    std::printf("decoded pixels held, single view:       %.1f MiB\n", singleBytes / 1048576.0);
    std::printf("decoded pixels held, four panes:        %.1f MiB (%.2fx the single view; goal <= 1.6x)\n",
                fourBytes / 1048576.0, singleBytes > 0 ? double(fourBytes) / double(singleBytes) : 0.0);
    return 0;
}
