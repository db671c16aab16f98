#include "core/viewer/PictureDecoder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <filesystem>

#include <sys/stat.h>

namespace marquelo {
namespace {

std::string orientationFile(const std::string& name)
{
    return test::photo("orientation/" + name);
}

// Mean absolute difference of two pictures reduced to a thumbnail: small for the same scene the same
// way up, large for a turned or mirrored one.
double difference(const QImage& a, const QImage& b)
{
    const QImage x =
        a.scaled(48, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    const QImage y =
        b.scaled(48, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < 32; ++row)
        for (int col = 0; col < 48; ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (48 * 32 * 3);
}

class Orientation : public ::testing::TestWithParam<std::string> {};

TEST_P(Orientation, EveryExifOrientationDecodesUpright)
{
    const std::string shape = GetParam();
    const DecodedPicture reference = PictureDecoder::decodeFile(orientationFile(shape + "_1.jpg"), QSize());
    ASSERT_TRUE(reference.ok);
    const QSize upright = shape == "Landscape" ? QSize(1800, 1200) : QSize(1200, 1800);
    ASSERT_EQ(reference.fullSize, upright);
    // The measure must tell a wrong way up from the right one.
    const double mirroredDiff = difference(reference.image, reference.image.mirrored(true, false));
    ASSERT_GT(mirroredDiff, 10.0);
    for (int orientation = 0; orientation <= 8; ++orientation) {
        const std::string name = shape + "_" + std::to_string(orientation) + ".jpg";
        const DecodedPicture d = PictureDecoder::decodeFile(orientationFile(name), QSize(900, 900));
        ASSERT_TRUE(d.ok) << name;
        EXPECT_EQ(d.fullSize, upright) << name;
        EXPECT_EQ(d.image.size(), upright / 2) << name << ": 900 x 900 is filled by half resolution";
        EXPECT_LT(difference(d.image, reference.image), mirroredDiff / 3) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, Orientation, ::testing::Values("Landscape", "Portrait"));

TEST(PictureDecoder, DecodesAtTheSmallestScaleThatFillsTheArea)
{
    const std::string file = orientationFile("Landscape_1.jpg"); // 1800 x 1200
    struct Row {
        QSize fitInto;
        double minScale;
        QSize decoded;
    };
    for (const Row& r : {Row{QSize(), 0, QSize(1800, 1200)}, Row{QSize(1920, 1080), 0, QSize(1800, 1200)},
                         Row{QSize(900, 600), 0, QSize(900, 600)}, Row{QSize(902, 601), 0, QSize(1125, 750)},
                         Row{QSize(400, 300), 0, QSize(450, 300)}, Row{QSize(100, 100), 0, QSize(225, 150)},
                         Row{QSize(100, 100), 0.3, QSize(675, 450)}, Row{QSize(100, 100), 1.0, QSize(1800, 1200)}}) {
        const DecodedPicture d = PictureDecoder::decodeFile(file, r.fitInto, r.minScale);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.image.size(), r.decoded) << r.fitInto.width() << "x" << r.fitInto.height() << " min " << r.minScale;
        EXPECT_EQ(d.fullSize, QSize(1800, 1200));
        EXPECT_EQ(d.fullResolution, r.decoded == QSize(1800, 1200));
    }
}

TEST(PictureDecoder, RefusesPicturesTooLargeToHold)
{
    for (const char* name : {"max_size_65535.jpg", "huge_20000x14000_gray.jpg"}) {
        const DecodedPicture d =
            PictureDecoder::decodeFile(test::photo(std::string("broken/") + name), QSize(1920, 1080));
        EXPECT_FALSE(d.ok) << name;
        EXPECT_TRUE(d.image.isNull()) << name;
    }
}

TEST(PictureDecoder, MissingAndEmptyFilesFail)
{
    EXPECT_FALSE(PictureDecoder::decodeFile("/nonexistent/a.jpg", QSize()).ok);
    EXPECT_FALSE(PictureDecoder::decode(QByteArray(), QSize()).ok);
    EXPECT_FALSE(PictureDecoder::decode(QByteArray("\xff\xd8\xff", 3), QSize()).ok);
}

TEST(PictureDecoder, ReadsPictureByContentWhateverTheName)
{
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QLatin1String(name)).toStdString(); };
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(QString::fromStdString(path("photo.cam")), "JPEG"));
    ASSERT_TRUE(picture.save(QString::fromStdString(path("scan.dat")), "PNG"));
    {
        QFile text(QString::fromStdString(path("notes.cam")));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("not a picture at all, only words\n");
    }
    EXPECT_TRUE(PictureDecoder::readsPicture(path("photo.cam")));
    EXPECT_TRUE(PictureDecoder::readsPicture(path("scan.dat")));
    EXPECT_FALSE(PictureDecoder::readsPicture(path("notes.cam")));
    EXPECT_FALSE(PictureDecoder::readsPicture(path("missing.jpg")));
    // A folder, or a FIFO that would block a reader, is never taken for a picture.
    EXPECT_FALSE(PictureDecoder::readsPicture(dir.path().toStdString()));
    ASSERT_EQ(::mkfifo(path("pipe.nef").c_str(), 0600), 0);
    EXPECT_FALSE(PictureDecoder::readsPicture(path("pipe.nef")));
}

// Bytes that are not UTF-8 turn into U+FFFD on the way through QString; a file reached by such a
// round trip would be the look-alike neighbour, here a picture of another shape.
TEST(PictureDecoder, NameThatIsNotUtf8ReadsItsOwnFile)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string odd = folder + "/bad\xFF\xFEname.jpg";
    std::filesystem::copy_file(orientationFile("Landscape_1.jpg"), odd);
    std::filesystem::copy_file(orientationFile("Portrait_1.jpg"), folder + "/bad\xEF\xBF\xBD\xEF\xBF\xBDname.jpg");
    const DecodedPicture own = PictureDecoder::decodeFile(odd, QSize());
    ASSERT_TRUE(own.ok);
    EXPECT_EQ(own.fullSize, PictureDecoder::decodeFile(orientationFile("Landscape_1.jpg"), QSize()).fullSize);
}

TEST(PictureDecoder, EveryBrokenFileFailsOrDecodesWhole)
{
    int decoded = 0, failed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::photoFolder("broken"))) {
        const std::string name = entry.path().filename().string();
        const DecodedPicture d = PictureDecoder::decodeFile(entry.path().string(), QSize(1920, 1080));
        if (d.ok) {
            ++decoded;
            EXPECT_FALSE(d.image.isNull()) << name;
            EXPECT_FALSE(d.fullSize.isEmpty()) << name;
            EXPECT_LE(d.image.width(), d.fullSize.width()) << name;
            EXPECT_LE(d.image.height(), d.fullSize.height()) << name;
        } else {
            ++failed;
            EXPECT_TRUE(d.image.isNull()) << name;
        }
    }
    // The large corpus's broken/ holds 187 files, the checkout's a selection of 154 of them.
    EXPECT_EQ(decoded + failed, test::haveCorpus() ? 187 : 154);
    EXPECT_GT(failed, 0);
    EXPECT_GT(decoded, 0);
}

// A RAW file is shown from its preview without the sensor data around it being read: the viewer gets
// the preview's bytes (with the RAW file's turn) and the stamp of the file for the change check.
TEST(RawPreviewRead, TheViewerReadsThePreviewNotTheFile)
{
    QTemporaryDir dir;
    QFile sample(QString::fromStdString(test::photo("formats/canon_eos_r6_pruned.cr3")));
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    QByteArray cr3 = sample.readAll();
    const QByteArray sensor(4 << 20, '\0');
    const quint32 box = quint32(sensor.size() + 8);
    cr3 += QByteArray::fromRawData("\0\0\0\0mdat", 8);
    for (int i = 0; i < 4; ++i)
        cr3[cr3.size() - 8 + i] = char(box >> (24 - 8 * i));
    cr3 += sensor;
    const std::string path = dir.filePath(QStringLiteral("IMG_0001.CR3")).toStdString();
    QFile out(QString::fromStdString(path));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(cr3);
    out.close();

    const FileContents contents = readPictureFile(path, PictureDecoder::kMaxDecodedBytes);
    ASSERT_TRUE(contents.ok) << contents.error.toStdString();
    EXPECT_EQ(contents.previewOrientation, 1);
    EXPECT_TRUE(contents.bytes.startsWith("\xff\xd8"));
    EXPECT_LT(contents.bytes.size(), cr3.size() / 10);
    EXPECT_EQ(contents.status.stamp, statFile(path).stamp);

    const DecodedPicture decoded = PictureDecoder::decodeFile(path, QSize(810, 540));
    ASSERT_TRUE(decoded.ok) << decoded.error.toStdString();
    EXPECT_EQ(decoded.fullSize, QSize(1620, 1080));
    EXPECT_EQ(decoded.file.stamp, statFile(path).stamp);

    // Read first by the start-up path, the same preview decodes the same way.
    const DecodedPicture early = PictureDecoder::decodeContents(path, contents, QSize(810, 540));
    ASSERT_TRUE(early.ok);
    EXPECT_EQ(early.image, decoded.image);
}

} // namespace
} // namespace marquelo
