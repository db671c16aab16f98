#include "core/tools/PublishedCopy.h"
#include "support/TestSupport.h"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace marquelo {
namespace {

namespace fs = std::filesystem;

const std::string kGpsPhoto = test::sourceDir() + "/tests/data/camera/nikon_coolpix_p6000_gps.jpg";

std::string contentOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

Exiv2::Image::AutoPtr parsed(const std::string& bytes)
{
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()), long(bytes.size()));
    image->readMetadata();
    return image;
}

// The compressed pixels from the main picture's last start-of-scan on (the EXIF thumbnail's scan comes
// earlier): equal when nothing was re-encoded.
std::string scanOf(const std::string& jpeg)
{
    const std::size_t sos = jpeg.rfind("\xFF\xDA");
    return sos == std::string::npos ? std::string() : jpeg.substr(sos);
}

// The photo with a turn: written by libexiv2 into a copy in the test's own folder.
std::string withOrientation(const std::string& photo, std::uint16_t orientation)
{
    auto image = parsed(photo);
    image->exifData()["Exif.Image.Orientation"] = orientation;
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.open();
    const Exiv2::DataBuf buf = io.read(long(io.size()));
    return std::string(reinterpret_cast<const char*>(buf.pData_), std::size_t(buf.size_));
}

class PublishedCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        folder = tmp.path().toStdString();
        photo = contentOf(kGpsPhoto);
        ASSERT_FALSE(photo.empty()) << kGpsPhoto;
    }
    QTemporaryDir tmp;
    std::string folder;
    std::string photo;
};

// The camera's file carries its place, serial numbers, maker notes, XMP and a thumbnail of the whole
// frame: the copy has none of them, the same compressed pixels, and the user's file is untouched.
TEST_F(PublishedCopy, CameraDataStaysBehindAndThePixelsAreTheSameBytes)
{
    {
        auto original = parsed(photo);
        ASSERT_NE(original->exifData().findKey(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitude")), original->exifData().end());
        ASSERT_FALSE(Exiv2::PreviewManager(*original).getPreviewProperties().empty());
    }
    const std::string source = folder + "/DSCN0010.JPG", target = folder + "/dscn0010.jpg";
    writeFile(source, photo);
    writeFile(target, ""); // the reserved name
    FileProblem problem;
    ASSERT_TRUE(copyWithoutMetadata(source, target, problem)) << problem.reason;
    EXPECT_EQ(contentOf(source), photo);

    const std::string copy = contentOf(target);
    auto published = parsed(copy);
    EXPECT_TRUE(published->exifData().empty()) << "orientation 1 needs no EXIF at all";
    EXPECT_TRUE(published->xmpData().empty());
    EXPECT_TRUE(published->xmpPacket().empty());
    EXPECT_TRUE(published->iptcData().empty());
    EXPECT_TRUE(published->comment().empty());
    EXPECT_TRUE(Exiv2::PreviewManager(*published).getPreviewProperties().empty());
    EXPECT_LT(copy.size(), photo.size());

    ASSERT_FALSE(scanOf(photo).empty());
    EXPECT_EQ(scanOf(copy), scanOf(photo));
    const QImage before = QImage::fromData(QByteArray::fromStdString(photo));
    ASSERT_FALSE(before.isNull());
    EXPECT_EQ(QImage::fromData(QByteArray::fromStdString(copy)), before);

    const QString exiftool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
    if (exiftool.isEmpty())
        GTEST_SKIP() << "exiftool is not installed (Debian: libimage-exiftool-perl)";
    QProcess p;
    p.start(exiftool, {QStringLiteral("-a"), QStringLiteral("-G1"), QStringLiteral("-j"),
                       QString::fromStdString(source), QString::fromStdString(target)});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QJsonArray files = QJsonDocument::fromJson(p.readAllStandardOutput()).array();
    ASSERT_EQ(files.size(), 2);
    ASSERT_TRUE(files[0].toObject().contains(QStringLiteral("GPS:GPSLatitude"))) << "what is looked for";
    for (const QString& key : files[1].toObject().keys()) {
        const QString group = key.section(QLatin1Char(':'), 0, 0);
        // Only the file's own description: its size and name, JFIF, the colour profile, what exiftool works out.
        EXPECT_TRUE(QStringList({"SourceFile", "ExifTool", "System", "File", "JFIF", "Composite"}).contains(group) ||
                    group.startsWith(QLatin1String("ICC")))
            << key.toStdString();
    }
}

// A turned photo would show on its side without its Orientation: that one entry stays, alone.
TEST_F(PublishedCopy, TurnedPhotoKeepsOnlyItsOrientation)
{
    for (const std::uint16_t orientation : {std::uint16_t(6), std::uint16_t(3)}) {
        SCOPED_TRACE(orientation);
        const std::string turned = withOrientation(photo, orientation);
        std::string reason;
        const std::optional<std::string> copy = withoutMetadata(turned, reason);
        ASSERT_TRUE(copy) << reason;
        auto published = parsed(*copy);
        const Exiv2::ExifData& exif = published->exifData();
        const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        ASSERT_NE(found, exif.end());
        EXPECT_EQ(found->toLong(), orientation);
        for (const Exiv2::Exifdatum& datum : exif)
            EXPECT_EQ(datum.key(), "Exif.Image.Orientation");
        EXPECT_EQ(exif.findKey(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitude")), exif.end());
        EXPECT_EQ(scanOf(*copy), scanOf(photo));
    }
}

// A PNG's XMP and comment go too; a picture with nothing to take out is published byte for byte.
TEST_F(PublishedCopy, PngLosesItsTextAndACleanPictureStaysTheSame)
{
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    ASSERT_TRUE(image.save(&buffer, "PNG"));
    const std::string clean = encoded.toStdString();
    std::string reason;
    EXPECT_EQ(withoutMetadata(clean, reason), clean) << reason;

    auto tagged = parsed(clean);
    tagged->xmpData()["Xmp.dc.creator"] = "someone@example.org";
    tagged->setComment("taken at home");
    tagged->writeMetadata();
    Exiv2::BasicIo& io = tagged->io();
    io.open();
    const Exiv2::DataBuf buf = io.read(long(io.size()));
    const std::string withText(reinterpret_cast<const char*>(buf.pData_), std::size_t(buf.size_));
    ASSERT_NE(withText.find("someone@example.org"), std::string::npos);

    const std::optional<std::string> copy = withoutMetadata(withText, reason);
    ASSERT_TRUE(copy) << reason;
    EXPECT_EQ(copy->find("someone@example.org"), std::string::npos);
    EXPECT_EQ(copy->find("taken at home"), std::string::npos);
    EXPECT_EQ(QImage::fromData(QByteArray::fromStdString(*copy)), image);
}

// What libexiv2 cannot read is never published as it is: the reason reaches the message, and the
// reserved name stays as it was, with no temporary file beside it.
TEST_F(PublishedCopy, UnreadablePictureIsRefusedWithItsReason)
{
    const std::string source = folder + "/broken.jpg", target = folder + "/broken-copy.jpg";
    writeFile(source, "not a picture at all, but it is named like one");
    writeFile(target, "");
    FileProblem problem;
    EXPECT_FALSE(copyWithoutMetadata(source, target, problem));
    EXPECT_TRUE(problem.keepsMetadata);
    EXPECT_FALSE(problem.reason.empty());
    EXPECT_EQ(contentOf(target), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    const std::string message = copyFailureMessage(source, target, problem);
    EXPECT_EQ(message.rfind("Failed to copy '" + source + "' to '" + target + "'", 0), 0u) << message;
    EXPECT_NE(message.find(problem.reason), std::string::npos) << message;
}

} // namespace
} // namespace marquelo
