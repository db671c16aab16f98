// Adding photos and movies: layouts, the L/R alternation, sizes, copies and output names.
#include "PageFixture.h"
#include "support/TestSupport.h"

#include <algorithm>

namespace marquelo::test {
namespace {

std::string tag(const std::string& name, int height, int width)
{
    return "<img src=\"" + name + "\" height=" + std::to_string(height) + " width=" + std::to_string(width) +
           " alt=\"\">";
}

std::string anchor(int n)
{
    return "\r\n<br><br><a name=" + std::to_string(n) + "></a>\r\n";
}

std::string left(const std::string& image, const std::string& caption)
{
    return "<table width=\"100%\" border=\"0\"><tr>\r\n<td width=\"50%\"><p align=right>" + image +
           "</p></td>\r\n<td width=\"50%\"><blockquote><p><b><i>\r\n" + caption +
           "\r\n</i></b></p></blockquote></td></tr></table>\r\n";
}

std::string right(const std::string& image, const std::string& caption)
{
    return "<table width=\"100%\" border=\"0\"><tr>\r\n<td width=\"50%\"><blockquote><p align=right><b><i>\r\n" +
           caption + "\r\n</i></b></p></blockquote></td>\r\n<td width=\"50%\">" + image + "</td></tr></table>\r\n";
}

std::string center(const std::string& image, const std::string& caption)
{
    return "<br>" + image + "<br><br>\r\n" + caption + "\r\n";
}

class AddTest : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        addPhoto("b.jpg");
        addPhoto("c.jpg");
    }
    std::string page() { return readFile(base + "/summer/index.html"); }
};

TEST_F(AddTest, EachLayoutPlacesItsImages)
{
    struct Row {
        int layout;
        std::string fragments;
    };
    const std::string t1 = tag("dsc01234.jpg", 341, 512), t2 = tag("b.jpg", 341, 512), t3 = tag("c.jpg", 341, 512);
    const Row rows[] = {
        {0, anchor(2) + center(t1, "one") + anchor(3) + center(t2, "two") + anchor(4) + center(t3, "")},
        {1, anchor(2) + left(t1, "one") + anchor(3) + left(t2, "two") + anchor(4) + left(t3, "")},
        {2, anchor(2) + right(t1, "one") + anchor(3) + right(t2, "two") + anchor(4) + right(t3, "")},
        {3, anchor(2) + left(t1, "one") + anchor(3) + right(t2, "two") + anchor(4) + left(t3, "")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.layout);
        QDir(QString::fromStdString(base + "/summer")).removeRecursively();
        OutputNames::instance().clear();
        images.setCurrent(0);
        config.CurOutputDirectory = base;
        confirmSetup("Summer", row.layout);
        config.PageLayoutTemp = 1; // a new page always starts on the left
        add("one");
        add("two");
        add("");
        EXPECT_EQ(page(), kSummerHeader + row.fragments);
    }
}

TEST_F(AddTest, AlternationContinuesAcrossARestart)
{
    confirmSetup("Summer", 3);
    add("one");
    add("two");
    PageSession restarted(config, images, geometry, ui, host);
    restarted.setLauncher([](auto&&...) { return true; });
    restarted.startCaption();
    host.caption = "three";
    restarted.addImage(false);
    const std::string expected = kSummerHeader + anchor(2) + left(tag("dsc01234.jpg", 341, 512), "one") + anchor(3) +
                                 right(tag("b.jpg", 341, 512), "two") + anchor(4) +
                                 left(tag("c.jpg", 341, 512), "three");
    EXPECT_EQ(page(), expected);
}

TEST_F(AddTest, CancelledSizeDialogAddsNothingButAdvancesTheAlternation)
{
    confirmSetup("Summer", 3);
    add("one"); // left
    Side offered = Side::Center;
    host.imageSize = [&](AddImageChoice& c, bool) {
        offered = c.side;
        return false;
    };
    add("skipped", true);
    EXPECT_EQ(offered, Side::Right);
    EXPECT_EQ(images.currentIndex(), 1); // stays on the photo
    add("two");                          // the side skipped was right, so this one goes left again
    EXPECT_EQ(page(), kSummerHeader + anchor(2) + left(tag("dsc01234.jpg", 341, 512), "one") + anchor(3) +
                          left(tag("b.jpg", 341, 512), "two"));
}

TEST_F(AddTest, ImageForcedToOneSideSendsTheNextToTheOther)
{
    confirmSetup("Summer", 3);
    add("one"); // left
    host.imageSize = [](AddImageChoice& c, bool) {
        c.side = Side::Left; // planned right, forced left
        c.size = 0;
        return true;
    };
    add("two", true);
    add("three");
    EXPECT_EQ(page(), kSummerHeader + anchor(2) + left(tag("dsc01234.jpg", 341, 512), "one") + anchor(3) +
                          left(tag("b.jpg", 170, 256), "two") + anchor(4) + right(tag("c.jpg", 341, 512), "three"));
    EXPECT_EQ(launches[1].arguments[2], "/resample=(256,170)");
}

// Numbers edited by hand in the settings file: what the preferences would refuse counts as the default,
// so the page never gets width=-500 or width=0 and the copy is still made.
TEST_F(AddTest, StoredNumbersOutOfRangeCountAsTheDefaults)
{
    addPhoto("clip.mov", false, 4096);
    confirmSetup("Summer", 3);
    add("one"); // creates the page; from here on the stored numbers are out of range
    config.SizeMedium = -500;
    config.PageLayoutStyle = 3;
    config.PageLayoutTemp = 5;
    add("two"); // L/R with an unknown side: the default side, left
    config.SizeMedium = 0;
    config.PageLayoutStyle = 7;
    add("three"); // an unknown layout: the default, centred
    add("clip");
    EXPECT_EQ(page(), kSummerHeader + anchor(2) + left(tag("dsc01234.jpg", 341, 512), "one") + anchor(3) +
                          left(tag("b.jpg", 341, 512), "two") + anchor(4) + center(tag("c.jpg", 341, 512), "three") +
                          anchor(5) +
                          "<br><a href=\"clip.mov\">\r\nclip\r\n<font size=0> (4 kB movie file)</font></a>\r\n");
    ASSERT_EQ(launches.size(), 3u);
    for (const Launch& launch : launches)
        EXPECT_EQ(launch.arguments[2], "/resample=(512,341)");
    EXPECT_EQ(config.PageLayoutTemp, 1) << "the next L/R image goes right";
}

TEST_F(PageTest, MovieIsLinkedWithItsSizeAndCopied)
{
    addPhoto("Boat Trip.AVI", false, 1572863);
    images.setCurrent(1);
    confirmSetup("Summer");
    host.imageSize = [](AddImageChoice& c, bool) {
        c.size = 4;
        return true;
    };
    add("Our boat", true);

    EXPECT_EQ(host.sizeDialogPictureFlags, std::vector<bool>{false});
    EXPECT_EQ(readFile(base + "/summer/index.html"),
              kSummerHeader + anchor(2) +
                  "<br><a href=\"boat_trip.avi\">\r\nOur boat\r\n<font size=0> (1535 kB movie file)</font></a>\r\n");
    EXPECT_EQ(QFileInfo(QString::fromStdString(base + "/summer/boat_trip.avi")).size(), 1572863);
    EXPECT_TRUE(launches.empty());
}

TEST_F(PageTest, MovieOnAPageWithTablesIsCentredInItsOwnParagraph)
{
    addPhoto("clip.mov", false, 4096);
    images.setCurrent(1);
    confirmSetup("Summer", 1);
    add("Clip");
    EXPECT_EQ(
        readFile(base + "/summer/index.html"),
        kSummerHeader + anchor(2) +
            "<br><p align=center><a href=\"clip.mov\">\r\nClip\r\n<font size=0> (4 kB movie file)</font></a></p>\r\n");
}

TEST_F(PageTest, UncompressedCopiesTheWholeFileWhileTheTagTakesTheSelection)
{
    geometry.source = {100, 50, 1099, 799}; // zoomed in on 1000 x 750
    confirmSetup("Summer");
    host.imageSize = [](AddImageChoice& c, bool isPicture) {
        EXPECT_TRUE(isPicture);
        c.size = 3;
        return true;
    };
    add("Zoomed", true);
    EXPECT_EQ(readFile(base + "/summer/index.html"),
              kSummerHeader + anchor(2) + center(tag("dsc01234.jpg", 750, 1000), "Zoomed"));
    EXPECT_EQ(readFile(base + "/summer/dsc01234.jpg"), readFile(photos + "/DSC01234.JPG"));
    EXPECT_TRUE(launches.empty());
}

// A public page never gets the camera's data: the photo copied as it is loses its GPS position and
// EXIF while the user's file stays as it was.
TEST_F(PageTest, UncompressedCopyOfACameraPhotoLeavesItsPlaceBehind)
{
    const std::string camera = readFile(test::sourceDir() + "/tests/data/camera/nikon_coolpix_p6000_gps.jpg");
    ASSERT_NE(camera.find("Exif"), std::string::npos);
    ASSERT_NE(camera.find("NIKON"), std::string::npos);
    writeFile(photos + "/DSC01234.JPG", camera);
    confirmSetup("Summer");
    host.imageSize = [](AddImageChoice& c, bool) {
        c.size = 3; // Uncompressed
        return true;
    };
    add("Trip", true);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(launches.empty());
    const std::string copy = readFile(base + "/summer/dsc01234.jpg");
    EXPECT_EQ(readFile(photos + "/DSC01234.JPG"), camera);
    EXPECT_EQ(copy.rfind("\xFF\xD8", 0), 0u);
    EXPECT_EQ(copy.find("Exif"), std::string::npos);
    EXPECT_EQ(copy.find("NIKON"), std::string::npos);
    EXPECT_EQ(copy.substr(copy.rfind("\xFF\xDA")), camera.substr(camera.rfind("\xFF\xDA")));
}

TEST_F(PageTest, WithoutACompressionProgramPhotosAreCopiedAndTheTagKeepsTheComputedSize)
{
    config.ImageCompressApp.clear();
    config.ShowImageNumber = true;
    confirmSetup("Summer");
    add("Plain");
    EXPECT_EQ(readFile(base + "/summer/index.html"),
              kSummerHeader + anchor(2) + center(tag("dsc01234.jpg", 341, 512) + "<font size=-2>2</font>", "Plain"));
    EXPECT_TRUE(exists(base + "/summer/dsc01234.jpg"));
}

TEST_F(PageTest, CopyOfAnotherPictureWithTheSameNameIsNeverReplaced)
{
    config.CreateSubdirectory = false;
    config.PageInfo = true;
    writeFile(base + "/dsc01234.jpg", "an earlier trip's photo");
    host.pageInfo = [](PageInfoValues& v) {
        v.title = v.category = v.location = v.country = "x";
        return true;
    };
    confirmSetup("Summer");
    add("Again");

    const std::string page = readFile(base + "/index.html");
    EXPECT_NE(page.find("PROMOIMAGE\r\ndsc01234-2.jpg\r\n"), std::string::npos);
    EXPECT_NE(page.find(tag("dsc01234-2.jpg", 341, 512)), std::string::npos);
    EXPECT_EQ(launches.at(0).arguments.back(), "/convert=" + base + "/dsc01234-2.jpg");
    EXPECT_EQ(readFile(base + "/dsc01234.jpg"), "an earlier trip's photo");
}

TEST_F(PageTest, AddedEditedCopySurvivesTheCleanUpAndWithoutSubdirectoriesEveryPageIsInTheBase)
{
    entries[0].hasEdited = true;
    entries[0].shown = kEdited;
    entries[0].files[kEdited] = FileRecord{"DSC01234_edit.JPG", localTimeNs(2006, 7, 5), 10};
    images.assign(photos, entries);
    writeFile(photos + "/DSC01234_edit.JPG", "edited");
    config.CreateSubdirectory = false;
    config.CurOutputDirectory = tmp.path().toStdString() + "/elsewhere";
    config.CurPageSubdirectory = "elsewhere";
    confirmSetup("Summer");
    add("Edited");

    EXPECT_TRUE(images.current().editedKept);
    EXPECT_EQ(config.CurOutputDirectory, base);
    EXPECT_TRUE(exists(base + "/index.html"));
    EXPECT_EQ(launches.at(0).arguments.back(), "/convert=" + base + "/dsc01234_edit.jpg");
}

TEST_F(PageTest, PicturesBrowsersCannotShowArePublishedAsJpegCopies)
{
    // Only the pictures of the list count: the HEIC at index 1, then a PNG (browsers show it as it is).
    addPhoto("IMG_0001.HEIC");
    addPhoto("scan.png");
    images.setCurrent(1);
    confirmSetup("Summer");
    host.imageSize = [](AddImageChoice& c, bool) {
        c.size = 3; // Uncompressed
        return true;
    };
    add("Phone", true);
    EXPECT_NE(readFile(base + "/summer/index.html").find("img_0001.jpg"), std::string::npos);
    ASSERT_EQ(launches.size(), 1u) << "never copied as it is";
    const std::vector<std::string>& args = launches[0].arguments;
    EXPECT_EQ(args.back(), "/convert=" + base + "/summer/img_0001.jpg");
    EXPECT_NE(std::find(args.begin(), args.end(), "/jpgq=95"), args.end()) << "full-size JPEG of quality 95";

    images.setCurrent(2);
    launches.clear();
    host.imageSize = [](AddImageChoice& c, bool) {
        c.size = 3;
        return true;
    };
    add("Scan", true);
    EXPECT_TRUE(launches.empty()) << "a PNG is copied as it is, as before";
    EXPECT_TRUE(exists(base + "/summer/scan.png"));
}

} // namespace
} // namespace marquelo::test
