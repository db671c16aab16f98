#include "core/viewer/PictureCache.h"
#include "ViewerTestFiles.h"
#include "core/viewer/WorkPools.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>

#include <filesystem>
#include <optional>
#include <random>
#include <thread>

namespace marquelo {
namespace {

using test::PhotoFolder;

AppConfig cacheConfig(int depth, bool readAhead = true)
{
    AppConfig config;
    config.Sorting = 1;
    config.BundleEditedImages = true;
    config.EditFileSuffix = "_edit";
    config.OtherExtensions = "*.avi";
    config.CacheDepth = depth;
    config.ReadAhead = readAhead;
    return config;
}

// Counts the workers the cache starts, and can refuse them.
class CountingCache : public PictureCache {
public:
    using PictureCache::PictureCache;
    int started = 0;
    bool refuse = false;

protected:
    bool startWorker(std::function<void()> work) override
    {
        if (refuse)
            return false;
        ++started;
        return PictureCache::startWorker(std::move(work));
    }
};

// Lets every running load end and delivers its notification, until read-ahead has nothing left to start.
// A pass that delivers nothing while no load runs means every notification has arrived.
void settleLoads(PictureCache& cache)
{
    int delivered = 0;
    const auto counter = QObject::connect(&cache, &PictureCache::pictureLoaded, [&delivered] { ++delivered; });
    int before = 0;
    do {
        while (cache.runningLoads() > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        before = delivered;
        QCoreApplication::sendPostedEvents();
    } while (delivered != before || cache.runningLoads() > 0);
    QObject::disconnect(counter);
}

bool present(const ImageList& list, int index)
{
    return list.at(index).pictures[kOriginal] || list.at(index).pictures[kEdited];
}

class CacheFolder : public ::testing::Test {
protected:
    void fill(int count)
    {
        for (int i = 0; i < count; ++i)
            folder.jpeg("p" + std::to_string(10 + i) + ".jpg", 64, 48);
    }
    void scan() { ASSERT_TRUE(list.scanDirectory(folder.path(), config)); }

    PhotoFolder folder;
    AppConfig config = cacheConfig(1);
    ImageList list;
};

TEST_F(CacheFolder, ReadAheadLoadsBehindFirstAndFreesOutsideTheWindow)
{
    fill(10);
    scan();
    // Entries 3 to 7 are held with depth 2; then depth 1 applies and 4 and 6 are gone.
    config.CacheDepth = 2;
    CountingCache cache(list, config);
    list.setCurrent(5);
    cache.waitForCurrent();
    cache.updateReadAhead();
    settleLoads(cache);
    for (int i = 0; i < list.count(); ++i)
        ASSERT_EQ(present(list, i), i >= 3 && i <= 7) << i;
    config.CacheDepth = 1;
    cache.evictPicture(4, kOriginal);
    cache.evictPicture(6, kOriginal);

    QSignalSpy loaded(&cache, &PictureCache::pictureLoaded);
    cache.updateReadAhead();
    EXPECT_FALSE(present(list, 3));
    EXPECT_FALSE(present(list, 7));
    EXPECT_TRUE(present(list, 4)) << "behind first";
    EXPECT_FALSE(present(list, 6)) << "one load per call";
    // The end of that load continues the read-ahead by itself.
    settleLoads(cache);
    ASSERT_EQ(loaded.count(), 2);
    EXPECT_EQ(loaded.at(0).at(0).toInt(), 4);
    EXPECT_EQ(loaded.at(1).at(0).toInt(), 6);
    for (int i = 0; i < list.count(); ++i)
        EXPECT_EQ(present(list, i), i >= 4 && i <= 6) << i;
}

TEST_F(CacheFolder, AHeldReadAheadStartsNothingUntilTheViewerAsksButStillFrees)
{
    fill(10);
    scan();
    CountingCache cache(list, config);
    list.setCurrent(2);
    cache.waitForCurrent();
    cache.updateReadAhead();
    settleLoads(cache);
    ASSERT_TRUE(present(list, 1) && present(list, 3));

    // A jump: the new picture's load ends before it is painted.
    list.setCurrent(7);
    cache.holdReadAhead();
    const int before = cache.started;
    cache.waitForCurrent();
    settleLoads(cache);
    EXPECT_EQ(cache.started, before + 1) << "only the current picture";
    for (int i = 0; i < list.count(); ++i)
        EXPECT_EQ(present(list, i), i == 7) << i;

    // Painted: read-ahead goes on, and chains from one ended load to the next by itself again.
    cache.updateReadAhead();
    settleLoads(cache);
    for (int i = 0; i < list.count(); ++i)
        EXPECT_EQ(present(list, i), i >= 6 && i <= 8) << i;
}

// Holds every load back until the test lets it run.
class HeldCache : public PictureCache {
public:
    using PictureCache::PictureCache;
    void release()
    {
        for (auto& work : held)
            PictureCache::startWorker(std::move(work));
        held.clear();
    }
    std::vector<std::function<void()>> held;

protected:
    bool startWorker(std::function<void()> work) override
    {
        held.push_back(std::move(work));
        return true;
    }
};

TEST_F(CacheFolder, ALoadScalesForTheWindowAsItIsWhenItsDecodeEnds)
{
    folder.jpeg("wide.jpg", 640, 480);
    scan();
    HeldCache cache(list, config);
    // Requested before the window has a size (the start photo), then the window is shown and resized.
    ASSERT_TRUE(cache.requestPicture(0, PictureCache::Priority::Current));
    cache.setScreenTarget({QSize(1024, 700), 1.0});
    cache.setScreenTarget({QSize(160, 200), 2.0});
    cache.release();
    settleLoads(cache);
    ASSERT_TRUE(cache.currentSlot() && cache.currentSlot()->loaded);
    const ScreenCopy& copy = cache.currentSlot()->screen;
    EXPECT_EQ(copy.scaled.size(), QSize(320, 240));
    EXPECT_EQ(copy.ratio, 2.0);

    // Without a window (hidden, or gone to the grid) nothing is scaled.
    cache.evictAll();
    cache.setScreenTarget({});
    ASSERT_TRUE(cache.requestPicture(0, PictureCache::Priority::Current));
    cache.release();
    settleLoads(cache);
    ASSERT_TRUE(cache.currentSlot() && cache.currentSlot()->loaded);
    EXPECT_TRUE(cache.currentSlot()->screen.scaled.isNull());
}

TEST_F(CacheFolder, DepthOutOfRangeIsTheDefaultAndReadAheadCanBeOff)
{
    fill(12);
    scan();
    struct Row {
        int depth;
        bool readAhead;
        int loadedAround; // entries present around position 6 once read-ahead has run
    };
    for (const Row& r :
         {Row{-5, true, 3}, Row{0, true, 1}, Row{2, true, 5}, Row{4, true, 9}, Row{99, true, 3}, Row{3, false, 1}}) {
        config.CacheDepth = r.depth;
        config.ReadAhead = r.readAhead;
        CountingCache cache(list, config);
        cache.evictAll();
        list.setCurrent(6);
        cache.waitForCurrent();
        cache.updateReadAhead();
        settleLoads(cache);
        settleLoads(cache);
        int count = 0;
        for (int i = 0; i < list.count(); ++i)
            count += present(list, i);
        EXPECT_EQ(count, r.loadedAround) << "depth " << r.depth;
    }
}

TEST_F(CacheFolder, MovieNeverDecodesAndCountsAsLoaded)
{
    folder.touch("clip.avi");
    scan();
    CountingCache cache(list, config);
    cache.waitForCurrent();
    const ShownPicture s = cache.shown();
    EXPECT_TRUE(s.present);
    EXPECT_TRUE(s.loaded);
    EXPECT_FALSE(s.isPicture);
    EXPECT_EQ(cache.started, 0);
}

TEST_F(CacheFolder, EmptyListShowsAnEntryThatIsNotAPicture)
{
    scan();
    CountingCache cache(list, config);
    cache.waitForCurrent();
    cache.updateReadAhead();
    EXPECT_TRUE(cache.shown().loaded);
    EXPECT_FALSE(cache.shown().isPicture);
    EXPECT_FALSE(cache.checkCurrentFile());
}

TEST_F(CacheFolder, AWorkerThatCannotStartNeverLeavesTheSlotLoading)
{
    fill(1);
    scan();
    CountingCache cache(list, config);
    cache.refuse = true;
    cache.waitForCurrent(); // must return
    const ShownPicture s = cache.shown();
    EXPECT_TRUE(s.present);
    EXPECT_FALSE(s.loaded);
    EXPECT_EQ(list.current().files[kOriginal].lastWriteNs, 0) << "the change check retries it";
    cache.refuse = false;
    EXPECT_TRUE(cache.checkCurrentFile());
    cache.waitForCurrent();
    EXPECT_TRUE(cache.shown().loaded);
}

TEST_F(CacheFolder, RewrittenFileIsShownAgainOnceItCanBeOpened)
{
    folder.jpeg("a.jpg", 64, 48);
    scan();
    CountingCache cache(list, config);
    cache.waitForCurrent();
    EXPECT_EQ(cache.shown().fullSize, QSize(64, 48));
    EXPECT_FALSE(cache.checkCurrentFile()) << "unchanged";

    folder.jpeg("a.jpg", 32, 40);
    folder.setWriteTime("a.jpg", 5);
    EXPECT_TRUE(cache.checkCurrentFile());
    EXPECT_FALSE(cache.shown().present) << "the old picture was freed";
    cache.waitForCurrent();
    EXPECT_EQ(cache.shown().fullSize, QSize(32, 40));
    EXPECT_FALSE(cache.checkCurrentFile());
}

TEST_F(CacheFolder, MissingFileIsShownMissingAndReloadedWhenBack)
{
    folder.jpeg("a.jpg", 64, 48);
    scan();
    CountingCache cache(list, config);
    cache.waitForCurrent();
    ASSERT_TRUE(cache.shown().loaded);

    std::filesystem::rename(folder.file("a.jpg"), folder.file("a.bak"));
    EXPECT_TRUE(cache.checkCurrentFile());
    EXPECT_TRUE(list.current().missing);
    cache.waitForCurrent();
    EXPECT_FALSE(cache.shown().loaded);
    EXPECT_FALSE(cache.checkCurrentFile()) << "reported once";

    std::filesystem::rename(folder.file("a.bak"), folder.file("a.jpg"));
    EXPECT_TRUE(cache.checkCurrentFile());
    EXPECT_FALSE(list.current().missing);
    cache.waitForCurrent();
    EXPECT_TRUE(cache.shown().loaded);
    EXPECT_EQ(cache.shown().fullSize, QSize(64, 48));
}

TEST_F(CacheFolder, BrokenFileIsReadAgainOnlyWhenItChanges)
{
    folder.touch("bad.jpg");
    scan();
    CountingCache cache(list, config);
    cache.waitForCurrent();
    EXPECT_TRUE(cache.shown().present);
    EXPECT_FALSE(cache.shown().loaded);
    EXPECT_FALSE(cache.checkCurrentFile());
    EXPECT_FALSE(cache.checkCurrentFile());
    EXPECT_EQ(cache.started, 1);

    // Repaired by an outside program: read again once.
    folder.jpeg("bad.jpg", 30, 20);
    folder.setWriteTime("bad.jpg", 5);
    EXPECT_TRUE(cache.checkCurrentFile());
    cache.waitForCurrent();
    EXPECT_EQ(cache.started, 2);
    EXPECT_EQ(cache.shown().fullSize, QSize(30, 20));
}

TEST_F(CacheFolder, EditedCopyIsLoadedAsTheShownVersion)
{
    folder.jpeg("x.jpg", 64, 48);
    folder.jpeg("x_edit.jpg", 20, 30);
    scan();
    CountingCache cache(list, config);
    cache.waitForCurrent();
    EXPECT_EQ(cache.shown().fullSize, QSize(20, 30));
    list.current().shown = kOriginal;
    cache.waitForCurrent();
    EXPECT_EQ(cache.shown().fullSize, QSize(64, 48));
    EXPECT_TRUE(list.current().pictures[kEdited]) << "both versions are held until eviction";
    cache.evictPicture(0, kEdited);
    EXPECT_FALSE(list.current().pictures[kEdited]);
}

TEST_F(CacheFolder, ZoomDecodesMoreDetailOnlyWhenNeeded)
{
    folder.jpeg("big.jpg", 1600, 1200);
    scan();
    CountingCache cache(list, config);
    cache.setViewSize(QSize(800, 600));
    cache.waitForCurrent();
    ASSERT_EQ(cache.shown().image.size(), QSize(800, 600));
    EXPECT_FALSE(cache.ensureDetail(Rect{0, 0, 1599, 1199}, QSize(800, 600)));
    settleLoads(cache);
    QSignalSpy loaded(&cache, &PictureCache::pictureLoaded);
    EXPECT_TRUE(cache.ensureDetail(Rect{0, 0, 799, 599}, QSize(800, 600)));
    EXPECT_FALSE(cache.ensureDetail(Rect{0, 0, 799, 599}, QSize(800, 600))) << "already on its way";
    settleLoads(cache);
    ASSERT_GE(loaded.count(), 1);
    EXPECT_EQ(loaded.last().at(0).toInt(), 0) << "the window repaints when the sharper copy arrives";
    EXPECT_EQ(cache.shown().image.size(), QSize(1600, 1200));
    EXPECT_EQ(cache.shown().fullSize, QSize(1600, 1200));
    EXPECT_FALSE(cache.ensureDetail(Rect{0, 0, 99, 99}, QSize(800, 600))) << "already full resolution";
}

// Steps back and forth quickly and removes entries while loads run; every load must end in its own slot.
TEST_F(CacheFolder, SteppingAndRemovingWhileLoadsRun)
{
    for (int i = 0; i < 40; ++i)
        folder.jpeg("s" + std::to_string(100 + i) + ".jpg", 480, 360, QColor::fromHsv(i * 9, 200, 200));
    config.CacheDepth = 2;
    scan();
    CountingCache cache(list, config);
    std::mt19937 random(7);
    for (int round = 0; round < 200 && list.count() > 3; ++round) {
        const int step = int(random() % 7) - 3;
        list.setCurrent(list.currentIndex() + step);
        cache.waitForCurrent();
        ASSERT_FALSE(list.current().pictures[list.current().shown]->loading.load());
        cache.updateReadAhead();
        if (round % 9 == 4) {
            // As the delete command does: evict, then drop the entry even while a load of it runs.
            const int victim = int(random() % unsigned(list.count()));
            cache.evictPicture(victim, kOriginal);
            list.remove(victim);
        }
        if (round % 5 == 0)
            QCoreApplication::processEvents();
    }
    settleLoads(cache);
    settleLoads(cache);
    EXPECT_EQ(cache.runningLoads(), 0);
    const int cur = list.currentIndex();
    for (int i = 0; i < list.count(); ++i) {
        if (i < cur - 2 || i > cur + 2) {
            EXPECT_FALSE(present(list, i)) << i;
        }
    }
    EXPECT_TRUE(cache.shown().loaded);
}

// The window moved to a larger screen: what was decoded for the smaller one would be shown enlarged.
TEST_F(CacheFolder, ALargerScreenDecodesTheCurrentPictureAgainAndRereadsTheNeighbours)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        folder.jpeg(name, 3200, 2400);
    scan();
    list.setCurrent(1);
    CountingCache cache(list, config);
    cache.setViewSize(QSize(800, 600));
    cache.waitForCurrent();
    cache.updateReadAhead();
    settleLoads(cache);
    ASSERT_EQ(cache.shown().image.size(), QSize(800, 600));
    ASSERT_EQ(list.at(0).pictures[kOriginal]->image.size(), QSize(800, 600));

    QSignalSpy loaded(&cache, &PictureCache::pictureLoaded);
    const QImage before = cache.shown().image;
    cache.setViewSize(QSize(1600, 1200));
    EXPECT_EQ(cache.shown().image.cacheKey(), before.cacheKey()) << "the picture stays until the sharper one is in";
    settleLoads(cache);
    EXPECT_EQ(cache.shown().image.size(), QSize(1600, 1200));
    ASSERT_GE(loaded.count(), 1);
    for (int i : {0, 2}) {
        ASSERT_TRUE(list.at(i).pictures[kOriginal]) << i << " is read ahead again";
        EXPECT_EQ(list.at(i).pictures[kOriginal]->image.size(), QSize(1600, 1200)) << i;
    }

    // Back on the smaller screen everything already has the detail it needs: nothing is decoded.
    const int started = cache.started;
    cache.setViewSize(QSize(800, 600));
    settleLoads(cache);
    EXPECT_EQ(cache.started, started);
}

// The screen changed while the current picture was still decoding for the old one.
TEST_F(CacheFolder, ALoadForTheOldScreenIsDecodedAgainWhenItEnds)
{
    folder.jpeg("a.jpg", 3200, 2400);
    scan();
    PictureCache cache(list, config);
    cache.setViewSize(QSize(800, 600));
    ASSERT_TRUE(cache.requestPicture(0, PictureCache::Priority::Current));
    cache.setViewSize(QSize(1600, 1200));
    settleLoads(cache);
    EXPECT_EQ(cache.shown().image.size(), QSize(1600, 1200));
}

// Ending the program in the middle of a large decode: the decode stops at once and its thread is
// joined, so nothing is left running while the decoders' libraries and statics are torn down.
TEST_F(CacheFolder, EndingDuringALargeDecodeStopsAndJoinsIt)
{
    // Detail everywhere, so the decode has real work in every block: well over the patience the end
    // of the cache once had for it.
    QImage big(7000, 5000, QImage::Format_RGB32);
    for (int y = 0; y < big.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(big.scanLine(y));
        for (int x = 0; x < big.width(); ++x)
            row[x] = qRgb((x * 7 + y * 3) & 255, (x ^ y) & 255, ((x * y) >> 5) & 255);
    }
    ASSERT_TRUE(big.save(QString::fromStdString(folder.file("big.jpg")), "JPEG", 95));
    big = QImage();
    scan();
    std::optional<PictureCache> cache;
    cache.emplace(list, config);
    cache->setViewSize(QSize()); // full resolution
    ASSERT_TRUE(cache->requestPicture(0, PictureCache::Priority::Current));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ASSERT_EQ(cache->runningLoads(), 1) << "the decode ended before the cache did";
    cache.reset();
    // Stopped, not left behind: the pools have nothing left to wait for, and their threads end. The
    // wait is generous because a sanitizer build reaches the decoder's next cancel check slowly; what
    // is checked is that the work ends and is joined, not how fast.
    EXPECT_TRUE(workpools::finish(std::chrono::seconds(10)));
    // Idle pool threads stay for reuse; none may still be busy with the picture.
    EXPECT_EQ(workpools::loads().activeThreadCount(), 0);
    EXPECT_EQ(workpools::parts().activeThreadCount(), 0);
}

} // namespace
} // namespace marquelo

namespace marquelo {
namespace {

// The compare view keeps its panes' photos although they lie outside the depth around the current
// entry, and zooms every pane at once: each pane's sharper decode must land, none overtaking another.
TEST_F(CacheFolder, PinnedEntriesStayAndEachGetsItsOwnDetail)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"})
        folder.jpeg(name, 800, 600);
    scan();
    config.CacheDepth = 1;
    CountingCache cache(list, config);
    cache.setViewSize(QSize(400, 300));
    cache.waitForCurrent();
    cache.setPinned({0, 3});
    cache.requestPicture(3, PictureCache::Priority::Current);
    cache.updateReadAhead();
    settleLoads(cache);
    EXPECT_TRUE(present(list, 3)) << "pinned outside the depth";
    EXPECT_FALSE(present(list, 4));

    EXPECT_TRUE(cache.ensureDetail(0, Rect{0, 0, 399, 299}, QSize(400, 300)));
    EXPECT_TRUE(cache.ensureDetail(3, Rect{0, 0, 399, 299}, QSize(400, 300)));
    settleLoads(cache);
    EXPECT_EQ(list.at(0).pictures[kOriginal]->image.size(), QSize(800, 600));
    EXPECT_EQ(list.at(3).pictures[kOriginal]->image.size(), QSize(800, 600));

    cache.setPinned({});
    cache.updateReadAhead();
    EXPECT_FALSE(present(list, 3)) << "freed once no longer pinned";
}

// While the compare view pins its panes, nothing shows the current entry's neighbours: they are freed
// rather than held at the window's size, and a larger view (the panes larger than the screen the
// photos were decoded for) keeps the pinned pictures instead of freeing them for a new decode.
TEST_F(CacheFolder, PinsFreeTheNeighboursAndSurviveALargerView)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"})
        folder.jpeg(name, 800, 600);
    scan();
    config.CacheDepth = 1;
    list.setCurrent(2);
    CountingCache cache(list, config);
    cache.setViewSize(QSize(200, 150));
    cache.waitForCurrent();
    cache.updateReadAhead();
    settleLoads(cache);
    ASSERT_TRUE(present(list, 1) && present(list, 3));

    cache.setPinned({2, 4});
    EXPECT_FALSE(present(list, 1)) << "the reference's neighbour is not shown";
    EXPECT_FALSE(present(list, 3));
    cache.requestPicture(4, PictureCache::Priority::Current);
    settleLoads(cache);
    const std::shared_ptr<PictureSlot> pinned = list.at(4).pictures[kOriginal];
    ASSERT_TRUE(pinned);
    cache.setViewSize(QSize(400, 300));
    EXPECT_EQ(list.at(4).pictures[kOriginal], pinned) << "on screen: kept, not decoded again";
    cache.updateReadAhead();
    settleLoads(cache);
    EXPECT_FALSE(present(list, 1)) << "no read-ahead around the reference while pinned";

    cache.setPinned({});
    cache.updateReadAhead();
    settleLoads(cache);
    EXPECT_TRUE(present(list, 1) && present(list, 3)) << "read ahead again once the pins end";
    EXPECT_FALSE(present(list, 4));
}

} // namespace
} // namespace marquelo
