#include "core/viewer/ImageList.h"
#include "ViewerTestFiles.h"
#include "core/viewer/ImageOrder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace marquelo {
namespace {

using test::PhotoFolder;

AppConfig listConfig(int sorting, bool bundle = true)
{
    AppConfig config;
    config.Sorting = std::uint8_t(sorting);
    config.BundleEditedImages = bundle;
    config.EditFileSuffix = "_edit";
    config.OtherExtensions = "*.mpg;*.mpeg;*.mov;*.wmv;*.avi;*.gif";
    return config;
}

std::vector<std::string> names(const ImageList& list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list.count(); ++i)
        out.push_back(list.at(i).files[kOriginal].name);
    return out;
}

struct ScanCase {
    const char* label;
    std::vector<std::string> files;
    int sorting;
    std::vector<std::string> expected;
};

class ScanOrder : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanOrder, ListsInTheConfiguredOrder)
{
    const ScanCase& c = GetParam();
    PhotoFolder folder;
    for (const std::string& f : c.files)
        folder.touch(f);
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), listConfig(c.sorting)));
    EXPECT_EQ(names(list), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanOrder,
    ::testing::Values(
        ScanCase{"ByNameFoldsCaseAcrossPatterns", {"b.jpg", "a.JPG", "c.jpeg"}, 1, {"a.JPG", "b.jpg", "c.jpeg"}},
        ScanCase{"ByNumberComparesDigitText",
                 {"IMG_2.jpg", "IMG_10.jpg", "IMG_1.jpg"},
                 0,
                 {"IMG_1.jpg", "IMG_10.jpg", "IMG_2.jpg"}},
        ScanCase{"HundredBeforeNinetyNine", {"IMG_99.jpg", "IMG_100.jpg"}, 0, {"IMG_100.jpg", "IMG_99.jpg"}},
        ScanCase{"NoDigitsFirst", {"IMG_5.jpg", "title.jpg"}, 0, {"title.jpg", "IMG_5.jpg"}},
        ScanCase{"FoldsToLowerCase", {"AB.jpg", "a_b.jpg"}, 1, {"a_b.jpg", "AB.jpg"}},
        ScanCase{"OtherPatternsAreListed", {"clip.AVI", "x.txt", "x.jpg.bak"}, 1, {"clip.AVI"}},
        ScanCase{"WholeNameMustMatch", {"photo.jpgx", "photojpg", "p.jpg"}, 1, {"p.jpg"}}),
    [](const auto& row) { return std::string(row.param.label); });

TEST(ImageList, ByFileTimeListsOldestFirst)
{
    PhotoFolder folder;
    folder.touch("new.jpg");
    folder.touch("old.jpg");
    folder.touch("mid.jpg");
    folder.setWriteTime("new.jpg", -10);
    folder.setWriteTime("old.jpg", -300);
    folder.setWriteTime("mid.jpg", -100);
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), listConfig(2)));
    EXPECT_EQ(names(list), (std::vector<std::string>{"old.jpg", "mid.jpg", "new.jpg"}));
}

TEST(ImageList, MovieIsListedButNotAPicture)
{
    PhotoFolder folder;
    folder.touch("clip.avi");
    folder.touch("a.jpg");
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), listConfig(1)));
    ASSERT_EQ(list.count(), 2);
    EXPECT_TRUE(list.at(0).isPicture);
    EXPECT_EQ(list.at(1).files[kOriginal].name, "clip.avi");
    EXPECT_FALSE(list.at(1).isPicture);
}

TEST(ImageList, FileMatchingTwoPatternsIsListedTwiceAndEmptyPiecesMatchNothing)
{
    PhotoFolder folder;
    folder.touch("a.gif");
    AppConfig config = listConfig(1);
    config.OtherExtensions = ";*.gif;;*.GIF;";
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), config));
    EXPECT_EQ(names(list), (std::vector<std::string>{"a.gif", "a.gif"}));
}

TEST(ImageList, FoldersAreNeverListed)
{
    PhotoFolder folder;
    std::filesystem::create_directory(folder.file("album.jpg"));
    folder.touch("a.jpg");
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), listConfig(1)));
    EXPECT_EQ(names(list), (std::vector<std::string>{"a.jpg"}));
}

TEST(ImageList, UnreadableFolderFailsWithAnEmptyList)
{
    ImageList list;
    EXPECT_FALSE(list.scanDirectory("/nonexistent/marquelo-folder", listConfig(0)));
    EXPECT_EQ(list.count(), 0);
    EXPECT_FALSE(list.current().isPicture);
    EXPECT_EQ(list.currentName(), "");
}

TEST(ImageList, EmptyFolderKeepsPositionZero)
{
    PhotoFolder folder;
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path() + "/", listConfig(0)));
    EXPECT_EQ(list.directory(), folder.path());
    for (int index : {-3, 0, 1, 7}) {
        list.setCurrent(index);
        EXPECT_EQ(list.currentIndex(), 0);
    }
}

TEST(ImageList, CapacityStopsEachPatternAtOneBelowTheLimit)
{
    PhotoFolder folder;
    for (int i = 0; i < 5000; ++i)
        folder.touch("p" + std::to_string(i) + ".jpg");
    folder.touch("one.jpeg");
    folder.touch("two.jpeg");
    folder.touch("clip.avi");
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), listConfig(1)));
    ASSERT_EQ(list.count(), ImageList::kCapacity);
    int jpg = 0, jpeg = 0, other = 0;
    for (int i = 0; i < list.count(); ++i) {
        const std::string& n = list.at(i).files[kOriginal].name;
        ++(n.ends_with(".jpg") ? jpg : n.ends_with(".jpeg") ? jpeg : other);
    }
    EXPECT_EQ(jpg, ImageList::kCapacity - 1);
    EXPECT_EQ(jpeg, 1);
    EXPECT_EQ(other, 0);
}

struct PairCase {
    const char* label;
    std::vector<std::string> files;
    bool bundle;
    // Expected entries in order: original name, edited name ("" when none).
    std::vector<std::pair<std::string, std::string>> expected;
};

class Pairing : public ::testing::TestWithParam<PairCase> {};

TEST_P(Pairing, PairsEditedCopiesWithTheirOriginals)
{
    const PairCase& c = GetParam();
    PhotoFolder folder;
    for (const std::string& f : c.files)
        folder.touch(f);
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), listConfig(1, c.bundle)));
    std::vector<std::pair<std::string, std::string>> got;
    for (int i = 0; i < list.count(); ++i) {
        const ImageEntry& e = list.at(i);
        got.emplace_back(e.files[kOriginal].name, e.hasEdited ? e.files[kEdited].name : "");
        EXPECT_EQ(e.editedKept, e.hasEdited) << e.files[kOriginal].name;
        EXPECT_EQ(e.shown, e.hasEdited ? kEdited : kOriginal) << e.files[kOriginal].name;
    }
    EXPECT_EQ(got, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Pairing,
    ::testing::Values(
        PairCase{"CopyJoinsOriginal", {"x.jpg", "x_edit.jpg"}, true, {{"x.jpg", "x_edit.jpg"}}},
        PairCase{"OffKeepsBoth", {"x.jpg", "x_edit.jpg"}, false, {{"x.jpg", ""}, {"x_edit.jpg", ""}}},
        PairCase{"CopyAlone", {"x_edit.jpg"}, true, {{"x_edit.jpg", ""}}},
        PairCase{"TwoOccurrencesPairWithNothing",
                 {"a.jpg", "a_edit.jpg", "a_edit_edit.jpg"},
                 true,
                 {{"a.jpg", "a_edit.jpg"}, {"a_edit_edit.jpg", ""}}},
        PairCase{
            "SuffixInTheMiddle", {"my_photo.jpg", "my_edit_photo.jpg"}, true, {{"my_photo.jpg", "my_edit_photo.jpg"}}},
        PairCase{"CaseMustMatch", {"DSC01.JPG", "dsc01_edit.jpg"}, true, {{"DSC01.JPG", ""}, {"dsc01_edit.jpg", ""}}},
        PairCase{"MovieCopiesPairToo", {"clip.avi", "clip_edit.avi"}, true, {{"clip.avi", "clip_edit.avi"}}}),
    [](const auto& row) { return std::string(row.param.label); });

TEST(ImageList, LaterCopyInListOrderWins)
{
    // Both reduce to x.jpg; by name "x_edit.jpg" sorts after "_editx.jpg".
    PhotoFolder folder;
    folder.touch("x.jpg");
    folder.touch("x_edit.jpg");
    folder.touch("_editx.jpg");
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), listConfig(1)));
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.at(0).files[kEdited].name, "x_edit.jpg");
}

TEST(ImageList, FindByNameGivesIndexAndVersion)
{
    PhotoFolder folder;
    for (const char* f : {"a.jpg", "b.jpg", "b_edit.jpg", "c.avi"})
        folder.touch(f);
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), listConfig(1)));
    struct Row {
        const char* name;
        int index;
        int version;
    };
    for (const Row& r : {Row{"a.jpg", 0, kOriginal}, Row{"b.jpg", 1, kOriginal}, Row{"b_edit.jpg", 1, kEdited},
                         Row{"c.avi", 2, kOriginal}}) {
        const auto found = list.findByName(r.name);
        ASSERT_TRUE(found) << r.name;
        EXPECT_EQ(found->index, r.index) << r.name;
        EXPECT_EQ(found->version, r.version) << r.name;
    }
    EXPECT_FALSE(list.findByName("A.jpg"));
    EXPECT_FALSE(list.findByName(""));
}

TEST(ImageList, RemoveKeepsOrderAndClampsThePosition)
{
    PhotoFolder folder;
    for (const char* f : {"a.jpg", "b.jpg", "c.jpg"})
        folder.touch(f);
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), listConfig(1)));
    list.setCurrent(2);
    list.remove(2);
    EXPECT_EQ(names(list), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(list.currentIndex(), 1);
    list.remove(0);
    EXPECT_EQ(list.currentName(), "b.jpg");
}

TEST(ImageOrder, PatternsMatchWholeNamesIgnoringCase)
{
    struct Row {
        const char* pattern;
        const char* name;
        bool match;
    };
    for (const Row& r : {Row{"*.jpg", "a.JPG", true}, Row{"*.jpg", "a.jpg.png", false}, Row{"*.jpg", ".jpg", true},
                         Row{"*.jpeg", "a.jpg", false}, Row{"IMG_??.jpg", "img_12.jpg", true},
                         Row{"IMG_??.jpg", "IMG_1.jpg", false}, Row{"", "a.jpg", false}, Row{"*", "anything", true},
                         Row{"*a*b*", "xxaxxbxx", true}, Row{"*a*b", "xxaxxbxx", false}}) {
        EXPECT_EQ(matchesPattern(r.pattern, r.name), r.match) << r.pattern << " ~ " << r.name;
    }
}

TEST(ImageOrder, DigitTextComparesAsBytes)
{
    auto rec = [](const char* n) { return FileRecord{n, 0, 0}; };
    EXPECT_FALSE(lessByNumber(rec("a1b2.jpg"), rec("12.jpg")));
    EXPECT_FALSE(lessByNumber(rec("12.jpg"), rec("a1b2.jpg")));
    EXPECT_TRUE(lessByNumber(rec("x.jpg"), rec("0.jpg")));
    EXPECT_TRUE(lessByNumber(rec("IMG_1.jpg"), rec("IMG_10.jpg")));
}

} // namespace
} // namespace marquelo
