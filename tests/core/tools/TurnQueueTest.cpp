#include "core/tools/TurnQueue.h"

#include "support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace marquelo {
namespace {

// A tool that notes when it starts and ends, and takes a while in between.
class TurnQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        tool = folder() + "/turn";
        std::ofstream(tool) << "#!/bin/sh\necho \"start $1\" >> \"$2\"\nsleep 0.2\necho \"end $1\" >> \"$2\"\n";
        std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    }

    std::string folder() const { return dir.path().toStdString(); }
    std::string log() const { return folder() + "/log"; }

    std::vector<std::string> lines() const
    {
        std::ifstream in(log());
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    }

    // Runs the event loop until the queue has nothing left and the last tool has written its end.
    bool settle(TurnQueue& queue, std::size_t expectedLines)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (queue.idle() && lines().size() >= expectedLines)
                return true;
        }
        return false;
    }

    QTemporaryDir dir;
    std::string tool;
    test::ScriptedUserInterface ui;
};

TEST_F(TurnQueueTest, TurnsOfOneFileRunOneAfterAnotherAndOtherFilesDoNotWait)
{
    TurnQueue queue;
    EXPECT_TRUE(queue.run("/photos/a.jpg", tool, {"a1", log()}, true, ui));
    EXPECT_TRUE(queue.run("/photos/a.jpg", tool, {"a2", log()}, true, ui));
    EXPECT_TRUE(queue.run("/photos/a.jpg", tool, {"a3", log()}, true, ui));
    EXPECT_TRUE(queue.run("/photos/b.jpg", tool, {"b1", log()}, true, ui));
    EXPECT_FALSE(queue.idle());
    ASSERT_TRUE(settle(queue, 8));

    std::vector<std::string> a;
    for (const std::string& line : lines())
        if (line.find(" a") != std::string::npos)
            a.push_back(line);
    EXPECT_EQ(a, (std::vector<std::string>{"start a1", "end a1", "start a2", "end a2", "start a3", "end a3"}));
    // b started while a1 was still running.
    const std::vector<std::string> all = lines();
    const auto at = [&all](const std::string& line) { return std::find(all.begin(), all.end(), line) - all.begin(); };
    EXPECT_LT(at("start b1"), at("end a1"));
    EXPECT_TRUE(ui.messages.empty());
}

// A turn that cannot start is reported when its time comes and does not hold up the ones behind it.
TEST_F(TurnQueueTest, FailedStartIsReportedAndTheNextTurnRuns)
{
    TurnQueue queue;
    EXPECT_TRUE(queue.run("/photos/a.jpg", tool, {"a1", log()}, true, ui));
    EXPECT_TRUE(queue.run("/photos/a.jpg", folder() + "/missing-tool", {}, true, ui));
    EXPECT_TRUE(queue.run("/photos/a.jpg", tool, {"a3", log()}, true, ui));
    ASSERT_TRUE(settle(queue, 4));
    EXPECT_EQ(lines(), (std::vector<std::string>{"start a1", "end a1", "start a3", "end a3"}));
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Failed to launch '" + folder() + "/missing-tool'"});
    EXPECT_FALSE(queue.run("/photos/c.jpg", folder() + "/missing-tool", {}, true, ui));
}

// A tool that never ends holds its file's next turn only until the give-up time.
TEST_F(TurnQueueTest, StuckToolIsNotWaitedForForever)
{
    const std::string stuck = folder() + "/stuck";
    std::ofstream(stuck) << "#!/bin/sh\necho $$ > \"$1/stuck.pid\"\nexec sleep 30\n";
    std::filesystem::permissions(stuck, std::filesystem::perms::owner_all);
    TurnQueue queue;
    queue.setGiveUpAfter(300);
    EXPECT_TRUE(queue.run("/photos/a.jpg", stuck, {folder()}, true, ui));
    EXPECT_TRUE(queue.run("/photos/a.jpg", tool, {"a2", log()}, true, ui));
    EXPECT_TRUE(settle(queue, 2));
    EXPECT_EQ(lines(), (std::vector<std::string>{"start a2", "end a2"}));
    long pid = 0;
    std::ifstream(folder() + "/stuck.pid") >> pid;
    if (pid > 0)
        ::kill(pid_t(pid), SIGKILL);
}

// Turns still waiting when the window goes are not dropped: they run, in order.
TEST_F(TurnQueueTest, WaitingTurnsRunAtExit)
{
    {
        TurnQueue queue;
        queue.run("/photos/a.jpg", tool, {"a1", log()}, true, ui);
        queue.run("/photos/a.jpg", tool, {"a2", log()}, true, ui);
    }
    QElapsedTimer clock;
    clock.start();
    while (lines().size() < 4 && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(lines(), (std::vector<std::string>{"start a1", "end a1", "start a2", "end a2"}));
}

} // namespace
} // namespace marquelo
