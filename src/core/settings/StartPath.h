#pragma once
// The command line as start-up reads it: the arguments after the program joined back into one path,
// and that path split into the image folder and the photo to start on. Paths are the user's bytes
// throughout: a folder whose name is not UTF-8 is opened by that name, never by a look-alike.

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marquelo {

// Arguments 1.. joined by single spaces, so a path with spaces that arrived split is whole again.
// Element 0 (the program) is skipped; fewer than two elements give "".
std::string joinArguments(const std::vector<std::string>& argv);

struct StartPath {
    std::string directory;
    std::string file;
    bool operator==(const StartPath&) const = default;
};

// SplitStartPath with '/': "" gives ("", ""); no '/' gives (".", path); a '.' after the last '/' gives
// (text before the last '/', text after it); otherwise the whole path is the folder and the file is "".
StartPath splitStartPath(std::string_view path);

// The start argument: a path naming an existing folder (a full stop in its name or not, with or
// without a trailing '/') is the image folder with no start file; anything else is split by
// splitStartPath.
StartPath resolveStartPath(const std::string& argument);

// The folder as an absolute path against the current folder, "." and ".." resolved by name and no
// trailing '/', byte for byte.
std::string absoluteFolder(const std::string& directory);

// The name on disk of a folder that a Qt dialog handed back as text. Qt shows the bytes of a name that
// is not UTF-8 as U+FFFD, and such text no longer names the folder: each part holding U+FFFD is looked
// up in its parent among the entries that Qt shows the same way. Nothing when no folder, or more than
// one, fits. A relative path is read against base (the current folder when base is "").
std::optional<std::string> folderOnDisk(const QString& shown, const std::string& base = {});

} // namespace marquelo
