// Settings that cannot be stored: the user hears "Failed to store configuration" once, the program
// goes on, and the settings stored before stay exactly as they were.
#include "harness/FileSnapshot.h"
#include "harness/ProgramSession.h"
#include "harness/ScratchMount.h"

#include "core/settings/SettingsStore.h"
#include "ui/viewer/ViewerWindow.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace marquelo::test {
namespace {

long countOf(const std::vector<std::string>& messages, const std::string& text)
{
    return std::count(messages.begin(), messages.end(), text);
}

TEST(SettingsFaults, StoreUnderAFileInsteadOfAFolderReportsOnce)
{
    // Works without any privilege: the settings' folder is taken by a plain file.
    QTemporaryDir dir;
    const std::string blocker = dir.filePath(QStringLiteral("Quorvant")).toStdString();
    std::ofstream(blocker) << "not a folder";
    const std::string hashBefore = sha256OfFile(blocker);

    SettingsStore store(QString::fromStdString(blocker + "/marquelo.conf"));
    AppConfig config;
    store.load(config, SettingsEnvironment{});
    ScriptedUserInterface ui;
    EXPECT_FALSE(store.save(config, ui));
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Failed to store configuration"});
    EXPECT_EQ(sha256OfFile(blocker), hashBefore);
}

TEST(SettingsFaults, ReadOnlyStoreAtExitReportsOnceAndKeepsTheStoredSettings)
{
    ProgramSession session;
    ASSERT_EQ(copyCorpusPhotos(session.photos(), 2, 160).size(), 2u);
    // The settings live in a folder of their own, on a file system that turns read-only mid-run.
    const std::string folder = session.work() + "/config";
    fs::create_directories(folder);
    auto mount = ScratchMount::tmpfs(folder, 256);
    if (!mount)
        GTEST_SKIP() << "mounting a small file system needs privileges this run does not have";

    SettingsStore store(QString::fromStdString(folder + "/marquelo.conf"));
    AppConfig config = session.settings();
    ScriptedUserInterface quiet;
    ASSERT_TRUE(store.save(config, quiet));
    const FileSnapshot before = FileSnapshot::of(folder);

    ASSERT_TRUE(mount->setReadOnly(true));
    // The exit of the program: the store is still valid, so the record is written, and fails.
    config.SizeSmall = 300;
    ScriptedUserInterface ui;
    EXPECT_FALSE(store.save(config, ui));
    EXPECT_EQ(countOf(ui.messages, "Failed to store configuration"), 1) << ui.messages.size();
    EXPECT_EQ(FileSnapshot::of(folder).hashes(), before.hashes());

    // The file still holds the value stored before (what the next start reads).
    std::ifstream in(folder + "/marquelo.conf");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("SizeSmall=" + std::to_string(session.settings().SizeSmall)), std::string::npos);
    ASSERT_TRUE(mount->setReadOnly(false));
}

TEST(SettingsFaults, ProgramCarriesOnWhenItsSettingsCannotBeStoredAtExit)
{
    ProgramSession session;
    ASSERT_EQ(copyCorpusPhotos(session.photos(), 3, 160).size(), 3u);
    const std::string folder = session.work() + "/config";
    fs::create_directories(folder);
    auto mount = ScratchMount::tmpfs(folder, 256);
    if (!mount)
        GTEST_SKIP() << "mounting a small file system needs privileges this run does not have";
    session.setSettingsFile(folder + "/marquelo.conf");

    int shownAtTheEnd = -1;
    std::string storedHash;
    ASSERT_TRUE(session.run([&](ViewerWindow& window) {
        // The disk of the settings turns read-only while the window is up.
        storedHash = sha256OfFile(session.settingsFile());
        ASSERT_TRUE(mount->setReadOnly(true));
        window.config().SizeLarge = 1200;
        window.runCommand(Command::Next);
        window.runCommand(Command::Next);
        settle(30);
        shownAtTheEnd = window.images().currentIndex();
    }));
    EXPECT_EQ(shownAtTheEnd, 2);
    EXPECT_EQ(countOf(session.ui.messages, "Failed to store configuration"), 1);
    EXPECT_FALSE(storedHash.empty());
    EXPECT_EQ(sha256OfFile(session.settingsFile()), storedHash);
    EXPECT_TRUE(mount->setReadOnly(false));
}

} // namespace
} // namespace marquelo::test
