// Turning the command line into the image folder and the start photo.
#include "core/settings/StartPath.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

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

TEST(ResolveStartPath, AnExistingFolderIsTheImageFolderWhateverItsName)
{
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    const std::string trip = root + "/2024.06 Trip";
    fs::create_directories(trip);
    std::ofstream(trip + "/IMG_0001.JPG") << "x";
    fs::create_directories(root + "/Holidays");
    fs::create_directories(root + "/Ordner \xC4pfel.1");

    EXPECT_EQ(resolveStartPath(trip), (StartPath{trip, ""}));
    EXPECT_EQ(resolveStartPath(trip + "/"), (StartPath{trip + "/", ""}));
    EXPECT_EQ(resolveStartPath(root + "/Ordner \xC4pfel.1"), (StartPath{root + "/Ordner \xC4pfel.1", ""}));
    // Everything else keeps the split rule: photos, missing names, names with no folder behind them.
    EXPECT_EQ(resolveStartPath(trip + "/IMG_0001.JPG"), (StartPath{trip, "IMG_0001.JPG"}));
    EXPECT_EQ(resolveStartPath(trip + "/IMG_0002.JPG"), (StartPath{trip, "IMG_0002.JPG"}));
    EXPECT_EQ(resolveStartPath(root + "/gone.2005"), (StartPath{root, "gone.2005"}));
    EXPECT_EQ(resolveStartPath(""), StartPath{});

    // A bare folder name is a folder of the current directory, not a photo of it.
    const fs::path before = fs::current_path();
    fs::current_path(root);
    const StartPath bare = resolveStartPath("Holidays");
    const StartPath photo = resolveStartPath("IMG_0001.JPG");
    fs::current_path(before);
    EXPECT_EQ(bare, (StartPath{"Holidays", ""}));
    EXPECT_EQ(photo, (StartPath{".", "IMG_0001.JPG"}));
    fs::remove_all(root + "/Ordner \xC4pfel.1"); // QTemporaryDir removes by text, which misses this name
}

TEST(FolderOnDisk, FindsTheFolderAQtDialogCanOnlyShowWithReplacementCharacters)
{
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    const std::string odd = root + "/Reise \xC4rger";
    const std::string inner = odd + "/Tag\xE9";
    fs::create_directories(inner);
    fs::create_directories(root + "/plain.1");
    const auto shown = [](const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); };
    ASSERT_TRUE(shown(odd).contains(QChar::ReplacementCharacter));

    EXPECT_EQ(folderOnDisk(shown(odd)), odd);
    EXPECT_EQ(folderOnDisk(shown(inner)), inner);
    EXPECT_EQ(folderOnDisk(shown(root + "/plain.1")), root + "/plain.1");
    EXPECT_EQ(folderOnDisk(shown(root + "/none")), std::nullopt);
    EXPECT_EQ(folderOnDisk(QString()), std::nullopt);

    // Names that look alike in the dialog: neither is taken for the one chosen.
    fs::create_directories(root + "/Reise \xEF\xBF\xBDrger");
    EXPECT_EQ(folderOnDisk(shown(odd)), std::nullopt);
    fs::remove_all(odd); // QTemporaryDir removes by text, which misses this name
}

} // namespace
} // namespace marquelo
