#include "core/tools/FileCopy.h"
#include "core/tools/TemporaryFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace marquelo {
namespace {

std::string contentOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The copy replaces what had the edited name, whole; a failed copy changes nothing and leaves no
// temporary file; names that are not UTF-8 reach their own files, never their look-alikes.
TEST(CopyRegularFile, ReplacesWholeOrNotAtAll)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    writeFile(folder + "/a.jpg", "photo bytes");
    writeFile(folder + "/a_edit.jpg", "an older edit");
    FileProblem problem;
    ASSERT_TRUE(copyRegularFile(folder + "/a.jpg", folder + "/a_edit.jpg", problem)) << problem.reason;
    EXPECT_EQ(contentOf(folder + "/a_edit.jpg"), "photo bytes");

    EXPECT_FALSE(copyRegularFile(folder + "/missing.jpg", folder + "/a_edit.jpg", problem));
    EXPECT_FALSE(problem.reason.empty());
    EXPECT_FALSE(copyRegularFile(folder + "/a.jpg", folder + "/no/such/folder/a_edit.jpg", problem));
    EXPECT_EQ(contentOf(folder + "/a_edit.jpg"), "photo bytes");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 2);

    const std::string odd = folder + "/bad\xFF\xFEname.jpg",
                      lookAlike = folder + "/bad\xEF\xBF\xBD\xEF\xBF\xBDname.jpg";
    writeFile(odd, "the odd photo");
    writeFile(lookAlike, "its neighbour");
    writeFile(folder + "/bad\xEF\xBF\xBD\xEF\xBF\xBDname_edit.jpg", "the neighbour's edit");
    ASSERT_TRUE(copyRegularFile(odd, folder + "/bad\xFF\xFEname_edit.jpg", problem)) << problem.reason;
    EXPECT_EQ(contentOf(folder + "/bad\xFF\xFEname_edit.jpg"), "the odd photo");
    EXPECT_EQ(contentOf(folder + "/bad\xEF\xBF\xBD\xEF\xBF\xBDname_edit.jpg"), "the neighbour's edit");
}

std::size_t entriesIn(const std::string& folder)
{
    return std::size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// A link to an endless device, a FIFO without a writer and a folder are refused at once (a FIFO would
// block the open, /dev/zero would fill the disk), with a reason the user can act on.
TEST(CopyRegularFile, RefusesWhatIsNoRegularFile)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    fs::create_directory(folder + "/out");
    fs::create_symlink("/dev/zero", folder + "/zero.jpg");
    ASSERT_EQ(::mkfifo((folder + "/fifo.mov").c_str(), 0600), 0);
    fs::create_directory(folder + "/folder.jpg");
    for (const char* name : {"zero.jpg", "fifo.mov", "folder.jpg"}) {
        SCOPED_TRACE(name);
        FileProblem problem;
        EXPECT_FALSE(copyRegularFile(folder + "/" + name, folder + "/out/copy.jpg", problem));
        EXPECT_TRUE(problem.notRegular);
        EXPECT_EQ(copyFailureMessage("a", "b", problem), "Failed to copy 'a' to 'b'\n\n'a' is not a regular file.");
        FileProblem readProblem;
        EXPECT_FALSE(readRegularFile(folder + "/" + name, &readProblem));
        EXPECT_TRUE(readProblem.notRegular);
    }
    EXPECT_EQ(entriesIn(folder + "/out"), 0u);
    // A link to a regular file is that file.
    std::ofstream(folder + "/real.jpg") << "photo";
    fs::create_symlink(folder + "/real.jpg", folder + "/link.jpg");
    FileProblem problem;
    EXPECT_TRUE(copyRegularFile(folder + "/link.jpg", folder + "/out/copy.jpg", problem));
    EXPECT_EQ(readRegularFile(folder + "/out/copy.jpg"), "photo");
    // An ordinary failure keeps the message the user knows.
    EXPECT_FALSE(copyRegularFile(folder + "/missing.jpg", folder + "/out/x.jpg", problem));
    EXPECT_EQ(copyFailureMessage("a", "b", problem), "Failed to copy 'a' to 'b'");
}

void makeOld(const std::string& path)
{
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(5));
}

// What an interrupted writer left is recognised by its name and removed; a live writer's file, the
// user's own files and whatever is no plain file stay.
TEST(TemporaryFiles, StaleOnesGoOthersStay)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    std::string mine;
    const int fd = createTemporaryFile(folder, mine);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(temporaryFileWriter(fs::path(mine).filename().string()), long(::getpid()));

    const std::string ended = folder + "/.marquelo-" + std::to_string(test::endedProcess()) + "-abc123.tmp";
    const std::string oldOfLiveWriter = folder + "/.marquelo-1-zz99.tmp"; // pid 1 never ends
    std::ofstream(ended) << "half a photo";
    std::ofstream(oldOfLiveWriter) << "half a page";
    makeOld(oldOfLiveWriter);
    const std::vector<std::string> users = {".marquelo-notes.tmp", ".marquelo-12-ABC.tmp", "photo.jpg.tmp",
                                            ".photo.jpg.123456.tmp", ".marquelo--x.tmp"};
    for (const std::string& name : users) {
        std::ofstream(folder + "/" + name) << "the user's";
        makeOld(folder + "/" + name);
    }
    fs::create_directory(folder + "/.marquelo-" + std::to_string(test::endedProcess()) + "-dir.tmp");

    EXPECT_EQ(removeStaleTemporaryFiles(folder), 2);
    EXPECT_TRUE(fs::exists(mine));
    EXPECT_FALSE(fs::exists(ended));
    EXPECT_FALSE(fs::exists(oldOfLiveWriter));
    for (const std::string& name : users)
        EXPECT_TRUE(fs::exists(folder + "/" + name)) << name;
    EXPECT_EQ(entriesIn(folder), users.size() + 2);
}

} // namespace
} // namespace marquelo
