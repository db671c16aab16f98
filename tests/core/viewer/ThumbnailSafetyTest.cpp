// The grid's thumbnails against files that are not what they claim, caches that hold something else,
// and photos the viewer shows in colours or formats a plain loader gets wrong.

#include "ViewerTestFiles.h"
#include "core/viewer/PictureColour.h"
#include "core/viewer/PictureDecoder.h"
#include "core/viewer/ThumbnailCache.h"
#include "core/viewer/ThumbnailLoader.h"
#include "core/viewer/ThumbnailMaker.h"
#include "core/viewer/WorkPools.h"
#include "support/HostilePictures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

namespace marquelo {
namespace {

using test::PhotoFolder;

QByteArray readAll(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const std::string& path, const QByteArray& bytes)
{
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A photo of the test data copied into `folder` under `name`; its path.
std::string copyData(const PhotoFolder& folder, const std::string& data, const std::string& name)
{
    const QByteArray bytes = readAll(test::sourceDir() + "/tests/data/" + data);
    EXPECT_FALSE(bytes.isEmpty()) << data;
    write(folder.file(name), bytes);
    return folder.file(name);
}

// Mean absolute difference per channel of two pictures brought to one small size.
double difference(const QImage& a, const QImage& b)
{
    const QImage x =
        a.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    const QImage y =
        b.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < 32; ++row)
        for (int col = 0; col < 32; ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (32 * 32 * 3);
}

QByteArray le16(quint16 v)
{
    QByteArray out(2, '\0');
    qToLittleEndian(v, out.data());
    return out;
}

QByteArray le32(quint32 v)
{
    QByteArray out(4, '\0');
    qToLittleEndian(v, out.data());
    return out;
}

// A little-endian TIFF declaring `width` x `height` grey pixels in one strip of ten bytes.
QByteArray tiffClaiming(quint32 width, quint32 height)
{
    struct Entry {
        quint16 tag, type;
        quint32 value;
    };
    const Entry entries[] = {{256, 4, width}, {257, 4, height}, {258, 3, 8},      {259, 3, 1}, {262, 3, 1},
                             {273, 4, 200},   {277, 3, 1},      {278, 4, height}, {279, 4, 10}};
    QByteArray t = QByteArray("II*\0", 4) + le32(8) + le16(quint16(std::size(entries)));
    for (const Entry& e : entries)
        t += le16(e.tag) + le16(e.type) + le32(1) + (e.type == 3 ? le16(quint16(e.value)) + le16(0) : le32(e.value));
    t += le32(0);
    t.resize(200, '\0');
    return t + QByteArray(10, '\0');
}

// `jpeg` with an EXIF block whose IFD1 holds `thumbnail` (as cameras store theirs).
QByteArray withCameraThumbnail(const QByteArray& jpeg, const QByteArray& thumbnail)
{
    QByteArray tiff = QByteArray("II*\0", 4) + le32(8) + le16(0) + le32(14); // IFD0 empty, IFD1 after it
    tiff += le16(2) + le16(0x0201) + le16(4) + le32(1) + le32(44) + le16(0x0202) + le16(4) + le32(1) +
            le32(quint32(thumbnail.size())) + le32(0);
    tiff += thumbnail;
    const QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray length(2, '\0');
    qToBigEndian(quint16(app1.size() + 2), length.data());
    return jpeg.left(2) + QByteArray("\xFF\xE1", 2) + length + app1 + jpeg.mid(2);
}

QByteArray jpegOf(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

TEST(ThumbnailsLikeTheViewer, RawPhotosShowTheirPreviewAndNoFailureIsRecorded)
{
    PhotoFolder folder;
    const std::string raw = copyData(folder, "formats/canon_eos_r6_pruned.cr3", "IMG_0001.CR3");
    const DecodedPicture viewer = PictureDecoder::decodeFile(raw, QSize(256, 256));
    ASSERT_TRUE(viewer.ok) << "the viewer shows the RAW's preview";

    const QImage thumb = ThumbnailMaker::make(QByteArray::fromStdString(raw), 256);
    ASSERT_FALSE(thumb.isNull());
    EXPECT_EQ(std::max(thumb.width(), thumb.height()), 256);
    EXPECT_LT(difference(thumb, viewer.image), 4.0);

    QTemporaryDir root;
    const ThumbnailCache cache(root.path());
    {
        ThumbnailLoader loader(cache, 1);
        QImage delivered;
        bool got = false;
        QObject::connect(&loader, &ThumbnailLoader::ready, &loader, [&](const QByteArray&, qint64, const QImage& i) {
            delivered = i;
            got = true;
        });
        loader.request({QByteArray::fromStdString(raw)}, 128);
        QElapsedTimer clock;
        clock.start();
        while (!got && clock.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_TRUE(got);
        EXPECT_FALSE(delivered.isNull()) << "not the no-picture sign";
    }
    const QByteArray uri = ThumbnailCache::uriOf(QByteArray::fromStdString(raw));
    EXPECT_FALSE(QFileInfo::exists(cache.failPathOf(uri)));
    EXPECT_TRUE(QFileInfo::exists(cache.pathOf(uri, ThumbnailSize::Normal)));
}

// The cell reads the RAW's directories and preview only, like the viewer: a RAW with more sensor data
// than a whole read may take (here a sparse gigabyte) still gets its thumbnail, the same one.
TEST(ThumbnailsLikeTheViewer, ARawIsThumbnailedFromItsPreviewWithoutReadingTheSensorData)
{
    PhotoFolder folder;
    const std::string small = copyData(folder, "formats/canon_eos_r6_pruned.cr3", "IMG_0001.CR3");
    const std::string large = copyData(folder, "formats/canon_eos_r6_pruned.cr3", "IMG_0002.CR3");
    const auto before = std::filesystem::file_size(large);
    const std::uint64_t sensor = (std::uint64_t(1) << 30) + (1 << 20);
    QByteArray header(8, '\0');
    qToBigEndian(quint32(sensor + 8), header.data());
    header.replace(4, 4, "mdat", 4);
    {
        QFile file(QString::fromStdString(large));
        ASSERT_TRUE(file.open(QIODevice::Append));
        ASSERT_EQ(file.write(header), 8);
    }
    std::filesystem::resize_file(large, before + 8 + sensor);

    const QImage expected = ThumbnailMaker::make(QByteArray::fromStdString(small), 128);
    const QImage thumb = ThumbnailMaker::make(QByteArray::fromStdString(large), 128);
    ASSERT_FALSE(expected.isNull());
    ASSERT_FALSE(thumb.isNull()) << "thumbnailed from its preview, not refused as too large to read";
    EXPECT_EQ(thumb, expected);
}

TEST(ThumbnailsLikeTheViewer, ColourProfilesAndHdrComeOutInSrgbWhateverTheDisplay)
{
    PhotoFolder folder;
    const std::string swapped = copyData(folder, "formats/bench_oriented_brg_icc.jxl", "swapped.jxl");
    const std::string hdr = copyData(folder, "formats/pixel4a_seine_10bit_pq_rec2020.avif", "hdr.avif");
    write(folder.file("red.jpg"), jpegOf(QSize(800, 600), QColor(250, 10, 10)));

    PictureColour::setDisplayProfile({});
    for (const std::string& path : {swapped, hdr, folder.file("red.jpg")}) {
        // What the viewer shows on an sRGB screen.
        const DecodedPicture viewer = PictureDecoder::decodeFile(path, QSize(256, 256));
        ASSERT_TRUE(viewer.ok) << path;
        const QImage onSrgb = ThumbnailMaker::make(QByteArray::fromStdString(path), 256);
        ASSERT_FALSE(onSrgb.isNull()) << path;
        EXPECT_EQ(onSrgb.size(), viewer.image.size().scaled(256, 256, Qt::KeepAspectRatio)) << path;
        EXPECT_LT(difference(onSrgb, viewer.image), 3.0) << path;

        // Other programs read the shared cache as sRGB: the screen's profile changes nothing.
        PictureColour::setDisplayProfile(QColorSpace(QColorSpace::DisplayP3).iccProfile());
        const QImage onP3 = ThumbnailMaker::make(QByteArray::fromStdString(path), 256);
        PictureColour::setDisplayProfile({});
        EXPECT_LT(difference(onP3, onSrgb), 1.0) << path;
    }
}

TEST(ThumbnailsLikeTheViewer, OnlyWhatTheViewerShowsIsThumbnailedAndNothingIsStarted)
{
    PhotoFolder folder;
    // Programs an image library might start for a RAW name; each leaves a mark when run.
    const QString bin = QString::fromStdString(folder.file("bin"));
    QDir().mkpath(bin);
    const std::string mark = folder.file("started");
    for (const char* name : {"ufraw-batch", "dcraw", "darktable-cli"}) {
        const std::string script = bin.toStdString() + "/" + name;
        write(script, QByteArray("#!/bin/sh\ntouch '") + QByteArray::fromStdString(mark) + "'\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ":" + path);

    QImage small(40, 30, QImage::Format_RGB32);
    small.fill(Qt::darkGreen);
    small.save(QString::fromStdString(folder.file("real.png")), "PNG");
    QByteArray ppm;
    {
        QBuffer buffer(&ppm);
        buffer.open(QIODevice::WriteOnly);
        small.save(&buffer, "PPM");
    }
    write(folder.file("portable.png"), ppm);
    write(folder.file("drawing.nef"), "viewbox 0 0 64 64\nfill red\nrectangle 0 0 63 63\n");
    write(folder.file("notes.png"), "just some text, no picture at all");
    write(folder.file("inflated.tif"), tiffClaiming(6351360, 60000));
    write(folder.file("inflated.jpg"), tiffClaiming(6351360, 60000));

    for (const char* name : {"real.png", "portable.png", "drawing.nef", "notes.png", "inflated.tif", "inflated.jpg"}) {
        const std::string file = folder.file(name);
        const bool shown = PictureDecoder::decodeFile(file, QSize(128, 128)).ok;
        const QImage thumb = ThumbnailMaker::make(QByteArray::fromStdString(file), 128);
        EXPECT_EQ(!thumb.isNull(), shown) << name;
    }
    qputenv("PATH", path);
    EXPECT_TRUE(ThumbnailMaker::make(QByteArray::fromStdString(folder.file("real.png")), 128).width() == 40);
    EXPECT_TRUE(ThumbnailMaker::make(QByteArray::fromStdString(folder.file("inflated.tif")), 128).isNull());
    EXPECT_TRUE(ThumbnailMaker::make(QByteArray::fromStdString(folder.file("drawing.nef")), 128).isNull());
    EXPECT_FALSE(std::filesystem::exists(mark)) << "a program was started for a thumbnail";
}

TEST(ThumbnailMaker, ACameraThumbnailOfTooManyScansIsPassedOver)
{
    PhotoFolder folder;
    const QByteArray photo = jpegOf(QSize(1600, 1200), QColor(30, 90, 200));
    ASSERT_GT(test::progressiveScans(10), PictureDecoder::kMaxScans);
    ASSERT_LT(test::progressiveScans(7), PictureDecoder::kMaxScans);
    for (int refinements : {10, 7}) {
        const std::string smallPath = folder.file("small" + std::to_string(refinements) + ".jpg");
        ASSERT_TRUE(test::writeProgressiveJpeg(smallPath, QSize(160, 120), refinements));
        const QByteArray thumbnail = readAll(smallPath);
        ASSERT_LT(thumbnail.size(), 60000);
        const std::string path = folder.file("scans" + std::to_string(refinements) + ".jpg");
        write(path, withCameraThumbnail(photo, thumbnail));
        ASSERT_EQ(ThumbnailMaker::exifThumbnail(readAll(path)), thumbnail);

        const ThumbnailMaker::Made made = ThumbnailMaker::forCell(QByteArray::fromStdString(path), 128, 128);
        ASSERT_FALSE(made.image.isNull()) << refinements;
        // The refused one leaves the photo itself to be decoded, in its own colours.
        EXPECT_EQ(made.fromCamera, refinements == 7) << refinements;
        EXPECT_EQ(made.image.size(), QSize(128, 96)) << refinements;
    }
}

TEST(ThumbnailMaker, APhotoThatIsAFifoIsNeverOpened)
{
    PhotoFolder folder;
    const test::Fifo fifo(folder.file("photo.jpg"), std::chrono::seconds(5));
    ASSERT_TRUE(fifo.created());
    const test::Fifo raw(folder.file("photo.cr3"), std::chrono::seconds(5));
    EXPECT_TRUE(ThumbnailMaker::make(QByteArray::fromStdString(fifo.path()), 128).isNull());
    EXPECT_TRUE(ThumbnailMaker::make(QByteArray::fromStdString(raw.path()), 128).isNull());
    EXPECT_FALSE(fifo.released());
    EXPECT_FALSE(raw.released());
}

// A cache entry as another program would write it, with the keys of `uri` at `mtime`.
void writeEntry(const QString& path, const QByteArray& uri, std::int64_t mtime, QSize size)
{
    QDir().mkpath(QFileInfo(path).path());
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkMagenta);
    image.setText(QStringLiteral("Thumb::URI"), QString::fromUtf8(uri));
    image.setText(QStringLiteral("Thumb::MTime"), QString::number(mtime));
    ASSERT_TRUE(image.save(path, "PNG"));
}

TEST(ThumbnailCacheEntries, AnEntryLargerThanItsSizeIsPassedOverBeforeDecoding)
{
    QTemporaryDir root;
    const ThumbnailCache cache(root.path());
    const QByteArray uri = ThumbnailCache::uriOf("/photos/a.jpg");
    writeEntry(cache.pathOf(uri, ThumbnailSize::Normal), uri, 1234, QSize(6000, 4000));
    writeEntry(cache.pathOf(uri, ThumbnailSize::Large), uri, 1234, QSize(300, 200));
    EXPECT_FALSE(cache.find(uri, 1234, ThumbnailSize::Normal));
    EXPECT_FALSE(cache.has(uri, 1234, ThumbnailSize::Normal));
    EXPECT_FALSE(cache.find(uri, 1234, ThumbnailSize::Large));

    // Entries within their sizes are used as before, a larger size's scaled down.
    writeEntry(cache.pathOf(uri, ThumbnailSize::Large), uri, 1234, QSize(256, 192));
    const std::optional<QImage> fromLarge = cache.find(uri, 1234, ThumbnailSize::Normal);
    ASSERT_TRUE(fromLarge);
    EXPECT_EQ(fromLarge->size(), QSize(128, 96));
    writeEntry(cache.pathOf(uri, ThumbnailSize::Normal), uri, 1234, QSize(128, 128));
    ASSERT_TRUE(cache.find(uri, 1234, ThumbnailSize::Normal));
    EXPECT_EQ(cache.find(uri, 1234, ThumbnailSize::Normal)->size(), QSize(128, 128));

    // A failure is one pixel; a large picture under fail/ is none of ours.
    writeEntry(cache.failPathOf(uri), uri, 1234, QSize(5000, 5000));
    EXPECT_FALSE(cache.hasFailure(uri, 1234));
    ASSERT_TRUE(cache.storeFailure(uri, 1234));
    EXPECT_TRUE(cache.hasFailure(uri, 1234));
}

TEST(ThumbnailCacheEntries, FifosNamedAsEntriesAreNeverOpened)
{
    QTemporaryDir root;
    const ThumbnailCache cache(root.path());
    const QByteArray uri = ThumbnailCache::uriOf("/photos/a.jpg");
    for (const QString& path : {cache.pathOf(uri, ThumbnailSize::Normal), cache.failPathOf(uri)})
        QDir().mkpath(QFileInfo(path).path());
    const test::Fifo entry(QFile::encodeName(cache.pathOf(uri, ThumbnailSize::Normal)).toStdString(),
                           std::chrono::seconds(5));
    const test::Fifo failure(QFile::encodeName(cache.failPathOf(uri)).toStdString(), std::chrono::seconds(5));
    ASSERT_TRUE(entry.created());
    ASSERT_TRUE(failure.created());
    EXPECT_FALSE(cache.find(uri, 1234, ThumbnailSize::Normal));
    EXPECT_FALSE(cache.has(uri, 1234, ThumbnailSize::Normal));
    EXPECT_FALSE(cache.hasFailure(uri, 1234));
    EXPECT_FALSE(entry.released());
    EXPECT_FALSE(failure.released());
}

// Holds every thumbnail being made until released.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
    bool left = false;
};

TEST(ThumbnailLoader, ItsEndDoesNotWaitForAStuckDecodeNorHearsFromIt)
{
    PhotoFolder folder;
    folder.jpeg("a.jpg", 64, 48);
    QTemporaryDir root;
    const ThumbnailCache cache(root.path());
    auto gate = std::make_shared<Gate>();
    auto maker = [gate](const QByteArray& path, int side, int cell) {
        std::unique_lock lock(gate->mutex);
        gate->entered = true;
        gate->changed.notify_all();
        gate->changed.wait_for(lock, std::chrono::seconds(20), [&] { return gate->open; });
        lock.unlock();
        ThumbnailMaker::Made made = ThumbnailMaker::forCell(path, side, cell);
        lock.lock();
        gate->left = true;
        gate->changed.notify_all();
        return made;
    };
    int delivered = 0;
    auto loader = std::make_unique<ThumbnailLoader>(cache, 1, maker);
    QObject::connect(loader.get(), &ThumbnailLoader::ready, [&delivered] { ++delivered; });
    loader->request({QByteArray::fromStdString(folder.file("a.jpg"))}, 128);
    {
        std::unique_lock lock(gate->mutex);
        ASSERT_TRUE(gate->changed.wait_for(lock, std::chrono::seconds(10), [&] { return gate->entered; }));
    }
    QElapsedTimer clock;
    clock.start();
    loader.reset();
    EXPECT_LT(clock.elapsed(), ThumbnailLoader::kExitPatience.count() + 1000) << "the end waited for the decode";

    // Left behind, the decode ends later without a word to the loader that is gone and writes nothing.
    {
        std::unique_lock lock(gate->mutex);
        gate->open = true;
        gate->changed.notify_all();
        ASSERT_TRUE(gate->changed.wait_for(lock, std::chrono::seconds(10), [&] { return gate->left; }));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(delivered, 0);
    EXPECT_TRUE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());

    // The worker left behind ran on the thumbnails pool, not detached: once it returns, the pool is done.
    EXPECT_TRUE(workpools::finish(std::chrono::seconds(10)));
}

} // namespace
} // namespace marquelo
