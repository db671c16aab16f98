// Photos with the names real folders hold (blanks, quotes, shell characters, a leading dash, letters
// beyond ASCII, the longest name a file system allows, bytes that are not UTF-8) go through every
// action. None of them may crash the program or reach a file other than the photo and what the action
// makes of it.
#include "harness/FileSnapshot.h"
#include "harness/ProgramSession.h"
#include "harness/Programs.h"

#include "core/viewer/ImageList.h"
#include "ui/viewer/ViewerWindow.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace marquelo::test {
namespace {

struct OddName {
    const char* label;
    std::string name;  // bytes of the file name
    std::string decoy; // a neighbour whose name a careless conversion of `name` would produce
};

std::vector<OddName> oddNames()
{
    return {
        {"Blanks", "my holiday  photo .jpg", ""},
        {"DoubleQuotes", "say \"cheese\".jpg", "say cheese.jpg"},
        {"QuotesSplittingTheName", "x\" \"neighbour-a.jpg", ""},
        {"SingleQuote", "it's me.jpg", ""},
        {"Dollar", "$HOME $(id) `id`.jpg", ""},
        {"Semicolon", "a;b;rm -rf neighbour-a.jpg", ""},
        {"LeadingDash", "-rf.jpg", ""},
        {"LeadingDoubleDash", "--help.jpg", ""},
        {"Placeholders", "%1%2%3 %4.jpg", ""},
        {"Backslash", "back\\slash.jpg", ""},
        {"NonAscii", "\xC3\x84rger \xC3\xBC\x62\x65r M\xC3\xBCnchen \xC2\xB5.jpg", "arger_uber_munchen_u.jpg"},
        {"OnlyNonLatin", "\xE6\x97\xA5\xE6\x9C\xAC.jpg", "image.jpg"},
        {"LongestName", std::string(251, 'n') + ".jpg", ""},
        {"InvalidUtf8", "bad\xFF\xFEname.jpg", "bad\xEF\xBF\xBD\xEF\xBF\xBDname.jpg"},
        {"InvalidUtf8Only", "\xC0\xAF.jpg", "\xEF\xBF\xBD\xEF\xBF\xBD.jpg"},
        {"Markup", "<h1>x<img src=neighbour-a.jpg>.jpg", ""},
    };
}

// Names with their bytes beyond ASCII as \xNN, one per line.
std::string printable(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& name : names) {
        for (unsigned char c : name) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += c >= 0x20 && c < 0x7f ? std::string(1, char(c)) : std::string(hex);
        }
        out += "\n";
    }
    return out;
}

class OddNames : public ::testing::TestWithParam<OddName> {
protected:
    ProgramSession session;

    void TearDown() override { waitForProgramsMentioning(session.work(), 30000); }

    // Every program the actions started has finished its work.
    void quiet() { EXPECT_TRUE(waitForProgramsMentioning(session.work(), 30000)); }
};

TEST_P(OddNames, EveryActionKeepsToItsOwnFile)
{
    const OddName& odd = GetParam();
    const auto photos = copyCorpusPhotos(session.photos(), 3, 160);
    ASSERT_EQ(photos.size(), 3u);
    // The odd photo and its neighbours; the decoy sits where a lossy name conversion would land.
    fs::rename(session.photos() + "/" + photos[0], session.photos() + "/" + odd.name);
    fs::rename(session.photos() + "/" + photos[1], session.photos() + "/neighbour-a.jpg");
    if (!odd.decoy.empty())
        fs::copy_file(session.photos() + "/neighbour-a.jpg", session.photos() + "/" + odd.decoy);
    fs::create_directories(session.favorites());
    // Something already in the favorites and the output, which no action may touch.
    std::ofstream(session.favorites() + "/earlier.jpg") << "an earlier favorite";
    fs::create_directories(session.output());
    std::ofstream(session.output() + "/notes.txt") << "the user's own notes";
    const FileSnapshot photosBefore = FileSnapshot::of(session.photos());
    const FileSnapshot favoritesBefore = FileSnapshot::of(session.favorites());
    const FileSnapshot outputBefore = FileSnapshot::of(session.output());

    const std::string renamed = "renamed " + std::to_string(std::hash<std::string>()(odd.name) % 1000) + ".jpg";
    session.pilot.renameTo = {QString::fromStdString(renamed)};
    bool found = false;
    std::vector<std::string> stepsDone;
    // After each action: which other photo it reached, if any.
    std::map<std::string, std::string> touched;
    auto done = [&](const char* step) {
        quiet();
        stepsDone.push_back(step);
        const std::string others = printable(FileSnapshot::of(session.photos()).changedSince(photosBefore, {odd.name}));
        if (!others.empty() && touched.empty())
            touched[step] = others;
    };

    ASSERT_TRUE(session.run([&](ViewerWindow& window) {
        ImageList& images = window.images();
        const auto entry = images.findByName(odd.name);
        found = entry.has_value();
        if (!found)
            return;
        images.setCurrent(entry->index);
        window.showCurrent();
        settle(50);
        done("view");

        window.runCommand(Command::Edit);
        settle(30);
        done("edit");

        window.runCommand(Command::Swap); // back to the photo itself, if an edited copy is shown
        window.runCommand(Command::RotateLeft);
        quiet();
        tickChangeCheck(window);
        settle(30);
        done("rotate");

        const int before = images.currentIndex();
        window.runCommand(Command::AddImage);
        typeCaption(window, QStringLiteral("Caption with \"quotes\" & <tags>"));
        settle(30);
        done("add");
        images.setCurrent(before);
        window.showCurrent();

        window.runCommand(Command::AddFavorite);
        done("favorite");

        window.runCommand(Command::Rename);
        settle(30);
        done("rename");

        session.ui.answers = {UserInterface::Answer::Yes, UserInterface::Answer::Yes};
        window.runCommand(Command::Delete);
        settle(30);
        done("delete");
    }));
    quiet();
    ASSERT_TRUE(found) << "the photo is not in the list";
    EXPECT_EQ(stepsDone.size(), 7u);
    EXPECT_TRUE(touched.empty()) << "'" << touched.begin()->first << "' reached " << touched.begin()->second;

    // The neighbours and the decoy are exactly as they were; the odd photo itself went (renamed, then
    // deleted) and its edited copy is the only other photo that may have come or gone.
    const FileSnapshot photosAfter = FileSnapshot::of(session.photos());
    EXPECT_EQ(printable(photosAfter.changedSince(photosBefore, {odd.name})), "");
    for (const auto& [name, hash] : photosAfter.hashes()) {
        const bool allowed = photosBefore.contains(name) || name.find("_edit") != std::string::npos;
        EXPECT_TRUE(allowed) << "a new file among the photos: " << printable({name});
    }
    EXPECT_FALSE(photosAfter.contains(renamed)) << "the renamed photo was not deleted";
    // Favorites and output only gained files.
    EXPECT_TRUE(FileSnapshot::of(session.favorites()).changedSince(favoritesBefore).empty());
    EXPECT_TRUE(FileSnapshot::of(session.output()).changedSince(outputBefore).empty());
    // Nothing was written beside the work folder's own folders.
    for (const auto& entry : fs::directory_iterator(session.work())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "photos" || name == "out" || name == "favorites" || name == "settings.conf")
            << "unexpected " << name;
    }
}

// Deleting is the one action that cannot be undone: straight from the first view, only the photo goes.
TEST_P(OddNames, DeleteRemovesOnlyThatPhoto)
{
    const OddName& odd = GetParam();
    const auto photos = copyCorpusPhotos(session.photos(), 2, 120);
    ASSERT_EQ(photos.size(), 2u);
    fs::rename(session.photos() + "/" + photos[0], session.photos() + "/" + odd.name);
    if (!odd.decoy.empty())
        fs::copy_file(session.photos() + "/" + photos[1], session.photos() + "/" + odd.decoy);
    const FileSnapshot before = FileSnapshot::of(session.photos());

    ASSERT_TRUE(session.run(
        [&](ViewerWindow& window) {
            // A name the trash cannot take (not UTF-8, or near the length limit) is asked about a second
            // time, before it is deleted for good.
            session.ui.answers = {UserInterface::Answer::Yes, UserInterface::Answer::Yes};
            window.runCommand(Command::Delete);
            settle(30);
        },
        session.photos() + "/" + odd.name));

    const FileSnapshot after = FileSnapshot::of(session.photos());
    EXPECT_FALSE(after.contains(odd.name));
    EXPECT_EQ(printable(after.changedSince(before, {odd.name})), "");
    EXPECT_EQ(after.size(), before.size() - 1);
}

INSTANTIATE_TEST_SUITE_P(, OddNames, ::testing::ValuesIn(oddNames()),
                         [](const auto& row) { return std::string(row.param.label); });

} // namespace
} // namespace marquelo::test
