#include "core/tools/OutputNames.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

namespace marquelo {
namespace {

class OutputNamesTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    OutputNames names;
    std::string path() const { return dir.path().toStdString(); }
    void touch(const std::string& name) { std::ofstream(path() + "/" + name) << "x"; }
};

TEST_F(OutputNamesTest, NameOnDiskGetsNextNumber)
{
    touch("img_0001.jpg");
    touch("img_0001-2.jpg");
    EXPECT_EQ(names.reserve(path(), "img_0001.jpg"), "img_0001-3.jpg");
}

TEST_F(OutputNamesTest, NamesHandedOutCountAsTakenBeforeTheFileExists)
{
    EXPECT_EQ(names.reserve(path(), "img_0001.jpg"), "img_0001.jpg");
    EXPECT_EQ(names.reserve(path(), "img_0001.jpg"), "img_0001-2.jpg");
    EXPECT_EQ(names.reserve(path(), "img_0001.jpg"), "img_0001-3.jpg");
}

// Another running program keeps its own list of names: only what is on disk can keep the two apart, so
// a name is taken the moment it is handed out, and a name given back unused leaves nothing behind.
TEST_F(OutputNamesTest, ReservedNameIsOnDiskForEveryOtherProgram)
{
    OutputNames otherProgram;
    EXPECT_EQ(names.reserve(path(), "img_0001.jpg"), "img_0001.jpg");
    EXPECT_TRUE(std::filesystem::exists(path() + "/img_0001.jpg"));
    EXPECT_EQ(otherProgram.reserve(path(), "img_0001.jpg"), "img_0001-2.jpg");

    names.release(path(), "img_0001.jpg");
    EXPECT_FALSE(std::filesystem::exists(path() + "/img_0001.jpg"));
    // A copy that arrived meanwhile is never removed by a release.
    touch("img_0001-2.jpg");
    otherProgram.release(path(), "img_0001-2.jpg");
    EXPECT_TRUE(std::filesystem::exists(path() + "/img_0001-2.jpg"));
}

TEST_F(OutputNamesTest, NumberedLongNameStaysWithinTheLimitAndKeepsItsExtension)
{
    const std::string longName = std::string(60, 'n') + ".jpg";
    EXPECT_EQ(names.reserve(path(), longName), longName);
    EXPECT_EQ(names.reserve(path(), longName), std::string(58, 'n') + "-2.jpg");
}

struct StemCase {
    const char* name;
    const char* input;
    const char* first;
    const char* second;
};

class OutputStemTest : public ::testing::TestWithParam<StemCase> {};

TEST_P(OutputStemTest, NumberGoesBeforeTheExtension)
{
    QTemporaryDir dir;
    OutputNames names;
    EXPECT_EQ(names.reserve(dir.path().toStdString(), GetParam().input), GetParam().first);
    EXPECT_EQ(names.reserve(dir.path().toStdString(), GetParam().input), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Stems, OutputStemTest,
                         ::testing::Values(StemCase{"Plain", "a.jpg", "a.jpg", "a-2.jpg"},
                                           StemCase{"SeveralDots", "a.b.jpg", "a.b.jpg", "a.b-2.jpg"},
                                           StemCase{"NoExtension", "abc", "abc", "abc-2"},
                                           StemCase{"OnlyExtension", ".jpg", "image.jpg", "image-2.jpg"},
                                           StemCase{"Empty", "", "image", "image-2"}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace marquelo
