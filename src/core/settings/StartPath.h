#pragma once
// The command line as start-up reads it: the arguments after the program joined back into one path,
// and that path split into the image folder and the photo to start on.

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

} // namespace marquelo
