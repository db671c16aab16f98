#pragma once
// Reading and copying the user's files by their names' own bytes, regular files only. A name that is
// not UTF-8 would come back from QString as its look-alike and reach a neighbour; a FIFO would block
// the window; a link to /dev/zero would fill the disk. None of them gets that far here.

#include <cstdint>
#include <optional>
#include <string>

namespace marquelo {

struct FileProblem {
    bool notRegular = false;    // a device, a FIFO, a folder: refused before a byte was read
    std::string reason;         // for the user, e.g. "not a regular file" or the system's error text
    bool keepsMetadata = false; // a picture whose metadata could not be removed: never published as it is
};

// Opens `path` for reading without ever blocking (a FIFO answers at once) and only when it is a
// regular file (links followed). Returns the descriptor with its size at this moment, or -1.
int openRegularFile(const std::string& path, std::int64_t& size, FileProblem& problem);

// The whole content of a regular file as it was when it was opened (never more than its size then);
// nullopt when it cannot be read.
std::optional<std::string> readRegularFile(const std::string& path, FileProblem* problem = nullptr);

// Copies the regular file `source` to `destination` through one of the program's temporary files in
// the destination's folder and a rename, replacing a file of that name; at most the source's size when
// the copy started is copied. Old temporary files of that folder are cleared first. On failure nothing
// has changed and `problem` says why.
bool copyRegularFile(const std::string& source, const std::string& destination, FileProblem& problem);

// Writes `content` as `destination` through one of the program's temporary files in its folder and a
// rename, replacing a file of that name (a link there is replaced, never followed): for copies whose
// names were reserved. Old temporary files of that folder are cleared first.
bool writeCopy(const std::string& destination, const std::string& content, FileProblem& problem);

// Writes `content` to `path` through a temporary file and a rename: readers see the old file or the
// whole new one. Keeps the permissions of a file it replaces.
bool replaceFileContent(const std::string& path, const std::string& content, FileProblem& problem);

// "Failed to copy '%s' to '%s'", with the reason added when the source was refused as no regular file
// or kept metadata that must not be published.
std::string copyFailureMessage(const std::string& source, const std::string& destination, const FileProblem& problem);

} // namespace marquelo
