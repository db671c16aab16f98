// What makes a Modern page ready to be shared: link-preview tags with absolute addresses, a picture for
// them put into the head when the first photo arrives, the reader's dark scheme, the 3x copy, and the
// camera line read from the photo (escaped, never its place).
#include "PageFixture.h"
#include "core/page/ModernPageFormat.h"
#include "media/Exiv2Library.h"

#include <exiv2/exiv2.hpp>

namespace marquelo::test {
namespace {

int occurrences(const std::string& text, const std::string& part)
{
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::string headOf(const std::string& page)
{
    return page.substr(0, page.find("</head>"));
}

class ModernShareTest : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        addPhoto("b.jpg");
        addPhoto("c.jpg");
        config.PageStyle = 1;
        config.PageBaseUrl = "https://example.org/trips/";
    }
    std::string page() { return readFile(base + "/summer_by_the_sea/index.html"); }
};

TEST_F(ModernShareTest, TheFirstPhotoGivesThePreviewItsAbsolutePictureOnce)
{
    confirmSetup("Summer by the Sea");
    add("Harbour at <b>dawn</b> & \"dusk\"");
    const std::string first = page();
    const std::string head = headOf(first);
    EXPECT_NE(head.find("<meta property=\"og:type\" content=\"website\">\r\n"
                        "<meta property=\"og:title\" content=\"Summer by the Sea\">\r\n"
                        "<meta property=\"og:url\" content=\"https://example.org/trips/summer_by_the_sea/\">\r\n"),
              std::string::npos)
        << head;
    // 3000 x 2000: the 3x copy is the largest made, so the link and the preview show it.
    EXPECT_NE(head.find("<meta property=\"og:image\" "
                        "content=\"https://example.org/trips/summer_by_the_sea/dsc01234@3x.jpg\">\r\n"
                        "<meta property=\"og:image:width\" content=\"1536\">\r\n"
                        "<meta property=\"og:image:height\" content=\"1024\">\r\n"
                        "<meta property=\"og:description\" content=\"Harbour at dawn &amp; &quot;dusk&quot;\">\r\n"
                        "<meta name=\"twitter:card\" content=\"summary_large_image\">\r\n"),
              std::string::npos)
        << head;
    EXPECT_EQ(occurrences(first, "<figure "), 1);
    EXPECT_NE(first.find("<a href=\"dsc01234@3x.jpg\">"), std::string::npos);

    // Later photos leave the head alone and are appended as always.
    add("second");
    const std::string second = page();
    EXPECT_EQ(second.substr(0, first.size()), first);
    EXPECT_EQ(occurrences(second, "og:image\""), 1);
    EXPECT_EQ(occurrences(second, "<figure "), 2);

    session.closePage();
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
    EXPECT_EQ(pageImageCount(page()), 2);
}

TEST_F(ModernShareTest, AMovieFirstLeavesThePictureToTheFirstPhoto)
{
    entries.clear();
    addPhoto("clip.avi", /*picture=*/false);
    addPhoto("e.jpg");
    images.setCurrent(0);
    confirmSetup("Summer by the Sea");
    add("the boat");
    EXPECT_EQ(headOf(page()).find("og:image"), std::string::npos);
    add("the shore");
    const std::string head = headOf(page());
    EXPECT_NE(head.find("content=\"https://example.org/trips/summer_by_the_sea/e@3x.jpg\""), std::string::npos) << head;
    EXPECT_NE(head.find("og:description\" content=\"the shore\""), std::string::npos);
    EXPECT_EQ(occurrences(page(), "<figure "), 2);
}

TEST_F(ModernShareTest, NoAddressNoTagsAndClassicPagesNeverHaveThem)
{
    config.PageBaseUrl.clear();
    confirmSetup("Summer by the Sea");
    add("one");
    EXPECT_EQ(page().find("og:"), std::string::npos);
    EXPECT_EQ(page().find("twitter:"), std::string::npos);
    session.closePage();

    config.PageBaseUrl = "https://example.org/trips";
    config.PageStyle = 0;
    confirmSetup("Winter");
    add("two");
    EXPECT_EQ(readFile(base + "/winter/index.html").find("og:"), std::string::npos);
}

TEST_F(ModernShareTest, AnAddressPutIntoTheSettingsByHandIsNotPublished)
{
    config.PageBaseUrl = "javascript:alert(1)//";
    confirmSetup("Summer by the Sea");
    add("one");
    EXPECT_EQ(page().find("og:"), std::string::npos);
    EXPECT_EQ(page().find("javascript"), std::string::npos);
}

TEST(PageAddress, NamesAreEncodedAndIndexIsTheFolder)
{
    EXPECT_EQ(pageAddress("https://example.org", "", "index.html"), "https://example.org/");
    EXPECT_EQ(pageAddress("https://example.org/a/", "sommar p\xc3\xa5 \xc3\x96land", "index.html"),
              "https://example.org/a/sommar%20p%C3%A5%20%C3%96land/");
    EXPECT_EQ(pageAddress("https://example.org/a//", "x", "trip \"1\".html"),
              "https://example.org/a/x/trip%20%221%22.html");
}

TEST(SharePicture, OnlyIntoAPageWithAnAddressAndWithoutAPicture)
{
    PageHeader header;
    header.title = "Summer";
    header.address = "https://example.org/a&b/summer/";
    const std::string made = modernHeaderText(header, "en");
    EXPECT_NE(made.find("og:url\" content=\"https://example.org/a&amp;b/summer/\""), std::string::npos) << made;

    const auto once = withSharePicture(made, {"a b.jpg", {1536, 1024}, "<i>x</i>"});
    ASSERT_TRUE(once);
    EXPECT_NE(once->find("og:image\" content=\"https://example.org/a&amp;b/summer/a%20b.jpg\""), std::string::npos);
    EXPECT_EQ(withSharePicture(*once, {"c.jpg", {1, 1}, ""}), std::nullopt);

    header.address.clear();
    EXPECT_EQ(withSharePicture(modernHeaderText(header, "en"), {"c.jpg", {1, 1}, ""}), std::nullopt);
    // A caption-less photo gives no description rather than an empty one.
    header.address = "https://example.org/";
    const auto bare = withSharePicture(modernHeaderText(header, "en"), {"c.jpg", {1, 1}, ""});
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->find("og:description"), std::string::npos);
}

TEST(ModernColours, TheOfferedColoursFollowTheReaderChosenOnesStay)
{
    AppConfig offered;
    PageHeader header;
    header.bgColor = offered.PageBgColor;
    header.textColor = offered.PageTextColor;
    header.linkColor = autoLinkColour(offered.PageTextColor);
    const std::string followed = modernHeaderText(header, "en");
    EXPECT_NE(followed.find("<meta name=\"color-scheme\" content=\"light dark\">"), std::string::npos);
    EXPECT_NE(followed.find("color:#1a1a1a;background:#ffffff}"), std::string::npos);
    EXPECT_NE(followed.find("@media (prefers-color-scheme:dark){\r\nbody{color:#00ffff;background:#000000}\r\n"
                            "a{color:#007fff}\r\n}\r\n"),
              std::string::npos)
        << followed;

    // Any one colour chosen, or a background picture, keeps the page as the user made it.
    for (int change = 0; change < 4; ++change) {
        PageHeader chosen = header;
        if (change == 0)
            chosen.bgColor = makeColour(255, 255, 240);
        if (change == 1)
            chosen.textColor = makeColour(20, 20, 20);
        if (change == 2)
            chosen.linkColor = makeColour(200, 0, 0);
        if (change == 3)
            chosen.backgroundName = "paper.jpg";
        const std::string kept = modernHeaderText(chosen, "en");
        EXPECT_EQ(kept.find("prefers-color-scheme"), std::string::npos) << change;
        EXPECT_EQ(kept.find("color-scheme"), std::string::npos) << change;
        EXPECT_NE(kept.find(";background:" + colourHex(chosen.bgColor)), std::string::npos) << change;
        EXPECT_NE(kept.find("a{color:" + colourHex(chosen.linkColor) + "}"), std::string::npos) << change;
    }
}

TEST(ModernCopySizes, ThreeTimesThePageFromThePixelsOfTheCropAndNoCopyTooMany)
{
    // The crop has 3x and the cheap large copy (half of 3000) is smaller: a 3x copy, no large one.
    const ModernCopySizes between = modernCopySizes({512, 341}, 3000, 2000);
    EXPECT_EQ(between.twice, (TargetSize{1024, 682}));
    EXPECT_EQ(between.thrice, (TargetSize{1536, 1024}));
    EXPECT_EQ(between.large.width, 0);
    // A large copy of 3x or more serves 3x screens itself: no copy of its own.
    const ModernCopySizes full = modernCopySizes({512, 341}, 3072, 2048);
    EXPECT_EQ(full.thrice.width, 0);
    EXPECT_EQ(full.large, (TargetSize{1536, 1024}));
    const ModernCopySizes tall = modernCopySizes({384, 512}, 4000, 6000);
    EXPECT_EQ(tall.thrice.width, 0);
    EXPECT_EQ(tall.large, (TargetSize{1500, 2250}));
    // One pixel short of 3x: nothing for 3x screens (it would be upscaled), the large copy is the crop.
    const ModernCopySizes shy = modernCopySizes({512, 341}, 1535, 1023);
    EXPECT_EQ(shy.thrice.width, 0);
    EXPECT_EQ(shy.large, (TargetSize{1535, 1023}));

    EXPECT_EQ(densityText({1536, 1024}, {512, 341}), "3x");
    EXPECT_EQ(densityText({2000, 1500}, {512, 384}), "3.9x");
    EXPECT_EQ(densityText({1632, 1224}, {512, 384}), "3.18x");
    EXPECT_EQ(densityText({1562, 1000}, {512, 341}), "3.05x");
}

TEST(PlainHtmlText, MetadataIsTextNeverMarkup)
{
    EXPECT_EQ(plainHtmlText("<img src=x onerror=alert(1)> & 'q' \"Q\""),
              "&lt;img src=x onerror=alert(1)&gt; &amp; &#39;q&#39; &quot;Q&quot;");
    EXPECT_EQ(plainHtmlText("Canon\r\n\tEOS\x01\x7f 5D  "), "Canon EOS 5D");
    EXPECT_EQ(plainHtmlText("Lens \xff\xfe 50mm"), "Lens \xef\xbf\xbd\xef\xbf\xbd 50mm");
    EXPECT_EQ(plainHtmlText(std::string(5000, 'x'), 100), std::string(100, 'x'));
    EXPECT_EQ(plainHtmlText("\xc3\x96" + std::string(10, 'y'), 3), "\xc3\x96yy");
    EXPECT_EQ(plainHtmlText("a &amp; b"), "a &amp;amp; b");
}

// A photo whose camera data holds markup and a place.
void writeCameraData(const std::string& path)
{
    media::startExiv2();
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    exif["Exif.Image.Make"] = "Acme";
    exif["Exif.Image.Model"] = "Snap <script>alert(1)</script>";
    exif["Exif.Photo.LensModel"] = "Zoom & \"Wide\"";
    exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
    exif["Exif.Photo.FNumber"] = Exiv2::URational(56, 10);
    exif["Exif.Photo.ISOSpeedRatings"] = std::uint16_t(200);
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"] = "48/1 51/1 3001/100";
    exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
    exif["Exif.GPSInfo.GPSLongitude"] = "2/1 17/1 4013/100";
    image->writeMetadata();
}

TEST_F(ModernShareTest, TheCameraLineIsEscapedAndNeverTellsThePlace)
{
    writeCameraData(photos + "/DSC01234.JPG");
    confirmSetup("Summer by the Sea");
    add("no line");
    EXPECT_EQ(page().find("class=\"details\""), std::string::npos);

    images.setCurrent(0);
    config.PagePhotoDetails = true;
    add("with line");
    const std::string text = page();
    const std::size_t at = text.find("<span class=\"details\">");
    ASSERT_NE(at, std::string::npos) << text;
    const std::string line = text.substr(at, text.find("</span>", at) - at);
    EXPECT_NE(line.find("Snap &lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos) << line;
    EXPECT_NE(line.find("Zoom &amp; &quot;Wide&quot;"), std::string::npos) << line;
    EXPECT_NE(line.find("1/250 s"), std::string::npos) << line;
    EXPECT_NE(line.find("f/5.6"), std::string::npos) << line;
    EXPECT_NE(line.find("ISO 200"), std::string::npos) << line;
    EXPECT_EQ(text.find("<script>"), std::string::npos);
    for (const char* place : {"48", "\xc2\xb0", " N", "2.29"})
        EXPECT_EQ(line.find(place), std::string::npos) << place;
}

} // namespace
} // namespace marquelo::test
