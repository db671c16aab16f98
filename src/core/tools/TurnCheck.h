#pragma once
// The viewer's side of the bundled tool's turning rules: a turn the tool would refuse is refused here
// first, with the tool's own one-line reason, since nobody reads the output of a started tool.

#include <string>

namespace marquelo {

// The line marquelo-convert would print when asked to turn the file at `path` in place, or "" when
// it can (or when `application` is another program, whose rules are its own).
std::string turnRefusal(const std::string& application, const std::string& path);

} // namespace marquelo
