// The caption box starts with the photo's own description; a typed caption goes back into its sidecar.
#include "PageFixture.h"

#include "media/Exiv2Library.h"
#include "media/XmpSidecar.h"

#include <exiv2/exiv2.hpp>

#include <sys/stat.h>

namespace marquelo::test {
namespace {

class CaptionTest : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        confirmSetup("Summer");
        config.PageStyle = 1; // the Modern page, where a typed caption's markup takes effect
    }

    // The current photo's EXIF and IPTC as a camera and a photo manager left them.
    void describe(const std::string& name, const std::string& exif, const std::string& iptc = {})
    {
        media::startExiv2();
        auto photo = Exiv2::ImageFactory::open(photos + "/" + name);
        photo->readMetadata();
        Exiv2::ExifData exifData;
        exifData["Exif.Image.ImageDescription"] = exif;
        photo->setExifData(exifData);
        if (!iptc.empty()) {
            Exiv2::IptcData iptcData;
            iptcData["Iptc.Application2.Caption"] = iptc;
            photo->setIptcData(iptcData);
        }
        photo->writeMetadata();
    }
    std::string page() { return readFile(base + "/summer/index.html"); }
    std::string sidecarOf(const std::string& name) { return photos + "/" + name + ".xmp"; }
};

TEST_F(CaptionTest, TheBoxStartsWithTheDescriptionAndKeepsItAsText)
{
    describe("DSC01234.JPG", "OLYMPUS DIGITAL CAMERA", "Tom & <b>Ana</b> at \"the\" &lt;beach&gt;");
    session.startCaption();
    ASSERT_EQ(host.offered, std::vector<std::string>{"Tom & <b>Ana</b> at \"the\" &lt;beach&gt;"});
    // Enter with the description as offered: the page shows it as it reads, nothing is markup.
    session.addImage(false);
    EXPECT_NE(page().find("Tom &amp; &lt;b&gt;Ana&lt;/b&gt; at &quot;the&quot; &amp;lt;beach&amp;gt;"),
              std::string::npos)
        << page();
    EXPECT_EQ(page().find("<b>Ana"), std::string::npos);
    // The photo's own description is not copied into a sidecar.
    EXPECT_FALSE(exists(sidecarOf("DSC01234.JPG")));
}

TEST_F(CaptionTest, BoilerplateAloneOffersNothing)
{
    describe("DSC01234.JPG", "SONY DSC");
    session.startCaption();
    EXPECT_TRUE(host.offered.empty());
    EXPECT_EQ(host.caption, "");
}

TEST_F(CaptionTest, ATypedCaptionBecomesTheSidecarsDescription)
{
    describe("DSC01234.JPG", "Old text");
    session.startCaption();
    host.caption = "Tram 28 <i>at dusk</i> &amp; more";
    session.addImage(false);
    EXPECT_NE(page().find("Tram 28 <i>at dusk</i> &amp; more"), std::string::npos); // markup typed stays markup
    ASSERT_TRUE(exists(sidecarOf("DSC01234.JPG")));
    // The sidecar gets what a reader sees, as plain text, and the next time the box offers it.
    EXPECT_EQ(media::readSidecarDescription(photos + "/DSC01234.JPG"), "Tram 28 at dusk & more");
    images.setCurrent(0);
    session.startCaption();
    EXPECT_EQ(host.offered.back(), "Tram 28 at dusk & more");
    session.cancelCaption();

    // Off: nothing is written.
    config.CaptionToSidecar = false;
    addPhoto("b.jpg");
    images.setCurrent(1);
    add("Second");
    EXPECT_FALSE(exists(sidecarOf("b.jpg")));
    // On, an empty caption leaves the photo's description alone.
    config.CaptionToSidecar = true;
    addPhoto("c.jpg");
    images.setCurrent(2);
    add("");
    EXPECT_FALSE(exists(sidecarOf("c.jpg")));
}

TEST_F(CaptionTest, APairGetsTheCaptionInBothSidecarsWithTheNamingOfTheRatings)
{
    config.SidecarNaming = 1; // photo.xmp
    writeFile(photos + "/DSC01234.ORF", "not read");
    entries[0].rawCompanion = "DSC01234.ORF";
    images.assign(photos, entries);
    add("Both of us");
    EXPECT_EQ(media::readSidecarDescription(photos + "/DSC01234.JPG"), "Both of us");
    EXPECT_TRUE(exists(photos + "/DSC01234.xmp"));
    // The RAW twin's stem is the JPEG's, so under the Adobe naming both share DSC01234.xmp; with the
    // other naming each has its own.
    config.SidecarNaming = 0;
    addPhoto("b.jpg");
    writeFile(photos + "/b.CR2", "not read");
    entries.back().rawCompanion = "b.CR2";
    images.assign(photos, entries);
    images.setCurrent(1);
    add("Second pair");
    EXPECT_EQ(media::readSidecarDescription(photos + "/b.jpg"), "Second pair");
    EXPECT_EQ(media::readSidecarDescription(photos + "/b.CR2"), "Second pair");
    EXPECT_TRUE(exists(photos + "/b.jpg.xmp"));
    EXPECT_TRUE(exists(photos + "/b.CR2.xmp"));
    // The viewer is told of each rewritten sidecar, or its next rating of the pair would take our own
    // caption for another program's change.
    EXPECT_EQ(host.sidecarsWritten, (std::vector<std::string>{photos + "/DSC01234.JPG", photos + "/DSC01234.ORF",
                                                              photos + "/b.jpg", photos + "/b.CR2"}));
}

TEST_F(CaptionTest, ASidecarThatCannotBeWrittenKeepsTheAdditionAndSaysWhy)
{
    // A folder where the sidecar would be: never replaced, and the reason reaches the notice.
    ASSERT_EQ(::mkdir(sidecarOf("DSC01234.JPG").c_str(), 0755), 0);
    add("Kept on the page");
    EXPECT_NE(page().find("Kept on the page"), std::string::npos);
    ASSERT_FALSE(host.passingNotices.empty());
    EXPECT_NE(host.passingNotices.back().find("Added to 'Summer' (1 photo); caption not saved in the sidecar: "),
              std::string::npos)
        << host.passingNotices.back();
    EXPECT_NE(host.passingNotices.back().find("DSC01234.JPG.xmp"), std::string::npos) << host.passingNotices.back();
    EXPECT_EQ(host.nexts, 0); // the one photo: nothing to move on to, but the addition finished
    EXPECT_FALSE(session.captionActive());
}

} // namespace
} // namespace marquelo::test
