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

// Copies the files that go with a photo (its RAW twin, their sidecars; full paths in one folder) into
// `folder`, next to the copy `copyName` made there of the photo named `photoName`: each takes the
// copy's stem in place of the photo's ("IMG_1.dng" along "IMG_1-2.jpg" is "IMG_1-2.dng"). A name taken
// there is never replaced: the group then gets the next free number ("IMG_1-2-1.dng"). All are copied
// or none stays. `copied` of the outcome holds them in order.
SendOutcome copyAlong(const std::vector<std::string>& files, const std::string& photoName, const std::string& folder,
                      const std::string& copyName);

} // namespace marquelo
