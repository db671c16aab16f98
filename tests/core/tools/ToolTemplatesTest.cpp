#include "core/tools/ToolTemplates.h"

#include <gtest/gtest.h>

namespace marquelo {
namespace {

Rect box(int left, int top, int width, int height)
{
    return {left, top, left + width - 1, top + height - 1};
}

struct SizeCase {
    const char* name;
    Rect source;
    Rect destination;
    int choice;
    int width;
    int height;
};

class TargetSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(TargetSizeTest, FollowsTheLongSideRule)
{
    const SizeCase& c = GetParam();
    AppConfig config; // Small 256, Medium 512, Large 960
    EXPECT_EQ(targetSize(c.source, c.destination, c.choice, config), (TargetSize{c.width, c.height}));
}

const Rect kWindow = box(112, 50, 800, 600);

// Expected values worked out by hand from the rule: long side limited, short side L*short/long truncated.
INSTANTIATE_TEST_SUITE_P(
    Sizes, TargetSizeTest,
    ::testing::Values(SizeCase{"WholeLandscapeMedium", box(0, 0, 4000, 3000), kWindow, kSizeMedium, 512, 384},
                      SizeCase{"PortraitSmall", box(100, 50, 1500, 2000), kWindow, kSizeSmall, 192, 256},
                      SizeCase{"SmallSelectionNotEnlargedLarge", box(0, 0, 200, 150), kWindow, kSizeLarge, 200, 150},
                      SizeCase{"SmallSelectionUncompressed", box(0, 0, 200, 150), kWindow, kSizeUncompressed, 200, 150},
                      SizeCase{"TruncatedHeight", box(0, 0, 1000, 333), kWindow, kSizeMedium, 512, 170},
                      SizeCase{"SquareSmall", box(10, 10, 500, 500), kWindow, kSizeSmall, 256, 256},
                      SizeCase{"CurrentSizeShrinks", box(0, 0, 4000, 3000), kWindow, kSizeCurrent, 800, 600},
                      SizeCase{"CurrentSizeEnlarges", box(0, 0, 400, 300), kWindow, kSizeCurrent, 800, 600},
                      SizeCase{"OutOfRangeIsMedium", box(0, 0, 4000, 3000), kWindow, 7, 512, 384},
                      SizeCase{"EmptySource", Rect{0, 0, -1, -1}, kWindow, kSizeMedium, 0, 0},
                      // 60000 x 50000: h*L would wrap in 32 bits for the Uncompressed size.
                      SizeCase{"HugeDoesNotWrap", box(0, 0, 60000, 50000), kWindow, kSizeUncompressed, 60000, 50000}),
    [](const auto& row) { return std::string(row.param.name); });

// Sizes come from a store that anyone can edit: what the preferences would refuse counts as the default,
// and no stored or computed side is ever 0 or negative.
TEST(TargetSize, StoredSizesOutOfRangeAreTheDefaults)
{
    const Rect photo = box(0, 0, 4000, 3000);
    for (const std::int32_t stored : {-500, 0, 100001, INT32_MIN}) {
        SCOPED_TRACE(stored);
        AppConfig config;
        config.SizeSmall = config.SizeMedium = config.SizeLarge = stored;
        EXPECT_EQ(targetSize(photo, kWindow, kSizeSmall, config), (TargetSize{256, 192}));
        EXPECT_EQ(targetSize(photo, kWindow, kSizeMedium, config), (TargetSize{512, 384}));
        EXPECT_EQ(targetSize(photo, kWindow, kSizeLarge, config), (TargetSize{960, 720}));
    }
    AppConfig config;
    config.SizeSmall = 1;
    config.SizeLarge = 100000;
    EXPECT_EQ(targetSize(photo, kWindow, kSizeSmall, config), (TargetSize{1, 1}));
    EXPECT_EQ(targetSize(photo, kWindow, kSizeLarge, config), (TargetSize{4000, 3000}));
    EXPECT_EQ(targetSize(box(0, 0, 3000, 2), kWindow, kSizeMedium, config), (TargetSize{512, 1}));
    EXPECT_EQ(targetSize(box(0, 0, 2, 3000), kWindow, kSizeSmall, config), (TargetSize{1, 1}));
}

struct NameCase {
    const char* name;
    const char* input;
    const char* output;
};

class NormalizeTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NormalizeTest, MakesTheOutputName)
{
    EXPECT_EQ(normalizeOutputName(GetParam().input), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NormalizeTest,
    ::testing::Values(
        NameCase{"CameraCopy", "DSC 0012 (Copy).JPG", "dsc_0012_copy.jpg"},
        NameCase{"Umlauts", "Über Öl.jpg", "uber_ol.jpg"},
        NameCase{"KeptPunctuation", "a@b+c=d.e-f_g.JPEG", "a@b+c=d.e-f_g.jpeg"},
        NameCase{"FoldedLetters", "Ääkkönen Åsa µm.jpg", "aakkonen_asa_um.jpg"},
        NameCase{"OtherAccentsDropped", "café ñandú.jpg", "caf_and.jpg"},
        NameCase{"CommasApostrophes", "Tom's, Jerry's.jpg", "toms_jerrys.jpg"},
        NameCase{"NonLatinOnly", "東京.jpg", ".jpg"}, NameCase{"Empty", "", ""},
        NameCase{"InvalidUtf8Dropped",
                 "a\xff\xfe"
                 "b.jpg",
                 "ab.jpg"},
        // 60 letters + ".jpg": 64 characters exactly, all kept.
        NameCase{"SixtyFourKept", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA.jpg",
                 "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.jpg"},
        // 66 letters + ".jpg" = 70: the stem is shortened, the extension stays.
        NameCase{"SeventyKeepsExtension", "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.jpg",
                 "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.jpg"},
        // Dropped characters take no room: 4 brackets, 60 letters and ".jpg" fit whole.
        NameCase{"DroppedCharactersTakeNoRoom", "((((cccccccccccccccccccccccccccccccccccccccccccccccccccccccccccc.jpg",
                 "cccccccccccccccccccccccccccccccccccccccccccccccccccccccccccc.jpg"},
        NameCase{"LongHolidayName", "Summer holiday 2024 - day 3 - the beach at sunset with the whole family.jpg",
                 "summer_holiday_2024_-_day_3_-_the_beach_at_sunset_with_the_w.jpg"},
        // Only a stem can be shortened: an "extension" that would fill the name is cut.
        NameCase{"HugeExtensionCut", "a.bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb",
                 "a.bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Normalize, NeverLongerThan64)
{
    std::string longName;
    for (int i = 0; i < 70; ++i)
        longName += "Ü";
    EXPECT_EQ(normalizeOutputName(longName), std::string(64, 'u'));
}

TEST(OutputCopyName, PicturesBrowsersCannotShowGetAJpegName)
{
    EXPECT_EQ(outputCopyName("IMG_0001.HEIC"), "img_0001.jpg");
    EXPECT_EQ(outputCopyName("Scan 2.tiff"), "scan_2.jpg");
    EXPECT_EQ(outputCopyName("bike.jxl"), "bike.jpg");
    EXPECT_EQ(outputCopyName("_MG_1234.CR3"), "_mg_1234.jpg");
    // Browsers show these as they are: the name stays as normalizeOutputName makes it.
    EXPECT_EQ(outputCopyName("DSC01234.JPG"), "dsc01234.jpg");
    EXPECT_EQ(outputCopyName("Leaf.PNG"), "leaf.png");
    EXPECT_EQ(outputCopyName("clip.avi"), "clip.avi");
    EXPECT_EQ(outputCopyName("photo.heic.webp"), "photo.heic.webp");
    // However long the name, the copy's name ends in .jpg.
    const std::string copy = outputCopyName(std::string(62, 'a') + ".heic");
    EXPECT_EQ(copy.substr(copy.size() - 4), ".jpg");
}

ExpansionInput photoInput()
{
    ExpansionInput in;
    in.imageDirectory = "/home/ana/Photos";
    in.shownName = "DSC 0012 (Copy).JPG";
    in.outputDirectory = "/home/ana/out";
    in.source = box(0, 0, 4000, 3000);
    in.size = {512, 384};
    return in;
}

struct ExpandCase {
    const char* name;
    const char* tmpl;
    const char* expected;
};

class ExpandTest : public ::testing::TestWithParam<ExpandCase> {};

TEST_P(ExpandTest, ReplacesPlaceholders)
{
    EXPECT_EQ(expandToolArguments(GetParam().tmpl, photoInput()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Templates, ExpandTest,
    ::testing::Values(
        ExpandCase{
            "DefaultCompression", R"("%1/%2" /crop=(%5) /resample=(%7,%6) /aspectratio /jpgq=85 /convert="%3/%4")",
            R"("/home/ana/Photos/DSC 0012 (Copy).JPG" /crop=(0,0,4000,3000) /resample=(512,384) /aspectratio /jpgq=85 /convert="/home/ana/out/dsc_0012_copy.jpg")"},
        ExpandCase{"DefaultImageTag", R"(<img src="%4" height=%6 width=%7 alt="">)",
                   R"(<img src="dsc_0012_copy.jpg" height=384 width=512 alt="">)"},
        ExpandCase{"NoPlaceholders", "/e,/root", "/e,/root"},
        ExpandCase{"UnknownAndDoublePercentStay", "%8 %% %0 %a 100%", "%8 %% %0 %a 100%"},
        ExpandCase{"EveryOccurrence", "%1|%1|%7%7", "/home/ana/Photos|/home/ana/Photos|512512"},
        ExpandCase{"CaseSensitiveLiteral", "%%1", "%/home/ana/Photos"}, ExpandCase{"Empty", "", ""}),
    [](const auto& row) { return std::string(row.param.name); });

// What a placeholder inserts is never expanded again: a folder or a photo whose name holds "%5" must
// not turn into another file's name.
TEST(Expand, InsertedTextIsNeverExpandedAgain)
{
    ExpansionInput in = photoInput();
    in.imageDirectory = "/data/%3/%6";
    in.outputDirectory = "OUT%2";
    EXPECT_EQ(expandToolArguments("%1", in), "/data/%3/%6");
    EXPECT_EQ(expandToolArguments("%3|%1", in), "OUT%2|/data/%3/%6");

    in.imageDirectory = "/photos";
    in.shownName = "p%5.jpg";
    in.source = box(0, 0, 427, 640);
    EXPECT_EQ(expandToolArguments(R"("%1/%2" /rotate_r /jpgq=95 /convert="%1/%2")", in),
              R"("/photos/p%5.jpg" /rotate_r /jpgq=95 /convert="/photos/p%5.jpg")");
    // A name ending in "%" must not join the next placeholder's "%" either.
    in.shownName = "100%";
    EXPECT_EQ(expandToolArguments("%2%7", in), "100%512");
}

TEST(Expand, GivenOutputNameWinsOverNormalized)
{
    ExpansionInput in = photoInput();
    in.outputName = "dsc_0012_copy-2.jpg";
    EXPECT_EQ(expandToolArguments("%3/%4", in), "/home/ana/out/dsc_0012_copy-2.jpg");
}

} // namespace
} // namespace marquelo
