#pragma once
// The program's own temporary files (marquelo and marquelo-convert alike): every file that is written
// beside its final name and renamed over it is called ".marquelo-PID-RANDOM.tmp", so that what an
// interrupted writer left behind can be told from the user's files and removed later.
//
// Writers normally go through AtomicFile.h, which uses these names; the folder scans that clear
// leftovers call removeStaleTemporaryFiles themselves.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace marquelo::media {

// Creates a new, empty temporary file in `folder` that no other writer can have picked (exclusive
// creation) with `mode` through the umask (0666: the permissions a new file of the user's gets).
// Returns its descriptor (close-on-exec) and sets `path`; -1 with errno set on failure.
int createTemporaryFile(const std::string& folder, std::string& path, unsigned mode = 0666);

// The process id of the writer when `name` (a bare file name) is one of our temporary files.
std::optional<long> temporaryFileWriter(std::string_view name);

// Removes our temporary files in `folder` whose writer has ended or that nobody wrote to for `idle`:
// a live writer's file is left alone. Returns how many were removed; a folder that cannot be read
// counts as none.
int removeStaleTemporaryFiles(const std::string& folder, std::chrono::seconds idle = std::chrono::seconds(60));

// The folder part of `path` ("." for a bare name).
std::string folderOf(const std::string& path);

} // namespace marquelo::media
