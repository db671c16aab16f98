// New pages: the header byte for byte, the page's folder and the ways creating a page can fail.
#include "PageFixture.h"

namespace marquelo::test {
namespace {

const std::string kSummerFirstImage = "\r\n<br><br><a name=2></a>\r\n"
                                      "<br><img src=\"dsc01234.jpg\" height=341 width=512 alt=\"\"><br><br>\r\n"
                                      "Beach at noon\r\n";

TEST_F(PageTest, ExamplePageWithDefaultsHasTheHeaderAndTheFirstImage)
{
    confirmSetup("Summer");
    add("Beach at noon");

    EXPECT_EQ(config.CurPageSubdirectory, "summer");
    EXPECT_EQ(config.CurOutputDirectory, base + "/summer");
    EXPECT_EQ(readFile(base + "/summer/index.html"), kSummerHeader + kSummerFirstImage);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].application, "marquelo-convert");
    const std::vector<std::string> expected = {photos + "/DSC01234.JPG",
                                               "/crop=(0,0,3000,2000)",
                                               "/resample=(512,341)",
                                               "/aspectratio",
                                               "/jpgq=85",
                                               "/convert=" + base + "/summer/dsc01234.jpg"};
    EXPECT_EQ(launches[0].arguments, expected);
    EXPECT_EQ(host.captionEnds, 1);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(PageTest, PageInformationOpensThePageWithItsComment)
{
    config.PageInfo = true;
    config.PageInfoCountry = "Norway";
    QDate offered;
    std::string offeredCountry;
    host.pageInfo = [&](PageInfoValues& v) {
        offered = v.date;
        offeredCountry = v.country;
        v.title = "Fjord <b>days</b>";
        v.date = QDate(2006, 8, 1);
        v.category = "sailing";
        v.country = "Sweden";
        v.location = "Orust";
        return true;
    };
    std::string titleOffered;
    QDate dateOffered;
    host.pageSetup = [&](PageSetupValues& v, bool) {
        titleOffered = v.title;
        dateOffered = v.date;
        return true;
    };
    ASSERT_TRUE(session.createPage("DSC01234.JPG"));

    EXPECT_EQ(offered, QDate(2006, 7, 5)); // the photo's last-write date
    EXPECT_EQ(offeredCountry, "Norway");
    EXPECT_EQ(titleOffered, "Fjord <b>days</b>");
    EXPECT_EQ(dateOffered, QDate(2006, 8, 1));
    EXPECT_EQ(config.PageInfoCountry, "Sweden");
    EXPECT_EQ(config.CurPageSubdirectory, "fjord_bdaysb");
    const std::string expected =
        "<!-- Quorvant page information\r\nTITLE\r\nFjord <b>days</b>\r\nDATE\r\n2006/08/01\r\n"
        "PROMOIMAGE\r\ndsc01234.jpg\r\nCATEGORY\r\nsailing\r\nCOUNTRY\r\nSweden\r\nLOCATION\r\nOrust\r\n-->\r\n\r\n"
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<html>\r\n<head>\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
        "<META name=\"generator\" content=\"Marquelo v1.16\">\r\n"
        "<title>Fjord <b>days</b></title>\r\n</head>\r\n\r\n"
        "<body bgcolor=\"#000000\" text=\"#00ffff\" link=\"#007fff\" vlink=\"#007fff\" alink=\"#007fff\">\r\n\r\n"
        "<p align=\"center\"><font face=\"Georgia, Times New Roman, Times, serif\" size=\"+1\"><i>\r\n"
        "<font size=\"+3\">Fjord <b>days</b></font>\r\n"
        "<br><font size=\"+1\">August 1, 2006</font>\r\n";
    EXPECT_EQ(readFile(base + "/fjord_bdaysb/index.html"), expected);
}

TEST_F(PageTest, PropertiesOfTheDialogGoIntoTheBodyTagAndTheSettings)
{
    config.CreateSubdirectory = false;
    config.OutputFilename = "trip.htm";
    config.TemplateBegin2 = "<center>";
    writeFile(tmp.path().toStdString() + "/My Sky.JPG", smallPicture("sky.jpg"));
    host.pageSetup = [&](PageSetupValues& v, bool createSubdirectory) {
        EXPECT_FALSE(createSubdirectory);
        v.bgColor = makeColour(0x12, 0x34, 0x56);
        v.textColor = makeColour(255, 255, 255);
        v.autoLinkColor = false;
        v.linkColor = makeColour(0xAA, 0xBB, 0xCC);
        v.layoutStyle = 2;
        v.dateMode = 1;
        v.dateText = "";
        v.bgImage = tmp.path().toStdString() + "/My Sky.JPG";
        return true;
    };
    ASSERT_TRUE(session.createPage("DSC01234.JPG"));

    EXPECT_EQ(config.PageBgColor, makeColour(0x12, 0x34, 0x56));
    EXPECT_FALSE(config.PageAutoLinkColor);
    EXPECT_EQ(config.PageLinkColor, makeColour(0xAA, 0xBB, 0xCC));
    EXPECT_EQ(config.PageLayoutStyle, 2);
    EXPECT_EQ(config.CurOutputDirectory, base);
    EXPECT_EQ(config.CurPageSubdirectory, "");
    EXPECT_EQ(readFile(base + "/my_sky.jpg"), smallPicture("sky.jpg"));
    const std::string page = readFile(base + "/trip.htm");
    const std::string tail =
        "<title></title>\r\n</head>\r\n\r\n"
        "<body bgcolor=\"#123456\" text=\"#ffffff\" link=\"#aabbcc\" vlink=\"#aabbcc\" "
        "alink=\"#aabbcc\" background=\"my_sky.jpg\">\r\n"
        "<center>\r\n"
        "<p align=\"center\"><font face=\"Georgia, Times New Roman, Times, serif\" size=\"+1\"><i>\r\n"
        "<font size=\"+3\"></font>\r\n"
        "<br><font size=\"+1\"></font>\r\n";
    ASSERT_GE(page.size(), tail.size());
    EXPECT_EQ(page.substr(page.size() - tail.size()), tail);
}

TEST_F(PageTest, AnExistingFolderIsNeverReusedForANewPage)
{
    QDir().mkdir(QString::fromStdString(base + "/summer"));
    writeFile(base + "/summer/index.html.bak", "older page");
    confirmSetup("Summer");
    add("x");

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].substr(0, ui.messages[0].find('\n')),
              "Failed to create output directory '" + base + "/summer'");
    EXPECT_NE(ui.messages[0].find("\nFile exists.\n\n"), std::string::npos) << ui.messages[0];
    EXPECT_FALSE(exists(base + "/summer/index.html"));
    EXPECT_TRUE(launches.empty());
    EXPECT_EQ(host.nexts, 0);
    EXPECT_EQ(host.captionEnds, 0); // the caption stays for another try
}

// A new page whose folder exists already (the page closed before it, same title) must not make that
// closed page the open one: the photo and its caption stay, Enter asks again, the old page is untouched.
TEST_F(PageTest, AFailedNewPageLeavesNoPageOpenAndKeepsThePhotoForTheRetry)
{
    addPhoto("DSC01235.JPG");
    confirmSetup("Summer");
    add("one");
    session.closePage();
    const std::string closed = readFile(base + "/summer/index.html");
    ASSERT_EQ(images.currentIndex(), 1);
    ui.messages.clear();

    add("two");
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_FALSE(session.isPageOpen());
    EXPECT_EQ(config.CurOutputDirectory, base);
    EXPECT_EQ(images.currentIndex(), 1);
    EXPECT_TRUE(session.captionActive());
    EXPECT_EQ(readFile(base + "/summer/index.html"), closed);

    // Enter again: the dialog is asked again and the page made under the new title.
    int asked = 0;
    host.pageSetup = [&asked](PageSetupValues& v, bool) {
        ++asked;
        v.title = "Summer again";
        v.subdirectory = subdirectoryForTitle(v.title);
        return true;
    };
    session.addImage(false);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(readFile(base + "/summer/index.html"), closed);
    const std::string page = readFile(base + "/summer_again/index.html");
    EXPECT_NE(page.find("<title>Summer again</title>"), std::string::npos);
    EXPECT_NE(page.find("\r\ntwo\r\n"), std::string::npos);
}

// Without folders of their own, a closed page stays where the next one would go: it is never appended to.
TEST_F(PageTest, AClosedPageIsNeverAppendedTo)
{
    addPhoto("DSC01235.JPG");
    config.CreateSubdirectory = false;
    confirmSetup("Summer");
    add("one");
    session.closePage();
    const std::string closed = readFile(base + "/index.html");
    ASSERT_EQ(images.currentIndex(), 1);
    ui.messages.clear();
    launches.clear();

    add("two");
    EXPECT_EQ(readFile(base + "/index.html"), closed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].rfind("'" + base + "/index.html' is closed", 0), 0u) << ui.messages[0];
    EXPECT_EQ(images.currentIndex(), 1);
    EXPECT_TRUE(launches.empty());
}

TEST_F(PageTest, CancelledDialogsLeaveNothingBehindButTheViewerMovesOn)
{
    addPhoto("DSC01235.JPG");
    addPhoto("DSC01236.JPG");
    config.PageInfo = true;
    add("x"); // page information cancelled
    config.PageInfo = false;
    add("y"); // page properties cancelled

    EXPECT_EQ(QDir(QString::fromStdString(base)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 0);
    EXPECT_EQ(host.nexts, 2);
    EXPECT_TRUE(launches.empty());
}

TEST_F(PageTest, FailedBackgroundCopyRemovesTheHalfMadePage)
{
    host.pageSetup = [&](PageSetupValues& v, bool) {
        v.title = "Summer";
        v.subdirectory = "summer";
        v.bgImage = tmp.path().toStdString() + "/gone.jpg";
        return true;
    };
    EXPECT_FALSE(session.createPage("DSC01234.JPG"));

    EXPECT_EQ(ui.messages, std::vector<std::string>{"Failed to copy '" + tmp.path().toStdString() + "/gone.jpg' to '" +
                                                    base + "/summer/gone.jpg'"});
    EXPECT_FALSE(session.isPageOpen());
    EXPECT_FALSE(exists(base + "/summer")); // the new, empty folder goes too, so the name can be used again
}

TEST_F(PageTest, PageThatCannotBeAppendedToIsReportedWithItsPath)
{
    config.CreateSubdirectory = false;
    QDir().mkdir(QString::fromStdString(base + "/index.html")); // something that is not a writable file
    confirmSetup("Summer");
    add("x");

    EXPECT_EQ(ui.messages, std::vector<std::string>{"Failed to open '" + base + "/index.html'"});
    EXPECT_TRUE(launches.empty());
}

} // namespace
} // namespace marquelo::test
