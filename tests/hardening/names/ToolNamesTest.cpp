// Names that tools and copies must take as they stand: a name holding a placeholder, a name longer than
// an output copy's name may be, a name whose bytes are not UTF-8. Each reaches its own file and only it.
#include "harness/FileSnapshot.h"
#include "harness/ProgramSession.h"
#include "harness/Programs.h"

#include "core/tools/Launcher.h"
#include "core/viewer/ImageList.h"
#include "ui/viewer/ViewerWindow.h"

#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace marquelo::test {
namespace {

std::string contentOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

QSize sizeOf(const std::string& path)
{
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(true);
    return reader.read().size();
}

// The page files below the output folder, whole.
std::string pagesBelow(const std::string& folder)
{
    std::string text;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().extension() == ".html")
            text += contentOf(entry.path().string());
    return text;
}

// Ctrl+Right on "p%5.jpg": the template's "%5" is the crop text, the name's "%5" is part of a name.
TEST(ToolNames, PhotoNamedWithAPlaceholderIsTheOneTurned)
{
    ProgramSession session;
    const auto photos = copyCorpusPhotos(session.photos(), 2, 160);
    ASSERT_EQ(photos.size(), 2u);
    const std::string odd = session.photos() + "/p%5.jpg";
    fs::rename(session.photos() + "/" + photos[0], odd);
    const QSize size = sizeOf(odd);
    ASSERT_NE(size.width(), size.height());
    // Where expanding the name a second time would land.
    const std::string decoy =
        session.photos() + "/p0,0," + std::to_string(size.width()) + "," + std::to_string(size.height()) + ".jpg";
    fs::rename(session.photos() + "/" + photos[1], decoy);
    const std::string decoyBefore = contentOf(decoy);

    ASSERT_TRUE(session.run(
        [&](ViewerWindow& window) {
            window.runCommand(Command::RotateRight);
            EXPECT_TRUE(waitForProgramsMentioning(session.work(), 30000));
        },
        odd));
    EXPECT_EQ(contentOf(decoy), decoyBefore) << "the turn reached another photo";
    EXPECT_EQ(sizeOf(odd), size.transposed());
}

// A name longer than 64 characters keeps its extension in the page's copy: the tool writes it and the
// page refers to a file that is there.
TEST(ToolNames, LongNameKeepsItsExtensionInThePage)
{
    ProgramSession session;
    const auto photos = copyCorpusPhotos(session.photos(), 1, 160);
    ASSERT_EQ(photos.size(), 1u);
    const std::string name = "Summer holiday 2024 - day 3 - the beach at sunset with the whole family.jpg";
    fs::rename(session.photos() + "/" + photos[0], session.photos() + "/" + name);

    ASSERT_TRUE(session.run([&](ViewerWindow& window) {
        window.runCommand(Command::AddImage);
        typeCaption(window, QStringLiteral("The beach"));
        settle(30);
        EXPECT_TRUE(waitForProgramsMentioning(session.work(), 30000));
    }));
    const std::string copy = "summer_holiday_2024_-_day_3_-_the_beach_at_sunset_with_the_w.jpg";
    EXPECT_NE(pagesBelow(session.output()).find("<img src=\"" + copy + "\""), std::string::npos);
    std::string found;
    for (const auto& entry : fs::recursive_directory_iterator(session.output()))
        if (entry.path().filename() == copy)
            found = entry.path().string();
    ASSERT_FALSE(found.empty()) << "the page refers to a copy that never appeared";
    EXPECT_FALSE(QImage(QString::fromStdString(found)).isNull());
}

// A movie whose name is not UTF-8, beside the look-alike a lossy conversion would name: the page's
// plain copy and View both take the movie itself.
TEST(ToolNames, NameThatIsNotUtf8IsCopiedAndViewedByItsOwnBytes)
{
    ProgramSession session;
    const std::string movie = session.photos() + "/clip\xFF\xFE.mov";
    const std::string lookAlike = session.photos() + "/clip\xEF\xBF\xBD\xEF\xBF\xBD.mov";
    std::ofstream(movie, std::ios::binary) << "the movie itself";
    std::ofstream(lookAlike, std::ios::binary) << "its neighbour";
    std::vector<std::string> opened;

    ASSERT_TRUE(session.run([&](ViewerWindow& window) {
        ImageList& images = window.images();
        const auto entry = images.findByName("clip\xFF\xFE.mov");
        ASSERT_TRUE(entry.has_value());
        images.setCurrent(entry->index);
        window.showCurrent();
        settle(30);
        setDocumentOpener([&opened](const std::string& path) {
            opened.push_back(path);
            return true;
        });
        window.runCommand(Command::View);
        window.runCommand(Command::AddImage);
        typeCaption(window, QStringLiteral("Clip"));
        settle(30);
    }));
    EXPECT_EQ(opened, std::vector<std::string>{movie});
    std::string copied;
    for (const auto& entry : fs::recursive_directory_iterator(session.output()))
        if (entry.path().filename() == "clip.mov")
            copied = contentOf(entry.path().string());
    EXPECT_EQ(copied, "the movie itself");
    EXPECT_EQ(contentOf(lookAlike), "its neighbour");
}

} // namespace
} // namespace marquelo::test
