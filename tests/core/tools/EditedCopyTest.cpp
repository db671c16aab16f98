#include "core/tools/EditedCopy.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace marquelo
