#pragma once
// Writing a whole file so that readers see either the old file or the complete new one, never half of it.

#include <string>
#include <vector>

namespace marquelo::convert {

// Writes `data` to a hidden temporary file beside `path`, flushes it to disk and renames it over `path`
// (keeping the permissions of a file it replaces). On failure nothing is left behind and `error` says why.
bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& data, std::string& error);

} // namespace marquelo::convert
