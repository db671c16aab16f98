#include "convert/ConvertOptions.h"
#include "convert/Converter.h"

#include "support/ConvertRun.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
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

std::string camera(const char* name)
{
    return test::photo(std::string("camera/") + name);
}
std::string oriented(const std::string& name)
{
    return test::photo(std::string("orientation/") + name);
}

VImage upright(const std::string& path)
{
    return VImage::new_from_file(path.c_str()).autorot();
}

// Mean absolute difference of two pictures of the same size, over all bands.
double meanDifference(const VImage& a, const VImage& b)
{
    return (a.cast(VIPS_FORMAT_FLOAT) - b.cast(VIPS_FORMAT_FLOAT)).abs().avg();
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ToolRun {
    int exitCode;
    std::string err;
};

// Runs the built program, as the viewer would.
ToolRun runTool(const QStringList& args)
{
    QProcess p;
    p.start(QString::fromStdString(test::builtProgram("marquelo-convert")), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError().toStdString()};
}

class ConvertTest : public test::ConvertFolder {
protected:
    int filesInDir() const { return int(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size()); }
};

struct SizeCase {
    const char* name;
    const char* photo;
    double cropShare; // of each side, centred
    int longSide;
};

class OutputSizeTest : public ConvertTest, public ::testing::WithParamInterface<SizeCase> {};

// The size the viewer asks for (long side limited, short side truncated) is the size written.
TEST_P(OutputSizeTest, ExactlyAsAsked)
{
    const SizeCase& c = GetParam();
    MARQUELO_NEED_PHOTO("camera/" + std::string(c.photo));
    const VImage source = upright(camera(c.photo));
    const int w = int(source.width() * c.cropShare), h = int(source.height() * c.cropShare);
    const int left = (source.width() - w) / 2, top = (source.height() - h) / 2;
    const int tw = h <= w ? c.longSide : w * c.longSide / h;
    const int th = h <= w ? h * c.longSide / w : c.longSide;
    std::string error;
    ASSERT_TRUE(convert({camera(c.photo),
                         "/crop=(" + std::to_string(left) + "," + std::to_string(top) + "," + std::to_string(w) + "," +
                             std::to_string(h) + ")",
                         "/resample=(" + std::to_string(tw) + "," + std::to_string(th) + ")", "/aspectratio",
                         "/jpgq=85", "/convert=" + out("small.jpg")},
                        &error))
        << error;
    const VImage result = VImage::new_from_file(out("small.jpg").c_str());
    EXPECT_EQ(result.width(), tw);
    EXPECT_EQ(result.height(), th);
    EXPECT_EQ(result.bands(), 3);
    // No camera metadata (position, maker notes) leaks into a web page.
    EXPECT_EQ(result.get_typeof(VIPS_META_EXIF_NAME), 0u);
}

INSTANTIATE_TEST_SUITE_P(Photos, OutputSizeTest,
                         ::testing::Values(SizeCase{"Whole512", "canon_eos5d.jpg", 1.0, 512},
                                           SizeCase{"Whole960", "nikon_d3100.jpg", 1.0, 960},
                                           SizeCase{"Crop40Small", "samsung_galaxy_s7edge.jpg", 0.4, 256},
                                           SizeCase{"Crop40Large", "canon_eos20d_portrait.jpg", 0.4, 960},
                                           SizeCase{"GpsPhoto", "nikon_coolpix_p6000_gps.jpg", 1.0, 512},
                                           SizeCase{"RotatedPhone", "apple_iphone4s.jpg", 0.4, 512}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ConvertTest, CropMatchesTheSameRegionCutByLibvips)
{
    const std::string photo = camera("canon_eos5d.jpg");
    ASSERT_TRUE(convert({photo, "/crop=(1000,700,800,600)", "/jpgq=95", "/convert=" + out("cut.jpg")}));
    const VImage expected = upright(photo).extract_area(1000, 700, 800, 600);
    const VImage cut = VImage::new_from_file(out("cut.jpg").c_str());
    ASSERT_EQ(cut.width(), 800);
    ASSERT_EQ(cut.height(), 600);
    EXPECT_LT(meanDifference(cut, expected), 2.0);

    // Shrunk in the decoder, then resampled: still the same region.
    ASSERT_TRUE(convert({photo, "/crop=(1000,700,1600,1200)", "/resample=(200,150)", "/convert=" + out("s.jpg")}));
    const VImage reference = upright(photo).extract_area(1000, 700, 1600, 1200).resize(0.125);
    EXPECT_LT(meanDifference(VImage::new_from_file(out("s.jpg").c_str()), reference), 4.0);
}

TEST_F(ConvertTest, CropIsInTheUprightPicture)
{
    // The same scene stored in all eight EXIF orientations: a cut where the viewer shows it is the same.
    const VImage reference = upright(oriented("Landscape_1.jpg")).extract_area(300, 200, 600, 400);
    for (int n = 1; n <= 8; ++n) {
        SCOPED_TRACE(n);
        const std::string file = "Landscape_" + std::to_string(n) + ".jpg";
        ASSERT_TRUE(convert({oriented(file), "/crop=(300,200,600,400)", "/resample=(300,200)", "/aspectratio",
                             "/convert=" + out(file)}));
        const VImage cut = VImage::new_from_file(out(file).c_str());
        ASSERT_EQ(cut.width(), 300);
        ASSERT_EQ(cut.height(), 200);
        EXPECT_LT(meanDifference(cut, reference.resize(0.5)), 6.0);
    }
}

TEST_F(ConvertTest, FourQuarterTurnsGiveBackTheSamePixels)
{
    const std::string photo = copyIn(camera("canon_eos5d.jpg"), "turn.jpg");
    const VImage before = upright(photo).copy_memory();
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(convert({photo, "/rotate_l", "/jpgq=95", "/convert=" + photo}));
    EXPECT_EQ(meanDifference(upright(photo), before), 0.0);
    for (const char* pair : {"/hflip", "/vflip"}) {
        ASSERT_TRUE(convert({photo, pair, "/convert=" + photo}));
        ASSERT_TRUE(convert({photo, pair, "/convert=" + photo}));
    }
    EXPECT_EQ(meanDifference(upright(photo), before), 0.0);
    EXPECT_EQ(filesInDir(), 1); // no temporary left behind
}

TEST_F(ConvertTest, TurnIsLosslessAndKeepsTheCameraData)
{
    const std::string photo = copyIn(camera("canon_eos5d.jpg"), "turn.jpg");
    const VImage before = upright(photo).copy_memory();
    ASSERT_TRUE(convert({photo, "/rotate_r", "/convert=" + photo}));
    const VImage after = VImage::new_from_file(photo.c_str());
    // Only the chroma upsampling runs the other way; a re-encoded picture would differ by far more.
    EXPECT_LT(meanDifference(after, before.rot(VIPS_ANGLE_D90)), 0.1);
    EXPECT_NE(after.get_typeof(VIPS_META_EXIF_NAME), 0u); // the user's own photo keeps its metadata
}

TEST_F(ConvertTest, TurnOfAnOrientedPhotoTurnsWhatTheViewerShows)
{
    for (const char* name : {"Landscape_6.jpg", "Portrait_5.jpg", "Landscape_2.jpg"}) {
        SCOPED_TRACE(name);
        const std::string photo = copyIn(oriented(name), name);
        const VImage shown = upright(photo).copy_memory();
        ASSERT_TRUE(convert({photo, "/rotate_l", "/jpgq=95", "/convert=" + photo}));
        const VImage after = upright(photo);
        ASSERT_EQ(after.width(), shown.height());
        EXPECT_LT(meanDifference(after, shown.rot(VIPS_ANGLE_D270)), 3.0);
    }
}

TEST_F(ConvertTest, SizeWithoutPerfectBlocksIsReencoded)
{
    // 1000 x 333 is not a whole number of JPEG blocks: a lossless turn would lose the edge.
    ASSERT_TRUE(convert({camera("canon_eos5d.jpg"), "/crop=(0,0,1000,333)", "/jpgq=95", "/convert=" + out("odd.jpg")}));
    ASSERT_TRUE(convert({out("odd.jpg"), "/rotate_r", "/jpgq=95", "/convert=" + out("odd.jpg")}));
    const VImage turned = VImage::new_from_file(out("odd.jpg").c_str());
    EXPECT_EQ(turned.width(), 333);
    EXPECT_EQ(turned.height(), 1000);
}

TEST_F(ConvertTest, CmykBecomesSrgb)
{
    ASSERT_TRUE(
        convert({test::photo("broken/cmyk_sharp_no_profile.jpg"), "/resample=(100,0)", "/convert=" + out("rgb.jpg")}));
    const VImage rgb = VImage::new_from_file(out("rgb.jpg").c_str());
    EXPECT_EQ(rgb.bands(), 3);
    EXPECT_EQ(rgb.interpretation(), VIPS_INTERPRETATION_sRGB);
}

struct FailureCase {
    const char* name;
    QStringList args; // OUT stands for a file in the test folder
    const char* message;
};

class FailureTest : public ConvertTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, OneLineNonZeroExitNoOutput)
{
    QStringList args;
    for (QString a : GetParam().args)
        args << a.replace(QStringLiteral("OUT"), dir.path())
                    .replace(QStringLiteral("CAMERA"), QString::fromStdString(camera("")));
    const ToolRun run = runTool(args);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.err.rfind("marquelo-convert: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(filesInDir(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailureTest,
    ::testing::Values(
        FailureCase{"BadSwitch", {"CAMERA/canon_eos5d.jpg", "/sharpen", "/convert=OUT/a.jpg"}, "unknown switch"},
        FailureCase{"MissingInput", {"OUT/none.jpg", "/convert=OUT/a.jpg"}, "unable to read"},
        FailureCase{"InputIsAFolder", {"OUT", "/convert=OUT/a.jpg"}, "unable to read"},
        FailureCase{"NotAPicture", {"CAMERA/../MANIFEST.tsv", "/convert=OUT/a.jpg"}, "unable to load"},
        FailureCase{"MissingOutputFolder",
                    {"CAMERA/canon_eos5d.jpg", "/resample=(64,0)", "/convert=OUT/no/a.jpg"},
                    "unable to write"},
        FailureCase{"CropOutside",
                    {"CAMERA/canon_eos5d.jpg", "/crop=(9000,9000,10,10)", "/convert=OUT/a.jpg"},
                    "unable to crop"},
        FailureCase{"UnknownOutputType",
                    {"CAMERA/canon_eos5d.jpg", "/resample=(64,0)", "/convert=OUT/a.xyz"},
                    "unable to write"},
        // A one-pixel strip widened to the largest width: the height that follows would be gigantic.
        FailureCase{"ResultTooLarge",
                    {"CAMERA/canon_eos5d.jpg", "/crop=(0,0,1,2000)", "/resample=(1048576,0)", "/convert=OUT/a.png"},
                    "too large"}),
    [](const auto& row) { return std::string(row.param.name); });

// Every damaged file is either converted into a readable picture or refused with a reason; a refused
// in-place turn leaves the original exactly as it was, and no temporary file stays behind.
TEST_F(ConvertTest, BrokenFilesAreRejectedCleanlyOrConverted)
{
    int converted = 0, refused = 0;
    for (const auto& entry : fs::directory_iterator(test::photoFolder("broken"))) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const std::string small = out("small.jpg");
        std::string error;
        if (convert({entry.path().string(), "/crop=(10,10,300,200)", "/resample=(150,100)", "/aspectratio",
                     "/convert=" + small},
                    &error)) {
            ++converted;
            EXPECT_NO_THROW(VImage::new_from_file(small.c_str()).avg());
            fs::remove(small);
        } else {
            ++refused;
            EXPECT_EQ(error.rfind("unable to ", 0), 0u) << error;
            EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        }
        const std::string copy = copyIn(entry.path().string(), "copy.jpg");
        const std::string original = readAll(copy);
        if (!convert({copy, "/rotate_l", "/jpgq=95", "/convert=" + copy}, &error)) {
            EXPECT_EQ(readAll(copy), original);
        }
        fs::remove(copy);
        EXPECT_EQ(filesInDir(), 0);
    }
    EXPECT_GT(converted, 0);
    EXPECT_GT(refused, 0);
}

} // namespace
} // namespace marquelo::convert
