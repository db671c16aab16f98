#pragma once
// Load threads that outlived their owner. A decode uses the colour transforms, the decoders' libraries
// and Qt's thread pool, all of which are torn down when the program ends normally; a thread still
// running then would use them after their destruction. So a load is never detached: its owner cancels
// it and waits a moment, and one that still runs (a file system that stopped answering, a decode that
// cannot be interrupted) is kept here until the program leaves, which then ends with std::quick_exit
// once everything the user owns is written, tearing nothing down under it.

#include <atomic>
#include <memory>
#include <thread>

namespace marquelo::loadthreads {

// Takes a thread that is still running; `done` turns true when it has ended.
void keep(std::thread thread, std::shared_ptr<const std::atomic<bool>> done);

// Joins the kept threads that have ended meanwhile; true when one still runs.
bool anyRunning();

} // namespace marquelo::loadthreads
