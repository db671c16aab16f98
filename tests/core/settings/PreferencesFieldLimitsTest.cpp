#include "core/settings/PreferencesFieldLimits.h"
#include "core/settings/PreferencesKeys.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace marquelo {
namespace {

TEST(PreferencesFieldLimits, MessagesAreFilledIn)
{
    EXPECT_EQ(tooManyCharactersMessage(258), "Please enter no more than 258 characters.");
    EXPECT_EQ(integerRangeMessage(1, 100000), "Please enter an integer between 1 and 100000.");
    EXPECT_EQ(cacheDepthMessage(), "Please enter a cache depth between 1 and 4");
    EXPECT_EQ(kPositiveIntegerMessage, "Please enter a positive integer.");
}

TEST(PreferencesFieldLimits, IntegerInRange)
{
    struct Row {
        const char* text;
        std::optional<std::int32_t> expected;
    };
    const Row rows[] = {
        {"1", 1},      {"100000", 100000}, {"256", 256}, {" 512 ", 512}, {"+7", 7},
        {"0", {}},     {"100001", {}},     {"-5", {}},   {"", {}},       {"   ", {}},
        {"12a", {}},   {"1 2", {}},        {"0x10", {}}, {"1.5", {}},    {"99999999999999999999", {}},
        {"00042", 42},
    };
    for (const Row& row : rows)
        EXPECT_EQ(parseIntegerInRange(row.text, 1, 100000), row.expected) << '"' << row.text << '"';
}

TEST(PreferencesFieldLimits, NonNegativeInteger)
{
    struct Row {
        const char* text;
        std::optional<std::int32_t> expected;
    };
    const Row rows[] = {
        {"0", 0},           {"4", 4},   {"99", 99}, {"2147483647", 2147483647},
        {"", {}},           {"-1", {}}, {"x", {}},  {"2147483648", {}}, // would not fit the stored 32-bit number
        {"4294967295", {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(parseNonNegativeInteger(row.text), row.expected) << '"' << row.text << '"';
}

TEST(PreferencesFieldLimits, CharactersAreCountedNotBytes)
{
    EXPECT_EQ(characterCount(""), 0u);
    EXPECT_EQ(characterCount("abc"), 3u);
    EXPECT_EQ(characterCount("\xc3\xa9t\xc3\xa9"), 3u);            // été
    EXPECT_EQ(characterCount("\xe6\x97\xa5\xf0\x9f\x93\xb7"), 2u); // a CJK letter and a camera emoji
}

TEST(PreferencesFieldLimits, LineBreaksBetweenShownAndStored)
{
    struct Row {
        const char* shown;
        const char* stored;
    };
    const Row rows[] = {
        {"", ""},
        {"one line", "one line"},
        {"a\nb", "a\r\nb"},
        {"a\n\nb\n", "a\r\n\r\nb\r\n"},
        {"<html>\n<head>", "<html>\r\n<head>"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(toStoredLineBreaks(row.shown), row.stored) << row.shown;
        EXPECT_EQ(toShownLineBreaks(row.stored), row.shown) << row.shown;
    }
    // Whatever mix arrives, the stored text has exactly CR LF between lines.
    EXPECT_EQ(toStoredLineBreaks("a\r\nb\rc\nd"), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(toShownLineBreaks("a\rb"), "a\nb");
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
