#include "core/viewer/ThumbnailCache.h"
#include "ViewerTestFiles.h"
#include "core/viewer/ThumbnailLoader.h"
#include "core/viewer/ThumbnailMaker.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <sys/stat.h>

namespace marquelo {
namespace {

std::int64_t mtimeOf(const std::string& path)
{
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mtim.tv_sec;
}

int modeOf(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return int(info.st_mode & 0777);
}

// Every file below `dir`, relative to it.
QSet<QString> filesBelow(const QString& dir)
{
    QSet<QString> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.insert(QDir(dir).relativeFilePath(it.next()));
    return files;
}

// A thumbnail as another program would write it: plain QImage, the two keys, no temporary file.
void writeForeign(const QString& path, const QByteArray& uri, std::int64_t mtime, QColor colour, QSize size)
{
    QDir().mkpath(QFileInfo(path).path());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.setText(QStringLiteral("Thumb::URI"), QString::fromUtf8(uri));
    image.setText(QStringLiteral("Thumb::MTime"), QString::number(mtime));
    ASSERT_TRUE(image.save(path, "PNG"));
}

// Runs the loader over `paths` and collects what it delivers.
std::map<QByteArray, QImage> loadAll(ThumbnailLoader& loader, const std::vector<QByteArray>& paths, int side)
{
    // Shared with the connection, which may still see deliveries of earlier requests after we return.
    auto got = std::make_shared<std::map<QByteArray, QImage>>();
    const auto connection =
        QObject::connect(&loader, &ThumbnailLoader::ready, &loader,
                         [got, side](const QByteArray& path, qint64, const QImage& image, int madeFor) {
                             if (madeFor == side)
                                 (*got)[path] = image;
                         });
    loader.request(paths, side);
    auto allThere = [&] {
        for (const QByteArray& path : paths)
            if (!got->count(path))
                return false;
        return true;
    };
    QElapsedTimer clock;
    clock.start();
    while (!allThere() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QObject::disconnect(connection);
    std::map<QByteArray, QImage> result;
    for (const QByteArray& path : paths)
        if (got->count(path))
            result[path] = got->at(path);
    return result;
}

// Mean absolute difference per channel of two pictures brought to one small size.
double difference(const QImage& a, const QImage& b)
{
    const QImage x =
        a.scaled(32, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    const QImage y =
        b.scaled(32, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < 48; ++row)
        for (int col = 0; col < 32; ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (32 * 48 * 3);
}

TEST(ThumbnailCache, NamesFollowTheSharedCacheRules)
{
    // The example of the shared cache's own documentation.
    EXPECT_EQ(ThumbnailCache::fileNameOf("file:///home/jens/photos/me.png"),
              QStringLiteral("c6ee772d9e49320e97ec29a7eb5b1697.png"));
    EXPECT_EQ(ThumbnailCache::uriOf("/home/a b/caf\xc3\xa9 #1.jpg"), "file:///home/a%20b/caf%C3%A9%20%231.jpg");
    EXPECT_EQ(ThumbnailCache::uriOf("/p/a+b,c=d&e'(1)!.jpg"), "file:///p/a+b,c=d&e'(1)!.jpg");
    // A name that is not UTF-8 keeps its own bytes, so it never shares its look-alike's thumbnail.
    EXPECT_EQ(ThumbnailCache::uriOf("/p/\xe9.jpg"), "file:///p/%E9.jpg");

    const ThumbnailCache cache(QStringLiteral("/c"));
    EXPECT_EQ(cache.pathOf("file:///home/jens/photos/me.png", ThumbnailSize::Large),
              QStringLiteral("/c/large/c6ee772d9e49320e97ec29a7eb5b1697.png"));
    EXPECT_EQ(thumbnailSizeFor(100), ThumbnailSize::Normal);
    EXPECT_EQ(thumbnailSizeFor(128), ThumbnailSize::Normal);
    EXPECT_EQ(thumbnailSizeFor(129), ThumbnailSize::Large);
    EXPECT_EQ(thumbnailSizeFor(320), ThumbnailSize::XLarge);
    EXPECT_EQ(thumbnailFolderName(ThumbnailSize::XLarge), QStringLiteral("x-large"));

    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", "relative/path");
    EXPECT_EQ(ThumbnailCache().root(), QDir::homePath() + QStringLiteral("/.cache/thumbnails"));
    qputenv("XDG_CACHE_HOME", "/x/cache");
    EXPECT_EQ(ThumbnailCache().root(), QStringLiteral("/x/cache/thumbnails"));
    qputenv("XDG_CACHE_HOME", saved);
}

TEST(ThumbnailCache, AForeignThumbnailIsReusedOnlyWhileItMatchesTheFile)
{
    QTemporaryDir dir;
    const ThumbnailCache cache(dir.path() + QStringLiteral("/thumbnails"));
    const QByteArray uri = "file:///photos/a.jpg";

    writeForeign(cache.pathOf(uri, ThumbnailSize::Large), uri, 1000, Qt::red, QSize(256, 170));
    auto found = cache.find(uri, 1000, ThumbnailSize::Large);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->size(), QSize(256, 170));
    EXPECT_EQ(QColor(found->pixel(10, 10)), QColor(Qt::red));
    // A larger size serves a smaller one; a smaller never serves a larger.
    EXPECT_EQ(cache.find(uri, 1000, ThumbnailSize::Normal)->size(), QSize(128, 85));
    EXPECT_FALSE(cache.find(uri, 1000, ThumbnailSize::XLarge));
    // The look-up without pixels agrees.
    EXPECT_TRUE(cache.has(uri, 1000, ThumbnailSize::Normal));
    EXPECT_TRUE(cache.has(uri, 1000, ThumbnailSize::Large));
    EXPECT_FALSE(cache.has(uri, 1000, ThumbnailSize::XLarge));
    EXPECT_FALSE(cache.has(uri, 1001, ThumbnailSize::Large));

    EXPECT_FALSE(cache.find(uri, 1001, ThumbnailSize::Large)) << "the file changed since";
    EXPECT_FALSE(cache.find("file:///photos/b.jpg", 1000, ThumbnailSize::Large)) << "no entry";
    // An entry whose URI is another file's (an MD5 collision or a hand-copied file) is not this file's.
    writeForeign(cache.pathOf("file:///photos/c.jpg", ThumbnailSize::Large), "file:///photos/d.jpg", 1000, Qt::red,
                 QSize(10, 10));
    EXPECT_FALSE(cache.find("file:///photos/c.jpg", 1000, ThumbnailSize::Large));

    // Not a PNG at all, or an empty file: no thumbnail, no crash.
    for (const QByteArray& junk : {QByteArray("\xff\xd8\xff\xe0 a jpeg pretending"), QByteArray()}) {
        QFile file(cache.pathOf(uri, ThumbnailSize::Large));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(junk);
        file.close();
        EXPECT_FALSE(cache.find(uri, 1000, ThumbnailSize::Large));
        EXPECT_FALSE(cache.has(uri, 1000, ThumbnailSize::Large));
    }
}

TEST(ThumbnailCache, StoresPrivatelyAndAtomically)
{
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/cache/thumbnails");
    const ThumbnailCache cache(root);
    const QByteArray uri = "file:///photos/a.jpg";
    QImage image(128, 96, QImage::Format_RGB32);
    image.fill(Qt::blue);

    ASSERT_TRUE(cache.store(uri, 42, image, ThumbnailSize::Normal));
    EXPECT_EQ(modeOf(root), 0700);
    EXPECT_EQ(modeOf(root + QStringLiteral("/normal")), 0700);
    EXPECT_EQ(modeOf(cache.pathOf(uri, ThumbnailSize::Normal)), 0600);
    EXPECT_EQ(filesBelow(root), QSet<QString>{QStringLiteral("normal/") + ThumbnailCache::fileNameOf(uri)})
        << "no temporary file is left";
    const QImage back(cache.pathOf(uri, ThumbnailSize::Normal), "PNG");
    EXPECT_EQ(back.text(QStringLiteral("Thumb::URI")), QStringLiteral("file:///photos/a.jpg"));
    EXPECT_EQ(back.text(QStringLiteral("Thumb::MTime")), QStringLiteral("42"));

    // A stale entry is replaced in place.
    ASSERT_TRUE(cache.store(uri, 43, image, ThumbnailSize::Normal));
    EXPECT_FALSE(cache.find(uri, 42, ThumbnailSize::Normal));
    EXPECT_TRUE(cache.find(uri, 43, ThumbnailSize::Normal));

    // Failures are recorded per version of the file.
    EXPECT_FALSE(cache.hasFailure(uri, 43));
    ASSERT_TRUE(cache.storeFailure(uri, 43));
    EXPECT_TRUE(cache.hasFailure(uri, 43));
    EXPECT_FALSE(cache.hasFailure(uri, 44));
    EXPECT_TRUE(cache.failPathOf(uri).startsWith(root + QStringLiteral("/fail/")));
}

TEST(ThumbnailCache, AnUnwritableCacheFailsWithoutWritingElsewhere)
{
    QTemporaryDir dir;
    // A file where the cache folder should be: every folder below it fails, even for root.
    QFile blocker(dir.path() + QStringLiteral("/blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const ThumbnailCache cache(dir.path() + QStringLiteral("/blocked/thumbnails"));
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::green);
    EXPECT_FALSE(cache.store("file:///a.jpg", 1, image, ThumbnailSize::Normal));
    EXPECT_FALSE(cache.storeFailure("file:///a.jpg", 1));
    EXPECT_EQ(filesBelow(dir.path()), QSet<QString>{QStringLiteral("blocked")});
}

TEST(ThumbnailMaker, ThumbnailsAreUprightAndFitTheirSize)
{
    const std::string folder = test::photo("orientation") + "/";
    const QImage reference = ThumbnailMaker::make(QByteArray::fromStdString(folder + "Landscape_1.jpg"), 256);
    ASSERT_EQ(reference.width(), 256);
    EXPECT_NEAR(reference.height(), 171, 1);
    for (int orientation = 0; orientation <= 8; ++orientation) {
        const std::string name = folder + "Portrait_" + std::to_string(orientation) + ".jpg";
        const QImage thumb = ThumbnailMaker::make(QByteArray::fromStdString(name), 128);
        ASSERT_FALSE(thumb.isNull()) << name;
        EXPECT_EQ(thumb.size(), QSize(85, 128)) << name;
    }
    const QImage portraitTop = ThumbnailMaker::make(QByteArray::fromStdString(folder + "Portrait_1.jpg"), 128);
    const double wrongWay = difference(portraitTop, portraitTop.mirrored(true, true));
    ASSERT_GT(wrongWay, 10.0);
    for (int orientation = 2; orientation <= 8; ++orientation) {
        const QImage turned = ThumbnailMaker::make(
            QByteArray::fromStdString(folder + "Portrait_" + std::to_string(orientation) + ".jpg"), 128);
        EXPECT_LT(difference(turned, portraitTop), wrongWay / 3) << "orientation " << orientation;
    }
}

TEST(ThumbnailMaker, UsesTheCameraThumbnailOnlyWhenItIsLargeEnough)
{
    MARQUELO_NEED_CORPUS();
    const QDir camera(QString::fromStdString(test::corpusDir() + "/camera"));
    int withExif = 0;
    for (const QString& name : camera.entryList({QStringLiteral("*.jpg")})) {
        QFile file(camera.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QByteArray exif = ThumbnailMaker::exifThumbnail(bytes);
        if (exif.isEmpty())
            continue;
        ++withExif;
        EXPECT_FALSE(QImage::fromData(exif, "jpeg").isNull()) << name.toStdString();
        // Larger than any camera thumbnail: the photo itself is decoded, so the size is exact.
        const QImage big = ThumbnailMaker::fromJpeg(bytes, 512);
        ASSERT_FALSE(big.isNull()) << name.toStdString();
        EXPECT_EQ(std::max(big.width(), big.height()), 512) << name.toStdString();
    }
    EXPECT_GT(withExif, 3) << "the camera corpus carries EXIF thumbnails";
    // Cut-off and garbage EXIF blocks are refused, never read past the end.
    QByteArray cut("\xff\xd8\xff\xe1\x00\x20"
                   "Exif\0\0"
                   "II*\0\x08\0\0\0\xff\xff",
                   22);
    EXPECT_TRUE(ThumbnailMaker::exifThumbnail(cut).isEmpty());
    EXPECT_TRUE(ThumbnailMaker::exifThumbnail(QByteArray("\xff\xd8\xff", 3)).isEmpty());
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(ThumbnailMaker, ACameraThumbnailThatCoversTheCellIsUsedUprightButNotStored)
{
    MARQUELO_NEED_CORPUS();
    const QDir camera(QString::fromStdString(test::corpusDir() + "/camera"));
    // 3264 x 2448 turned a quarter (orientation 6), with a 160 x 120 camera thumbnail.
    const QByteArray phone = QFile::encodeName(camera.filePath(QStringLiteral("apple_iphone4s.jpg")));
    const ThumbnailMaker::Made forCell = ThumbnailMaker::forCell(phone, 256, 160);
    ASSERT_FALSE(forCell.image.isNull());
    EXPECT_TRUE(forCell.fromCamera);
    EXPECT_FALSE(forCell.fullSize) << "160 pixels are not the 256 a shared cache entry must have";
    EXPECT_EQ(forCell.image.size(), QSize(120, 160));
    // A larger cell needs the photo itself; both ways give the same upright picture.
    const ThumbnailMaker::Made decoded = ThumbnailMaker::forCell(phone, 256, 256);
    EXPECT_FALSE(decoded.fromCamera);
    EXPECT_TRUE(decoded.fullSize);
    EXPECT_EQ(decoded.image.size(), QSize(192, 256));
    EXPECT_LT(difference(forCell.image, decoded.image), 12.0);
    EXPECT_GT(difference(forCell.image, decoded.image.mirrored(true, true)), 20.0);

    // A camera thumbnail of 512 x 384 covers the cache size too: stored like a decoded one.
    const ThumbnailMaker::Made big =
        ThumbnailMaker::forCell(QFile::encodeName(camera.filePath(QStringLiteral("motorola_moto_g.jpg"))), 256, 160);
    EXPECT_TRUE(big.fromCamera);
    EXPECT_TRUE(big.fullSize);
    EXPECT_EQ(big.image.size(), QSize(256, 192));
    // A 3:2 photo whose camera thumbnail is letterboxed to 4:3 (orientation 6): the bars are cut off,
    // and what is left is the same picture as the photo's own, bars nowhere.
    const QByteArray dslr = QFile::encodeName(camera.filePath(QStringLiteral("canon_eos1000d.jpg")));
    const ThumbnailMaker::Made barsCut = ThumbnailMaker::forCell(dslr, 256, 160);
    EXPECT_TRUE(barsCut.fromCamera);
    EXPECT_EQ(barsCut.image.height(), 160);
    EXPECT_NEAR(barsCut.image.width(), 106, 1);
    const QImage dslrDecoded = ThumbnailMaker::forCell(dslr, 256, 256).image;
    EXPECT_LT(difference(barsCut.image, dslrDecoded), 12.0);
    for (const int x : {0, 1, barsCut.image.width() - 2, barsCut.image.width() - 1}) {
        int dark = 0;
        for (int y = 0; y < barsCut.image.height(); ++y)
            dark += qGray(barsCut.image.pixel(x, y)) < 20;
        EXPECT_LT(dark, barsCut.image.height() / 2) << "a bar left at column " << x;
    }
    // A portrait photo whose camera thumbnail is a landscape one has no bars to cut: decoded.
    const ThumbnailMaker::Made squeezed =
        ThumbnailMaker::forCell(QFile::encodeName(camera.filePath(QStringLiteral("epson_photopc3000z.jpg"))), 256, 160);
    ASSERT_FALSE(squeezed.image.isNull());
    EXPECT_FALSE(squeezed.fromCamera);
    EXPECT_EQ(squeezed.image.size(), QSize(192, 256));
}

TEST(ThumbnailMaker, PhotosWithLongHeadsOrCutShortAreReadSafely)
{
    test::PhotoFolder folder;
    const QByteArray photo =
        readAll(QString::fromStdString(test::photo("camera/kodak_pixpro_fz201.jpg"))); // 160 x 120 camera thumbnail
    ASSERT_FALSE(photo.isEmpty());
    // Four 60 KB application segments after the start: the frame header lies beyond the first read.
    QByteArray padded = photo.left(2);
    for (int i = 0; i < 4; ++i) {
        padded += QByteArray("\xff\xef\xea\x60", 4); // APP15, 60000 bytes with the length
        padded += QByteArray(60000 - 2, 'x');
    }
    padded += photo.mid(2);
    const std::string paddedPath = folder.file("padded.jpg");
    QFile out(QString::fromStdString(paddedPath));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(padded);
    out.close();
    const ThumbnailMaker::Made made = ThumbnailMaker::forCell(QByteArray::fromStdString(paddedPath), 256, 160);
    ASSERT_FALSE(made.image.isNull());
    EXPECT_EQ(made.image.size(), QSize(160, 120));

    // Cut inside the head, inside the picture, or empty: a thumbnail that fits, or none; never a crash.
    for (const qsizetype length : {qsizetype(0), qsizetype(3), qsizetype(200), qsizetype(9000), photo.size() / 2}) {
        const std::string cutPath = folder.file("cut" + std::to_string(length) + ".jpg");
        QFile cut(QString::fromStdString(cutPath));
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(photo.left(length));
        cut.close();
        const ThumbnailMaker::Made part = ThumbnailMaker::forCell(QByteArray::fromStdString(cutPath), 256, 256);
        EXPECT_LE(std::max(part.image.width(), part.image.height()), 256) << length;
    }
}

TEST(ThumbnailLoader, RequestsPastTheDeliveredOnesOnlyFillTheSharedCache)
{
    test::PhotoFolder photos;
    std::vector<QByteArray> paths;
    for (int i = 0; i < 6; ++i) {
        photos.jpeg("p" + std::to_string(i) + ".jpg", 400, 300, QColor::fromHsv(i * 60, 255, 200));
        paths.push_back(QByteArray::fromStdString(photos.file("p" + std::to_string(i) + ".jpg")));
    }
    QTemporaryDir dir;
    const ThumbnailCache cache(dir.path());
    ThumbnailLoader loader{cache, 2};
    std::vector<QByteArray> delivered, prepared;
    QObject::connect(&loader, &ThumbnailLoader::ready, &loader,
                     [&](const QByteArray& path, qint64, const QImage&, int) { delivered.push_back(path); });
    QObject::connect(&loader, &ThumbnailLoader::prepared, &loader,
                     [&](const QByteArray& path, qint64 mtimeNs, int side) {
                         EXPECT_GT(mtimeNs, 0);
                         EXPECT_EQ(side, 128);
                         prepared.push_back(path);
                     });
    loader.request(paths, 128, 2);
    QElapsedTimer clock;
    clock.start();
    while ((loader.pending() > 0 || delivered.size() + prepared.size() < paths.size()) && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::sort(delivered.begin(), delivered.end());
    EXPECT_EQ(delivered, std::vector<QByteArray>(paths.begin(), paths.begin() + 2));
    EXPECT_EQ(prepared.size(), 4u);
    for (const QByteArray& path : paths)
        EXPECT_TRUE(cache.has(ThumbnailCache::uriOf(path), mtimeOf(path.toStdString()), ThumbnailSize::Normal))
            << path.constData();

    // Asked again, the stored ones are found without making anything: the cache's files stay as they were.
    const QSet<QString> before = filesBelow(dir.path());
    prepared.clear();
    loader.request(paths, 128, 0);
    clock.restart();
    while (prepared.size() < paths.size() && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(prepared.size(), paths.size());
    EXPECT_EQ(filesBelow(dir.path()), before);
}

TEST(ThumbnailLoader, BrokenFilesGiveNoThumbnailAndAreRecordedAsFailures)
{
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/thumbnails");
    const QDir broken(QString::fromStdString(test::photoFolder("broken")));
    std::vector<QByteArray> paths;
    for (const QString& name : broken.entryList(QDir::Files))
        paths.push_back(QFile::encodeName(broken.filePath(name)));
    paths.push_back(QFile::encodeName(dir.path() + QStringLiteral("/gone.jpg")));

    ThumbnailLoader loader{ThumbnailCache(root)};
    const auto got = loadAll(loader, paths, 128);
    ASSERT_EQ(got.size(), paths.size());
    EXPECT_EQ(loader.pending(), 0);
    EXPECT_TRUE(got.at(paths.back()).isNull());
    int failed = 0;
    for (const auto& [path, image] : got) {
        failed += image.isNull();
        if (!image.isNull()) {
            EXPECT_LE(std::max(image.width(), image.height()), 128) << path.constData();
        }
    }
    EXPECT_GT(failed, 5);
    // Only the cache's own folders were written to.
    for (const QString& file : filesBelow(root))
        EXPECT_TRUE(file.startsWith(QStringLiteral("normal/")) || file.startsWith(QStringLiteral("fail/marquelo/")))
            << file.toStdString();
    EXPECT_EQ(filesBelow(dir.path()).size(), filesBelow(root).size());
    const ThumbnailCache cache(root);
    EXPECT_TRUE(cache.hasFailure(ThumbnailCache::uriOf(paths.front()), mtimeOf(paths.front().toStdString())) ||
                !got.at(paths.front()).isNull());
}

TEST(ThumbnailLoader, RemakesAStaleOrBrokenEntryAndReusesAValidOne)
{
    test::PhotoFolder photos;
    photos.jpeg("a.jpg", 600, 400, Qt::darkCyan);
    photos.jpeg("b.jpg", 600, 400, Qt::darkCyan);
    QTemporaryDir dir;
    const ThumbnailCache cache(dir.path() + QStringLiteral("/thumbnails"));
    const QByteArray a = QByteArray::fromStdString(photos.file("a.jpg"));
    const QByteArray b = QByteArray::fromStdString(photos.file("b.jpg"));
    // a: a valid thumbnail of another program (red, although the photo is cyan): reused as it is.
    writeForeign(cache.pathOf(ThumbnailCache::uriOf(a), ThumbnailSize::Normal), ThumbnailCache::uriOf(a),
                 mtimeOf(photos.file("a.jpg")), Qt::red, QSize(128, 85));
    // b: stale (made of an older version), so remade from the photo.
    writeForeign(cache.pathOf(ThumbnailCache::uriOf(b), ThumbnailSize::Normal), ThumbnailCache::uriOf(b),
                 mtimeOf(photos.file("b.jpg")) - 5, Qt::red, QSize(128, 85));

    ThumbnailLoader loader{cache, 1};
    const auto got = loadAll(loader, {a, b}, 128);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(QColor(got.at(a).pixel(5, 5)), QColor(Qt::red));
    const QColor remade = got.at(b).pixelColor(5, 5);
    EXPECT_LT(std::abs(remade.green() - QColor(Qt::darkCyan).green()), 8);
    EXPECT_TRUE(cache.find(ThumbnailCache::uriOf(b), mtimeOf(photos.file("b.jpg")), ThumbnailSize::Normal));

    // A cell smaller than the cache size gets the thumbnail scaled to it.
    const auto small = loadAll(loader, {a}, 64);
    EXPECT_EQ(small.at(a).width(), 64);
}

TEST(ThumbnailLoader, AnUnwritableCacheStillDeliversThumbnails)
{
    test::PhotoFolder photos;
    photos.jpeg("a.jpg", 300, 200);
    QTemporaryDir dir;
    QFile blocker(dir.path() + QStringLiteral("/blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ThumbnailLoader loader{ThumbnailCache(dir.path() + QStringLiteral("/blocked/thumbnails"))};
    const QByteArray a = QByteArray::fromStdString(photos.file("a.jpg"));
    const auto got = loadAll(loader, {a}, 128);
    ASSERT_EQ(got.count(a), 1u);
    EXPECT_EQ(got.at(a).size(), QSize(128, 85));
}

TEST(ThumbnailLoader, ANewRequestReplacesTheWaitingOnes)
{
    test::PhotoFolder photos;
    std::vector<QByteArray> many;
    for (int i = 0; i < 40; ++i) {
        photos.jpeg("p" + std::to_string(i) + ".jpg", 800, 600);
        many.push_back(QByteArray::fromStdString(photos.file("p" + std::to_string(i) + ".jpg")));
    }
    QTemporaryDir dir;
    ThumbnailLoader loader{ThumbnailCache(dir.path()), 2};
    loader.request(many, 128);
    const auto got = loadAll(loader, {many.back()}, 128);
    EXPECT_EQ(got.count(many.back()), 1u);
    // Destroying the loader while it works joins its workers without delivering to anyone.
    auto busy = std::make_unique<ThumbnailLoader>(ThumbnailCache(dir.path() + QStringLiteral("/2")), 2);
    busy->request(many, 256);
    busy.reset();
}

} // namespace
} // namespace marquelo
