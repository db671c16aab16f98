// What the folder chooser lists and where a typed path leads, on names that are not UTF-8 too.
#include "core/settings/FolderListing.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace marquelo {
namespace {

class FolderListingTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    std::string root = tmp.path().toStdString();
    std::string odd = root + "/caf\xE9"; // Latin-1: not UTF-8

    void TearDown() override { fs::remove_all(root); } // QTemporaryDir removes by text, which misses odd
};

TEST_F(FolderListingTest, ListsVisibleSubfoldersByTheirBytesInFileManagerOrder)
{
    for (const char* name : {"b", "Day 10", "Day 9", "A", "a", "\xC3\x84pfel", ".hidden"})
        fs::create_directories(root + "/" + name);
    fs::create_directories(odd);
    std::ofstream(root + "/file.jpg") << "x";
    fs::create_directory_symlink(root + "/b", root + "/link to b");
    fs::create_symlink(root + "/gone", root + "/broken");
    fs::create_symlink(root + "/file.jpg", root + "/link to file");

    const FolderListing listing = listSubfolders(root);
    EXPECT_FALSE(listing.error);
    std::vector<std::string> names;
    for (const Subfolder& sub : listing.subfolders)
        names.push_back(sub.name);
    // Case does not order ("a" and "A" together, by bytes between them), numbers go by value, an
    // accented letter sorts by its base letter.
    EXPECT_EQ(names,
              (std::vector<std::string>{"A", "a", "\xC3\x84pfel", "b", "caf\xE9", "Day 9", "Day 10", "link to b"}));
    EXPECT_EQ(listing.subfolders[4].shown, QStringLiteral("caf\uFFFD"));
    EXPECT_EQ(listing.subfolders[2].shown, QStringLiteral("\u00C4pfel"));
}

TEST_F(FolderListingTest, TypedPathsAreReadAgainstTheFolderShown)
{
    fs::create_directories(odd + "/inner");
    fs::create_directories(root + "/plain");
    EXPECT_EQ(typedFolder(QStringLiteral("caf\uFFFD"), root), odd);
    EXPECT_EQ(typedFolder(QStringLiteral("caf\uFFFD/inner/"), root), odd + "/inner");
    EXPECT_EQ(typedFolder(QStringLiteral(".."), odd), root);
    EXPECT_EQ(typedFolder(QStringLiteral("../plain"), odd), root + "/plain");
    EXPECT_EQ(typedFolder(tmp.path() + QStringLiteral("/./plain"), "/"), root + "/plain");
    EXPECT_EQ(typedFolder(QStringLiteral("nowhere"), root), std::nullopt);
    EXPECT_EQ(typedFolder(QString(), root), std::nullopt);

    const char* home = std::getenv("HOME");
    const std::optional<std::string> oldHome = home ? std::optional<std::string>(home) : std::nullopt;
    setenv("HOME", odd.c_str(), 1);
    EXPECT_EQ(typedFolder(QStringLiteral("~"), "/"), odd);
    EXPECT_EQ(typedFolder(QStringLiteral("~/inner"), "/"), odd + "/inner");
    EXPECT_EQ(homeFolder(), odd);
    if (oldHome)
        setenv("HOME", oldHome->c_str(), 1);
    else
        unsetenv("HOME");
}

} // namespace
} // namespace marquelo
