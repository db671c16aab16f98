#include "media/AtomicFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace marquelo::media {
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

std::size_t entriesIn(const std::string& folder)
{
    return std::size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

unsigned modeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0u;
}

bool write(const std::string& path, const std::string& text, const AtomicWriteOptions& options = {})
{
    std::string error;
    return writeFileAtomically(path, text.data(), text.size(), error, options);
}

class AtomicFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
};

// The old content stays whole until the new one is complete: a writer given up halfway, one whose
// folder is gone and one that was never committed leave the old file and nothing beside it.
TEST_F(AtomicFileTest, OldFileOrWholeNewOneNeverHalf)
{
    const std::string page = folder + "/index.html";
    writeFile(page, "the old page");
    {
        AtomicFile half(page);
        ASSERT_TRUE(half.isOpen()) << half.error();
        ASSERT_TRUE(half.write("the new", 7));
        EXPECT_EQ(contentOf(page), "the old page");
        EXPECT_EQ(entriesIn(folder), 2u);
    }
    EXPECT_EQ(contentOf(page), "the old page");
    EXPECT_EQ(entriesIn(folder), 1u);

    std::string error;
    EXPECT_FALSE(writeFileAtomically(folder + "/gone/index.html", "x", 1, error));
    EXPECT_EQ(error, std::strerror(ENOENT));

    AtomicFile whole(page);
    ASSERT_TRUE(whole.write("the new page", 12));
    ASSERT_TRUE(whole.commit()) << whole.error();
    EXPECT_FALSE(whole.commit()); // once only
    EXPECT_EQ(contentOf(page), "the new page");
    EXPECT_EQ(entriesIn(folder), 1u);
}

// Permissions: a replaced file's are kept when asked (the user made a page read-only for others), a
// new file gets those of any new file, a cache entry is the owner's alone whatever the umask.
TEST_F(AtomicFileTest, PermissionsAsAsked)
{
    const mode_t umask = ::umask(022);
    const std::string page = folder + "/page.html", copy = folder + "/copy.jpg", entry = folder + "/entry.png";
    writeFile(page, "old");
    fs::permissions(page, fs::perms(0640));
    ASSERT_TRUE(write(page, "new", {.keepPermissions = true}));
    EXPECT_EQ(modeOf(page), 0640u);
    ASSERT_TRUE(write(page, "newer"));
    EXPECT_EQ(modeOf(page), 0644u);
    ASSERT_TRUE(write(copy, "photo"));
    EXPECT_EQ(modeOf(copy), 0644u);
    ::umask(0);
    ASSERT_TRUE(write(entry, "png", {.ownerOnly = true}));
    EXPECT_EQ(modeOf(entry), 0600u);
    ::umask(umask);
}

// A writer that must not replace anything refuses a taken name, even one taken by a dangling link,
// and leaves no temporary file; a free name is written.
TEST_F(AtomicFileTest, NoReplaceRefusesATakenName)
{
    const std::string photo = folder + "/photo.xmp", link = folder + "/link.xmp", free = folder + "/free.xmp";
    writeFile(photo, "the user's");
    fs::create_symlink(folder + "/nowhere", link);
    for (const std::string& taken : {photo, link}) {
        std::string error;
        EXPECT_FALSE(writeFileAtomically(taken, "mine", 4, error, {.replace = false}));
        EXPECT_EQ(error, std::strerror(EEXIST));
    }
    EXPECT_EQ(contentOf(photo), "the user's");
    EXPECT_TRUE(fs::is_symlink(link));
    ASSERT_TRUE(write(free, "mine", {.replace = false}));
    EXPECT_EQ(contentOf(free), "mine");
    EXPECT_EQ(entriesIn(folder), 3u);
}

// An interrupted writer's leftover goes with the next write into that folder, unless the folder is
// a cache that is not read through on every write.
TEST_F(AtomicFileTest, ClearsLeftoversWhereAsked)
{
    const std::string leftover = folder + "/.marquelo-1-abc123.tmp"; // pid 1 lives, but wrote long ago
    writeFile(leftover, "half a photo");
    fs::last_write_time(leftover, fs::file_time_type::clock::now() - std::chrono::minutes(5));
    ASSERT_TRUE(write(folder + "/entry.png", "png", {.clearLeftovers = false}));
    EXPECT_TRUE(fs::exists(leftover));
    ASSERT_TRUE(write(folder + "/photo.jpg", "jpeg"));
    EXPECT_FALSE(fs::exists(leftover));
}

} // namespace
} // namespace marquelo::media
