#pragma once
// Puts a downloaded executable in place of the running one, so that the next start runs it.

#include <functional>
#include <string>

namespace marquelo {

// Renames `from` to `to` unless a file of that name exists: an existing file is never replaced.
bool renameWithoutReplacing(const std::string& from, const std::string& to);

// True when a file can be created in `directory` (a packaged installation's folder cannot).
bool canWriteInDirectory(const std::string& directory);

// In `installationDirectory`: deletes marquelo_old (a failure is ignored), renames marquelo to marquelo_old
// and marquelo_new to marquelo, executable. True when all of it happened. When the second rename fails the
// first is undone, so the installation is never left without its program.
// `renameFile` is the file system's step (replaceable to try out failures half-way).
using FileRenamer = std::function<bool(const std::string& from, const std::string& to)>;
bool swapInNewExecutable(const std::string& installationDirectory,
                         const FileRenamer& renameFile = renameWithoutReplacing);

} // namespace marquelo
