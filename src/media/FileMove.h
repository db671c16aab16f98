#pragma once

// Moving a user's file must never replace another one that took the target name in the meantime: a
// check for the name followed by rename() leaves a window in which a file appearing there is lost.

#include <string>

namespace marquelo::media {

// Renames `from` to `to` on one file system, atomically refusing when anything (even a dangling
// symbolic link) is named `to`. Returns 0, or the errno: EEXIST when the name is taken, EXDEV when the
// two are on different file systems.
int renameNoReplace(const std::string& from, const std::string& to);

} // namespace marquelo::media
