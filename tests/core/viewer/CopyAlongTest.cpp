// A favorite of a RAW+JPEG pair takes the RAW and the sidecars along: under the copy's name, never over
// a file already there, and all or none.
#include "core/viewer/SendTo.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace marquelo {
namespace {

namespace fs = std::filesystem;

class CopyAlong : public ::testing::Test {
protected:
    QTemporaryDir root;
    std::string photos, favorites;
    std::vector<std::string> along;

    void SetUp() override
    {
        photos = root.path().toStdString() + "/card";
        favorites = root.path().toStdString() + "/best";
        fs::create_directories(photos);
        fs::create_directories(favorites);
        test::writeFileBytes(photos + "/IMG_1.JPG", "jpeg");
        test::writeFileBytes(photos + "/IMG_1.CR2", "raw");
        test::writeFileBytes(photos + "/IMG_1.JPG.xmp", "jpeg sidecar");
        test::writeFileBytes(photos + "/IMG_1.CR2.xmp", "raw sidecar");
        along = {photos + "/IMG_1.CR2", photos + "/IMG_1.JPG.xmp", photos + "/IMG_1.CR2.xmp"};
    }

    std::vector<std::string> favoriteNames() const
    {
        std::vector<std::string> names;
        for (const auto& file : fs::directory_iterator(favorites))
            names.push_back(file.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(CopyAlong, CompanionsTakeTheCopysNameAndLeaveTheOriginals)
{
    const SendOutcome outcome = copyAlong(along, "IMG_1.JPG", favorites, "img_1-2.jpg");
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_FALSE(outcome.numbered);
    EXPECT_EQ(favoriteNames(), (std::vector<std::string>{"img_1-2.CR2", "img_1-2.CR2.xmp", "img_1-2.JPG.xmp"}));
    EXPECT_EQ(test::fileBytes(favorites + "/img_1-2.CR2"), "raw");
    EXPECT_EQ(test::fileBytes(favorites + "/img_1-2.JPG.xmp"), "jpeg sidecar");
    ASSERT_EQ(outcome.moved.size(), 3u);
    EXPECT_EQ(outcome.moved[0].to, favorites + "/img_1-2.CR2");
    EXPECT_EQ(test::fileBytes(photos + "/IMG_1.CR2"), "raw") << "a copy, not a move";
}

TEST_F(CopyAlong, ATakenNameIsNeverReplacedTheGroupIsNumbered)
{
    test::writeFileBytes(favorites + "/IMG_1.CR2.xmp", "another photo's sidecar");
    const SendOutcome outcome = copyAlong(along, "IMG_1.JPG", favorites, "IMG_1.jpg");
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_TRUE(outcome.numbered);
    EXPECT_EQ(test::fileBytes(favorites + "/IMG_1.CR2.xmp"), "another photo's sidecar");
    EXPECT_EQ(favoriteNames(),
              (std::vector<std::string>{"IMG_1-1.CR2", "IMG_1-1.CR2.xmp", "IMG_1-1.JPG.xmp", "IMG_1.CR2.xmp"}));
    EXPECT_EQ(test::fileBytes(favorites + "/IMG_1-1.CR2.xmp"), "raw sidecar");
}

TEST_F(CopyAlong, AFileThatCannotBeReadLeavesNothingBehind)
{
    // A FIFO in place of the RAW's sidecar: refused without blocking, and what was copied goes again.
    fs::remove(photos + "/IMG_1.CR2.xmp");
    ASSERT_EQ(::mkfifo((photos + "/IMG_1.CR2.xmp").c_str(), 0600), 0);
    const SendOutcome outcome = copyAlong(along, "IMG_1.JPG", favorites, "IMG_1.jpg");
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.error.find("IMG_1.CR2.xmp"), std::string::npos) << outcome.error;
    EXPECT_TRUE(outcome.moved.empty());
    EXPECT_TRUE(favoriteNames().empty());
}

} // namespace
} // namespace marquelo
