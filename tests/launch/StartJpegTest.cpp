// The front's decode of the start photo must look as the viewer's will, a moment later, in the same
// place: otherwise the hand-over shows. And it must take any file named on the command line calmly.
#include "launch/StartJpeg.h"

#include "core/viewer/EarlyWindowPlan.h"
#include "media/RegularFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace marquelo {
namespace {

struct FrontPicture {
    StartJpegInfo info;
    QImage picture; // upright, in its place's size
    std::string error;
    // Every pixel of the place is handed on once.
    qint64 pixelsHandedOn = 0;
};

// The photo at `path` as the front puts it on a screen of `screen`.
FrontPicture decodeAsTheFront(const std::string& path, QSize screen)
{
    FrontPicture front;
    const media::RegularFile file(path);
    front.info = readStartJpeg(media::readHead(file.fd(), 256 * 1024));
    if (!front.info.skipped.empty())
        return front;
    const QRect place = earlyPictureRect(screen, QSize(front.info.fullWidth, front.info.fullHeight));
    front.picture = QImage(place.size(), QImage::Format_RGB32);
    front.picture.fill(Qt::magenta);
    front.error =
        decodeForPlace(file.fd(), front.info, place.width(), place.height(),
                       [&front](int left, int top, int width, int height, const std::uint32_t* pixels) {
                           for (int y = 0; y < height; ++y)
                               std::copy_n(pixels + std::size_t(y) * std::size_t(width), width,
                                           reinterpret_cast<std::uint32_t*>(front.picture.scanLine(top + y)) + left);
                           front.pixelsHandedOn += qint64(width) * height;
                       });
    return front;
}

// The mean difference per channel of two pictures of one size.
double meanDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

std::string saved(const QTemporaryDir& dir, const QImage& image, const char* name)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    EXPECT_TRUE(image.save(path, "JPEG", 90));
    return path.toStdString();
}

TEST(StartJpeg, LooksAsTheViewerShowsIt)
{
    std::vector<std::string> photos;
    for (const auto& entry : std::filesystem::directory_iterator(test::dataDir() + "/camera"))
        photos.push_back(entry.path().string());
    // Turned every way: each must come out upright.
    for (const char* name :
         {"Landscape_2.jpg", "Landscape_3.jpg", "Landscape_4.jpg", "Landscape_5.jpg", "Landscape_6.jpg",
          "Landscape_7.jpg", "Landscape_8.jpg", "Portrait_5.jpg", "Portrait_8.jpg"})
        photos.push_back(test::dataDir() + "/orientation/" + name);
    for (const std::string& path : photos) {
        SCOPED_TRACE(path);
        const FrontPicture front = decodeAsTheFront(path, QSize(1280, 720));
        ASSERT_EQ(front.info.skipped, "");
        ASSERT_EQ(front.error, "");
        EXPECT_EQ(front.pixelsHandedOn, qint64(front.picture.width()) * front.picture.height());
        QImageReader reader(QString::fromStdString(path));
        reader.setAutoTransform(true);
        const QImage viewer = reader.read()
                                  .convertToFormat(QImage::Format_RGB32)
                                  .scaled(front.picture.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        EXPECT_EQ(QSize(front.info.fullWidth, front.info.fullHeight),
                  reader.size().transposed().isValid() && front.info.orientation.swapsSides()
                      ? reader.size().transposed()
                      : reader.size());
        EXPECT_LT(meanDifference(front.picture, viewer), 2.5);
    }
}

TEST(StartJpeg, LeavesToTheProgramWhatItCannotShowAlike)
{
    QTemporaryDir dir;
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(qRgb(200, 30, 60));
    image.setColorSpace(QColorSpace::SRgb);
    EXPECT_EQ(decodeAsTheFront(saved(dir, image, "srgb.jpg"), QSize(640, 480)).info.skipped, "");
    image.setColorSpace(QColorSpace::DisplayP3);
    EXPECT_EQ(decodeAsTheFront(saved(dir, image, "p3.jpg"), QSize(640, 480)).info.skipped,
              "the photo has a colour profile other than sRGB");
    EXPECT_EQ(decodeAsTheFront(test::dataDir() + "/broken/cmyk_sharp_no_profile.jpg", QSize(640, 480)).info.skipped,
              "the photo is not in RGB, YCbCr or grey");
    image.save(dir.filePath(QStringLiteral("png.jpg")), "PNG");
    EXPECT_EQ(decodeAsTheFront(dir.filePath(QStringLiteral("png.jpg")).toStdString(), QSize(640, 480)).info.skipped,
              "not a JPEG file");
}

TEST(StartJpeg, TakesTheScaleWithVectorCodeThatStillCovers)
{
    EXPECT_EQ(eighthsToCover(5760, 3840, 1593, 1062), 4); // three eighths would do, a half is faster
    EXPECT_EQ(eighthsToCover(5760, 3840, 1440, 960), 2);
    EXPECT_EQ(eighthsToCover(5760, 3840, 1441, 960), 4);
    EXPECT_EQ(eighthsToCover(640, 480, 640, 480), 8);
    EXPECT_EQ(eighthsToCover(4000, 100, 500, 100), 8);    // the short side decides
    EXPECT_EQ(eighthsToCover(8001, 8001, 1001, 1001), 1); // 1000.1 rounds up, as libjpeg rounds
    EXPECT_EQ(eighthsToCover(8001, 8001, 1002, 1001), 2);
}

TEST(StartJpeg, BrokenFilesEndWithAReasonOrAWholePicture)
{
    for (const auto& entry : std::filesystem::directory_iterator(test::dataDir() + "/broken")) {
        SCOPED_TRACE(entry.path().string());
        const FrontPicture front = decodeAsTheFront(entry.path().string(), QSize(320, 240));
        if (!front.info.skipped.empty())
            continue;
        if (front.error.empty()) {
            EXPECT_EQ(front.pixelsHandedOn, qint64(front.picture.width()) * front.picture.height());
        }
    }
    // Cut in the middle of its scan: libjpeg shows what it has, as the viewer does.
    QTemporaryDir dir;
    const std::string whole = test::fileBytes(test::dataDir() + "/camera/canon_eos5d.jpg");
    const std::string cut = dir.filePath(QStringLiteral("cut.jpg")).toStdString();
    test::writeFileBytes(cut, whole.substr(0, whole.size() / 2));
    const FrontPicture front = decodeAsTheFront(cut, QSize(320, 240));
    EXPECT_EQ(front.error, "");
    EXPECT_EQ(front.pixelsHandedOn, qint64(front.picture.width()) * front.picture.height());
}

} // namespace
} // namespace marquelo
