// Downloads from a real loopback server: lengths, pieces, the progress window and the text/HTML rules.
#include "core/update/LoopbackHttpServer.h"
#include "core/update/UpdateTestSupport.h"

#include "core/update/Downloader.h"
#include "core/update/ReleaseSignature.h"
#include "support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

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

TEST_F(DownloaderTest, HugeAnnouncedLengthThatNeverArrivesIsIncomplete)
{
    m_server.serve("file", test::HttpReply(std::string(10, 'x')).announcing(4000000000LL));
    EXPECT_FALSE(m_downloader.downloadToMemory(address("file")));
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
