// /also: several sizes of one cut from one decode, each as a run of its own would make it.
#include "convert/ConvertOptions.h"
#include "convert/Converter.h"

#include "support/ConvertRun.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <vips/vips8>

namespace marquelo::convert {
namespace {

using test::convert;

using vips::VImage;

double meanDifference(const VImage& a, const VImage& b)
{
    return (a.cast(VIPS_FORMAT_FLOAT) - b.cast(VIPS_FORMAT_FLOAT)).abs().avg();
}

TEST(ParseAlso, SizesThenAPathThatMayHoldAnything)
{
    const ParseResult r = parseArguments({"/in.jpg", "/resample=(512,341)", "/convert=/o/a.jpg",
                                          "/also=(1024,682,/o/My (1), copy/a@2x.jpg)", "/ALSO=( 0 ,1706,/o/l.jpg)"});
    ASSERT_EQ(r.action, ParseResult::Convert) << r.error;
    ASSERT_EQ(r.options.also.size(), 2u);
    EXPECT_EQ(r.options.also[0].size.width, 1024);
    EXPECT_EQ(r.options.also[0].size.height, 682);
    EXPECT_EQ(r.options.also[0].output, "/o/My (1), copy/a@2x.jpg");
    EXPECT_EQ(r.options.also[1].size.width, 0);
    EXPECT_EQ(r.options.also[1].output, "/o/l.jpg");

    for (const char* bad : {"/also=(1,2)", "/also=1,2,x.jpg", "/also=(0,0,x.jpg)", "/also=(-1,2,x.jpg)", "/also=(1,2,)",
                            "/also=(a,2,x.jpg)", "/also"}) {
        SCOPED_TRACE(bad);
        const ParseResult e = parseArguments({"/in.jpg", "/convert=/o.jpg", bad});
        EXPECT_EQ(e.action, ParseResult::Error);
        EXPECT_FALSE(e.error.empty());
    }
}

class SeveralSizes : public ::testing::Test {
protected:
    void SetUp() override { startImageLibrary(); }
    std::string out(const std::string& name) const { return dir.path().toStdString() + "/" + name; }
    QTemporaryDir dir;
};

TEST_F(SeveralSizes, EverySizeLooksLikeItsOwnRun)
{
    // An oriented photo, so the cut and the sizes are in the picture as the viewer shows it.
    const std::string photo = test::photo("orientation/Landscape_6.jpg");
    const std::vector<std::string> common = {photo, "/crop=(100,50,1000,600)", "/aspectratio", "/jpgq=90"};
    std::string error;
    std::vector<std::string> args = common;
    args.insert(args.end(), {"/resample=(250,150)", "/convert=" + out("a.jpg"),
                             "/also=(500,300," + out("a@2x.jpg") + ")", "/also=(1000,600," + out("a-large.jpg") + ")"});
    ASSERT_TRUE(convert(args, error)) << error;

    const struct {
        const char* name;
        int width, height;
    } sizes[] = {{"a.jpg", 250, 150}, {"a@2x.jpg", 500, 300}, {"a-large.jpg", 1000, 600}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(s.name);
        std::vector<std::string> single = common;
        single.insert(single.end(), {"/resample=(" + std::to_string(s.width) + "," + std::to_string(s.height) + ")",
                                     "/convert=" + out(std::string("single-") + s.name)});
        ASSERT_TRUE(convert(single, error)) << error;
        const VImage together = VImage::new_from_file(out(s.name).c_str());
        const VImage alone = VImage::new_from_file(out(std::string("single-") + s.name).c_str());
        ASSERT_EQ(together.width(), s.width);
        ASSERT_EQ(together.height(), s.height);
        // Upright pixels: no orientation left for a viewer to apply a second time.
        EXPECT_TRUE(!together.get_typeof(VIPS_META_ORIENTATION) || together.get_int(VIPS_META_ORIENTATION) == 1);
        EXPECT_LT(meanDifference(together, alone), 3.0);
    }
}

// A Modern page asks for its large copy at a scale the JPEG decoder makes itself (a half, three eighths);
// the decode is trimmed to it, and every copy still looks like the one a run of its own makes: turned, in
// sRGB whether or not the profile it came with was applied (only a profile that changes nothing may not be).
TEST_F(SeveralSizes, CameraPhotosAtTheDecodersOwnScales)
{
    const struct {
        const char* photo;
        const char* crop; // in the upright picture
        int sizes[3][2];  // page, 2x, large
    } cases[] = {
        {"camera/nikon_d3100.jpg", nullptr, {{512, 341}, {1024, 682}, {2304, 1536}}},              // a half
        {"camera/canon_eos5d_mk3_issue266.jpg", nullptr, {{512, 341}, {1024, 682}, {2160, 1440}}}, // 3/8, sRGB
        {"camera/apple_iphone4s.jpg", "/crop=(101,203,2001,2999)", {{341, 512}, {683, 1024}, {1000, 1499}}},
        {"formats/canon_eos7d_adobergb.jpg", nullptr, {{200, 300}, {400, 600}, {600, 900}}},
    };
    for (const auto& c : cases) {
        if (!test::havePhoto(c.photo))
            continue; // only in the large corpus
        SCOPED_TRACE(c.photo);
        std::vector<std::string> common = {test::photo(c.photo), "/aspectratio", "/jpgq=85"};
        if (c.crop)
            common.push_back(c.crop);
        auto size = [&](int i) { return std::to_string(c.sizes[i][0]) + "," + std::to_string(c.sizes[i][1]); };
        auto name = [](int i) { return "p" + std::to_string(i) + ".jpg"; };
        std::vector<std::string> args = common;
        args.insert(args.end(),
                    {"/resample=(" + size(0) + ")", "/convert=" + out(name(0)),
                     "/also=(" + size(1) + "," + out(name(1)) + ")", "/also=(" + size(2) + "," + out(name(2)) + ")"});
        std::string error;
        ASSERT_TRUE(convert(args, error)) << error;
        for (int i = 0; i < 3; ++i) {
            std::vector<std::string> single = common;
            single.insert(single.end(), {"/resample=(" + size(i) + ")", "/convert=" + out("single-" + name(i))});
            ASSERT_TRUE(convert(single, error)) << error;
            const VImage together = VImage::new_from_file(out(name(i)).c_str());
            const VImage alone = VImage::new_from_file(out("single-" + name(i)).c_str());
            ASSERT_EQ(together.width(), c.sizes[i][0]);
            ASSERT_EQ(together.height(), c.sizes[i][1]);
            // Scaling in the DCT and by Lanczos leave fine texture (a pebble beach) a little different;
            // compared at a quarter, the copies agree, while a shift by two pixels or Adobe RGB taken as
            // sRGB do not.
            EXPECT_LT(meanDifference(together.shrink(4, 4), alone.shrink(4, 4)), 4.0) << size(i);
        }
    }
}

// The copies are turned as part of making them smaller; every EXIF orientation and a turn of the user's
// on top must still give the picture the right way up, like the photo stored upright copied one size a run.
TEST_F(SeveralSizes, EveryOrientationComesOutUpright)
{
    const std::string sizes[] = {"250,150", "500,300", "1000,600"};
    auto copy = [&](int exif, const std::vector<std::string>& more) {
        std::vector<std::string> args = {test::photo("orientation/Landscape_" + std::to_string(exif) + ".jpg"),
                                         "/crop=(100,50,1000,600)", "/aspectratio", "/jpgq=90"};
        args.insert(args.end(), more.begin(), more.end());
        std::string error;
        EXPECT_TRUE(convert(args, error)) << error;
    };
    auto name = [](const std::string& prefix, int i) { return prefix + std::to_string(i) + ".jpg"; };
    for (int i = 0; i < 3; ++i)
        copy(1, {"/resample=(" + sizes[i] + ")", "/convert=" + out(name("upright", i))});
    for (int exif = 1; exif <= 8; ++exif) {
        for (const bool userTurn : {false, true}) {
            SCOPED_TRACE("orientation " + std::to_string(exif) + (userTurn ? ", turned left by the user" : ""));
            std::vector<std::string> more = {"/resample=(" + sizes[0] + ")", "/convert=" + out(name("c", 0))};
            for (int i = 1; i < 3; ++i)
                more.push_back("/also=(" + sizes[i] + "," + out(name("c", i)) + ")");
            if (userTurn)
                more.push_back("/rotate_l");
            copy(exif, more);
            for (int i = 0; i < 3; ++i) {
                VImage made = VImage::new_from_file(out(name("c", i)).c_str());
                if (userTurn)
                    made = made.rot(VIPS_ANGLE_D90);
                const VImage upright = VImage::new_from_file(out(name("upright", i)).c_str());
                ASSERT_EQ(made.width(), upright.width());
                ASSERT_EQ(made.height(), upright.height());
                // The photos differ only in the number printed on them; a wrong turn differs everywhere.
                EXPECT_LT(meanDifference(made, upright), 8.0) << sizes[i];
            }
        }
    }
}

// A size larger than the cut is made from the cut as decoded once: a PNG is read in order only, and a
// second read of it would fail.
TEST_F(SeveralSizes, ASizeLargerThanTheCutComesFromTheSameDecode)
{
    std::string photo = test::photo("formats/leaves_apple_display_icc_rgba.png"); // 640 x 513
    if (!test::havePhoto("formats/leaves_apple_display_icc_rgba.png")) {
        // Any PNG will do: the large corpus's is the real thing, this one is made to the same size.
        photo = out("leaves.png");
        VImage::new_from_file(test::photo("orientation/Landscape_1.jpg").c_str())
            .extract_area(0, 0, 640, 513)
            .write_to_file(photo.c_str());
    }
    std::string error;
    ASSERT_TRUE(convert({photo, "/aspectratio", "/resample=(320,0)", "/convert=" + out("a.jpg"),
                         "/also=(1280,0," + out("b.jpg") + ")", "/also=(640,0," + out("c.jpg") + ")"},
                        error))
        << error;
    EXPECT_EQ(VImage::new_from_file(out("b.jpg").c_str()).width(), 1280);
    EXPECT_EQ(VImage::new_from_file(out("c.jpg").c_str()).width(), 640);
    EXPECT_EQ(VImage::new_from_file(out("a.jpg").c_str()).width(), 320);
}

TEST_F(SeveralSizes, AnUnwritableTypeIsRefusedBeforeAnythingIsWritten)
{
    const std::string photo = test::photo("camera/canon_eos5d.jpg");
    std::string error;
    EXPECT_FALSE(convert(
        {photo, "/resample=(100,0)", "/convert=" + out("a.jpg"), "/also=(200,0," + out("b.nope") + ")"}, error));
    EXPECT_NE(error.find("b.nope"), std::string::npos) << error;
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

} // namespace
} // namespace marquelo::convert
