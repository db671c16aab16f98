#include "core/viewer/LoadThreads.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace marquelo::loadthreads {

namespace {

struct Kept {
    std::thread thread;
    std::shared_ptr<const std::atomic<bool>> done;
};

struct Store {
    std::mutex mutex;
    std::vector<Kept> threads;
};

// Never destroyed: a joinable thread in a destroyed vector would end the program with std::terminate.
Store& store()
{
    static Store* const instance = new Store;
    return *instance;
}

} // namespace

void keep(std::thread thread, std::shared_ptr<const std::atomic<bool>> done)
{
    Store& s = store();
    const std::lock_guard lock(s.mutex);
    s.threads.push_back({std::move(thread), std::move(done)});
}

bool anyRunning()
{
    Store& s = store();
    const std::lock_guard lock(s.mutex);
    std::erase_if(s.threads, [](Kept& k) {
        if (!k.done->load(std::memory_order_acquire))
            return false;
        k.thread.join();
        return true;
    });
    return !s.threads.empty();
}

} // namespace marquelo::loadthreads
