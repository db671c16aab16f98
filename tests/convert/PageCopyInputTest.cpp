// What a page copy carries out of the photo (nothing but its pixels and colours), and what the tool
// does when its input is not what it was when it was opened.
#include "convert/ConvertOptions.h"
#include "convert/Converter.h"
#include "convert/InputFile.h"

#include "support/ConvertRun.h"
#include "support/HostilePictures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <vips/vips8>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace marquelo::convert {
namespace {

using test::convert;

std::string testData(const char* name)
{
    return test::sourceDir() + "/tests/data/" + name;
}

class PageCopyInput : public ::testing::Test {
protected:
    void SetUp() override { startImageLibrary(); }
    QTemporaryDir dir;
    std::string out(const std::string& name) const { return dir.path().toStdString() + "/" + name; }
    int filesInDir() const { return int(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size()); }
};

// Whether exiftool's "group:tag" describes the photo or the camera rather than the copy's own file. A
// TIFF keeps its layout in IFD0, so only the camera's entries there count.
bool revealing(const QString& key)
{
    const QString group = key.section(QLatin1Char(':'), 0, 0);
    const QString tag = key.section(QLatin1Char(':'), 1);
    if (group == QLatin1String("IFD0"))
        return QStringList{"Make", "Model", "Software", "ModifyDate", "Artist", "Copyright", "ImageDescription"}
            .contains(tag);
    for (const char* g : {"IFD1", "ExifIFD", "GPS", "InteropIFD", "MakerNotes", "IPTC", "Photoshop", "XMP"})
        if (group.startsWith(QLatin1String(g)))
            return true;
    // Maker notes are grouped by maker (Nikon, Canon, ...); a copy has none of its own.
    return group == QLatin1String("Nikon");
}

TEST_F(PageCopyInput, EveryOutputFormatLeavesTheCameraDataBehind)
{
    const QString exiftool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
    if (exiftool.isEmpty())
        GTEST_SKIP() << "exiftool is not installed (Debian: libimage-exiftool-perl)";
    const std::string photo = testData("camera/nikon_coolpix_p6000_gps.jpg");
    std::vector<std::string> outputs;
    for (const char* ext : {"jpg", "webp", "png", "tif", "avif", "gif"}) {
        const std::string saver = std::string(".") + (std::string(ext) == "avif" ? "heif" : ext);
        if (!vips_foreign_find_save_buffer(saver.c_str())) {
            vips_error_clear();
            continue;
        }
        std::string error;
        const std::string output = out(std::string("copy.") + ext);
        ASSERT_TRUE(convert({photo, "/crop=(100,100,400,300)", "/resample=(200,150)", "/convert=" + output}, error))
            << ext << ": " << error;
        outputs.push_back(output);
    }
    // Several sizes from one decode take a path of their own.
    std::string error;
    ASSERT_TRUE(convert(
        {photo, "/resample=(320,0)", "/also=(160,0," + out("small.webp") + ")", "/convert=" + out("large.webp")},
        error))
        << error;
    outputs.push_back(out("small.webp"));
    outputs.push_back(out("large.webp"));

    // The photo itself shows what is looked for.
    QStringList args{QStringLiteral("-a"), QStringLiteral("-G1"), QStringLiteral("-j"), QString::fromStdString(photo)};
    for (const std::string& o : outputs)
        args << QString::fromStdString(o);
    QProcess p;
    p.start(exiftool, args);
    ASSERT_TRUE(p.waitForFinished(60000));
    const QJsonArray files = QJsonDocument::fromJson(p.readAllStandardOutput()).array();
    ASSERT_EQ(files.size(), qsizetype(outputs.size() + 1));
    QStringList inPhoto;
    for (const QString& key : files[0].toObject().keys())
        if (revealing(key))
            inPhoto << key;
    ASSERT_TRUE(inPhoto.contains(QStringLiteral("GPS:GPSLatitude"))) << inPhoto.join(u' ').toStdString();
    ASSERT_TRUE(inPhoto.contains(QStringLiteral("IFD1:ThumbnailImage"))) << inPhoto.join(u' ').toStdString();
    for (qsizetype i = 1; i < files.size(); ++i) {
        const QJsonObject file = files[i].toObject();
        SCOPED_TRACE(outputs[std::size_t(i - 1)]);
        for (const QString& key : file.keys())
            EXPECT_FALSE(revealing(key)) << key.toStdString();
    }
}

// The input is read, never mapped: a file cut short after it was opened is a reason, not a bus fault.
TEST_F(PageCopyInput, FileCutShortAfterOpeningIsRefusedByItsReason)
{
    const std::string path = out("photo.jpg");
    fs::copy_file(testData("camera/nikon_coolpix_p6000_gps.jpg"), path);
    InputFile input;
    std::string reason;
    ASSERT_TRUE(input.open(path, reason)) << reason;
    ASSERT_EQ(::truncate(path.c_str(), 1000), 0);
    EXPECT_TRUE(input.bytes(reason).empty());
    EXPECT_NE(reason.find("ends early"), std::string::npos) << reason;
}

// A JPEG shorter than its markers claim: nothing is written where the photo was to be turned in place,
// and a file not even holding its header is refused for a copy as well.
TEST_F(PageCopyInput, ShortJpegWritesNothing)
{
    std::ifstream in(testData("camera/nikon_coolpix_p6000_gps.jpg"), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const std::size_t length : {std::size_t(300), bytes.size() / 2}) {
        SCOPED_TRACE(length);
        const std::string path = out("short.jpg");
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(length));
        std::string error;
        EXPECT_FALSE(convert({path, "/rotate_r", "/convert=" + out("turned.jpg")}, error));
        EXPECT_EQ(error.rfind("unable to ", 0), 0u) << error;
        EXPECT_FALSE(fs::exists(out("turned.jpg")));
        if (length == 300) {
            EXPECT_FALSE(convert({path, "/resample=(64,0)", "/convert=" + out("copy.webp")}, error));
            EXPECT_EQ(error.rfind("unable to ", 0), 0u) << error;
        }
        fs::remove(path);
        EXPECT_EQ(filesInDir(), 0);
    }
}

TEST_F(PageCopyInput, FifoIsRefusedWithoutWaitingForAWriter)
{
    const std::string fifo = out("pipe.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    QProcess p;
    p.start(QString::fromStdString(test::builtProgram("marquelo-convert")),
            {QString::fromStdString(fifo), QStringLiteral("/resample=(64,0)"),
             QStringLiteral("/convert=") + QString::fromStdString(out("copy.jpg"))});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 1);
    const std::string err = p.readAllStandardError().toStdString();
    EXPECT_NE(err.find("unable to read"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(out("copy.jpg")));
    fs::remove(fifo);
    EXPECT_EQ(filesInDir(), 0);
}

// Tiny frames on a large canvas: libvips composes each on the whole canvas, so the frames count.
TEST_F(PageCopyInput, ManyFramesOnALargeCanvasAreRefusedBeforeDecoding)
{
    const std::string bomb = out("bomb.webp"), small = out("small.webp");
    ASSERT_TRUE(test::writeAnimatedWebp(bomb, 2048, 300));
    ASSERT_TRUE(test::writeAnimatedWebp(small, 64, 3));
    std::string error;
    EXPECT_FALSE(convert({bomb, "/resample=(64,0)", "/convert=" + out("bomb.jpg")}, error));
    EXPECT_NE(error.find("animation too large (2048x2048, 300 frames)"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(out("bomb.jpg")));
    EXPECT_TRUE(convert({small, "/resample=(32,0)", "/convert=" + out("small.jpg")}, error)) << error;
}

} // namespace
} // namespace marquelo::convert
