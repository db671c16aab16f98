// A compression watched to its end: its exit status and its one-line reason reach the caller through
// the event loop, without anybody waiting for the program.
#include "core/tools/ToolJob.h"

#include "core/tools/Launcher.h"
#include "support/ScriptedUserInterface.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace marquelo {
namespace {

class ToolJobTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    std::string script(const char* name, const char* body)
    {
        const QString path = dir.filePath(QLatin1String(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("#!/bin/sh\n") + body + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path.toStdString();
    }

    // Runs the event loop until `done` or ten seconds passed.
    static bool spinUntil(const std::function<bool()>& done)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }
};

TEST_F(ToolJobTest, ReportsExitStatusAndFirstErrorLineWithoutWaiting)
{
    struct Result {
        int code = 99;
        QString reason;
        bool done = false;
    };
    Result failed, crashed, fine;
    const auto keep = [](Result& r) { return [&r](int code, const QString& reason) { r = {code, reason, true}; }; };
    const std::string tool =
        script("tool", "sleep 0.2\necho >&2\necho 'no space left on device' >&2\necho more >&2\nexit 3");
    ASSERT_EQ(ToolJob::start(tool, {}, true, keep(failed)), kLaunchOk);
    // Started, and still running: nothing reported yet.
    EXPECT_FALSE(failed.done);
    ASSERT_EQ(ToolJob::start(script("crash", "kill -SEGV $$"), {}, true, keep(crashed)), kLaunchOk);
    ASSERT_EQ(ToolJob::start(script("fine", "exit 0"), {"a b", "c"}, false, keep(fine)), kLaunchOk);
    ASSERT_TRUE(spinUntil([&] { return failed.done && crashed.done && fine.done; }));
    EXPECT_EQ(failed.code, 3);
    EXPECT_EQ(failed.reason, QStringLiteral("no space left on device"));
    EXPECT_EQ(crashed.code, -1);
    EXPECT_EQ(fine.code, 0);
    EXPECT_EQ(fine.reason, QString());

    EXPECT_EQ(ToolJob::start(dir.filePath(QStringLiteral("nothing")).toStdString(), {}, true, {}), kLaunchFileNotFound);
}

TEST_F(ToolJobTest, WatchedCopySaysWhyItFailedOrThatItWorked)
{
    test::ScriptedUserInterface ui;
    std::vector<std::string> notices;
    int successes = 0;
    const auto notice = [&notices](const std::string& text) { notices.push_back(text); };
    ASSERT_TRUE(launchWatchedCopy(script("bad", "echo 'cannot write /out/x.jpg' >&2; exit 1"), {}, true, "IMG_1.JPG",
                                  ui, notice, [&successes] { ++successes; }));
    ASSERT_TRUE(launchWatchedCopy(script("silent", "exit 4"), {}, true, "IMG_2.JPG", ui, notice));
    ASSERT_TRUE(
        launchWatchedCopy(script("good", "exit 0"), {}, true, "IMG_3.JPG", ui, notice, [&successes] { ++successes; }));
    ASSERT_TRUE(spinUntil([&] { return notices.size() == 2 && successes == 1; }));
    std::sort(notices.begin(), notices.end());
    EXPECT_EQ(notices[0], "Copy of IMG_1.JPG failed: cannot write /out/x.jpg");
    EXPECT_EQ(notices[1], "Copy of IMG_2.JPG failed: exit status 4");

    // A program that cannot be started keeps its message box.
    EXPECT_FALSE(launchWatchedCopy("no-such-compressor-here", {}, true, "IMG_4.JPG", ui, notice));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Failed to launch 'no-such-compressor-here'");
}

// A job the user may stop: Cancel reaches the programs it started in turn, not only the first one, and
// the error output arrives line by line (progress lines end in "\r") with its end kept for the notice.
TEST_F(ToolJobTest, CancelEndsTheWholeGroupAndTheErrorOutputIsKept)
{
    const QString pidFile = dir.filePath(QStringLiteral("child.pid"));
    const std::string tool = script("hang", ("printf 'frame=1 time=00:00:01.00\\rframe=2 time=00:00:02.00\\r' >&2\n"
                                             "echo 'first line' >&2\n"
                                             "sleep 30 &\necho $! > '" +
                                             pidFile.toStdString() + "'\nwait")
                                                .c_str());
    bool done = false;
    int code = 0;
    unsigned launched = 0;
    QPointer<ToolJob> job = ToolJob::launch(
        tool, {},
        [&](int exitCode, const QString&) {
            done = true;
            code = exitCode;
        },
        &launched);
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(launched, unsigned(kLaunchOk));
    QStringList lines;
    QObject::connect(job, &ToolJob::errorLine, [&lines](const QString& line) { lines << line; });
    ASSERT_TRUE(spinUntil([&] { return QFileInfo(pidFile).size() > 0 && lines.size() == 3; }));
    EXPECT_EQ(lines, (QStringList{"frame=1 time=00:00:01.00", "frame=2 time=00:00:02.00", "first line"}));
    QFile file(pidFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t child = pid_t(file.readAll().trimmed().toInt());
    ASSERT_GT(child, 0);

    job->cancel();
    ASSERT_TRUE(spinUntil([&] { return done; }));
    EXPECT_NE(code, 0);
    // The shell's own child, the one that hangs, is gone too (or only a zombie waiting for its reaper).
    const auto alive = [child] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
        return stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ");
    };
    EXPECT_TRUE(spinUntil([&] { return !alive(); }));
}

TEST(ToolJobErrors, TheLastLinesSkipBlanksAndKeepTheirOrder)
{
    EXPECT_EQ(lastLinesOf("one\n\n two \nthree\n\n", 2), QStringLiteral("two\nthree"));
    EXPECT_EQ(lastLinesOf("only\n", 6), QStringLiteral("only"));
    EXPECT_EQ(lastLinesOf("", 3), QString());
}

} // namespace
} // namespace marquelo
