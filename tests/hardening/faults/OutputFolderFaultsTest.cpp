// The page's folder failing under the program: read-only, full, or gone while the program runs. Each
// time the user is told, the program goes on, and no file that existed before is damaged.
#include "harness/FileSnapshot.h"
#include "harness/ProgramSession.h"
#include "harness/Programs.h"
#include "harness/ScratchMount.h"

#include "core/viewer/ImageList.h"
#include "ui/viewer/ViewerWindow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace marquelo::test {
namespace {

bool anyMessageStartsWith(const ScriptedUserInterface& ui, const std::string& prefix)
{
    for (const std::string& m : ui.messages)
        if (m.rfind(prefix, 0) == 0)
            return true;
    return false;
}

std::string joined(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& l : lines)
        out += "[" + l + "] ";
    return out;
}

// A session with four photos and an open page (one photo added) in out/page, the page's folder on a
// small file system of its own.
class OutputFolderFaults : public ::testing::Test {
protected:
    ProgramSession session;
    std::unique_ptr<ScratchMount> mount;
    std::string pageFolder;

    void SetUp() override
    {
        ASSERT_EQ(copyCorpusPhotos(session.photos(), 4, 200).size(), 4u);
        pageFolder = session.output() + "/page";
        fs::create_directories(pageFolder);
        mount = ScratchMount::tmpfs(pageFolder, 512);
        if (!mount)
            GTEST_SKIP() << "mounting a small file system needs privileges this run does not have";
        AppConfig& c = session.settings();
        c.CurOutputDirectory = pageFolder;
        c.CurPageSubdirectory = "page";
        c.OutputFilename = "index.html";
        // Exactly one block of the file system: whatever is appended needs a new one.
        std::string page = "<html><body>\r\n\r\n<a name=2></a>\r\n<p align=center><img src=\"old.jpg\"></p>\r\n";
        page += "<!--" + std::string(4096 - page.size() - 9, '-') + "-->\r\n";
        std::ofstream(pageFolder + "/index.html", std::ios::binary) << page;
        std::ofstream(pageFolder + "/old.jpg", std::ios::binary) << "an earlier copy";
    }

    void TearDown() override
    {
        waitForProgramsMentioning(session.work(), 20000);
        mount.reset();
    }

    // Adds the current photo with a caption, as A, typing and Enter do.
    static void addCurrent(ViewerWindow& window, const char* caption)
    {
        window.runCommand(Command::AddImage);
        typeCaption(window, QString::fromUtf8(caption));
        settle(50);
    }
};

TEST_F(OutputFolderFaults, ReadOnlyFolderIsReportedAndLeavesPageAndPhotosAlone)
{
    ASSERT_TRUE(mount->setReadOnly(true));
    const FileSnapshot photosBefore = FileSnapshot::of(session.photos());
    const FileSnapshot pageBefore = FileSnapshot::of(pageFolder);
    int currentAfterAdd = -1;

    ASSERT_TRUE(session.run([&](ViewerWindow& window) {
        addCurrent(window, "On a read-only disk");
        currentAfterAdd = window.images().currentIndex();
        window.runCommand(Command::ClosePage);
        settle(50);
        window.runCommand(Command::AddFavorite);
        window.runCommand(Command::RotateLeft);
        settle(100);
    }));
    waitForProgramsMentioning(session.work(), 20000);

    EXPECT_TRUE(anyMessageStartsWith(session.ui, "Failed to open '" + pageFolder + "/index.html'"))
        << joined(session.ui.messages);
    // The photo stays on screen so the user can try again.
    EXPECT_EQ(currentAfterAdd, 0);
    EXPECT_EQ(FileSnapshot::of(pageFolder).hashes(), pageBefore.hashes());
    // Only the photo that was turned may differ.
    EXPECT_TRUE(FileSnapshot::of(session.photos()).changedSince(photosBefore, {"photo-01.jpg"}).empty());
}

TEST_F(OutputFolderFaults, FullFolderIsReportedAndLeavesNoHalfCopies)
{
    fillFileSystem(pageFolder);
    const FileSnapshot photosBefore = FileSnapshot::of(session.photos());
    const FileSnapshot pageBefore = FileSnapshot::of(pageFolder);

    ASSERT_TRUE(session.run([&](ViewerWindow& window) {
        addCurrent(window, "On a full disk");
        addCurrent(window, "Still full");
        window.runCommand(Command::ClosePage);
        settle(50);
    }));
    waitForProgramsMentioning(session.work(), 20000);

    EXPECT_FALSE(session.ui.messages.empty());
    EXPECT_TRUE(FileSnapshot::of(session.photos()).changedSince(photosBefore).empty());
    // Not one byte fitted: the page is as it was (no half fragment), and no copy, temporary or partial,
    // was left beside it.
    EXPECT_EQ(FileSnapshot::of(pageFolder).hashes(), pageBefore.hashes());
}

TEST_F(OutputFolderFaults, FolderRemovedWhileRunningIsReportedOrMadeAgain)
{
    const FileSnapshot photosBefore = FileSnapshot::of(session.photos());
    ASSERT_TRUE(session.run([&](ViewerWindow& window) {
        // The disk goes away under the program: its mount point and everything on it.
        mount.reset();
        fs::remove_all(session.output());
        addCurrent(window, "After the folder went away");
        window.runCommand(Command::ClosePage);
        settle(50);
        addCurrent(window, "And once more");
        window.runCommand(Command::AddFavorite);
        settle(50);
    }));
    waitForProgramsMentioning(session.work(), 20000);

    EXPECT_TRUE(FileSnapshot::of(session.photos()).changedSince(photosBefore).empty());
    // Either the user heard about it, or the page was made again with the photo in it.
    const bool madeAgain = fs::exists(session.output()) && !FileSnapshot::of(session.output()).hashes().empty();
    EXPECT_TRUE(!session.ui.messages.empty() || madeAgain) << joined(session.ui.messages);
}

} // namespace
} // namespace marquelo::test
