// Every way a picture fails to decode keeps its reason, in the words the viewer shows after "Cannot read
// this picture: ".

#include "core/viewer/PictureDecoder.h"
#include "core/viewer/VipsPictureDecoder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <ostream>

// Failures print the reasons as text.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace marquelo::test {
namespace {

QByteArray fileBytes(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    return file.readAll();
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return bytes;
}

QImage filled(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
}

class DecodeReasons : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string write(const char* name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(QLatin1String(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path.toStdString();
    }
};

TEST_F(DecodeReasons, JpegPathSaysWhatIsWrong)
{
    const QByteArray camera = fileBytes(photo("camera/nikon_coolpix_p6000_gps.jpg"));
    ASSERT_GT(camera.size(), 4096);
    // Cut inside its EXIF block, long before the frame header.
    DecodedPicture cut = PictureDecoder::decode(camera.left(3000), QSize(800, 600));
    EXPECT_FALSE(cut.ok);
    EXPECT_EQ(cut.error, QStringLiteral("the file ends early"));

    // 280 megapixels in 1 MB: refused by its header, before a pixel is decoded.
    const DecodedPicture huge =
        PictureDecoder::decode(fileBytes(photo("broken/huge_20000x14000_gray.jpg")), QSize(800, 600));
    EXPECT_FALSE(huge.ok);
    EXPECT_EQ(huge.error, QStringLiteral("the picture is larger than 268 megapixels"));

    // A whole JPEG with nothing between its start and end markers.
    const DecodedPicture empty = PictureDecoder::decode(QByteArray("\xFF\xD8\xFF\xD9", 4), QSize(800, 600));
    EXPECT_FALSE(empty.ok);
    EXPECT_EQ(empty.error, QStringLiteral("the file holds no picture"));

    const DecodedPicture good = PictureDecoder::decode(camera, QSize(800, 600));
    EXPECT_TRUE(good.ok);
    EXPECT_TRUE(good.error.isEmpty()) << good.error.toStdString();
}

TEST_F(DecodeReasons, QtPathSaysWhatIsWrong)
{
    // Text under a photo's name: no decoder takes it.
    const DecodedPicture text = PictureDecoder::decode("just some words, no picture at all", QSize(800, 600));
    EXPECT_FALSE(text.ok);
    EXPECT_EQ(text.error, QStringLiteral("not a picture Marquelo can read"));

    // A BMP (read by Qt's reader, not libvips) larger than the bound allows.
    const QByteArray bmp = encoded(filled(1200, 1000), "BMP");
    const DecodedPicture large = PictureDecoder::decode(bmp, QSize(800, 600), 0, 1000 * 1000 * 4);
    EXPECT_FALSE(large.ok);
    EXPECT_EQ(large.error, QStringLiteral("the picture is larger than 1 megapixels"));

    // Cut inside its header.
    const DecodedPicture cut = PictureDecoder::decode(bmp.left(40), QSize(800, 600));
    EXPECT_FALSE(cut.ok);
    EXPECT_FALSE(cut.error.isEmpty());
}

TEST_F(DecodeReasons, LibvipsPathSaysWhatIsWrong)
{
    if (!VipsPictureDecoder::startLibrary())
        GTEST_SKIP() << "the libvips module is not built";
    const QByteArray png = encoded(filled(1200, 1000), "PNG");
    const DecodedPicture large = PictureDecoder::decode(png, QSize(800, 600), 0, 1000 * 1000 * 4);
    EXPECT_FALSE(large.ok);
    EXPECT_EQ(large.error, QStringLiteral("the picture is larger than 1 megapixels"));

    const DecodedPicture cut = VipsPictureDecoder::decode(png.left(png.size() / 2), QSize(800, 600));
    EXPECT_FALSE(cut.ok);
    EXPECT_FALSE(cut.error.isEmpty());

    const DecodedPicture text = VipsPictureDecoder::decode("no picture here", QSize(800, 600));
    EXPECT_FALSE(text.ok);
    EXPECT_EQ(text.error, QStringLiteral("not a picture Marquelo can read"));
}

TEST_F(DecodeReasons, RawPathSaysWhatIsWrong)
{
    const DecodedPicture words =
        PictureDecoder::decodeFile(write("words.cr3", "no camera wrote this"), QSize(800, 600));
    EXPECT_FALSE(words.ok);
    EXPECT_TRUE(words.error.startsWith(QStringLiteral("the RAW file "))) << words.error.toStdString();

    // A PNG under a RAW name: libexiv2 reads it, but there is no preview in it.
    const DecodedPicture plain =
        PictureDecoder::decodeFile(write("plain.nef", encoded(filled(16, 16), "PNG")), QSize(800, 600));
    EXPECT_FALSE(plain.ok);
    EXPECT_FALSE(plain.error.isEmpty());
}

TEST_F(DecodeReasons, FilesThatCannotBeReadSayWhy)
{
    EXPECT_EQ(PictureDecoder::decodeFile(dir.filePath("gone.jpg").toStdString(), QSize(800, 600)).error,
              QStringLiteral("the file is no longer there"));
    EXPECT_EQ(PictureDecoder::decodeFile(write("empty.jpg", QByteArray()), QSize(800, 600)).error,
              QStringLiteral("the file is empty"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.jpg")));
    EXPECT_EQ(PictureDecoder::decodeFile(dir.filePath("folder.jpg").toStdString(), QSize(800, 600)).error,
              QStringLiteral("it is a folder, not a file"));
    const std::string big = write("big.jpg", QByteArray(4096, 'x'));
    EXPECT_EQ(PictureDecoder::decodeFile(big, QSize(800, 600), 0, 1 << 20).error,
              QStringLiteral("not a picture Marquelo can read"));
    EXPECT_EQ(PictureDecoder::decodeFile(big, QSize(800, 600), 0, 1024).error,
              QStringLiteral("the file is larger than 1 KB"));
}

} // namespace
} // namespace marquelo::test
