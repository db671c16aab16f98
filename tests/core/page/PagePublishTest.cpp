// Where the page is and putting it online: the page's folder in the file manager, and the publish
// command run against a real rsync daemon the test starts on a free local port, one module writable,
// one read-only; a server that never answers is cancelled.
#include "PageFixture.h"

#include "core/page/PagePublisher.h"
#include "core/tools/Launcher.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace marquelo::test {
namespace {

bool spinUntil(const std::function<bool()>& done, int limitMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// A listening socket on a free port of the loopback; the port, and the descriptor (-1 on failure).
struct Listener {
    int fd = -1;
    int port = 0;
    Listener()
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 4) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ::close(fd);
            fd = -1;
            return;
        }
        port = ntohs(address.sin_port);
    }
    ~Listener()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// Every file below `root` with its bytes, by relative path.
std::map<QString, QByteArray> treeOf(const QString& root)
{
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            files[QDir(root).relativeFilePath(path)] = file.readAll();
    }
    return files;
}

class PublishTest : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        rsync = QStandardPaths::findExecutable(QStringLiteral("rsync"));
        // A page as the builder leaves it: the page, its copies, a name with a blank.
        folder = base + "/summer";
        QDir().mkpath(QString::fromStdString(folder));
        writeFile(folder + "/index.html", "<!DOCTYPE html>\r\n<title>Summer</title>\r\n");
        writeFile(folder + "/dsc01234.jpg", std::string(40000, 'j'));
        writeFile(folder + "/dsc01234@2x.jpg", std::string(90000, 'k'));
        writeFile(folder + "/my clip.avi", std::string(1234, 'm'));
        config.CurOutputDirectory = folder;
    }

    void TearDown() override
    {
        if (daemon.state() != QProcess::NotRunning) {
            daemon.kill();
            daemon.waitForFinished(2000);
        }
    }

    // An rsync daemon with module "site" (writable) and "locked" (read-only) over `server`.
    bool startDaemon()
    {
        server = tmp.path() + "/server";
        QDir().mkpath(server);
        const QString conf = tmp.path() + "/rsyncd.conf";
        // As root the daemon would become "nobody", who may not write into the test's folder.
        writeFile(conf.toStdString(), "use chroot = no\nuid = " + std::to_string(::getuid()) +
                                          "\ngid = " + std::to_string(::getgid()) +
                                          "\n"
                                          "log file = " +
                                          (tmp.path() + "/rsyncd.log").toStdString() +
                                          "\n"
                                          "[site]\npath = " +
                                          server.toStdString() +
                                          "\nread only = no\n"
                                          "[locked]\npath = " +
                                          server.toStdString() + "\nread only = yes\n");
        // A free port, given up just before the daemon takes it.
        int port = 0;
        {
            const Listener free;
            port = free.port;
        }
        daemon.start(rsync,
                     {QStringLiteral("--daemon"), QStringLiteral("--no-detach"), QStringLiteral("--address=127.0.0.1"),
                      QStringLiteral("--port=%1").arg(port), QStringLiteral("--config=") + conf});
        if (!daemon.waitForStarted(3000))
            return false;
        url = QStringLiteral("rsync://127.0.0.1:%1").arg(port).toStdString();
        return spinUntil([&] { return accepts(port) || daemon.state() == QProcess::NotRunning; }, 5000) &&
               daemon.state() == QProcess::Running;
    }

    QString rsync;
    QString server;
    std::string folder;
    std::string url;
    QProcess daemon;
};

#define NEED_RSYNC()                                                                                                   \
    do {                                                                                                               \
        if (rsync.isEmpty())                                                                                           \
            GTEST_SKIP() << "rsync is not installed";                                                                  \
    } while (false)

TEST_F(PublishTest, ThePageArrivesWholeAfterCloseAndPublish)
{
    NEED_RSYNC();
    ASSERT_TRUE(startDaemon());
    config.PublishCommand = "rsync -rt %P/ " + url + "/site/%N/";
    host.closeChoice = ClosePageChoice::CloseAndPublish;
    QElapsedTimer clock;
    clock.start();
    session.closePage();
    // The window never waits for the upload: the run is under way, with its line and its Cancel.
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(host.publishOffered, std::vector<bool>{true});
    ASSERT_EQ(host.progress.count("publish"), 1u);
    EXPECT_EQ(host.progress["publish"], "Publishing '" + folder + "' ...");
    // The close notice says where the page is.
    EXPECT_EQ(host.noticedPagePaths.back(), folder + "/index.html");

    ASSERT_TRUE(spinUntil([&] { return !host.ended.empty(); }));
    ASSERT_EQ(host.ended.size(), 1u);
    EXPECT_EQ(host.ended[0].text, "Published '" + folder + "'");
    EXPECT_FALSE(host.ended[0].lasting);
    EXPECT_TRUE(ui.messages.empty());
    // Whole: every file, byte for byte, the page with its ending.
    const auto sent = treeOf(QString::fromStdString(folder));
    EXPECT_EQ(treeOf(server + "/summer"), sent);
    EXPECT_TRUE(sent.at(QStringLiteral("index.html")).endsWith("</html>\r\n"));

    // Shift+P after the close still reaches the closed page; nothing on the server is deleted.
    writeFile(server.toStdString() + "/summer/kept.txt", "mine");
    session.publishPage();
    ASSERT_TRUE(spinUntil([&] { return host.ended.size() == 2; }));
    EXPECT_EQ(host.ended[1].text, "Published '" + folder + "'");
    EXPECT_TRUE(QFileInfo::exists(server + "/summer/kept.txt"));
}

TEST_F(PublishTest, ARefusingServerGivesItsStatusAndErrorLines)
{
    NEED_RSYNC();
    ASSERT_TRUE(startDaemon());
    struct Case {
        std::string module;
        std::string said; // what the server answers, as rsync prints it
    };
    for (const Case& c : {Case{"locked", "module is read only"}, Case{"nosuch", "Unknown module 'nosuch'"}}) {
        SCOPED_TRACE(c.module);
        host.ended.clear();
        config.PublishCommand = "rsync -rt %P/ " + url + "/" + c.module + "/%N/";
        session.publishPage();
        ASSERT_TRUE(spinUntil([&] { return !host.ended.empty(); }));
        const std::string& text = host.ended[0].text;
        EXPECT_TRUE(host.ended[0].lasting) << "a failure stays until it has been read";
        EXPECT_EQ(text.rfind("Publishing '" + folder + "' failed (exit status ", 0), 0u) << text;
        EXPECT_NE(text.find(c.said), std::string::npos) << text;
        EXPECT_LE(std::count(text.begin(), text.end(), '\n'), kPublishErrorLines);
    }
    EXPECT_FALSE(QFileInfo::exists(server + "/summer"));
}

TEST_F(PublishTest, AServerThatNeverAnswersIsCancelled)
{
    NEED_RSYNC();
    // Connections are taken by the kernel but never served: rsync waits for the greeting for ever.
    const Listener silent;
    ASSERT_GE(silent.fd, 0);
    config.PublishCommand = "rsync -rt %P/ rsync://127.0.0.1:" + std::to_string(silent.port) + "/site/%N/";
    session.publishPage();
    ASSERT_EQ(host.cancels.count("publish"), 1u);
    // A second Shift+P while it runs starts nothing more.
    session.publishPage();
    EXPECT_EQ(host.passingNotices.back(), "Publishing is still running.");
    spinUntil([] { return false; }, 200);
    EXPECT_TRUE(host.ended.empty());

    QElapsedTimer clock;
    clock.start();
    host.cancels["publish"]();
    ASSERT_TRUE(spinUntil([&] { return !host.ended.empty(); }, 5000));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(host.ended[0].text, "Publishing cancelled: '" + folder + "'");
    EXPECT_FALSE(session.publisher().running());
}

TEST_F(PublishTest, WithoutACommandOrAPageNothingRunsAndTheReasonIsShown)
{
    config.PublishCommand.clear();
    session.publishPage();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("No publish command is set."), std::string::npos);

    config.PublishCommand = "no-such-publisher-program %P";
    session.publishPage();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1], "Failed to launch 'no-such-publisher-program'");

    // No page open and none closed yet.
    config.CurOutputDirectory = base;
    session.publishPage();
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[2], "There is no page to publish yet.");
    EXPECT_TRUE(host.ended.empty());
}

TEST(PublishCommand, EachPlaceholderStaysInsideItsOneArgument)
{
    // A folder with blanks and a "%N" of its own: inserted once, never split, never read again.
    EXPECT_EQ(expandPublishCommand("rsync -a \"%P/\" host:www/%N/", "/pages/my %N trip/"),
              (std::vector<std::string>{"rsync", "-a", "/pages/my %N trip/", "host:www/my %N trip/"}));
    EXPECT_EQ(expandPublishCommand("cp -r %P /mnt/share/%% %Q", "/p/x"),
              (std::vector<std::string>{"cp", "-r", "/p/x", "/mnt/share/%%", "%Q"}));
    EXPECT_TRUE(expandPublishCommand("   ", "/p/x").empty());
}

TEST_F(PageTest, TheFolderKeyOpensTheOpenPageOrTheOneJustClosed)
{
    std::vector<std::string> opened;
    const DocumentOpener previous = setDocumentOpener([&opened](const std::string& path) {
        opened.push_back(path);
        return true;
    });
    session.openPageFolder();
    EXPECT_EQ(ui.messages, std::vector<std::string>{"There is no page yet: add a photo with A to start one."});

    confirmSetup("Summer");
    add("first");
    const std::string folder = config.CurOutputDirectory;
    EXPECT_EQ(host.noticedPagePaths, std::vector<std::string>{folder + "/index.html"});
    // The close question's folder button, then Shift+F after the close.
    host.folderPresses = 1;
    session.closePage();
    EXPECT_EQ(host.publishOffered, std::vector<bool>{false}) << "no publish command is set";
    session.openPageFolder();
    EXPECT_EQ(opened, (std::vector<std::string>{folder, folder}));
    EXPECT_EQ(host.passingNotices.back(), "Page closed");
    setDocumentOpener(previous);
}

} // namespace
} // namespace marquelo::test
