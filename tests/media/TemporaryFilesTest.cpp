#include "media/TemporaryFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace marquelo::media {
namespace {

std::size_t entriesIn(const std::string& folder)
{
    return std::size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
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
} // namespace marquelo::media
