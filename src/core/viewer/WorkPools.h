#pragma once
// Where the program's background work runs: three pools of Qt's, never threads of its own.
//
// - loads: a photo read and decoded for the viewer (the start picture, the cache's loads) and other
//   waits on the outside world (a colour profile asked of the bus). Each gets a thread at once: the
//   pool is large, so the current picture never waits behind a read-ahead, and a load that cannot
//   get a thread fails as it would if the system had none.
// - parts: the pieces one picture is split into over the cores (JPEG bands, the screen copy's halves,
//   colour conversion rows). A pool of its own, so a piece never waits behind a whole load, and a
//   piece no thread is free for runs on the thread that asked, so nothing ever waits for a thread.
// - thumbnails: the grid's thumbnails, on threads of lowered priority, so the GUI thread and the
//   viewer's loads get a core first.
//
// A task hands its result back through a queued call to an owner that may be gone by then: each owner
// shares a cancel flag and a mailbox with its tasks and clears its own pointer there when it ends. The
// owner then waits a bounded time for its tasks. A decode inside a library cannot be interrupted, so
// at the program's end finish() waits for the pools a bounded time too, and when a task still runs,
// main leaves with std::quick_exit: nothing the task uses (the decoders' libraries, Qt, the colour
// transforms' cache) is torn down under it. The pools themselves are never destroyed for that reason.

#include <QThreadPool>

#include <chrono>
#include <functional>
#include <vector>

namespace marquelo::workpools {

QThreadPool& loads();
QThreadPool& parts();
QThreadPool& thumbnails();

// Starts `task` on a thread of `pool` if one can be had now; false (and `task` dropped) otherwise.
// Everything the caller did before is visible to the task, also to a thread sanitizer that cannot see
// through the pool's own locks.
bool tryRun(QThreadPool& pool, std::function<void()> task);
// Queues `task` on `pool`: it runs once a thread is free.
void run(QThreadPool& pool, std::function<void()> task);

// Runs every piece, the first on the calling thread and the others at once on the parts pool, and
// returns when all have ended. A piece no pool thread is free for runs on the calling thread after the
// first.
void runSplit(const std::vector<std::function<void()>>& pieces);

// Waits at most `patience` for every task of the three pools to end (queued ones included); true when
// none is left, their threads then ended too.
bool finish(std::chrono::milliseconds patience);

} // namespace marquelo::workpools
