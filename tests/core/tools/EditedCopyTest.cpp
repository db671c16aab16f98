#include "core/tools/EditedCopy.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <iterator>

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
TEST(CopyFileReplacing, ReplacesWholeOrNotAtAll)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    writeFile(folder + "/a.jpg", "photo bytes");
    writeFile(folder + "/a_edit.jpg", "an older edit");
    std::string error;
    ASSERT_TRUE(copyFileReplacing(folder + "/a.jpg", folder + "/a_edit.jpg", error)) << error;
    EXPECT_EQ(contentOf(folder + "/a_edit.jpg"), "photo bytes");

    EXPECT_FALSE(copyFileReplacing(folder + "/missing.jpg", folder + "/a_edit.jpg", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(copyFileReplacing(folder + "/a.jpg", folder + "/no/such/folder/a_edit.jpg", error));
    EXPECT_EQ(contentOf(folder + "/a_edit.jpg"), "photo bytes");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 2);

    const std::string odd = folder + "/bad\xFF\xFEname.jpg",
                      lookAlike = folder + "/bad\xEF\xBF\xBD\xEF\xBF\xBDname.jpg";
    writeFile(odd, "the odd photo");
    writeFile(lookAlike, "its neighbour");
    writeFile(folder + "/bad\xEF\xBF\xBD\xEF\xBF\xBDname_edit.jpg", "the neighbour's edit");
    ASSERT_TRUE(copyFileReplacing(odd, folder + "/bad\xFF\xFEname_edit.jpg", error)) << error;
    EXPECT_EQ(contentOf(folder + "/bad\xFF\xFEname_edit.jpg"), "the odd photo");
    EXPECT_EQ(contentOf(folder + "/bad\xEF\xBF\xBD\xEF\xBF\xBDname_edit.jpg"), "the neighbour's edit");
}

} // namespace
} // namespace marquelo
