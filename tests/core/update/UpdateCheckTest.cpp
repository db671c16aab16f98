// The whole update check against a real HTTP server on the loopback interface.
#include "core/update/LoopbackHttpServer.h"
#include "core/update/UpdateTestSupport.h"

#include "core/update/ExecutableSwap.h"
#include "core/update/UpdateCheck.h"
#include "support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <filesystem>

#ifdef __linux__
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using marquelo::test::HttpReply;

namespace marquelo {
namespace {

using Answer = UserInterface::Answer;

const std::string kLatest = "You are running the latest version (16).";
const std::string kFailed = "Failed to download the new version. Please try again later.";
const std::string kIncomplete = "Download did not complete";
const std::string kComplete = "Upgrade complete. Please restart Marquelo.";
const std::string kNotReplaced = "Download complete. Failed to replace current version.\n"
                                 "Try to manually replace the current version with the new version.";
const std::string kOldProgram = "#!/bin/sh\necho marquelo 16\n";

std::string upgradeQuestion(int published)
{
    return "You are running version 16.\nVersion " + std::to_string(published) +
           " is available.\n\nUpgrade now?  (might take a few minutes)";
}

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_server.listening());
        m_folder = m_dir.path().toStdString();
        test::writeFileText(path("marquelo"), kOldProgram);
    }

    fs::path path(const char* name) const { return fs::path(m_folder) / name; }

    // Publishes version 17 of a program with a valid signature.
    void publish(const std::string& program, int version = 17)
    {
        m_server.serve("version.txt", HttpReply(std::to_string(version) + "\n"));
        m_server.serve("marquelo", HttpReply(program));
        m_server.serve("marquelo.sig", HttpReply(m_keys.sign(program)));
    }

    void run(std::deque<Answer> answers = {Answer::Yes})
    {
        m_ui.answers = std::move(answers);
        UpdateCheck::Options options{m_server.baseAddress(), m_folder, m_keys.publicKey,
                                     std::chrono::milliseconds(400)};
        options.deadline = std::chrono::milliseconds(2000);
        options.programDeadline = std::chrono::milliseconds(1500);
        UpdateCheck(options, m_ui, test::recordingProgress(m_progress), m_pages).checkForUpdates();
    }

    void expectUntouched()
    {
        EXPECT_EQ(test::readFileText(path("marquelo")), kOldProgram);
        EXPECT_FALSE(fs::exists(path("marquelo_old")));
        EXPECT_FALSE(fs::exists(path("marquelo_new")));
    }

    QTemporaryDir m_dir;
    std::string m_folder;
    test::LoopbackHttpServer m_server;
    test::TestKeyPair m_keys;
    test::ScriptedUserInterface m_ui;
    test::RecordingProgress::Log m_progress;
    test::RecordingUpgradePage m_pages;
};

struct VersionCase {
    const char* name;
    std::string versionText;
    std::vector<std::string> questions;
    std::vector<std::string> messages;
};

class PublishedVersionTest : public UpdateCheckTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(PublishedVersionTest, DecidesFromTheLeadingNumber)
{
    m_server.serve("version.txt", HttpReply(GetParam().versionText));
    run({Answer::No});
    EXPECT_EQ(m_ui.questions, GetParam().questions);
    EXPECT_EQ(m_ui.messages, GetParam().messages);
    EXPECT_EQ(m_ui.informed, GetParam().messages) << "the latest-version news carries the information icon";
    EXPECT_TRUE(m_pages.shown.empty());
    EXPECT_FALSE(m_server.wasRequested("marquelo"));
    expectUntouched();
}

INSTANTIATE_TEST_SUITE_P(Rows, PublishedVersionTest,
                         ::testing::Values(VersionCase{"Newer", "17\r\n", {upgradeQuestion(17)}, {}},
                                           VersionCase{"Same", "16", {}, {kLatest}},
                                           VersionCase{"Older", "9\n", {}, {kLatest}},
                                           VersionCase{"Letters", "abc", {}, {kLatest}},
                                           VersionCase{"SpacesSignAndTail", " \t+18 (beta)", {upgradeQuestion(18)}, {}},
                                           VersionCase{"Negative", "-20", {}, {kLatest}},
                                           VersionCase{"Huge", "99999999999", {upgradeQuestion(2147483647)}, {}}),
                         test::rowName<VersionCase>);

TEST_F(UpdateCheckTest, InstallsASignedNewVersionAndKeepsThePreviousOne)
{
    const std::string program = test::programBytes(50000);
    publish(program);
    run();
    EXPECT_EQ(m_ui.questions, std::vector<std::string>{upgradeQuestion(17)});
    EXPECT_EQ(m_ui.messages, std::vector<std::string>{kComplete});
    EXPECT_TRUE(test::readFileText(path("marquelo")) == program) << "new program not in place";
    EXPECT_EQ(test::readFileText(path("marquelo_old")), kOldProgram);
    EXPECT_FALSE(fs::exists(path("marquelo_new")));
    EXPECT_NE(fs::status(path("marquelo")).permissions() & fs::perms::owner_exec, fs::perms::none);
    for (const test::HttpRequest& request : m_server.requests()) {
        EXPECT_EQ(request.headers.at("user-agent"), "MarqueloDownloader") << request.path;
        EXPECT_EQ(request.headers.at("cache-control"), "no-cache") << request.path;
    }
}

TEST_F(UpdateCheckTest, SecondUpgradeReplacesThePreviousOldProgram)
{
    const std::string first = test::programBytes(20000, 'x');
    const std::string second = test::programBytes(30000, 'y');
    publish(first, 17);
    run();
    publish(second, 18);
    run();
    EXPECT_EQ(m_ui.messages, (std::vector<std::string>{kComplete, kComplete}));
    EXPECT_TRUE(test::readFileText(path("marquelo")) == second) << "second program not in place";
    EXPECT_TRUE(test::readFileText(path("marquelo_old")) == first) << "first program not kept as the old one";
}

struct RejectedCase {
    const char* name;
    std::function<void(test::LoopbackHttpServer&, const test::TestKeyPair&, const std::string& program)> serve;
    std::vector<std::string> messages;
};

class RejectedDownloadTest : public UpdateCheckTest, public ::testing::WithParamInterface<RejectedCase> {};

// Whatever goes wrong, the installation keeps the program it has and no half-checked file stays beside it.
TEST_P(RejectedDownloadTest, NothingIsSwapped)
{
    const std::string program = test::programBytes(40000);
    publish(program);
    GetParam().serve(m_server, m_keys, program);
    run();
    EXPECT_EQ(m_ui.messages, GetParam().messages);
    expectUntouched();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RejectedDownloadTest,
    ::testing::Values(RejectedCase{"SignatureOfOtherBytes",
                                   [](auto& server, auto& keys, auto&) {
                                       server.serve("marquelo.sig", HttpReply(keys.sign("something else")));
                                   },
                                   {kFailed}},
                      RejectedCase{"SignatureByOtherKey",
                                   [](auto& server, auto&, auto& program) {
                                       server.serve("marquelo.sig", HttpReply(test::TestKeyPair().sign(program)));
                                   },
                                   {kFailed}},
                      RejectedCase{"SignatureMissing",
                                   [](auto& server, auto&, auto&) {
                                       server.serve("marquelo.sig", HttpReply("<html>gone</html>", 404));
                                   },
                                   {kFailed}},
                      RejectedCase{"SignedHtmlPage",
                                   [](auto& server, auto& keys, auto&) {
                                       const std::string page = "<HTML><BODY>Service unavailable</BODY></HTML>\n";
                                       server.serve("marquelo", HttpReply(page));
                                       server.serve("marquelo.sig", HttpReply(keys.sign(page)));
                                   },
                                   {kFailed}},
                      RejectedCase{"NoContentLength",
                                   [](auto& server, auto&, auto& program) {
                                       server.serve("marquelo", HttpReply(program).withoutLength());
                                   },
                                   {kFailed}},
                      RejectedCase{"BodyShorterThanAnnounced",
                                   [](auto& server, auto&, auto& program) {
                                       server.serve("marquelo", HttpReply(program).cutAfter(program.size() / 2));
                                   },
                                   {kIncomplete, kFailed}},
                      RejectedCase{"ServerStopsSending",
                                   [](auto& server, auto&, auto& program) {
                                       server.serve("marquelo", HttpReply(program).cutAfter(15000, true));
                                   },
                                   {kIncomplete, kFailed}}),
    test::rowName<RejectedCase>);

// A hostile server: bodies beyond their bounds are never read, and a program trickled in never outlasts
// the deadline.
INSTANTIATE_TEST_SUITE_P(
    Hostile, RejectedDownloadTest,
    ::testing::Values(
        RejectedCase{"ProgramAboveItsBound",
                     [](auto& server, auto&, auto& program) {
                         server.serve(
                             "marquelo",
                             HttpReply(program).announcing(kMaxProgramBytes + 1).cutAfter(program.size(), true));
                     },
                     {kFailed}},
        RejectedCase{"SignatureLongerThanASignature",
                     [](auto& server, auto& keys, auto& program) {
                         server.serve("marquelo.sig", HttpReply(keys.sign(program) + std::string(4000, 's')));
                     },
                     {kFailed}},
        RejectedCase{
            "ProgramTrickledPastTheDeadline",
            [](auto& server, auto&, auto& program) { server.serve("marquelo", HttpReply(program).trickle(1000, 100)); },
            {kIncomplete, kFailed}}),
    test::rowName<RejectedCase>);

// The version file is a few bytes: a longer one, or one trickled in for longer than the deadline, is no
// version number and never leads to the upgrade question.
TEST_F(UpdateCheckTest, VersionFileTooLongOrTooSlowIsNoVersion)
{
    const std::string padded = "17\n" + std::string(61, ' ');
    ASSERT_EQ(padded.size(), 64u);
    struct Row {
        const char* name;
        HttpReply reply;
        std::vector<std::string> messages;
    };
    const Row rows[] = {
        {"AtTheBound", HttpReply(padded), {}},
        {"OneByteMore", HttpReply(padded + " "), {}},
        {"FourGigabytesAnnounced", HttpReply("17").announcing(4294967295LL).cutAfter(2, true), {}},
        {"Trickled", HttpReply(padded).trickle(1, 60), {kIncomplete}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_ui = {};
        m_pages.shown.clear();
        m_server.serve("version.txt", row.reply);
        run({Answer::No});
        if (std::string(row.name) == "AtTheBound") {
            EXPECT_EQ(m_ui.questions, std::vector<std::string>{upgradeQuestion(17)});
            continue;
        }
        EXPECT_TRUE(m_ui.questions.empty());
        EXPECT_EQ(m_ui.messages, row.messages);
        EXPECT_EQ(m_pages.shown.size(), 1u) << "the upgrade page takes over";
    }
    EXPECT_FALSE(m_server.wasRequested("marquelo"));
    expectUntouched();
}

TEST_F(UpdateCheckTest, HtmlErrorPagesLeadToTheUpgradePage)
{
    // Every path answers 404 with an HTML page: the version text starts with "<".
    run();
    EXPECT_TRUE(m_ui.messages.empty());
    EXPECT_TRUE(m_ui.questions.empty());
    EXPECT_EQ(m_pages.shown, std::vector<std::string>{(path("upgrade.html")).string()});
    EXPECT_TRUE(m_server.wasRequested("upgrade.html"));
}

TEST_F(UpdateCheckTest, UpgradePageThatCannotBeShownIsAConnectionFailure)
{
    m_server.serve("version.txt", HttpReply("17").withoutLength());
    m_pages.result = false;
    run();
    EXPECT_EQ(m_ui.messages, std::vector<std::string>{"Connection to the server failed. Please try again later."});
}

TEST_F(UpdateCheckTest, UnreachableServerIsToldOnceThenTheUpgradePage)
{
    UpdateCheck::Options options{"http://127.0.0.1:1/marquelo/", m_folder, m_keys.publicKey,
                                 std::chrono::milliseconds(2000)};
    UpdateCheck(options, m_ui, nullptr, m_pages).checkForUpdates();
    ASSERT_EQ(m_ui.messages.size(), 1u);
    EXPECT_EQ(m_ui.messages[0].rfind("Failed to retrieve update:\n", 0), 0u) << m_ui.messages[0];
    EXPECT_GT(m_ui.messages[0].size(), std::string("Failed to retrieve update:\n").size());
    EXPECT_EQ(m_pages.shown.size(), 1u);
}

TEST_F(UpdateCheckTest, ProgramMissingUnderItsNameIsNotReplaced)
{
    // The running program is assumed to be "marquelo"; when it is not there the swap stops at once.
    fs::remove(path("marquelo"));
    publish(test::programBytes(20000));
    run();
    EXPECT_EQ(m_ui.messages, std::vector<std::string>{kNotReplaced});
    EXPECT_TRUE(fs::exists(path("marquelo_new")));
}

#ifdef __linux__
// Makes a folder unwritable even for root (immutable attribute) for the life of the guard.
class UnwritableFolder {
public:
    explicit UnwritableFolder(const std::string& folder) : m_folder(folder)
    {
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        if (geteuid() == 0)
            setImmutable(true);
    }
    ~UnwritableFolder()
    {
        setImmutable(false);
        fs::permissions(m_folder, fs::perms::owner_all);
    }

private:
    void setImmutable(bool on)
    {
        const int fd = open(m_folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return;
        int flags = 0;
        if (ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        close(fd);
    }
    std::string m_folder;
};

TEST_F(UpdateCheckTest, PackagedInstallationSaysWhoUpdatesIt)
{
    publish(test::programBytes(20000));
    UnwritableFolder guard(m_folder);
    if (canWriteInDirectory(m_folder))
        GTEST_SKIP() << "this file system cannot make a folder unwritable here";
    run();
    EXPECT_TRUE(m_ui.questions.empty());
    ASSERT_EQ(m_ui.messages.size(), 1u);
    EXPECT_NE(m_ui.messages[0].find("Version 17 is available."), std::string::npos);
    EXPECT_NE(m_ui.messages[0].find("package manager"), std::string::npos);
    EXPECT_FALSE(m_server.wasRequested("marquelo"));
    EXPECT_EQ(test::readFileText(path("marquelo")), kOldProgram);
}
#endif

} // namespace
} // namespace marquelo
