#include "media/Exiv2Library.h"
#include "media/RegularFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>

#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <utility>

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

// Counts what a RAW preview read takes from the file; may act once, part-way, as another program would.
struct CountingWatch : ReadWatch {
    std::uint64_t bytes = 0;
    std::function<void()> midway;
    void reading(std::uint64_t, std::size_t count) override
    {
        bytes += count;
        if (midway)
            std::exchange(midway, nullptr)();
    }
};

std::string writeFile(const QTemporaryDir& dir, const char* name, const std::vector<unsigned char>& bytes)
{
    const std::string path = dir.filePath(name).toStdString();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

RawPreview previewOfFile(const std::string& path, CountingWatch& watch)
{
    const RegularFile file(path);
    EXPECT_TRUE(file.isOpen()) << file.error();
    return largestRawPreview(file.fd(), file.size(), &watch);
}

void appendBig32(std::vector<unsigned char>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

void appendLittle(std::vector<unsigned char>& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// A CR3 as a camera writes it: the pruned sample's boxes followed by its sensor data (here zeros),
// which is most of the file and never needed for the preview.
std::vector<unsigned char> cr3WithSensorData(std::uint32_t sensorBytes)
{
    std::vector<unsigned char> file = bytesOf(test::photo("formats/canon_eos_r6_pruned.cr3"));
    appendBig32(file, sensorBytes + 8);
    file.insert(file.end(), {'m', 'd', 'a', 't'});
    file.resize(file.size() + sensorBytes);
    return file;
}

// A Canon CRW (CIFF): header, sensor data, the preview JPEG, a heap holding the picture's details with
// its turn, and the top directory at the end.
std::vector<unsigned char> crwFile(const std::vector<unsigned char>& jpeg, std::int32_t rotation,
                                   std::uint32_t sensorBytes)
{
    std::vector<unsigned char> file = {'I', 'I'};
    appendLittle(file, 26, 4);
    file.insert(file.end(), {'H', 'E', 'A', 'P', 'C', 'C', 'D', 'R'});
    appendLittle(file, 0x00010002, 4);
    file.resize(26, 0);
    const std::uint32_t heap = 26;
    const std::uint32_t sensorAt = std::uint32_t(file.size()) - heap;
    file.resize(file.size() + sensorBytes, 0x55);
    const std::uint32_t jpegAt = std::uint32_t(file.size()) - heap;
    file.insert(file.end(), jpeg.begin(), jpeg.end());
    // The details heap: one ImageInfo record (width, height, aspect, rotation, ...) and its directory.
    const std::uint32_t subAt = std::uint32_t(file.size()) - heap;
    appendLittle(file, 640, 4);
    appendLittle(file, 480, 4);
    appendLittle(file, 0x3f800000, 4);
    appendLittle(file, std::uint32_t(rotation), 4);
    appendLittle(file, 0, 4);
    appendLittle(file, 0, 4);
    appendLittle(file, 0, 4);
    const std::uint32_t subTable = std::uint32_t(file.size()) - heap - subAt;
    appendLittle(file, 1, 2);
    appendLittle(file, 0x1810, 2);
    appendLittle(file, 28, 4);
    appendLittle(file, 0, 4);
    appendLittle(file, subTable, 4);
    const std::uint32_t subSize = std::uint32_t(file.size()) - heap - subAt;
    const std::uint32_t table = std::uint32_t(file.size()) - heap;
    appendLittle(file, 3, 2);
    for (const auto& [tag, size, at] :
         {std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>{0x2005, sensorBytes, sensorAt},
          {0x2007, std::uint32_t(jpeg.size()), jpegAt},
          {0x300a, subSize, subAt}}) {
        appendLittle(file, tag, 2);
        appendLittle(file, size, 4);
        appendLittle(file, at, 4);
    }
    appendLittle(file, table, 4);
    return file;
}

// On a memory card or a share every megabyte counts: the preview comes with the directories that
// lead to it, not with the sensor data, and it is the very preview a whole read finds.
TEST(Exiv2Library, RawPreviewReadsTheDirectoriesAndThePreviewOnly)
{
    QTemporaryDir dir;
    const std::vector<unsigned char> cr3 = cr3WithSensorData(5u << 20);
    const std::string cr3Path = writeFile(dir, "IMG_0001.CR3", cr3);
    CountingWatch cr3Watch;
    const RawPreview fromCr3 = previewOfFile(cr3Path, cr3Watch);
    ASSERT_FALSE(fromCr3.bytes.empty()) << fromCr3.error;
    EXPECT_EQ(fromCr3.bytes, largestRawPreview(test::photo("formats/canon_eos_r6_pruned.cr3")).bytes);
    EXPECT_LE(cr3Watch.bytes, cr3.size() / 10);

    // The sample as it is: nearly all of it is the preview, which is read once.
    CountingWatch prunedWatch;
    const std::string pruned = test::photo("formats/canon_eos_r6_pruned.cr3");
    EXPECT_EQ(previewOfFile(pruned, prunedWatch).bytes, largestRawPreview(pruned).bytes);
    EXPECT_LE(prunedWatch.bytes, RegularFile(pruned).size());

    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray encoded;
    {
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(picture.save(&buffer, "JPEG"));
    }
    const std::vector<unsigned char> jpeg(encoded.begin(), encoded.end());
    for (const auto& [rotation, orientation] : {std::pair{0, 1}, {90, 6}, {180, 3}, {-90, 8}}) {
        SCOPED_TRACE(rotation);
        const std::vector<unsigned char> crw = crwFile(jpeg, rotation, 1u << 20);
        CountingWatch crwWatch;
        const RawPreview fromCrw = previewOfFile(writeFile(dir, "CRW_0001.CRW", crw), crwWatch);
        EXPECT_EQ(fromCrw.bytes, jpeg) << fromCrw.error;
        EXPECT_EQ(fromCrw.orientation, orientation);
        EXPECT_LE(crwWatch.bytes, crw.size() / 10);
    }

    // A damaged directory (pointing past the file) is a reason, never a read out of bounds.
    std::vector<unsigned char> damaged = crwFile(jpeg, 0, 1024);
    damaged[damaged.size() - 2] = 0x7f;
    CountingWatch damagedWatch;
    const RawPreview none = previewOfFile(writeFile(dir, "CRW_0002.CRW", damaged), damagedWatch);
    EXPECT_TRUE(none.bytes.empty());
    EXPECT_FALSE(none.error.empty());
}

// Read in pieces, a RAW file rewritten meanwhile could give a preview made of two files: refused.
TEST(Exiv2Library, RawPreviewOfAFileChangedWhileReadIsRefused)
{
    QTemporaryDir dir;
    const std::string path = writeFile(dir, "IMG_0002.CR3", cr3WithSensorData(1u << 20));
    CountingWatch watch;
    watch.midway = [&] { std::ofstream(path, std::ios::binary | std::ios::app) << "more"; };
    const RawPreview changed = previewOfFile(path, watch);
    EXPECT_TRUE(changed.bytes.empty());
    EXPECT_EQ(changed.error, "the file changed while it was read");
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
