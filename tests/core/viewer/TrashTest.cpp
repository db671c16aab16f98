// The desktop trash kept by hand: made when a new account has none, never beside the photos, and an
// entry taken back only when it is still the one put there.
#include "core/viewer/Trash.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace marquelo {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh account: the data folder, and so the trash, does not exist yet.
class Trash : public ::testing::Test {
protected:
    QTemporaryDir root;
    QByteArray savedData = qgetenv("XDG_DATA_HOME");
    std::string data = root.filePath("home/new/share").toStdString();
    std::string trash = data + "/Trash";
    std::string photos = root.filePath("photos").toStdString();
    std::string elsewhere = root.filePath("elsewhere").toStdString();

    Trash()
    {
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data));
        fs::create_directories(photos);
        fs::create_directories(elsewhere);
    }
    ~Trash() override { qputenv("XDG_DATA_HOME", savedData); }
};

TEST_F(Trash, ANewAccountsTrashIsMadePrivateAndOnlyThePhotoLeavesItsFolder)
{
    test::writeFileBytes(photos + "/a b%.jpg", "photo a");
    std::string reason;
    const auto trashed = moveFileToTrash(photos + "/a b%.jpg", reason);
    ASSERT_TRUE(trashed) << reason;
    EXPECT_TRUE(namesIn(photos).empty());
    EXPECT_EQ(trashed->inTrash, trash + "/files/a b%.jpg");
    EXPECT_EQ(test::fileBytes(trashed->inTrash), "photo a");

    for (const std::string& folder : {data, trash, trash + "/files", trash + "/info"}) {
        struct stat st {};
        ASSERT_EQ(::stat(folder.c_str(), &st), 0) << folder;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    const std::string note = test::fileBytes(trash + "/info/a b%.jpg.trashinfo");
    EXPECT_EQ(note.rfind("[Trash Info]\nPath=" + photos + "/a%20b%25.jpg\nDeletionDate=", 0), 0u) << note;
    EXPECT_EQ(namesIn(trash + "/info"), std::vector<std::string>{"a b%.jpg.trashinfo"}) << "no temporary note left";

    std::string error;
    ASSERT_TRUE(restoreFromTrash(*trashed, error)) << error;
    EXPECT_EQ(namesIn(photos), std::vector<std::string>{"a b%.jpg"});
    EXPECT_TRUE(namesIn(trash + "/files").empty());
    EXPECT_TRUE(namesIn(trash + "/info").empty());
}

TEST_F(Trash, SameNamesGetTheirOwnEntries)
{
    test::writeFileBytes(photos + "/a.jpg", "photo a");
    test::writeFileBytes(elsewhere + "/a.jpg", "other a");
    std::string reason;
    const auto first = moveFileToTrash(photos + "/a.jpg", reason);
    const auto second = moveFileToTrash(elsewhere + "/a.jpg", reason);
    ASSERT_TRUE(first && second) << reason;
    EXPECT_EQ(second->inTrash, trash + "/files/a (2).jpg");
    EXPECT_EQ(namesIn(trash + "/info"), (std::vector<std::string>{"a (2).jpg.trashinfo", "a.jpg.trashinfo"}));

    std::string error;
    ASSERT_TRUE(restoreFromTrash(*second, error)) << error;
    ASSERT_TRUE(restoreFromTrash(*first, error)) << error;
    EXPECT_EQ(test::fileBytes(photos + "/a.jpg"), "photo a");
    EXPECT_EQ(test::fileBytes(elsewhere + "/a.jpg"), "other a");
}

TEST_F(Trash, AnEntryReplacedInTheTrashIsNotTakenBack)
{
    test::writeFileBytes(photos + "/a.jpg", "photo a");
    std::string reason;
    const auto trashed = moveFileToTrash(photos + "/a.jpg", reason);
    ASSERT_TRUE(trashed) << reason;

    // The trash is emptied and another folder's a.jpg trashed: it takes the same entry name.
    fs::remove(trashed->inTrash);
    fs::remove(trashed->infoFile);
    test::writeFileBytes(elsewhere + "/a.jpg", "other a");
    const auto other = moveFileToTrash(elsewhere + "/a.jpg", reason);
    ASSERT_TRUE(other) << reason;
    ASSERT_EQ(other->inTrash, trashed->inTrash);

    std::string error;
    bool gone = false;
    EXPECT_FALSE(restoreFromTrash(*trashed, error, &gone));
    EXPECT_TRUE(gone);
    EXPECT_EQ(error, "'" + photos + "/a.jpg' is no longer in the trash");
    EXPECT_TRUE(namesIn(photos).empty());
    EXPECT_EQ(test::fileBytes(other->inTrash), "other a");

    // The same file with a note that names another place is not ours either.
    test::writeFileBytes(other->infoFile,
                         "[Trash Info]\nPath=" + photos + "/a.jpg\nDeletionDate=2001-01-01T00:00:00\n");
    TrashedFile claimed = *other;
    claimed.original = photos + "/a.jpg";
    gone = false;
    EXPECT_FALSE(restoreFromTrash(claimed, error, &gone));
    EXPECT_TRUE(gone);
    EXPECT_TRUE(namesIn(photos).empty());
}

TEST_F(Trash, PuttingBackNeverReplacesAFileThatTookTheName)
{
    test::writeFileBytes(photos + "/a.jpg", "photo a");
    std::string reason;
    const auto trashed = moveFileToTrash(photos + "/a.jpg", reason);
    ASSERT_TRUE(trashed) << reason;
    test::writeFileBytes(photos + "/a.jpg", "new a");

    std::string error;
    bool gone = false;
    EXPECT_FALSE(restoreFromTrash(*trashed, error, &gone));
    EXPECT_FALSE(gone);
    EXPECT_EQ(error, "'" + photos + "/a.jpg' exists again");
    EXPECT_EQ(test::fileBytes(photos + "/a.jpg"), "new a");
    EXPECT_EQ(test::fileBytes(trashed->inTrash), "photo a");

    fs::remove(photos + "/a.jpg");
    EXPECT_TRUE(restoreFromTrash(*trashed, error)) << error;
    EXPECT_EQ(test::fileBytes(photos + "/a.jpg"), "photo a");
}

TEST_F(Trash, ATrashThatCannotBeMadeKeepsThePhotoAndSaysWhy)
{
    // A file where the data folder should be.
    fs::create_directories(root.filePath("home/new").toStdString());
    test::writeFileBytes(data, "not a folder");
    test::writeFileBytes(photos + "/a.jpg", "photo a");
    std::string reason;
    EXPECT_FALSE(moveFileToTrash(photos + "/a.jpg", reason));
    EXPECT_NE(reason.find(data), std::string::npos) << reason;
    EXPECT_EQ(namesIn(photos), std::vector<std::string>{"a.jpg"});

    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(root.filePath("ok").toStdString()));
    const std::string longName = std::string(220, 'x') + ".jpg";
    test::writeFileBytes(photos + "/" + longName, "long");
    EXPECT_FALSE(moveFileToTrash(photos + "/" + longName, reason));
    EXPECT_EQ(reason, "the name is too long for the trash");
    EXPECT_TRUE(fs::exists(photos + "/" + longName));
}

} // namespace
} // namespace marquelo
