// Downloads from a real loopback server: lengths, pieces, the progress window and the text/HTML rules.
#include "core/update/LoopbackHttpServer.h"
#include "core/update/UpdateTestSupport.h"

#include "core/update/Downloader.h"
#include "core/update/ReleaseSignature.h"
#include "support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>

namespace marquelo {
namespace {

class DownloaderTest : public ::testing::Test {
protected:
    std::string address(const std::string& name) const { return m_server.baseAddress() + name; }

    test::LoopbackHttpServer m_server;
    test::ScriptedUserInterface m_ui;
    test::RecordingProgress::Log m_progress;
    Downloader m_downloader{m_ui, test::recordingProgress(m_progress)};
};

struct SizeCase {
    std::size_t size;
    int windows;
};

class ProgressThresholdTest : public DownloaderTest, public ::testing::WithParamInterface<SizeCase> {};

// Only bodies above 10000 bytes show the window; its position grows by at most 1024 and ends at the length.
TEST_P(ProgressThresholdTest, WindowAndPieces)
{
    const std::string body = test::programBytes(GetParam().size);
    m_server.serve("file", test::HttpReply(body));
    const auto block = m_downloader.downloadToMemory(address("file"));
    ASSERT_TRUE(block);
    EXPECT_EQ(std::string(block->begin(), block->end()), body);
    EXPECT_EQ(m_progress.windows, GetParam().windows);
    if (GetParam().windows == 0)
        return;
    EXPECT_EQ(m_progress.format, "Downloading %d/%d bytes...");
    EXPECT_EQ(m_progress.lower, 0);
    EXPECT_EQ(m_progress.upper, std::int64_t(body.size()));
    std::int64_t previous = 0;
    for (std::int64_t position : m_progress.positions) {
        EXPECT_GT(position, previous);
        EXPECT_LE(position - previous, 1024);
        previous = position;
    }
    EXPECT_EQ(previous, std::int64_t(body.size()));
    EXPECT_TRUE(m_progress.closedByDownload);
}

INSTANTIATE_TEST_SUITE_P(Rows, ProgressThresholdTest,
                         ::testing::Values(SizeCase{10000, 0}, SizeCase{10001, 1}, SizeCase{300000, 1}));

TEST_F(DownloaderTest, LengthBeyondFourBytesCountsAsMissing)
{
    m_server.serve("file", test::HttpReply("17").announcing(0x100000000LL).cutAfter(2));
    EXPECT_FALSE(m_downloader.downloadToMemory(address("file")));
    EXPECT_TRUE(m_ui.messages.empty());
}

// Within its bounds, a length that is announced but never sent costs nothing and ends as incomplete.
TEST_F(DownloaderTest, HugeAnnouncedLengthThatNeverArrivesIsIncomplete)
{
    m_server.serve("file", test::HttpReply(std::string(10, 'x')).announcing(4000000000LL));
    EXPECT_FALSE(m_downloader.downloadToMemory(address("file"), {4000000000LL, false}));
    EXPECT_EQ(m_ui.messages, std::vector<std::string>{"Download did not complete"});
    EXPECT_EQ(m_progress.positions, std::vector<std::int64_t>{10});
}

// The time-out is for silence, not for the whole download: a slow but steady server is never cut off.
TEST_F(DownloaderTest, SlowButSteadyServerIsNotCutOff)
{
    m_downloader.setStallTimeout(std::chrono::milliseconds(300));
    const std::string body = test::programBytes(20000);
    m_server.serve("file", test::HttpReply(body).trickle(2000, 100));
    const auto block = m_downloader.downloadToMemory(address("file"));
    ASSERT_TRUE(block);
    EXPECT_TRUE(std::string(block->begin(), block->end()) == body);
    EXPECT_TRUE(m_ui.messages.empty());
}

TEST_F(DownloaderTest, ServerThatNeverAnswersIsAnOpeningFailure)
{
    m_downloader.setStallTimeout(std::chrono::milliseconds(300));
    m_server.setSilent(true);
    EXPECT_FALSE(m_downloader.downloadToMemory(address("file")));
    EXPECT_EQ(m_ui.messages, std::vector<std::string>{"Failed to retrieve update:\nConnection timed out"});
}

// A hostile server decides nothing about our memory: a length outside the document's bounds is refused
// before any byte is read, and nothing is said (the caller tells its own failure).
TEST_F(DownloaderTest, AnnouncedLengthOutsideTheBoundsIsNeverRead)
{
    struct Row {
        const char* name;
        std::int64_t announced;
        BodyLimits limits;
        bool accepted;
    };
    const Row rows[] = {
        {"VersionFileOfFourGigabytes", 4294967295LL, {64, false}, false},
        {"VersionFileOneAbove", 65, {64, false}, false},
        {"VersionFileAtTheBound", 64, {64, false}, true},
        {"SignatureLonger", 65, {64, true}, false},
        {"SignatureShorter", 63, {64, true}, false},
        {"SignatureExact", 64, {64, true}, true},
        {"ProgramAboveTheBound", (256LL << 20) + 1, {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_ui.messages.clear();
        const std::string body(std::size_t(std::min<std::int64_t>(row.announced, 100)), '7');
        m_server.serve("file", test::HttpReply(body).announcing(row.announced).cutAfter(body.size()));
        const auto block = m_downloader.downloadToMemory(address("file"), row.limits);
        EXPECT_EQ(block.has_value(), row.accepted);
        if (!row.accepted) {
            EXPECT_TRUE(m_ui.messages.empty()) << m_ui.messages.front();
        }
    }
    EXPECT_EQ(m_progress.windows, 0);
}

// The stall time-out starts again with every byte; the deadline does not: a server that trickles a byte
// now and then cannot keep the (frozen) window waiting for as long as it likes.
TEST_F(DownloaderTest, TricklingServerEndsAtTheDeadline)
{
    m_downloader.setStallTimeout(std::chrono::milliseconds(2000));
    m_server.serve("version.txt", test::HttpReply("17\n" + std::string(40, ' ')).trickle(1, 100));
    EXPECT_EQ(m_downloader.fetchText(address("version.txt"), {64, false, std::chrono::milliseconds(600)}), "");
    EXPECT_EQ(m_ui.messages, std::vector<std::string>{"Download did not complete"});

    // Nothing answers at all: the deadline ends the wait before the stall time-out would.
    m_ui.messages.clear();
    m_server.setSilent(true);
    EXPECT_FALSE(m_downloader.downloadToMemory(address("file"), {64, false, std::chrono::milliseconds(300)}));
    EXPECT_EQ(m_ui.messages, std::vector<std::string>{"Failed to retrieve update:\nConnection timed out"});
}

// The program goes to its file as it arrives; a body beyond its bounds never creates the file.
TEST_F(DownloaderTest, FileDownloadIsWrittenAsItArrivesAndBounded)
{
    QTemporaryDir dir;
    const std::string target = dir.filePath(QStringLiteral("marquelo_new")).toStdString();
    const std::string body = test::programBytes(300000);
    m_server.serve("marquelo", test::HttpReply(body));
    EXPECT_TRUE(m_downloader.downloadToFile(address("marquelo"), target));
    EXPECT_TRUE(test::readFileText(target) == body);

    QFile::remove(QString::fromStdString(target));
    EXPECT_FALSE(m_downloader.downloadToFile(address("marquelo"), target, {299999, false}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(target)));
}

struct FileCase {
    const char* name;
    std::string body;
    bool accepted;
};

class DownloadToFileTest : public DownloaderTest, public ::testing::WithParamInterface<FileCase> {};

// A body whose first line starts with "<HTML" (upper case only) is an error page, not a program.
TEST_P(DownloadToFileTest, HtmlFirstLineIsRejectedButWritten)
{
    QTemporaryDir dir;
    const std::string target = dir.filePath(QStringLiteral("marquelo_new")).toStdString();
    m_server.serve("marquelo", test::HttpReply(GetParam().body));
    EXPECT_EQ(m_downloader.downloadToFile(address("marquelo"), target), GetParam().accepted);
    EXPECT_EQ(test::readFileText(target), GetParam().body);
}

INSTANTIATE_TEST_SUITE_P(Rows, DownloadToFileTest,
                         ::testing::Values(FileCase{"UpperCaseHtml", "<HTML>\n<BODY>error</BODY>", false},
                                           FileCase{"LowerCaseHtml", "<html>\n<body>error</body>", true},
                                           FileCase{"HtmlOnSecondLine", "\n<HTML>", true},
                                           FileCase{"BinaryWithCarriageReturns",
                                                    std::string("\x7f"
                                                                "ELF\r\n\r\n\0\1",
                                                                10),
                                                    true}),
                         test::rowName<FileCase>);

TEST(ReleaseSignatureTest, VerifiesOnlyTheSignedBytesWithTheRightKey)
{
    const test::TestKeyPair keys;
    const std::string data = "program bytes";
    const std::string signature = keys.sign(data);
    EXPECT_TRUE(verifySignature(data, signature, keys.publicKey));
    EXPECT_FALSE(verifySignature(data + "!", signature, keys.publicKey));
    EXPECT_FALSE(verifySignature(data, signature, test::TestKeyPair().publicKey));
    EXPECT_FALSE(verifySignature(data, signature.substr(0, 63), keys.publicKey));
    EXPECT_FALSE(verifySignature(data, signature, kReleasePublicKey));
}

} // namespace
} // namespace marquelo
