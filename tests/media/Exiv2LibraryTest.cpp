#include "media/Exiv2Library.h"
#include "media/RegularFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>

#include <fstream>
#include <sys/stat.h>

namespace marquelo::media {
namespace {

std::vector<unsigned char> bytesOf(const std::string& path)
{
    const FileBytes file = readRegularFile(path, 64u << 20);
    EXPECT_TRUE(file.ok) << path << ": " << file.error;
    return file.bytes;
}

// A RAW file's preview is the same whether the file is read first or opened in place: its largest
// embedded JPEG, which decodes at the camera's preview size.
TEST(Exiv2Library, LargestRawPreviewFromBytesAndFromPath)
{
    const std::string raw = test::photo("formats/canon_eos_r6_pruned.cr3");
    const std::vector<unsigned char> bytes = bytesOf(raw);
    const RawPreview fromBytes = largestRawPreview(bytes.data(), bytes.size());
    ASSERT_FALSE(fromBytes.bytes.empty()) << fromBytes.error;
    EXPECT_TRUE(fromBytes.error.empty());
    EXPECT_EQ(fromBytes.orientation, 1);
    const QImage preview = QImage::fromData(fromBytes.bytes.data(), int(fromBytes.bytes.size()), "JPEG");
    EXPECT_EQ(preview.size(), QSize(1620, 1080));

    const RawPreview fromPath = largestRawPreview(raw);
    EXPECT_EQ(fromPath.bytes, fromBytes.bytes);
    EXPECT_EQ(fromPath.orientation, fromBytes.orientation);
}

// Whatever libexiv2 throws on becomes a reason, never an exception: damage, a file cut short, nothing
// at all, and a FIFO named like a RAW file, which is refused without being opened (it would block).
TEST(Exiv2Library, FailuresComeBackWithTheirReason)
{
    const std::vector<unsigned char> raw = bytesOf(test::photo("formats/canon_eos_r6_pruned.cr3"));
    const std::string garbage = "not a picture at all, though named like one";
    for (const auto& [what, data, size] :
         {std::tuple<const char*, const void*, std::size_t>{"garbage", garbage.data(), garbage.size()},
          {"cut short", raw.data(), raw.size() / 4},
          {"empty", raw.data(), 0}}) {
        SCOPED_TRACE(what);
        const MetadataImage opened = openMetadata(data, size);
        EXPECT_TRUE(opened || !opened.error.empty());
        const RawPreview preview = largestRawPreview(data, size);
        EXPECT_TRUE(preview.bytes.empty());
        EXPECT_FALSE(preview.error.empty());
    }

    QTemporaryDir dir;
    const std::string fifo = dir.filePath("IMG_0001.CR3").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const MetadataImage refused = openMetadataFile(fifo);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.error, "not a regular file");
    EXPECT_FALSE(largestRawPreview(fifo).error.empty());
    EXPECT_FALSE(openMetadataFile(dir.filePath("missing.cr3").toStdString()));
}

// The EXIF values the program shows, read with their counts and denominators checked: a value with
// fewer parts than asked for, a zero denominator and an orientation out of 1..8 read as missing.
TEST(Exiv2Library, ExifValuesAreCheckedBeforeUse)
{
    startExiv2();
    Exiv2::ExifData exif;
    EXPECT_EQ(exifOrientation(exif), 1);
    EXPECT_FALSE(exifText(exif, "Exif.Image.Model"));
    exif["Exif.Image.Model"] = std::string("EOS R6");
    exif["Exif.Image.Orientation"] = std::uint16_t(6);
    exif["Exif.Photo.FNumber"] = Exiv2::Rational(28, 10);
    exif["Exif.Photo.ExposureTime"] = Exiv2::Rational(1, 0);
    Exiv2::URationalValue gps;
    gps.read("48/1 51/1");
    exif["Exif.GPSInfo.GPSLatitude"] = gps;
    EXPECT_EQ(exifText(exif, "Exif.Image.Model"), "EOS R6");
    EXPECT_EQ(exifOrientation(exif), 6);
    EXPECT_EQ(exifRational(exif, "Exif.Photo.FNumber"), 2.8);
    EXPECT_FALSE(exifRational(exif, "Exif.Photo.ExposureTime"));
    EXPECT_EQ(exifRational(exif, "Exif.GPSInfo.GPSLatitude", 1), 51.0);
    EXPECT_FALSE(exifRational(exif, "Exif.GPSInfo.GPSLatitude", 2));
    EXPECT_FALSE(exifRational(exif, "Exif.GPSInfo.GPSLatitude", -1));
    EXPECT_FALSE(exifText(exif, "Exif.NoSuchGroup.Model")); // libexiv2 throws on unknown keys
    exif["Exif.Image.Orientation"] = std::uint16_t(9);
    EXPECT_EQ(exifOrientation(exif), 1);
}

} // namespace
} // namespace marquelo::media
