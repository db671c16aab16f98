// The page format's pure rules: colours, folder names, numbering and the ending cut.
#include "core/page/PageFormat.h"
#include "core/page/ModernPageFormat.h"

#include <gtest/gtest.h>

namespace marquelo {
namespace {

TEST(PageFormat, FolderFromTitleIsItsSafeNameWithoutDots)
{
    EXPECT_EQ(subdirectoryForTitle("Sailing Trip. 2006"), "sailing_trip_2006");
    EXPECT_EQ(subdirectoryForTitle("my.pics"), "mypics");
    EXPECT_EQ(subdirectoryForTitle(""), "");
    // Only the first 64 characters of a long title count.
    const std::string title70 = std::string(60, 'a') + "bcdefghijk";
    EXPECT_EQ(subdirectoryForTitle(title70), std::string(60, 'a') + "bcde");
}

TEST(PageFormat, NextNumberFollowsTheHighestAnchorWhereverItStands)
{
    struct Row {
        const char* page;
        std::int64_t highest;
    };
    const Row rows[] = {
        {"", 1},                                             // a new page: the first image is 2
        {"<a name=5></a><a name=17></a><a name=9></a>", 17}, // order does not matter
        {"caption with <a name=99> inside", 99},             // anchors typed into captions count
        {"<a name=top></a><a name=3></a>", 3},               // no digits: 0, no disturbance
        {"<a name=  +12></a>", 12},                          // blanks and one sign
        {"<a name=-40></a>", 1},                             // below the start changes nothing
        {"<a name=\r\n21></a>", 21},                         // an anchor broken over two lines
        {"<A NAME=50><a name=4>", 4},                        // the search is case-sensitive
        {"<a name=99999999999999999999></a>", 2147483647},   // saturates instead of wrapping
    };
    for (const Row& row : rows)
        EXPECT_EQ(highestAnchor(row.page), row.highest) << row.page;
}

TEST(PageFormat, EndingIsCutOnlyWhenItOccursExactlyOnce)
{
    const std::string end = "</i></font></p>\r\n</body>\r\n</html>";
    struct Row {
        std::string page;
        std::optional<std::string> result;
    };
    const Row rows[] = {
        {"a\r\nb\r\n" + end + "\r\n", "a\r\nb\r\n\r\n"},
        {"a\nb\n</i></font></p>\n</body>\n</html>\n", "a\r\nb\r\n\r\n"}, // LF-only pages come back CR LF
        {"a\r\n" + end, "a\r\n\r\n"},                                    // no line end after the last line
        {"a\r\n" + end + "\r\n" + end + "\r\n", std::nullopt},           // closed twice
        {"a\r\nb\r\n", std::nullopt},                                    // never closed
    };
    for (const Row& row : rows)
        EXPECT_EQ(withoutEnding(row.page, end), row.result) << row.page;
    EXPECT_EQ(withoutEnding("anything", ""), std::nullopt);
}

// Typed values stand inside the page-information comment; none may end it and put markup into the page.
TEST(PageFormat, PageInformationCommentEndsOnlyWhereItShould)
{
    PageHeader header;
    header.info =
        PageInfoValues{"Trip --> <script>alert(1)</script>", QDate(2006, 7, 5), "a--!>b", "x---y", "here -->"};
    header.title = "Trip";
    for (const std::string& page : {headerText(header), modernHeaderText(header, "en")}) {
        const std::size_t close = page.find("-->");
        ASSERT_NE(close, std::string::npos);
        // No hyphen pair between the comment's opening and its own closing line.
        EXPECT_EQ(page.find("--", page.find("<!--") + 4), close) << page;
        EXPECT_EQ(page.substr(close - 2, 5), "\r\n-->");
        EXPECT_EQ(page.find("<script>", close), std::string::npos) << page;
        EXPECT_NE(page.find("\r\nTrip -> <script>alert(1)</script>\r\n"), std::string::npos);
    }

    // A value without a double hyphen is written as typed.
    header.info = PageInfoValues{"Lisbon - Porto", QDate(2006, 7, 5), "-a-", "b-", "-"};
    EXPECT_NE(pageInfoText(*header.info, "p.jpg")
                  .find("TITLE\r\nLisbon - Porto\r\nDATE\r\n2006/07/05\r\nPROMOIMAGE\r\np.jpg\r\nCATEGORY\r\n-a-\r\n"
                        "COUNTRY\r\nb-\r\nLOCATION\r\n-\r\n-->"),
              std::string::npos);
}

} // namespace
} // namespace marquelo
