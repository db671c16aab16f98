// Turning the command line into the image folder and the start photo.
#include "core/settings/StartPath.h"

#include <gtest/gtest.h>

namespace marquelo {
namespace {

struct SplitCase {
    const char* path;
    const char* directory;
    const char* file;
};

class SplitStartPathTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitStartPathTest, SplitsAtTheLastSlashOnlyWhenAFullStopFollowsIt)
{
    const auto& c = GetParam();
    EXPECT_EQ(splitStartPath(c.path), (StartPath{c.directory, c.file})) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SplitStartPathTest,
    ::testing::Values(SplitCase{"/photos/Trip/IMG_0001.JPG", "/photos/Trip", "IMG_0001.JPG"},
                      SplitCase{"/photos/Trip", "/photos/Trip", ""},
                      SplitCase{"/photos/Trip.2005/Day1", "/photos/Trip.2005/Day1", ""},
                      SplitCase{"/photos/Trip.2005/", "/photos/Trip.2005/", ""}, SplitCase{"/a.b/c", "/a.b/c", ""},
                      SplitCase{"IMG_0001.JPG", ".", "IMG_0001.JPG"}, SplitCase{"Holidays", ".", "Holidays"},
                      SplitCase{"./IMG_0001.JPG", ".", "IMG_0001.JPG"},
                      SplitCase{"/My Photos/IMG 1.JPG", "/My Photos", "IMG 1.JPG"}, SplitCase{"", "", ""}));

struct JoinCase {
    std::vector<std::string> argv;
    const char* joined;
};

class JoinArgumentsTest : public ::testing::TestWithParam<JoinCase> {};

TEST_P(JoinArgumentsTest, JoinsEverythingAfterTheProgramWithSingleSpaces)
{
    EXPECT_EQ(joinArguments(GetParam().argv), GetParam().joined);
}

INSTANTIATE_TEST_SUITE_P(Rows, JoinArgumentsTest,
                         ::testing::Values(JoinCase{{"marquelo", "/My", "Photos/IMG", "1.JPG"}, "/My Photos/IMG 1.JPG"},
                                           JoinCase{{"marquelo", "/photos/a.jpg"}, "/photos/a.jpg"},
                                           JoinCase{{"marquelo", "/My Photos/IMG 1.JPG"}, "/My Photos/IMG 1.JPG"},
                                           JoinCase{{"marquelo", "a", "", "b"}, "a  b"}, JoinCase{{"marquelo"}, ""},
                                           JoinCase{{}, ""}));

} // namespace
} // namespace marquelo
