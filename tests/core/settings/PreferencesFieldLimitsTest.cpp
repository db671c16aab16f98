#include "core/settings/PreferencesFieldLimits.h"
#include "core/settings/PreferencesKeys.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace marquelo {
namespace {

// The number fields: sizes take 1 to 100000, the depth any number that fits the stored 32 bits.
TEST(PreferencesFieldLimits, NumbersAreWholeIntegersWithinTheirRange)
{
    struct Row {
        const char* text;
        std::optional<std::int32_t> size;
        std::optional<std::int32_t> depth;
    };
    const Row rows[] = {
        {"1", 1, 1},
        {"100000", 100000, 100000},
        {" 512 ", 512, 512},
        {"00042", 42, 42},
        {"0", {}, 0},
        {"100001", {}, 100001},
        {"-5", {}, {}},
        {"", {}, {}},
        {"   ", {}, {}},
        {"12a", {}, {}},
        {"1 2", {}, {}},
        {"0x10", {}, {}},
        {"1.5", {}, {}},
        {"2147483647", {}, 2147483647},
        {"2147483648", {}, {}}, // would not fit the stored number
        {"99999999999999999999", {}, {}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(parseIntegerInRange(row.text, 1, 100000), row.size) << '"' << row.text << '"';
        EXPECT_EQ(parseNonNegativeInteger(row.text), row.depth) << '"' << row.text << '"';
    }
}

TEST(PreferencesFieldLimits, ShownTextHasOneNewlineForEachStoredLineBreak)
{
    EXPECT_EQ(toShownLineBreaks("a\r\n\r\nb\rc"), "a\n\nb\nc");
}

TEST(PreferencesKeys, EveryEditedKeyIsARealSettingAndListedOnce)
{
    for (std::size_t i = 0; i < kPreferenceKeys.size(); ++i) {
        EXPECT_NE(findSetting(kPreferenceKeys[i]), nullptr) << kPreferenceKeys[i];
        for (std::size_t j = i + 1; j < kPreferenceKeys.size(); ++j)
            EXPECT_NE(kPreferenceKeys[i], kPreferenceKeys[j]);
    }
}

TEST(PreferencesKeys, CopyTouchesOnlyTheKeysWithAControl)
{
    AppConfig edited;
    edited.BaseOutputDirectory = "/photos/out";
    edited.CacheDepth = 3;
    edited.Sorting = 2;
    edited.BackgroundColor = makeColour(1, 2, 3);
    edited.TemplateEnd = "</body>";
    edited.HideTool4App = true;
    // Set by the page builder or the tab memory while the dialog was open: never the dialog's to change.
    edited.CurOutputDirectory = "/elsewhere";
    edited.PageLayoutTemp = 1;
    edited.CurrentCfgTab = 5;
    edited.PageInfo = true;

    AppConfig target;
    target.CurOutputDirectory = "/current/page";
    target.CurrentCfgTab = 4;
    copyPreferenceKeys(edited, target);

    EXPECT_EQ(target.BaseOutputDirectory, "/photos/out");
    EXPECT_EQ(target.CacheDepth, 3);
    EXPECT_EQ(target.Sorting, 2);
    EXPECT_EQ(target.BackgroundColor, makeColour(1, 2, 3));
    EXPECT_EQ(target.TemplateEnd, "</body>");
    EXPECT_TRUE(target.HideTool4App);
    EXPECT_EQ(target.CurOutputDirectory, "/current/page");
    EXPECT_EQ(target.PageLayoutTemp, 0);
    EXPECT_EQ(target.CurrentCfgTab, 4);
    EXPECT_FALSE(target.PageInfo);
}

} // namespace
} // namespace marquelo
