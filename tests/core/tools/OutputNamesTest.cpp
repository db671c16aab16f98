#include "core/tools/OutputNames.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

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
