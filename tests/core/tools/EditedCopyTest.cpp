#include "core/tools/EditedCopy.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>

namespace marquelo {
namespace {

struct EditNameCase {
    const char* name;
    const char* original;
    const char* suffix;
    const char* edited;
};

class EditedNameTest : public ::testing::TestWithParam<EditNameCase> {};

TEST_P(EditedNameTest, SuffixBeforeEveryDot)
{
    EXPECT_EQ(editedName(GetParam().original, GetParam().suffix), GetParam().edited);
}

INSTANTIATE_TEST_SUITE_P(Names, EditedNameTest,
                         ::testing::Values(EditNameCase{"Camera", "IMG_0042.JPG", "_edit", "IMG_0042_edit.JPG"},
                                           EditNameCase{"SeveralDots", "holiday.beach.jpg", "_edit",
                                                        "holiday_edit.beach_edit.jpg"},
                                           EditNameCase{"OwnSuffix", "a.jpg", "-retouched", "a-retouched.jpg"},
                                           // The copy must never be the original itself.
                                           EditNameCase{"NoDot", "README", "_edit", "README_edit"},
                                           EditNameCase{"EmptySuffix", "a.jpg", "", "a_edit.jpg"}),
                         [](const auto& row) { return std::string(row.param.name); });

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(CopyFileReplacing, ReplacesWholeFileAndLeavesNoTemporary)
{
    QTemporaryDir dir;
    const std::string a = dir.path().toStdString() + "/a.jpg", b = dir.path().toStdString() + "/a_edit.jpg";
    std::ofstream(a, std::ios::binary) << std::string(200000, 'x');
    std::ofstream(b) << "old edit";
    std::string error;
    ASSERT_TRUE(copyFileReplacing(a, b, error)) << error;
    EXPECT_EQ(readAll(b), std::string(200000, 'x'));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(CopyFileReplacing, MissingSourceChangesNothing)
{
    QTemporaryDir dir;
    const std::string b = dir.path().toStdString() + "/b.jpg";
    std::ofstream(b) << "keep";
    std::string error;
    EXPECT_FALSE(copyFileReplacing(dir.path().toStdString() + "/missing.jpg", b, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readAll(b), "keep");
}

} // namespace
} // namespace marquelo
