#include "media/XmpSidecar.h"

#include "XmpPacket.h"
#include "media/Exiv2Library.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

using namespace marquelo::media;

namespace {

// What darktable and digiKam leave in a sidecar: their own namespaces, a history of structures, tag
// lists, a language alternative, and the rating beside them.
std::string darktableStyleSidecar()
{
    return marquelo::test::xmpPacket(
        "xmp:Rating=\"2\" darktable:xmp_version=\"5\" darktable:raw_params=\"0\" "
        "darktable:auto_presets_applied=\"1\" darktable:history_end=\"2\"",
        "   <darktable:history>\n"
        "    <rdf:Seq>\n"
        "     <rdf:li darktable:num=\"0\" darktable:operation=\"exposure\" darktable:enabled=\"1\"\n"
        "       darktable:modversion=\"6\" darktable:params=\"00000000cdcc4c3e\"/>\n"
        "     <rdf:li darktable:num=\"1\" darktable:operation=\"colorin\" darktable:enabled=\"1\"\n"
        "       darktable:modversion=\"7\" darktable:params=\"gz48eJxjZBgFo2AUjAIAAAQA\"/>\n"
        "    </rdf:Seq>\n"
        "   </darktable:history>\n"
        "   <digiKam:TagsList>\n"
        "    <rdf:Seq>\n"
        "     <rdf:li>Places/Lisbon</rdf:li>\n"
        "     <rdf:li>People/Ana</rdf:li>\n"
        "    </rdf:Seq>\n"
        "   </digiKam:TagsList>\n"
        "   <dc:subject>\n"
        "    <rdf:Bag>\n"
        "     <rdf:li>Lisbon</rdf:li>\n"
        "     <rdf:li>Ana</rdf:li>\n"
        "    </rdf:Bag>\n"
        "   </dc:subject>\n"
        "   <dc:title>\n"
        "    <rdf:Alt>\n"
        "     <rdf:li xml:lang=\"x-default\">Tram 28 at dusk</rdf:li>\n"
        "     <rdf:li xml:lang=\"pt-PT\">Elétrico 28 ao anoitecer</rdf:li>\n"
        "    </rdf:Alt>\n"
        "   </dc:title>\n");
}

struct Folder {
    QTemporaryDir dir;
    std::string path(const std::string& name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }
    // A real small JPEG, so that reading its own XMP goes through libexiv2's JPEG reader.
    std::string photo(const std::string& name = "photo.jpg") const
    {
        const std::string file = path(name);
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        image.save(QString::fromStdString(file), "JPEG");
        return file;
    }
};

void embedRating(const std::string& photo, const std::string& rating)
{
    startExiv2();
    auto image = Exiv2::ImageFactory::open(photo);
    image->readMetadata();
    image->xmpData()["Xmp.xmp.Rating"] = rating;
    image->writeMetadata();
}

bool haveExiftool()
{
    return !QStandardPaths::findExecutable("exiftool").isEmpty();
}

QString exiftool(const QStringList& arguments)
{
    QProcess process;
    process.start("exiftool", arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// exiftool's full XML view of a sidecar, without the marks and the toolkit line libexiv2 adds (x:xmptk).
QStringList propertiesExceptMarks(const std::string& sidecar)
{
    QStringList kept;
    const QStringList lines = exiftool({"-X", "-XMP:all", QString::fromStdString(sidecar)}).split('\n');
    for (const QString& line : lines) {
        if (line.contains("XMP-xmp:Rating") || line.contains("XMP-xmp:Label") || line.contains("rdf:about") ||
            line.contains("XMPToolkit") || line.contains("xmlns:XMP-x="))
            continue;
        kept << line;
    }
    return kept;
}

} // namespace

TEST(XmpSidecarRead, FollowsTheOrderOtherToolsUse)
{
    Folder folder;
    const std::string photo = folder.photo();
    embedRating(photo, "1");
    EXPECT_EQ(readMarks(photo).marks.rating, 1);
    EXPECT_EQ(readMarks(photo).source, MarksSource::Embedded);
    EXPECT_EQ(readMarks(photo, false).source, MarksSource::None);

    marquelo::test::writeFileBytes(folder.path("photo.xmp"), marquelo::test::xmpPacket("xmp:Rating=\"2\""));
    EXPECT_EQ(readMarks(photo).marks.rating, 2);
    EXPECT_EQ(readMarks(photo).sidecarPath, folder.path("photo.xmp"));

    marquelo::test::writeFileBytes(folder.path("photo.jpg.xmp"),
                                   marquelo::test::xmpPacket("xmp:Rating=\"-1\" xmp:Label=\"Green\""));
    const MarksRead read = readMarks(photo);
    EXPECT_EQ(read.marks.rating, kRatingRejected);
    EXPECT_EQ(read.marks.label, "Green");
    EXPECT_EQ(read.sidecarPath, folder.path("photo.jpg.xmp"));
    EXPECT_TRUE(read.problem.empty()) << read.problem;
}

TEST(XmpSidecarWrite, CreatesTheSidecarTheSettingNamesAndNeverTouchesThePhoto)
{
    Folder folder;
    const std::string photo = folder.photo();
    const std::string before = marquelo::test::fileBytes(photo);

    MarksWrite written = writeMarks(photo, {3, std::nullopt}, readMarks(photo).stamp);
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_EQ(written.sidecarPath, folder.path("photo.jpg.xmp"));
    EXPECT_EQ(readMarks(photo).marks.rating, 3);
    EXPECT_EQ(marquelo::test::fileBytes(photo), before);
    if (haveExiftool()) {
        EXPECT_EQ(exiftool({"-s3", "-XMP:Rating", QString::fromStdString(written.sidecarPath)}).trimmed(), "3");
        written = writeMarks(photo, {kRatingRejected, std::nullopt}, written.stamp);
        ASSERT_TRUE(written.ok) << written.error;
        EXPECT_EQ(exiftool({"-s3", "-XMP:Rating", QString::fromStdString(written.sidecarPath)}).trimmed(), "-1");
    }

    Folder adobe;
    const std::string other = adobe.photo("IMG_0001.JPG");
    written = writeMarks(other, {5, std::string("Red")}, {}, SidecarNaming::NameOnly);
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_EQ(written.sidecarPath, adobe.path("IMG_0001.xmp"));
    EXPECT_EQ(readMarks(other).marks, (XmpMarks{5, "Red"}));

    // Clearing the marks of a photo without a sidecar leaves the folder as it was.
    Folder clean;
    const std::string bare = clean.photo();
    ASSERT_TRUE(writeMarks(bare, {kRatingNone, std::string()}, {}).ok);
    EXPECT_FALSE(std::filesystem::exists(clean.path("photo.jpg.xmp")));
}

TEST(XmpSidecarWrite, KeepsEveryPropertyOfADarktableOrDigikamSidecar)
{
    if (!haveExiftool())
        GTEST_SKIP() << "needs exiftool to compare the sidecar before and after";
    Folder folder;
    const std::string photo = folder.photo();
    const std::string sidecar = folder.path("photo.jpg.xmp");
    marquelo::test::writeFileBytes(sidecar, darktableStyleSidecar());
    const QStringList before = propertiesExceptMarks(sidecar);
    ASSERT_GT(before.size(), 10);
    ASSERT_TRUE(before.join('\n').contains("colorin"));

    const MarksWrite written = writeMarks(photo, {4, std::string("Blue")}, readMarks(photo).stamp);
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_EQ(propertiesExceptMarks(sidecar).join(QChar(10)).toStdString(), before.join(QChar(10)).toStdString());
    EXPECT_EQ(exiftool({"-s3", "-XMP:Rating", QString::fromStdString(sidecar)}).trimmed(), "4");
    EXPECT_EQ(exiftool({"-s3", "-XMP:Label", QString::fromStdString(sidecar)}).trimmed(), "Blue");
}

TEST(XmpSidecarWrite, MergesAChangeAnotherProgramMadeSinceTheRead)
{
    Folder folder;
    const std::string photo = folder.photo();
    const std::string sidecar = folder.path("photo.jpg.xmp");
    marquelo::test::writeFileBytes(sidecar, marquelo::test::xmpPacket("xmp:Rating=\"2\""));
    const MarksRead seen = readMarks(photo);

    // Another program adds a label and a property of its own, and makes the file a different size.
    marquelo::test::writeFileBytes(
        sidecar, marquelo::test::xmpPacket("xmp:Rating=\"2\" xmp:Label=\"Purple\" darktable:history_end=\"7\""));
    const MarksWrite written = writeMarks(photo, {5, std::nullopt}, seen.stamp);
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_TRUE(written.mergedOutsideChange);
    EXPECT_EQ(readMarks(photo).marks, (XmpMarks{5, "Purple"}));
    EXPECT_NE(marquelo::test::fileBytes(sidecar).find("history_end"), std::string::npos);

    // Nothing changed in between: no merge to report.
    const MarksWrite again = writeMarks(photo, {1, std::nullopt}, written.stamp);
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_FALSE(again.mergedOutsideChange);
}

TEST(XmpSidecarBadInput, ReadsAsNoMarksLeavesTheFileAndKeepsItAsBakOnTheNextRating)
{
    const std::string good = marquelo::test::xmpPacket("xmp:Rating=\"3\"");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"not XMP", "just some notes about this photo\n"},
        {"truncated", good.substr(0, good.size() / 2)},
        {"huge", marquelo::test::xmpPacket("xmp:Rating=\"3\"", std::string(kMaxSidecarBytes, ' '))},
        {"doctype", "<?xml version=\"1.0\"?>\n<!DOCTYPE x [ <!ELEMENT x ANY> ]>\n" + good.substr(good.find("<x:"))},
        {"entities", "<?xml version=\"1.0\"?>\n<!DOCTYPE x:xmpmeta [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
                     "\"&a;&a;&a;&a;&a;&a;&a;&a;\">]>\n" +
                         marquelo::test::xmpPacket("xmp:Label=\"&b;\"").substr(good.find("<x:"))},
        {"rating 7", marquelo::test::xmpPacket("xmp:Rating=\"7\"")},
        {"rating -2", marquelo::test::xmpPacket("xmp:Rating=\"-2\"")},
        {"rating text", marquelo::test::xmpPacket("xmp:Rating=\"three\"")},
        {"empty", ""},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        Folder folder;
        const std::string photo = folder.photo();
        const std::string sidecar = folder.path("photo.jpg.xmp");
        marquelo::test::writeFileBytes(sidecar, text);

        const MarksRead read = readMarks(photo);
        EXPECT_EQ(read.marks, XmpMarks{});
        EXPECT_FALSE(read.problem.empty());
        EXPECT_EQ(marquelo::test::fileBytes(sidecar), text);

        const MarksWrite written = writeMarks(photo, {4, std::nullopt}, read.stamp);
        ASSERT_TRUE(written.ok) << written.error;
        EXPECT_EQ(written.backupPath, sidecar + ".bak");
        EXPECT_EQ(marquelo::test::fileBytes(sidecar + ".bak"), text);
        const MarksRead after = readMarks(photo);
        EXPECT_EQ(after.marks.rating, 4);
        EXPECT_TRUE(after.problem.empty()) << after.problem;
    }
}

TEST(XmpSidecarWrite, ReadOnlyFolderChangesNothing)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not hold for root";
    Folder folder;
    const std::string photo = folder.photo();
    const std::string sidecar = folder.path("photo.jpg.xmp");
    marquelo::test::writeFileBytes(sidecar, marquelo::test::xmpPacket("xmp:Rating=\"2\""));
    const std::string before = marquelo::test::fileBytes(sidecar);
    ::chmod(folder.dir.path().toLocal8Bit().constData(), 0555);
    const MarksWrite written = writeMarks(photo, {5, std::nullopt}, readMarks(photo).stamp);
    ::chmod(folder.dir.path().toLocal8Bit().constData(), 0755);
    EXPECT_FALSE(written.ok);
    EXPECT_NE(written.error.find("cannot write in"), std::string::npos) << written.error;
    EXPECT_EQ(marquelo::test::fileBytes(sidecar), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.dir.path().toStdString()),
                            std::filesystem::directory_iterator()),
              2);
}
