#include "core/viewer/WorkPools.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace marquelo {
namespace {

using namespace std::chrono_literals;

// Holds tasks until opened.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    int entered = 0;
    bool open = false;

    void pass()
    {
        std::unique_lock lock(mutex);
        ++entered;
        changed.notify_all();
        changed.wait_for(lock, 20s, [this] { return open; });
    }
    bool waitEntered(int count)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return entered >= count; });
    }
    void release()
    {
        const std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

// Restores a pool's size however the test ends.
struct PoolSize {
    QThreadPool& pool;
    const int kept = pool.maxThreadCount();
    ~PoolSize() { pool.setMaxThreadCount(kept); }
};

// Two pieces that can only both end when they run at the same time: the first waits for the second.
struct Meeting {
    std::mutex mutex;
    std::condition_variable changed;
    bool secondStarted = false;
    bool met = false;
    std::thread::id first, second;

    std::vector<std::function<void()>> pieces()
    {
        return {[this] {
                    first = std::this_thread::get_id();
                    std::unique_lock lock(mutex);
                    met = changed.wait_for(lock, 5s, [this] { return secondStarted; });
                },
                [this] {
                    second = std::this_thread::get_id();
                    const std::lock_guard lock(mutex);
                    secondStarted = true;
                    changed.notify_all();
                }};
    }
};

// The bands of the current picture split it over both cores while read-ahead and stuck loads hold every
// thread of the loads pool: a piece never waits behind a load.
TEST(WorkPools, SplitPiecesRunTogetherEvenWhenEveryLoadThreadIsTaken)
{
    const PoolSize size{workpools::loads()};
    workpools::loads().setMaxThreadCount(2);
    auto gate = std::make_shared<Gate>();
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(workpools::tryRun(workpools::loads(), [gate] { gate->pass(); }));
    ASSERT_TRUE(gate->waitEntered(2));
    EXPECT_FALSE(workpools::tryRun(workpools::loads(), [] {})) << "a full loads pool refuses, it never queues";

    Meeting meeting;
    workpools::runSplit(meeting.pieces());
    EXPECT_TRUE(meeting.met) << "the second piece waited for the first";
    EXPECT_EQ(meeting.first, std::this_thread::get_id());
    EXPECT_NE(meeting.second, meeting.first);

    gate->release();
    EXPECT_TRUE(workpools::finish(10s));
}

// With no pool thread free, every piece still runs, one after the other on the calling thread, and
// nothing waits for a thread.
TEST(WorkPools, PiecesNoThreadIsFreeForRunOnTheCallingThread)
{
    const PoolSize size{workpools::parts()};
    workpools::parts().setMaxThreadCount(1);
    auto gate = std::make_shared<Gate>();
    ASSERT_TRUE(workpools::tryRun(workpools::parts(), [gate] { gate->pass(); }));
    ASSERT_TRUE(gate->waitEntered(1));

    std::vector<std::thread::id> ran(3);
    std::vector<std::function<void()>> pieces;
    for (std::size_t i = 0; i < ran.size(); ++i)
        pieces.emplace_back([&ran, i] { ran[i] = std::this_thread::get_id(); });
    workpools::runSplit(pieces);
    for (const std::thread::id id : ran)
        EXPECT_EQ(id, std::this_thread::get_id());

    gate->release();
    EXPECT_TRUE(workpools::finish(10s));
}

// The end of the program waits for a task that does not stop only as long as it said, and knows it
// still runs (main then leaves with quick_exit); once the task has ended, the wait is over at once.
TEST(WorkPools, TheEndWaitsBoundedForAStuckTask)
{
    auto gate = std::make_shared<Gate>();
    workpools::run(workpools::thumbnails(), [gate] { gate->pass(); });
    ASSERT_TRUE(gate->waitEntered(1));
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(workpools::finish(100ms));
    EXPECT_GE(clock.elapsed(), 90);
    EXPECT_LT(clock.elapsed(), 2000) << "the end waited for the stuck task";

    gate->release();
    EXPECT_TRUE(workpools::finish(10s));
}

} // namespace
} // namespace marquelo
