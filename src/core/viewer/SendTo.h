#pragma once
// Send-to: the current photo, with its RAW twin and their sidecars, moves into one of the configured
// folders in one go, and back again on Ctrl+Z. A name taken in the target folder is never replaced: the
// whole group moves under one numbered name instead ("IMG_1-1.jpg", "IMG_1-1.dng", ...).

#include <string>
#include <vector>

namespace marquelo {

struct MovedFile {
    std::string from; // full paths
    std::string to;
};

struct SendOutcome {
    bool ok = false;
    std::string error;
    std::vector<MovedFile> moved; // in the order they moved; the photo first
    bool numbered = false;        // the names were taken: the group has a numbered name
};

// Moves `files` (the photo first, then the files that go with it, all in one folder) into `folder`,
// created when missing. All move or none: a failure puts back what moved already. Across file systems
// a file is copied (through a temporary name) and then removed.
SendOutcome sendFiles(const std::vector<std::string>& files, const std::string& folder);

// Moves the files back where they came from (in reverse order), refusing to replace anything there.
bool moveBack(const std::vector<MovedFile>& moved, std::string& error);

} // namespace marquelo
