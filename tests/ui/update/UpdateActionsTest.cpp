// The update check as the program starts it, with the real progress window, against a loopback server.
#include "core/update/LoopbackHttpServer.h"
#include "core/update/UpdateTestSupport.h"

#include "support/ScriptedUserInterface.h"
#include "ui/update/DownloadProgressDialog.h"
#include "ui/update/UpdateActions.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <filesystem>

namespace fs = std::filesystem;

namespace marquelo {
namespace {

class UpdateActionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_server.listening());
        qputenv("MARQUELO_UPDATE_URL", QByteArray::fromStdString(m_server.baseAddress()));
        test::writeFileText(path("marquelo"), "current program");
    }
    void TearDown() override { qunsetenv("MARQUELO_UPDATE_URL"); }

    fs::path path(const char* name) const { return fs::path(m_dir.path().toStdString()) / name; }
    std::string folder() const { return m_dir.path().toStdString(); }

    QTemporaryDir m_dir;
    test::LoopbackHttpServer m_server;
    test::ScriptedUserInterface m_ui;
};

TEST_F(UpdateActionsTest, CancelInTheProgressWindowStopsTheDownload)
{
    // 300000 bytes arriving over about a second leave the user time to press Cancel.
    m_server.serve("version.txt", test::HttpReply("17\n"));
    m_server.serve("marquelo.sig", test::HttpReply(std::string(64, 's')));
    m_server.serve("marquelo", test::HttpReply(test::programBytes(300000)).trickle(4096, 10));

    QStringList captions;
    bool cancelled = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* window = qobject_cast<DownloadProgressDialog*>(QApplication::activeModalWidget());
        if (!window || cancelled)
            return;
        captions << window->windowTitle();
        if (window->progressBar()->value() >= 20000) {
            window->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
            cancelled = true;
        }
    });
    user.start(5);

    m_ui.answers = {UserInterface::Answer::Yes};
    checkForUpdates(folder(), m_ui);

    EXPECT_TRUE(cancelled);
    EXPECT_EQ(m_ui.messages, (std::vector<std::string>{"Download did not complete",
                                                       "Failed to download the new version. Please try again later."}));
    ASSERT_FALSE(captions.isEmpty());
    EXPECT_TRUE(captions.back().startsWith(QStringLiteral("Downloading "))) << captions.back().toStdString();
    EXPECT_TRUE(captions.back().endsWith(QStringLiteral("/300000 bytes..."))) << captions.back().toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(test::readFileText(path("marquelo")), "current program");
    EXPECT_FALSE(fs::exists(path("marquelo_new")));
}

TEST_F(UpdateActionsTest, ProgramOnlyInstallsWhatTheReleaseKeySigned)
{
    // Signed with a key made here, not the release key compiled into the program.
    const std::string program = test::programBytes(20000);
    m_server.serve("version.txt", test::HttpReply("17\n"));
    m_server.serve("marquelo", test::HttpReply(program));
    m_server.serve("marquelo.sig", test::HttpReply(test::TestKeyPair().sign(program)));
    m_ui.answers = {UserInterface::Answer::Yes};
    checkForUpdates(folder(), m_ui);
    EXPECT_EQ(m_ui.messages, std::vector<std::string>{"Failed to download the new version. Please try again later."});
    EXPECT_EQ(test::readFileText(path("marquelo")), "current program");
}

TEST_F(UpdateActionsTest, FirstRunOfferAsksBeforeConnecting)
{
    m_server.serve("version.txt", test::HttpReply("16"));
    m_ui.answers = {UserInterface::Answer::No};
    offerUpdateCheck(folder(), m_ui);
    EXPECT_EQ(m_ui.questions, std::vector<std::string>{"Connect to the internet and check for updates?"});
    EXPECT_TRUE(m_server.requests().empty());

    m_ui.answers = {UserInterface::Answer::Yes};
    offerUpdateCheck(folder(), m_ui);
    EXPECT_EQ(m_ui.messages, std::vector<std::string>{"You are running the latest version (16)."});
}

} // namespace
} // namespace marquelo
