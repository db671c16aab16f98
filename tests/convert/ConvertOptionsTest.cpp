#include "convert/ConvertOptions.h"

#include <gtest/gtest.h>

namespace marquelo::convert {
namespace {

using Args = std::vector<std::string>;

TEST(ParseArguments, DefaultCompressionTemplate)
{
    const ParseResult r =
        parseArguments({"/p/My Trip/DSC 0012 (Copy).JPG", "/crop=(100,50,1500,2000)", "/resample=(192,256)",
                        "/aspectratio", "/jpgq=85", "/convert=/out/dsc_0012_copy.jpg"});
    ASSERT_EQ(r.action, ParseResult::Convert) << r.error;
    EXPECT_EQ(r.options.input, "/p/My Trip/DSC 0012 (Copy).JPG");
    EXPECT_EQ(r.options.output, "/out/dsc_0012_copy.jpg");
    ASSERT_TRUE(r.options.crop);
    EXPECT_EQ(r.options.crop->left, 100);
    EXPECT_EQ(r.options.crop->top, 50);
    EXPECT_EQ(r.options.crop->width, 1500);
    EXPECT_EQ(r.options.crop->height, 2000);
    ASSERT_TRUE(r.options.resample);
    EXPECT_EQ(r.options.resample->width, 192);
    EXPECT_EQ(r.options.resample->height, 256);
    EXPECT_TRUE(r.options.keepAspect);
    EXPECT_EQ(r.options.jpegQuality, 85);
}

TEST(ParseArguments, AnyOrderAnyCaseTurnsInOrder)
{
    const ParseResult r =
        parseArguments({"/CONVERT=/o.jpg", "/Rotate_L", "/hflip", "/in.jpg", "/rotate_r", "/vflip", "/JPGQ=95"});
    ASSERT_EQ(r.action, ParseResult::Convert) << r.error;
    EXPECT_EQ(r.options.input, "/in.jpg");
    EXPECT_EQ(r.options.output, "/o.jpg");
    EXPECT_EQ(r.options.jpegQuality, 95);
    EXPECT_EQ(r.options.turns, (std::vector<Turn>{Turn::RotateLeft, Turn::Mirror, Turn::RotateRight, Turn::Flip}));
    EXPECT_FALSE(r.options.crop);
    EXPECT_FALSE(r.options.resample);
}

TEST(ParseArguments, HelpAndVersionWin)
{
    EXPECT_EQ(parseArguments({"x.jpg", "--help"}).action, ParseResult::Help);
    EXPECT_EQ(parseArguments({"--version"}).action, ParseResult::Version);
    EXPECT_NE(helpText().find("/crop=(l,t,w,h)"), std::string::npos);
}

struct BadCase {
    const char* name;
    Args args;
    const char* error; // a part of the message
};

class BadArgumentsTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadArgumentsTest, IsRejectedWithAReason)
{
    const ParseResult r = parseArguments(GetParam().args);
    EXPECT_EQ(r.action, ParseResult::Error);
    EXPECT_NE(r.error.find(GetParam().error), std::string::npos) << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadArgumentsTest,
    ::testing::Values(
        BadCase{"Nothing", {}, "no input"}, BadCase{"NoOutput", {"a.jpg"}, "no output"},
        BadCase{"UnknownSwitch", {"a.jpg", "/sharpen=3", "/convert=b.jpg"}, "unknown switch '/sharpen=3'"},
        BadCase{"TwoInputs", {"a.jpg", "b.jpg", "/convert=c.jpg"}, "more than one input"},
        BadCase{"CropThreeNumbers", {"a.jpg", "/crop=(1,2,3)", "/convert=b.jpg"}, "bad crop"},
        BadCase{"CropZeroWidth", {"a.jpg", "/crop=(0,0,0,5)", "/convert=b.jpg"}, "bad crop"},
        BadCase{"CropHuge", {"a.jpg", "/crop=(0,0,99999999999999999999,5)", "/convert=b.jpg"}, "bad crop"},
        BadCase{"CropTwice", {"a.jpg", "/crop=(0,0,5,5)", "/crop=(0,0,5,5)", "/convert=b.jpg"}, "twice"},
        BadCase{"ResampleBothZero", {"a.jpg", "/resample=(0,0)", "/convert=b.jpg"}, "bad size"},
        BadCase{"QualityZero", {"a.jpg", "/jpgq=0", "/convert=b.jpg"}, "bad JPEG quality"},
        BadCase{"FlagWithValue", {"a.jpg", "/rotate_l=1", "/convert=b.jpg"}, "takes no value"},
        BadCase{"ValueMissing", {"a.jpg", "/jpgq", "/convert=b.jpg"}, "needs a value"}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace marquelo::convert
