// Modern pages: whole pages written, closed, reopened and continued, compared with bytes written by hand;
// the copies each photo asks for; a page keeps the style it was made in.
#include "PageFixture.h"
#include "core/page/ModernPageFormat.h"

namespace marquelo::test {
namespace {

const std::string kModernSummerHeader =
    "<!DOCTYPE html>\r\n"
    "<html lang=\"en\">\r\n"
    "<head>\r\n"
    "<meta charset=\"utf-8\">\r\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n"
    "<meta name=\"generator\" content=\"Marquelo v1.16\">\r\n"
    "<title>Summer</title>\r\n"
    "<meta name=\"description\" content=\"Summer, July 5, 2006\">\r\n"
    "<meta name=\"color-scheme\" content=\"light dark\">\r\n"
    "<link rel=\"icon\" href=\"data:,\">\r\n"
    "<style>\r\n"
    "body{margin:0 auto;max-width:80em;padding:0 1em;overflow-wrap:anywhere;"
    "font:1.125em/1.5 Georgia,\"Times New Roman\",Times,serif;color:#1a1a1a;background:#ffffff}\r\n"
    "a{color:#0645ad}\r\n"
    "@media (prefers-color-scheme:dark){\r\n"
    "body{color:#00ffff;background:#000000}\r\n"
    "a{color:#007fff}\r\n"
    "}\r\n"
    "header{text-align:center;font-style:italic;margin:1.5em 0 2.5em}\r\n"
    "h1{font-size:2.5em;font-weight:normal;line-height:1.2;margin:0}\r\n"
    "header p{font-size:1.25em;margin:.25em 0}\r\n"
    "figure{margin:0 0 3em;display:flex;flex-direction:column;align-items:center;gap:1em}\r\n"
    "figure>a{max-width:100%}\r\n"
    "figure img{display:block;max-width:100%;height:auto}\r\n"
    "figcaption{max-width:40em}\r\n"
    ".left figcaption,.right figcaption{font-weight:bold;font-style:italic}\r\n"
    ".number{font-size:.75em;margin-right:.5em}\r\n"
    ".details{display:block;font-size:.875em;font-style:normal;font-weight:normal}\r\n"
    "@media (min-width:40em){\r\n"
    ".left,.right{flex-direction:row;gap:2em}\r\n"
    ".right{flex-direction:row-reverse}\r\n"
    ".left>a,.right>a,.left figcaption,.right figcaption{flex:1 1 50%;min-width:0}\r\n"
    ".left>a{display:flex;justify-content:flex-end}\r\n"
    ".right figcaption{text-align:right}\r\n"
    "}\r\n"
    "</style>\r\n"
    "</head>\r\n"
    "<body>\r\n"
    "<header>\r\n"
    "<h1>Summer</h1>\r\n"
    "<p>July 5, 2006</p>\r\n"
    "</header>\r\n"
    "<main>\r\n";

const std::string kModernEndingLine = "</main>\r\n</body>\r\n</html>\r\n";

std::string figure(int n, const std::string& cls, const std::string& link, const std::string& img,
                   const std::string& caption)
{
    return "\r\n<figure id=\"" + std::to_string(n) + "\" class=\"" + cls + "\">\r\n<a href=\"" + link + "\">" + img +
           "</a>\r\n<figcaption>" + caption + "</figcaption>\r\n</figure>\r\n";
}

class ModernPageTest : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        addPhoto("b.jpg");
        addPhoto("\xc3\x96land strand.jpg"); // Öland strand.jpg
        addPhoto("d.jpg");
        addPhoto("e.jpg");
        config.PageStyle = 1;
    }
    std::string summer() { return base + "/summer/index.html"; }
    std::string dir() { return base + "/summer"; }
};

TEST_F(ModernPageTest, FourPhotosClosedReopenedAndOneMore)
{
    confirmSetup("Summer", 3);
    add("one");                                                          // left: the page's first photo loads at once
    add("<b>Harbour</b> at <script>x</script> dawn & \"dusk\" <i>open"); // right
    add("Sm\xc3\xb6rg\xc3\xa5sbord p\xc3\xa5 \xc3\x96land \xe2\x80\x93 \xc3\x85\xc3\x84\xc3\x96 \xe2\x9c\x93"); // left
    geometry.source = {100, 200, 899, 799}; // zoomed in: an 800 x 600 part
    host.imageSize = [](AddImageChoice& c, bool) {
        c.side = Side::Center;
        return true;
    };
    add("zoomed", true);

    const std::string first =
        figure(2, "left", "dsc01234@3x.jpg",
               "<img src=\"dsc01234.jpg\" srcset=\"dsc01234.jpg 1x, dsc01234@2x.jpg 2x, dsc01234@3x.jpg 3x\" "
               "width=\"512\" height=\"341\" "
               "alt=\"one\" fetchpriority=\"high\" decoding=\"async\">",
               "one") +
        figure(3, "right", "b@3x.jpg",
               "<img src=\"b.jpg\" srcset=\"b.jpg 1x, b@2x.jpg 2x, b@3x.jpg 3x\" width=\"512\" height=\"341\" "
               "alt=\"Harbour at x dawn &amp; &quot;dusk&quot; open\" loading=\"lazy\" decoding=\"async\">",
               "<b>Harbour</b> at &lt;script&gt;x&lt;/script&gt; dawn &amp; &quot;dusk&quot; <i>open</i>") +
        figure(4, "left", "oland_strand@3x.jpg",
               "<img src=\"oland_strand.jpg\" srcset=\"oland_strand.jpg 1x, oland_strand@2x.jpg 2x, "
               "oland_strand@3x.jpg 3x\" "
               "width=\"512\" height=\"341\" alt=\"Sm\xc3\xb6rg\xc3\xa5sbord p\xc3\xa5 \xc3\x96land \xe2\x80\x93 "
               "\xc3\x85\xc3\x84\xc3\x96 \xe2\x9c\x93\" loading=\"lazy\" decoding=\"async\">",
               "Sm\xc3\xb6rg\xc3\xa5sbord p\xc3\xa5 \xc3\x96land \xe2\x80\x93 \xc3\x85\xc3\x84\xc3\x96 \xe2\x9c\x93") +
        // 800 x 600 cut: the 2x copy is the cut itself, and nothing larger is made, so the link goes to it.
        figure(5, "center", "d@2x.jpg",
               "<img src=\"d.jpg\" srcset=\"d.jpg 1x, d@2x.jpg 2x\" width=\"512\" height=\"384\" alt=\"zoomed\" "
               "loading=\"lazy\" decoding=\"async\">",
               "zoomed");
    EXPECT_EQ(readFile(summer()), kModernSummerHeader + first);

    session.closePage();
    EXPECT_EQ(readFile(summer()), kModernSummerHeader + first + kModernEndingLine);
    EXPECT_FALSE(session.isPageOpen());

    config.PageStyle = 0; // the reopened page stays Modern whatever new pages are made as
    host.browseAnswer = summer();
    session.openExistingPage();
    EXPECT_TRUE(host.notices.empty());
    EXPECT_EQ(readFile(summer()), kModernSummerHeader + first + "\r\n");

    geometry.source = {0, 0, 399, 299}; // smaller than the page size: one copy only, the link goes to it
    add("after reopening");
    EXPECT_EQ(readFile(summer()),
              kModernSummerHeader + first + "\r\n" +
                  figure(6, "left", "e.jpg",
                         "<img src=\"e.jpg\" width=\"400\" height=\"300\" alt=\"after reopening\" loading=\"lazy\" "
                         "decoding=\"async\">",
                         "after reopening"));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ModernPageTest, BundledToolWritesEverySizeInOneRunAnyOtherProgramRunsOncePerCopy)
{
    confirmSetup("Summer");
    add("one");
    ASSERT_EQ(launches.size(), 1u);
    const std::vector<std::string>& args = launches[0].arguments;
    ASSERT_GE(args.size(), 2u);
    EXPECT_EQ(args[args.size() - 2], "/also=(1024,682," + dir() + "/dsc01234@2x.jpg)");
    // 3000 x 2000: the 3x copy; a large copy at the half the decoder makes cheaply would be smaller.
    EXPECT_EQ(args.back(), "/also=(1536,1024," + dir() + "/dsc01234@3x.jpg)");

    launches.clear();
    setSource(4000, 3000);
    add("big");
    ASSERT_EQ(launches.size(), 1u);
    const std::vector<std::string>& big = launches[0].arguments;
    ASSERT_GE(big.size(), 2u);
    // The large copy has more than 3x: it serves 3x screens, with its own density.
    EXPECT_EQ(big[big.size() - 2], "/also=(1024,768," + dir() + "/b@2x.jpg)");
    EXPECT_EQ(big.back(), "/also=(2000,1500," + dir() + "/b-large.jpg)");
    EXPECT_NE(readFile(dir() + "/index.html").find("srcset=\"b.jpg 1x, b@2x.jpg 2x, b-large.jpg 3.9x\""),
              std::string::npos);

    launches.clear();
    setSource(3000, 2000);
    config.ImageCompressApp = "/opt/other/convert";
    add("two");
    ASSERT_EQ(launches.size(), 3u);
    EXPECT_EQ(launches[0].arguments.back(), "/convert=" + dir() + "/oland_strand.jpg");
    EXPECT_EQ(launches[0].arguments[2], "/resample=(512,341)");
    EXPECT_EQ(launches[1].arguments.back(), "/convert=" + dir() + "/oland_strand@2x.jpg");
    EXPECT_EQ(launches[1].arguments[2], "/resample=(1024,682)");
    EXPECT_EQ(launches[2].arguments.back(), "/convert=" + dir() + "/oland_strand@3x.jpg");
    EXPECT_EQ(launches[2].arguments[2], "/resample=(1536,1024)");
}

TEST(ModernCopySizes, TheLargeCopyIsTheCropOrAScaleTheDecoderMakesCheaply)
{
    // Up to the limit, the crop itself; above it a half, three eighths, a quarter or an eighth of it, as
    // the decoder rounds it (down), and past eight times the limit the limit itself.
    const struct {
        int cropLongSide, largeLongSide;
    } sides[] = {{1000, 1000}, {2560, 2560},  {2561, 1280},  {3264, 1632},  {5121, 2560},  {5122, 1920},   {6829, 2560},
                 {6830, 1707}, {10243, 2560}, {10244, 1280}, {20487, 2560}, {20488, 2560}, {INT_MAX, 2560}};
    for (const auto& s : sides)
        EXPECT_EQ(largeCopyLongSide(s.cropLongSide), s.largeLongSide) << s.cropLongSide;

    // The short side follows the crop's aspect, truncated like the page size; portrait crops alike.
    const ModernCopySizes wide = modernCopySizes({512, 341}, 4608, 3072);
    EXPECT_EQ(wide.twice, (TargetSize{1024, 682}));
    EXPECT_EQ(wide.large, (TargetSize{2304, 1536}));
    const ModernCopySizes tall = modernCopySizes({384, 512}, 3840, 5760);
    EXPECT_EQ(tall.large, (TargetSize{1440, 2160}));
    // A large copy that the cheap scale would leave no larger than the 2x copy is not made.
    const ModernCopySizes narrow = modernCopySizes({1200, 675}, 2600, 1462);
    EXPECT_EQ(narrow.twice, (TargetSize{2400, 1349}));
    EXPECT_EQ(narrow.large.width, 0);
}

TEST_F(ModernPageTest, FurtherCopiesNeverTakeAnotherPicturesName)
{
    confirmSetup("Summer");
    add("one");
    // Another photo of the same name: its copies all carry the unique name's "-2".
    images.setCurrent(0);
    launches.clear();
    add("again");
    const std::vector<std::string>& args = launches.at(0).arguments;
    EXPECT_EQ(args[args.size() - 3], "/convert=" + dir() + "/dsc01234-2.jpg");
    EXPECT_EQ(args[args.size() - 2], "/also=(1024,682," + dir() + "/dsc01234-2@2x.jpg)");
    EXPECT_EQ(args.back(), "/also=(1536,1024," + dir() + "/dsc01234-2@3x.jpg)");
    // A file already named like a derived copy is never replaced.
    writeFile(dir() + "/b@2x.jpg", "someone else's");
    launches.clear();
    add("two");
    EXPECT_EQ(launches.at(0).arguments[launches.at(0).arguments.size() - 2],
              "/also=(1024,682," + dir() + "/b@2x-2.jpg)");
    EXPECT_EQ(readFile(dir() + "/b@2x.jpg"), "someone else's");
}

TEST_F(ModernPageTest, MoviesUncompressedCopiesAndEmptyCaptions)
{
    addPhoto("clip.mpg", false, 1572863);
    confirmSetup("Summer");
    config.ShowImageNumber = true;
    add(""); // no caption: the link still has a name
    config.ImageCompressApp.clear();
    add("<a href=\"x.html\">copied</a> whole");
    images.setCurrent(5);
    add("<a href=\"x.html\">my</a> clip");
    const std::string page = readFile(summer());
    EXPECT_NE(page.find(figure(2, "center", "dsc01234@3x.jpg",
                               "<img src=\"dsc01234.jpg\" srcset=\"dsc01234.jpg 1x, dsc01234@2x.jpg 2x, "
                               "dsc01234@3x.jpg 3x\" width=\"512\" "
                               "height=\"341\" alt=\"Photo 2\" fetchpriority=\"high\" decoding=\"async\">",
                               "<span class=\"number\">2</span>")),
              std::string::npos)
        << page;
    EXPECT_NE(page.find(figure(3, "center", "b.jpg",
                               "<img src=\"b.jpg\" width=\"512\" height=\"341\" alt=\"copied whole\" loading=\"lazy\" "
                               "decoding=\"async\">",
                               "<span class=\"number\">3</span><a href=\"x.html\">copied</a> whole")),
              std::string::npos)
        << page;
    // The movie's caption sits inside its link, so the caption's own link keeps only its text.
    EXPECT_NE(page.find("\r\n<figure id=\"4\" class=\"movie\">\r\n"
                        "<a href=\"clip.mpg\">my clip <small>(1535 kB movie file)</small></a>\r\n</figure>\r\n"),
              std::string::npos)
        << page;
    EXPECT_TRUE(exists(dir() + "/clip.mpg"));
    EXPECT_TRUE(exists(dir() + "/b.jpg"));
}

TEST_F(ModernPageTest, APageKeepsTheStyleItWasMadeIn)
{
    config.PageStyle = 0;
    int offered = -1;
    host.pageSetup = [&](PageSetupValues& v, bool) {
        offered = v.pageStyle;
        v.title = "Summer";
        v.subdirectory = "summer";
        return true;
    };
    add("one");
    EXPECT_EQ(offered, 0);
    config.PageStyle = 1; // changed in the preferences while the Classic page is open
    add("two");
    const std::string page = readFile(summer());
    EXPECT_EQ(page.find("<figure"), std::string::npos);
    EXPECT_NE(page.find("<a name=3></a>"), std::string::npos);
    session.closePage();
    EXPECT_EQ(readFile(summer()).substr(page.size()), kEnding + "\r\n");

    // The dialog's choice is what new pages are made as from then on.
    host.pageSetup = [&](PageSetupValues& v, bool) {
        offered = v.pageStyle;
        v.title = "Winter";
        v.subdirectory = "winter";
        v.pageStyle = 1;
        return true;
    };
    config.PageStyle = 0;
    add("three");
    EXPECT_EQ(offered, 0);
    EXPECT_EQ(config.PageStyle, 1);
    EXPECT_EQ(pageStyleOf(readFile(base + "/winter/index.html")), PageStyle::Modern);
}

TEST_F(ModernPageTest, NumberingFollowsTheFiguresAndIgnoresCaptionMarkup)
{
    confirmSetup("Summer");
    add("<a name=99></a> <figure id=\"77\">");
    add("two");
    const std::string page = readFile(summer());
    EXPECT_NE(page.find("<figure id=\"3\" class=\"center\">"), std::string::npos);
    EXPECT_EQ(highestFigureNumber(page), 3);
    EXPECT_EQ(nextImageNumberOf(page), 4);
}

TEST_F(ModernPageTest, PageInformationAndAnEmptyTitle)
{
    config.PageInfo = true;
    config.CreateSubdirectory = false;
    host.pageInfo = [](PageInfoValues& v) {
        v.title = "Trip";
        v.category = "travel";
        v.country = "Norway";
        v.location = "Troms\xc3\xb8 & around";
        return true;
    };
    host.pageSetup = [](PageSetupValues& v, bool) {
        v.title.clear();
        return true;
    };
    add("one");
    const std::string page = readFile(base + "/index.html");
    EXPECT_EQ(page.rfind("<!-- Quorvant page information\r\nTITLE\r\nTrip\r\nDATE\r\n2006/07/05\r\nPROMOIMAGE\r\n"
                         "dsc01234.jpg\r\nCATEGORY\r\ntravel\r\nCOUNTRY\r\nNorway\r\nLOCATION\r\nTroms\xc3\xb8 & "
                         "around\r\n-->\r\n\r\n<!DOCTYPE html>\r\n",
                         0),
              0u);
    // Without a title the date names the page, and no empty heading is written.
    EXPECT_NE(page.find("<title>July 5, 2006</title>\r\n<meta name=\"description\" content=\"July 5, 2006\">"),
              std::string::npos);
    EXPECT_NE(page.find("<header>\r\n<p>July 5, 2006</p>\r\n<p>Troms\xc3\xb8 &amp; around</p>\r\n</header>"),
              std::string::npos);
    EXPECT_EQ(page.find("<h1>"), std::string::npos);
}

} // namespace
} // namespace marquelo::test
