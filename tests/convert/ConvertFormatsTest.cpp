#include "convert/ConvertOptions.h"
#include "convert/Converter.h"
#include "core/viewer/PictureColour.h"
#include "core/viewer/VipsPictureDecoder.h"

#include "support/ConvertRun.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <vips/vips8>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace marquelo::convert {
namespace {

using test::convert;

using vips::VImage;

std::string formats(const std::string& name)
{
    return test::photo("formats/" + name);
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

double meanDifference(const VImage& a, const VImage& b)
{
    return (a.cast(VIPS_FORMAT_FLOAT) - b.cast(VIPS_FORMAT_FLOAT)).abs().avg();
}

class ConvertFormats : public test::ConvertFolder {};

struct PageCopyCase {
    const char* file;
    int uprightWidth, uprightHeight;
};

class PageCopies : public ConvertFormats, public ::testing::WithParamInterface<PageCopyCase> {};

// What the page asks for: a cut of the upright picture, resampled, as a stripped sRGB JPEG.
TEST_P(PageCopies, EveryFormatBecomesAWebReadyJpeg)
{
    const PageCopyCase& c = GetParam();
    MARQUELO_NEED_PHOTO("formats/" + std::string(c.file));
    const int w = c.uprightWidth / 2, h = c.uprightHeight / 2;
    const std::string crop = "/crop=(" + std::to_string(c.uprightWidth / 4) + "," +
                             std::to_string(c.uprightHeight / 4) + "," + std::to_string(w) + "," + std::to_string(h) +
                             ")";
    const int tw = w >= h ? 300 : 300 * w / h, th = w >= h ? 300 * h / w : 300;
    std::string error;
    ASSERT_TRUE(convert({formats(c.file), crop, "/resample=(" + std::to_string(tw) + "," + std::to_string(th) + ")",
                         "/aspectratio", "/jpgq=85", "/convert=" + out("copy.jpg")},
                        &error))
        << c.file << ": " << error;
    const VImage copy = VImage::new_from_file(out("copy.jpg").c_str());
    EXPECT_EQ(copy.width(), tw) << c.file;
    EXPECT_EQ(copy.height(), th) << c.file;
    EXPECT_EQ(copy.bands(), 3) << c.file;
    EXPECT_EQ(copy.format(), VIPS_FORMAT_UCHAR);
    EXPECT_EQ(copy.get_typeof(VIPS_META_ICC_NAME), 0u) << c.file << ": stripped, sRGB";
    EXPECT_EQ(readAll(out("copy.jpg")).substr(0, 2), "\xFF\xD8");
}

INSTANTIATE_TEST_SUITE_P(Corpus, PageCopies,
                         ::testing::Values(PageCopyCase{"apple_iphone13pro_grid_irot270_p3.heic", 3024, 4032},
                                           PageCopyCase{"sony_a7s3_10bit_422.hif", 4240, 2832},
                                           PageCopyCase{"canon_eos70d.avif", 5472, 3648},
                                           PageCopyCase{"nikon_coolpix_p7000_orient6_lossy.webp", 2736, 3648},
                                           PageCopyCase{"leaves_apple_display_icc_rgba.png", 640, 513},
                                           PageCopyCase{"weld_16bit.png", 1024, 684},
                                           PageCopyCase{"parrot_sequoia_16bit_grey.tif", 1280, 964},
                                           PageCopyCase{"bench_oriented_brg_icc.jxl", 606, 500},
                                           PageCopyCase{"canon_eos_r6_pruned.cr3", 1620, 1080},
                                           PageCopyCase{"canon_powershot_g2.crw", 640, 480}),
                         test::NameByFile());

TEST_F(ConvertFormats, BrowserFormatsKeepTheirTypeOnThePage)
{
    // The page names an AVIF copy .avif (browsers show it): the tool must be able to write one.
    for (const char* file : {"pixel4a_seine_gainmap.avif", "nikon_d3100_lossless.webp", "weld_16bit.png"}) {
        if (!test::havePhoto("formats/" + std::string(file)))
            continue; // only in the large corpus
        const std::string ext = fs::path(file).extension().string();
        std::string error;
        ASSERT_TRUE(
            convert({formats(file), "/resample=(200,150)", "/jpgq=85", "/convert=" + out("copy" + ext)}, &error))
            << file << ": " << error;
        const VImage copy = VImage::new_from_file(out("copy" + ext).c_str());
        EXPECT_EQ(copy.width(), 200) << file;
        EXPECT_EQ(copy.format(), VIPS_FORMAT_UCHAR) << file << ": 8-bit sRGB for the web";
    }
    EXPECT_NE(readAll(out("copy.avif")).find("avif"), std::string::npos) << "an AVIF brand, not HEVC";
}

// The mean of each of R, G, B over a picture, in 0..255.
std::vector<double> channelMeans(const QImage& picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    std::vector<double> sums(3, 0.0);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            sums[0] += qRed(row[x]);
            sums[1] += qGreen(row[x]);
            sums[2] += qBlue(row[x]);
        }
    }
    for (double& sum : sums)
        sum /= double(rgb.width()) * rgb.height();
    return sums;
}

// The viewer tone-maps the PQ samples of an HDR photo for an SDR screen; a copy for a page has to look the
// same, never show the stored samples as if they were sRGB. Both ways of making copies: one size, several.
TEST_F(ConvertFormats, HdrPhotoCopiesLookAsInTheViewer)
{
    const std::string photo = test::sourceDir() + "/tests/data/formats/pixel4a_seine_10bit_pq_rec2020.avif";
    QFile file(QString::fromStdString(photo));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const PictureColour::SrgbTarget srgb;
    const DecodedPicture viewer = VipsPictureDecoder::decode(file.readAll(), QSize(200, 150));
    ASSERT_TRUE(viewer.ok);
    const std::vector<double> shown = channelMeans(viewer.image);

    std::string error;
    ASSERT_TRUE(convert({photo, "/resample=(200,150)", "/jpgq=95", "/convert=" + out("one.jpg")}, &error)) << error;
    ASSERT_TRUE(convert({photo, "/resample=(400,300)", "/also=(200,150," + out("small.jpg") + ")", "/jpgq=95",
                         "/convert=" + out("large.jpg")},
                        &error))
        << error;
    for (const char* name : {"one.jpg", "small.jpg", "large.jpg"}) {
        const QImage copy(QString::fromStdString(out(name)));
        ASSERT_FALSE(copy.isNull()) << name;
        const std::vector<double> written = channelMeans(copy);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(written[c], shown[c], 4.0) << name << ", channel " << c;
    }
}

TEST_F(ConvertFormats, LosslessFormatsTurnExactlyAndKeepTheirDepth)
{
    MARQUELO_NEED_PHOTO("formats/weld_16bit.png");
    for (const char* file : {"weld_16bit.png", "weld_16bit_rgb_deflate.tif", "nikon_d3100_lossless.webp"}) {
        if (!test::havePhoto("formats/" + std::string(file)))
            continue; // only in the large corpus
        const std::string ext = fs::path(file).extension().string();
        const std::string photo = copyIn(formats(file), std::string("photo") + ext);
        const VImage before = VImage::new_from_file(formats(file).c_str()).copy_memory();
        std::string error;
        ASSERT_TRUE(convert({photo, "/rotate_r", "/jpgq=95", "/convert=" + photo}, &error)) << file << ": " << error;
        const VImage after = VImage::new_from_file(photo.c_str());
        EXPECT_EQ(after.format(), before.format()) << file;
        EXPECT_EQ(after.width(), before.height()) << file;
        EXPECT_EQ(meanDifference(after, before.rot(VIPS_ANGLE_D90)), 0.0) << file << ": not lossless";
        if (ext == ".webp") {
            EXPECT_NE(readAll(photo).find("VP8L"), std::string::npos) << "saved lossy";
        }
    }
}

TEST_F(ConvertFormats, LossyFormatsAndRawFilesAreNotTurned)
{
    for (const char* file :
         {"nikon_coolpix_p7000_orient6_lossy.webp", "samsung_galaxy_s10_irot270.heic", "pixel4a_seine_gainmap.avif",
          "bicycles.jxl", "canon_eos_r6_pruned.cr3", "htc_one_pan_animated.webp"}) {
        if (!test::havePhoto("formats/" + std::string(file)))
            continue; // only in the large corpus
        const std::string ext = fs::path(file).extension().string();
        const std::string photo = copyIn(formats(file), std::string("photo") + ext);
        const std::string bytes = readAll(photo);
        std::string error;
        EXPECT_FALSE(convert({photo, "/rotate_l", "/jpgq=95", "/convert=" + photo}, &error)) << file;
        EXPECT_EQ(error.rfind("unable to turn '" + photo + "': ", 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_EQ(readAll(photo), bytes) << file << " was changed";
        fs::remove(photo);
    }
}

TEST_F(ConvertFormats, RawWithoutPreviewIsOneLineOfError)
{
    // A TIFF under a RAW name: a RAW file is never read as anything but its preview.
    VImage::black(16, 16).write_to_file(out("plain.tif").c_str());
    fs::rename(out("plain.tif"), out("fake.nef"));
    std::string error;
    EXPECT_FALSE(convert({out("fake.nef"), "/resample=(8,8)", "/convert=" + out("copy.jpg")}, &error));
    EXPECT_NE(error.find("without an embedded preview"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(out("copy.jpg")));
}

TEST_F(ConvertFormats, RawPreviewIsCutInItsUprightPixels)
{
    MARQUELO_NEED_PHOTO("formats/canon_powershot_g2.crw");
    // The CRW's preview is 640x480: a cut of its left half comes out as that half.
    std::string error;
    ASSERT_TRUE(convert({formats("canon_powershot_g2.crw"), "/crop=(0,0,320,480)", "/resample=(320,480)",
                         "/convert=" + out("left.jpg")},
                        &error))
        << error;
    const VImage left = VImage::new_from_file(out("left.jpg").c_str());
    EXPECT_EQ(left.width(), 320);
    EXPECT_EQ(left.height(), 480);
}

} // namespace
} // namespace marquelo::convert
