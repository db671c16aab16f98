#include "media/FileMove.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using marquelo::media::renameNoReplace;
using marquelo::test::fileBytes;

TEST(RenameNoReplace, MovesOnlyOntoAFreeName)
{
    QTemporaryDir dir;
    const std::string a = dir.filePath("a.jpg").toStdString();
    const std::string b = dir.filePath("b.jpg").toStdString();
    const std::string link = dir.filePath("link.jpg").toStdString();
    std::ofstream(a) << "photo a";
    std::ofstream(b) << "photo b";
    std::filesystem::create_symlink("nowhere.jpg", link);

    EXPECT_EQ(renameNoReplace(a, b), EEXIST);
    EXPECT_EQ(fileBytes(a), "photo a");
    EXPECT_EQ(fileBytes(b), "photo b");
    // A dangling link is a taken name too: the photo must not replace it.
    EXPECT_EQ(renameNoReplace(a, link), EEXIST);
    EXPECT_TRUE(std::filesystem::is_symlink(link));

    const std::string c = dir.filePath("c.jpg").toStdString();
    EXPECT_EQ(renameNoReplace(a, c), 0);
    EXPECT_EQ(fileBytes(c), "photo a");
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_EQ(renameNoReplace(a, c), ENOENT);
}
