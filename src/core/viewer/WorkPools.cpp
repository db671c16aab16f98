#include "core/viewer/WorkPools.h"

#include <QRunnable>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

namespace marquelo::workpools {

namespace {

// Loads are few at a time (the current picture, one read-ahead, a sharper copy), but one that never
// ends (a file system that stopped answering) keeps its thread: room for many of those.
constexpr int kLoadThreads = 32;
// A piece of a picture waits for nobody but may run beside those of the current picture, a read-ahead
// and a sharper copy, each split in two or four.
constexpr int kPartThreads = 16;
// As many as the thumbnail loaders ask for at once; the loaders limit themselves.
constexpr int kThumbnailThreads = 4;

struct Pools {
    QThreadPool loads;
    QThreadPool parts;
    QThreadPool thumbnails;

    Pools()
    {
        loads.setObjectName(QStringLiteral("marquelo loads"));
        loads.setMaxThreadCount(kLoadThreads);
        parts.setObjectName(QStringLiteral("marquelo parts"));
        parts.setMaxThreadCount(std::max(kPartThreads, QThread::idealThreadCount()));
        thumbnails.setObjectName(QStringLiteral("marquelo thumbnails"));
        thumbnails.setMaxThreadCount(kThumbnailThreads);
        // Qt can lower a thread's priority on few systems; the loader lowers its threads' own niceness.
        thumbnails.setThreadPriority(QThread::LowPriority);
    }
};

// Never destroyed: a task that could not be stopped may still run when the program leaves.
Pools& pools()
{
    static Pools* const instance = new Pools;
    return *instance;
}

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

// A task handed to a pool thread. Qt's pool passes it over under its own locks, which a thread
// sanitizer cannot see in an uninstrumented Qt: the task announces itself (release) before it is
// queued and takes itself over (acquire) on the thread that runs it, which is what those locks do.
class Task final : public QRunnable {
public:
    explicit Task(std::function<void()> work) : m_work(std::move(work))
    {
        setAutoDelete(true);
#if defined(__SANITIZE_THREAD__)
        __tsan_release(this);
#endif
    }

    void run() override
    {
#if defined(__SANITIZE_THREAD__)
        __tsan_acquire(this);
#endif
        m_work();
        m_work = nullptr; // what it holds goes on this thread, not on the one that dropped it last
    }

private:
    std::function<void()> m_work;
};

} // namespace

QThreadPool& loads()
{
    return pools().loads;
}

QThreadPool& parts()
{
    return pools().parts;
}

QThreadPool& thumbnails()
{
    return pools().thumbnails;
}

bool tryRun(QThreadPool& pool, std::function<void()> task)
{
    auto* runnable = new Task(std::move(task));
    if (pool.tryStart(runnable))
        return true;
    delete runnable; // not taken: still ours
    return false;
}

void run(QThreadPool& pool, std::function<void()> task)
{
    pool.start(new Task(std::move(task)));
}

void runSplit(const std::vector<std::function<void()>>& pieces)
{
    if (pieces.empty())
        return;
    // The pieces on pool threads use this frame: it is left only once they have ended, also when a
    // piece on this thread throws.
    struct Join {
        std::mutex mutex;
        std::condition_variable ended;
        int running = 0; // guarded by mutex
        ~Join()
        {
            std::unique_lock lock(mutex);
            ended.wait(lock, [this] { return running == 0; });
        }
    } join;
    std::vector<std::size_t> left;
    left.reserve(pieces.size());
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        {
            const std::lock_guard lock(join.mutex);
            ++join.running;
        }
        bool started = false;
        try {
            started = tryRun(parts(), [&join, &piece = pieces[i]] {
                piece();
                const std::lock_guard lock(join.mutex);
                if (--join.running == 0)
                    join.ended.notify_all();
            });
        } catch (const std::bad_alloc&) {
            // No memory for the hand-over: the piece runs here.
        }
        if (!started) {
            const std::lock_guard lock(join.mutex);
            --join.running;
            left.push_back(i);
        }
    }
    pieces[0]();
    for (std::size_t i : left)
        pieces[i]();
}

bool finish(std::chrono::milliseconds patience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    bool done = true;
    for (QThreadPool* pool : {&loads(), &parts(), &thumbnails()}) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        done = pool->waitForDone(int(std::max<std::chrono::milliseconds::rep>(0, left.count()))) && done;
    }
    return done;
}

} // namespace marquelo::workpools
