#include "media/PhotoDescription.h"

#include "XmpPacket.h"
#include "media/Exiv2Library.h"
#include "media/XmpSidecar.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

using namespace marquelo::media;

namespace {

struct Places {
    std::string xmp, iptc, exif;
};

// A small JPEG carrying `places` where they are not empty, written by libexiv2 as a camera or a photo
// manager would.
std::string photoWith(const QTemporaryDir& dir, const std::string& name, const Places& places)
{
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    EXPECT_TRUE(image.save(QString::fromStdString(path), "JPEG"));
    startExiv2();
    auto photo = Exiv2::ImageFactory::open(path);
    photo->readMetadata();
    if (!places.exif.empty()) {
        Exiv2::ExifData exif;
        exif["Exif.Image.ImageDescription"] = places.exif;
        photo->setExifData(exif);
    }
    if (!places.iptc.empty()) {
        Exiv2::IptcData iptc;
        iptc["Iptc.Application2.Caption"] = places.iptc;
        photo->setIptcData(iptc);
    }
    if (!places.xmp.empty()) {
        Exiv2::XmpData xmp;
        xmp["Xmp.dc.description"] = "lang=x-default " + places.xmp;
        photo->setXmpData(xmp);
    }
    photo->writeMetadata();
    return path;
}

} // namespace

TEST(PhotoDescription, CameraBoilerplateAndBlanksAreNoDescription)
{
    for (const char* text : {"OLYMPUS DIGITAL CAMERA", "  olympus digital camera         ", "SONY DSC",
                             "DIGITAL CAMERA", "KODAK DIGITAL CAMERA", "", "   ", "\t\r\n"}) {
        EXPECT_EQ(usableDescription(text), "") << '"' << text << '"';
    }
    // Exiv2 hands ImageDescription over with the padding NULs some cameras fill the field with.
    EXPECT_EQ(usableDescription(std::string("SONY DSC\0\0\0\0", 12)), "");
    EXPECT_EQ(usableDescription(std::string(31, '\0')), "");
    EXPECT_TRUE(isCameraBoilerplate("Sony DSC"));
    // Only the whole value is boilerplate: a real caption that mentions a camera stays.
    EXPECT_FALSE(isCameraBoilerplate("My new OLYMPUS DIGITAL CAMERA"));
    EXPECT_EQ(usableDescription("  Tram 28 at dusk \n"), "Tram 28 at dusk");
}

TEST(PhotoDescription, HostileTextBecomesOneSafeLine)
{
    // Line breaks and control characters become single blanks; C1 controls go.
    EXPECT_EQ(usableDescription("Lisbon\r\nTram\x01\x1b[31m 28\x7f"), "Lisbon Tram [31m 28");
    EXPECT_EQ(usableDescription("a\xC2\x85"
                                "b"),
              "ab");
    // Invalid UTF-8 (a lone continuation, a cut sequence, an overlong slash, a surrogate) shows U+FFFD.
    EXPECT_EQ(usableDescription("a\x80z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(usableDescription("caf\xC3"), "caf\xEF\xBF\xBD");
    EXPECT_EQ(usableDescription("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(usableDescription("\xED\xA0\x80x"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDx");
    // Valid UTF-8 stays, Latin-1 IPTC text is read as Latin-1 when asked.
    EXPECT_EQ(usableDescription("Elétrico 🚋"), "Elétrico 🚋");
    EXPECT_EQ(usableDescription("El\xE9trico", true), "Elétrico");
    // Markup stays text here: the page escapes it.
    EXPECT_EQ(usableDescription("<script>alert(1)</script>"), "<script>alert(1)</script>");

    // A huge value is cut at 2,000 characters, never inside a character.
    std::string huge;
    for (int i = 0; i < 5000; ++i)
        huge += "é";
    const std::string cut = usableDescription(huge);
    EXPECT_EQ(cut.size(), kMaxDescriptionCharacters * 2);
    EXPECT_EQ(usableDescription(std::string(100000, 'x')).size(), kMaxDescriptionCharacters);
}

TEST(PhotoDescription, ChosenInTheWorkingGroupsOrder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string all = photoWith(dir, "all.jpg", {"From XMP", "From IPTC", "From EXIF"});
    EXPECT_EQ(readPhotoDescription(all).text, "From XMP");
    EXPECT_EQ(readPhotoDescription(photoWith(dir, "iptc.jpg", {"", "From IPTC", "From EXIF"})).text, "From IPTC");
    EXPECT_EQ(readPhotoDescription(photoWith(dir, "exif.jpg", {"", "", "From EXIF"})).text, "From EXIF");
    // Boilerplate or blanks in a place count as nothing there: the next place is asked.
    EXPECT_EQ(readPhotoDescription(photoWith(dir, "blank.jpg", {"   ", "OLYMPUS DIGITAL CAMERA", "From EXIF"})).text,
              "From EXIF");
    const PhotoDescription none = readPhotoDescription(photoWith(dir, "camera.jpg", {"", "", "SONY DSC"}));
    EXPECT_EQ(none.text, "");
    EXPECT_EQ(none.problem, "");

    // A sidecar's description comes before the photo's own; Adobe's naming is read too.
    marquelo::test::writeFileBytes(
        dir.filePath("all.xmp").toStdString(),
        marquelo::test::xmpPacket("xmp:Rating=\"3\"",
                                  "   <dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">From the "
                                  "sidecar</rdf:li></rdf:Alt></dc:description>\n"));
    EXPECT_EQ(readPhotoDescription(all).text, "From the sidecar");
    // A sidecar without one leaves the photo's own.
    marquelo::test::writeFileBytes(dir.filePath("all.xmp").toStdString(),
                                   marquelo::test::xmpPacket("xmp:Rating=\"3\""));
    EXPECT_EQ(readPhotoDescription(all).text, "From XMP");

    const PhotoDescription missing = readPhotoDescription(dir.filePath("gone.jpg").toStdString());
    EXPECT_EQ(missing.text, "");
    EXPECT_NE(missing.problem, "");
}

TEST(PhotoDescription, WrittenIntoTheSidecarKeepingEverythingElse)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string photo = photoWith(dir, "p.jpg", {"", "", "From EXIF"});
    const std::string photoBytes = marquelo::test::fileBytes(photo);
    const std::string sidecar = photo + ".xmp";
    marquelo::test::writeFileBytes(
        sidecar, marquelo::test::xmpPacket("xmp:Rating=\"4\" xmp:Label=\"Red\" darktable:history_end=\"2\"",
                                           "   <dc:description><rdf:Alt>\n"
                                           "     <rdf:li xml:lang=\"x-default\">Old</rdf:li>\n"
                                           "     <rdf:li xml:lang=\"pt-PT\">Elétrico</rdf:li>\n"
                                           "   </rdf:Alt></dc:description>\n"
                                           "   <dc:subject><rdf:Bag><rdf:li>Lisbon</rdf:li></rdf:Bag></dc:subject>\n"));
    MarksChange change;
    change.description = "Tram 28 <b>at dusk</b> & more";
    const MarksWrite written = writeMarks(photo, change, {});
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_EQ(written.sidecarPath, sidecar);
    EXPECT_EQ(marquelo::test::fileBytes(photo), photoBytes); // never into the photo

    EXPECT_EQ(readSidecarDescription(photo), "Tram 28 <b>at dusk</b> & more");
    EXPECT_EQ(readPhotoDescription(photo).text, "Tram 28 <b>at dusk</b> & more");
    const std::string text = marquelo::test::fileBytes(sidecar);
    EXPECT_NE(text.find("Elétrico"), std::string::npos);
    EXPECT_NE(text.find("Lisbon"), std::string::npos);
    EXPECT_NE(text.find("history_end=\"2\""), std::string::npos);
    EXPECT_EQ(text.find(">Old<"), std::string::npos);
    const MarksRead marks = readMarks(photo);
    EXPECT_EQ(marks.marks.rating, 4);
    EXPECT_EQ(marks.marks.label, "Red");

    // A photo without a sidecar gets one named as the setting says, holding just the description.
    const std::string bare = photoWith(dir, "bare.jpg", {});
    const MarksWrite created = writeMarks(bare, change, {}, SidecarNaming::NameOnly);
    ASSERT_TRUE(created.ok) << created.error;
    EXPECT_EQ(created.sidecarPath, dir.filePath("bare.xmp").toStdString());
    EXPECT_EQ(readSidecarDescription(bare), "Tram 28 <b>at dusk</b> & more");
    EXPECT_EQ(readMarks(bare).marks, XmpMarks{});

    // A sidecar that cannot be used is set aside, as a rating write does, not merged into.
    const std::string broken = photoWith(dir, "broken.jpg", {});
    marquelo::test::writeFileBytes(broken + ".xmp", "<x:xmpmeta><rdf:RDF>cut sh");
    const MarksWrite replaced = writeMarks(broken, change, {});
    ASSERT_TRUE(replaced.ok) << replaced.error;
    EXPECT_EQ(replaced.backupPath, broken + ".xmp.bak");
    EXPECT_EQ(marquelo::test::fileBytes(broken + ".xmp.bak"), "<x:xmpmeta><rdf:RDF>cut sh");
    EXPECT_EQ(readSidecarDescription(broken), "Tram 28 <b>at dusk</b> & more");
}
