// Files that only look like photos: FIFOs and devices, files no decoder can read, pictures that ask for
// far more memory or work than their size suggests, and loads that do not end. None of them may hang
// the window, be read again on every tick, or take more than the decoding bound.
#include "support/HostilePictures.h"
#include "ViewerTestFiles.h"
#include "core/viewer/PictureCache.h"
#include "core/viewer/PictureDecoder.h"
#include "core/viewer/PictureFormats.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>

#include <condition_variable>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace marquelo {
namespace {

using test::Fifo;
using test::PhotoFolder;

AppConfig hostileConfig()
{
    AppConfig config;
    config.Sorting = 1;
    config.OtherExtensions = "*.avi";
    config.CacheDepth = 1;
    config.ReadAhead = true;
    return config;
}

void deliverLoads(PictureCache& cache)
{
    for (int pass = 0; pass < 2; ++pass) {
        while (cache.runningLoads() > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        QCoreApplication::sendPostedEvents();
    }
}

// ---- FIFOs and devices --------------------------------------------------------------------------------

TEST(NonRegularFiles, FifosAndDevicesNamedLikePhotosAreRefusedWithoutWaiting)
{
    PhotoFolder folder;
    Fifo fifo(folder.file("pipe.jpg"), std::chrono::seconds(5));
    ASSERT_TRUE(fifo.created());
    fs::create_symlink(fifo.path(), folder.file("to-pipe.jpg"));
    fs::create_symlink("/dev/zero", folder.file("zero.jpg"));
    fs::create_symlink("/dev/null", folder.file("null.jpg"));
    for (const char* name : {"pipe.jpg", "to-pipe.jpg", "zero.jpg", "null.jpg"}) {
        const DecodedPicture d = PictureDecoder::decodeFile(folder.file(name), QSize(800, 600));
        EXPECT_FALSE(d.ok) << name;
        EXPECT_EQ(d.file.kind, FileKind::Other) << name;
    }
    EXPECT_FALSE(fifo.released()) << "a load waited for a writer of the FIFO";
}

TEST(NonRegularFiles, FifoAsNeighbourCurrentOrReplacementNeverBlocks)
{
    PhotoFolder folder;
    folder.jpeg("a.jpg", 64, 48);
    Fifo neighbour(folder.file("b.jpg"), std::chrono::seconds(5));
    fs::create_symlink("/dev/zero", folder.file("c.jpg"));
    AppConfig config = hostileConfig();
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), config));
    ASSERT_EQ(list.count(), 3);
    {
        PictureCache cache(list, config);
        // The FIFO is read ahead while a.jpg is shown.
        ASSERT_TRUE(cache.waitForCurrent());
        cache.updateReadAhead();
        deliverLoads(cache);
        ASSERT_TRUE(list.at(1).pictures[kOriginal]);
        EXPECT_FALSE(list.at(1).pictures[kOriginal]->loaded);

        // Shown itself, and the device after it: the no-picture placeholder, and the change check
        // leaves both alone.
        for (int index : {1, 2}) {
            list.setCurrent(index);
            ASSERT_TRUE(cache.waitForCurrent()) << index;
            EXPECT_FALSE(cache.shown().loaded) << index;
            const auto slot = cache.currentSlot();
            EXPECT_FALSE(cache.checkCurrentFile()) << index;
            EXPECT_FALSE(cache.checkCurrentFile()) << index;
            EXPECT_EQ(cache.currentSlot(), slot) << index;
        }

        // The shown photo replaced by a FIFO: the check notices it, without opening it.
        list.setCurrent(0);
        ASSERT_TRUE(cache.waitForCurrent());
        ASSERT_TRUE(cache.shown().loaded);
        fs::remove(folder.file("a.jpg"));
        Fifo replacement(folder.file("a.jpg"), std::chrono::seconds(5));
        EXPECT_TRUE(cache.checkCurrentFile());
        ASSERT_TRUE(cache.waitForCurrent());
        EXPECT_FALSE(cache.shown().loaded);
        EXPECT_FALSE(cache.checkCurrentFile());
        EXPECT_FALSE(replacement.released());
    }
    EXPECT_FALSE(neighbour.released());
}

// ---- files no decoder can read --------------------------------------------------------------------------

struct UnreadableFile {
    const char* label;
    std::function<void(const std::string& path)> make;
};

class UnreadableFiles : public ::testing::TestWithParam<UnreadableFile> {};

TEST_P(UnreadableFiles, AreReadOnceAndAgainOnlyWhenTheyChange)
{
    PhotoFolder folder;
    GetParam().make(folder.file("bad.jpg"));
    AppConfig config = hostileConfig();
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), config));
    PictureCache cache(list, config);
    cache.waitForCurrent();
    ASSERT_TRUE(cache.shown().present);
    EXPECT_FALSE(cache.shown().loaded);
    const auto slot = cache.currentSlot();
    for (int tick = 0; tick < 4; ++tick)
        EXPECT_FALSE(cache.checkCurrentFile()) << "tick " << tick;
    EXPECT_EQ(cache.currentSlot(), slot) << "read again without a change";

    // Rewritten (a newer time): read again, once.
    folder.setWriteTime("bad.jpg", 5);
    EXPECT_TRUE(cache.checkCurrentFile());
    cache.waitForCurrent();
    EXPECT_FALSE(cache.checkCurrentFile());
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnreadableFiles,
                         ::testing::Values(UnreadableFile{"Empty",
                                                          [](const std::string& path) { std::ofstream{path}; }},
                                           UnreadableFile{"HugeHeader",
                                                          [](const std::string& path) {
                                                              fs::copy_file(test::photo("broken/max_size_65535.jpg"),
                                                                            path);
                                                          }},
                                           UnreadableFile{"Zeros",
                                                          [](const std::string& path) {
                                                              std::ofstream out(path, std::ios::binary);
                                                              const std::string block(1 << 20, '\0');
                                                              for (int i = 0; i < 8; ++i)
                                                                  out << block;
                                                          }}),
                         [](const auto& row) { return std::string(row.param.label); });

// ---- entries that are not pictures -----------------------------------------------------------------------

TEST(MissingEntries, AMissingMovieShowsNoPictureOnceAndComesBackWithItsFile)
{
    PhotoFolder folder;
    folder.touch("clip.avi");
    AppConfig config = hostileConfig();
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), config));
    PictureCache cache(list, config);
    cache.waitForCurrent();
    ASSERT_TRUE(cache.shown().loaded);
    ASSERT_FALSE(cache.shown().isPicture);

    fs::rename(folder.file("clip.avi"), folder.file("clip.bak"));
    EXPECT_TRUE(cache.checkCurrentFile());
    cache.waitForCurrent();
    EXPECT_TRUE(cache.shown().present);
    EXPECT_FALSE(cache.shown().loaded) << "the no-picture placeholder, not the film";
    for (int tick = 0; tick < 4; ++tick)
        EXPECT_FALSE(cache.checkCurrentFile()) << "tick " << tick << ": idle while it is missing";

    fs::rename(folder.file("clip.bak"), folder.file("clip.avi"));
    EXPECT_TRUE(cache.checkCurrentFile());
    cache.waitForCurrent();
    EXPECT_TRUE(cache.shown().loaded);
    EXPECT_FALSE(cache.shown().isPicture);
    EXPECT_FALSE(cache.checkCurrentFile());
}

// ---- loads that do not end ---------------------------------------------------------------------------------

// Holds every worker before its load until opened (or, so a wait that should not happen ends the test
// instead of hanging it, until ten seconds have passed).
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int finished = 0;

    void pass()
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(10), [this] { return open; });
    }
    void release()
    {
        const std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
    void close()
    {
        const std::lock_guard lock(mutex);
        open = false;
    }
    bool isOpen()
    {
        const std::lock_guard lock(mutex);
        return open;
    }
    void done()
    {
        const std::lock_guard lock(mutex);
        ++finished;
        changed.notify_all();
    }
    void waitForFinished(int count)
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(20), [&] { return finished >= count; });
    }
};

class GatedCache : public PictureCache {
public:
    using PictureCache::PictureCache;
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();

protected:
    bool startWorker(std::function<void()> work) override
    {
        return PictureCache::startWorker([gate = gate, work = std::move(work)] {
            gate->pass();
            work();
            gate->done();
        });
    }
};

class StuckLoads : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.jpeg("big.jpg", 1600, 1200);
        ASSERT_TRUE(list.scanDirectory(folder.path(), config));
    }
    PhotoFolder folder;
    AppConfig config = hostileConfig();
    ImageList list;
};

TEST_F(StuckLoads, ShowingTheCurrentPhotoGoesOnWithoutIt)
{
    GatedCache cache(list, config);
    QSignalSpy loaded(&cache, &PictureCache::pictureLoaded);
    EXPECT_FALSE(cache.waitForCurrent(std::chrono::milliseconds(50)));
    EXPECT_FALSE(cache.gate->isOpen()) << "the wait outlasted the load";
    EXPECT_TRUE(cache.shown().present);
    EXPECT_TRUE(cache.shown().loading);
    EXPECT_FALSE(cache.checkCurrentFile()) << "a running load is never freed";

    cache.gate->release();
    deliverLoads(cache);
    ASSERT_GE(loaded.count(), 1);
    EXPECT_EQ(loaded.at(0).at(0).toInt(), 0);
    EXPECT_TRUE(cache.shown().loaded);
    EXPECT_TRUE(cache.waitForCurrent(std::chrono::milliseconds(0)));
}

TEST_F(StuckLoads, TheEndOfTheProgramDoesNotWaitForThem)
{
    auto cache = std::make_unique<GatedCache>(list, config);
    const std::shared_ptr<Gate> gate = cache->gate;
    cache->waitForCurrent(std::chrono::milliseconds(0));
    cache.reset();
    EXPECT_FALSE(gate->isOpen()) << "the cache waited for its stuck load";
    // Left behind, the load ends later without touching the cache that is gone.
    gate->release();
    gate->waitForFinished(1);
    QCoreApplication::sendPostedEvents();
    const std::lock_guard lock(gate->mutex);
    EXPECT_EQ(gate->finished, 1);
}

TEST_F(StuckLoads, ZoomDetailIsDecodedWhileTheFittedPictureStays)
{
    GatedCache cache(list, config);
    cache.setViewSize(QSize(800, 600));
    cache.gate->release();
    ASSERT_TRUE(cache.waitForCurrent());
    const QImage fitted = cache.shown().image;
    ASSERT_EQ(fitted.size(), QSize(800, 600));

    deliverLoads(cache);
    cache.gate->close();
    QSignalSpy loaded(&cache, &PictureCache::pictureLoaded);
    EXPECT_TRUE(cache.ensureDetail(Rect{0, 0, 799, 599}, QSize(800, 600)));
    EXPECT_FALSE(cache.gate->isOpen()) << "the zoom waited for its decode";
    EXPECT_EQ(cache.shown().image.cacheKey(), fitted.cacheKey());

    cache.gate->release();
    deliverLoads(cache);
    ASSERT_GE(loaded.count(), 1);
    EXPECT_EQ(loaded.last().at(0).toInt(), 0);
    EXPECT_EQ(cache.shown().image.size(), QSize(1600, 1200));
}

TEST_F(StuckLoads, ADetailLoadForAPictureThatChangedMeanwhileIsDropped)
{
    GatedCache cache(list, config);
    cache.setViewSize(QSize(800, 600));
    cache.gate->release();
    ASSERT_TRUE(cache.waitForCurrent());
    cache.gate->close();
    ASSERT_TRUE(cache.ensureDetail(Rect{0, 0, 799, 599}, QSize(800, 600)));

    folder.jpeg("big.jpg", 400, 300);
    folder.setWriteTime("big.jpg", 5);
    ASSERT_TRUE(cache.checkCurrentFile());
    cache.gate->release();
    ASSERT_TRUE(cache.waitForCurrent());
    deliverLoads(cache);
    EXPECT_EQ(cache.shown().fullSize, QSize(400, 300));
}

// ---- pictures that ask for too much ------------------------------------------------------------------------

std::string savePicture(const PhotoFolder& folder, const std::string& name, QImage image, const char* format)
{
    image.save(QString::fromStdString(folder.file(name)), format);
    return folder.file(name);
}

// The bound is given small here, so that every decode path can be driven past it with small files.
TEST(DecodeBound, HoldsOnEveryDecodePath)
{
    PhotoFolder folder;
    constexpr std::int64_t MiB = 1 << 20;
    const std::string orientation = test::photo("orientation") + "/";
    QImage deep(1024, 684, QImage::Format_RGBA64); // 8 bytes a pixel as Qt's reader decodes it
    deep.fill(Qt::darkGreen);
    QImage flat(1024, 1024, QImage::Format_ARGB32);
    flat.fill(QColor(10, 20, 30, 128));
    const std::string deepPng = savePicture(folder, "deep.jpg", deep, "PNG");
    const std::string flatPng = savePicture(folder, "flat.jpg", flat, "PNG");
    const std::string progressive = folder.file("progressive.jpg");
    ASSERT_TRUE(test::writeProgressiveJpeg(progressive, QSize(1024, 1024), 1));

    struct Row {
        const char* label;
        std::string file;
        QSize fitInto;
        double minScale;
        std::int64_t bound;
        bool ok;
    };
    const Row rows[] = {
        // Qt's readers: 16-bit samples take twice the memory of the picture they become.
        {"16-bit PNG, full", deepPng, QSize(), 1.0, 4 * MiB, false},
        {"16-bit PNG, full, larger bound", deepPng, QSize(), 1.0, 16 * MiB, true},
        {"8-bit PNG, exactly the bound", flatPng, QSize(), 1.0, 4 * MiB, true},
        // TurboJPEG: a quarter turn copies the picture.
        {"turned JPEG, full", orientation + "Landscape_6.jpg", QSize(), 1.0, 12 * MiB, false},
        {"upright JPEG, full", orientation + "Landscape_1.jpg", QSize(), 1.0, 12 * MiB, true},
        {"turned JPEG, fitted", orientation + "Landscape_6.jpg", QSize(900, 900), 0, 12 * MiB, true},
        // A progressive JPEG keeps its coefficients until the last scan, at any output scale.
        {"progressive JPEG, full", progressive, QSize(), 1.0, 5 * MiB, false},
        {"progressive JPEG, fitted", progressive, QSize(256, 256), 0, 5 * MiB, true},
    };
    for (const Row& r : rows) {
        const DecodedPicture d = PictureDecoder::decodeFile(r.file, r.fitInto, r.minScale, r.bound);
        EXPECT_EQ(d.ok, r.ok) << r.label;
        if (d.ok) {
            EXPECT_LE(std::int64_t(d.image.sizeInBytes()), r.bound) << r.label;
        }
    }
}

// Tiny frames on a large canvas: libvips composes each on the whole canvas, so the frames count.
TEST(AnimationBombs, ManyFramesOnALargeCanvasAreRefusedBeforeDecoding)
{
    PhotoFolder folder;
    const std::string bomb = folder.file("bomb.webp"), small = folder.file("small.webp");
    ASSERT_TRUE(test::writeAnimatedWebp(bomb, 2048, 300));
    ASSERT_TRUE(test::writeAnimatedWebp(small, 64, 3));
    EXPECT_FALSE(PictureDecoder::decodeFile(bomb, QSize(800, 800), 0, PictureDecoder::kMaxDecodedBytes).ok);
    const DecodedPicture shown =
        PictureDecoder::decodeFile(small, QSize(800, 800), 0, PictureDecoder::kMaxDecodedBytes);
    EXPECT_TRUE(shown.ok);
    EXPECT_EQ(shown.fullSize, QSize(64, 64));
}

// Only the first frame is shown, and the image information says so.
TEST(AnimationBombs, AnAnimatedWebpIsToldFromAStillOne)
{
    PhotoFolder folder;
    const std::string animated = folder.file("moving.webp"), still = folder.file("still.webp");
    ASSERT_TRUE(test::writeAnimatedWebp(animated, 64, 3));
    // A lossless 1x1 picture in the simple format, without an extended header.
    std::ofstream(still, std::ios::binary)
        .write("RIFF\x1a\0\0\0WEBPVP8L\x0d\0\0\0/\0\0\0\0\x07\x10\x11\xfd\x0f\x44\x44\xff\x03\0", 34);
    EXPECT_TRUE(isAnimatedWebp(animated));
    EXPECT_FALSE(isAnimatedWebp(still));
    EXPECT_FALSE(isAnimatedWebp(folder.file("none.webp")));
}

TEST(ScanBombs, AProgressiveJpegWithTooManyScansIsRefusedBeforeDecoding)
{
    PhotoFolder folder;
    ASSERT_GT(test::progressiveScans(10), PictureDecoder::kMaxScans);
    ASSERT_LT(test::progressiveScans(7), PictureDecoder::kMaxScans);
    ASSERT_TRUE(test::writeProgressiveJpeg(folder.file("bomb.jpg"), QSize(256, 256), 10));
    ASSERT_TRUE(test::writeProgressiveJpeg(folder.file("many.jpg"), QSize(256, 256), 7));

    EXPECT_FALSE(PictureDecoder::decodeFile(folder.file("bomb.jpg"), QSize(800, 600)).ok);
    EXPECT_FALSE(PictureDecoder::decodeFile(folder.file("bomb.jpg"), QSize(), 1.0).ok) << "zoom detail";
    const DecodedPicture many = PictureDecoder::decodeFile(folder.file("many.jpg"), QSize(800, 600));
    EXPECT_TRUE(many.ok);
    EXPECT_EQ(many.fullSize, QSize(256, 256));
}

} // namespace
} // namespace marquelo
