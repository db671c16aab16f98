#pragma once
// The content of every file below a folder, by SHA-256, so that a test can prove which files an
// operation changed, created or removed, and that nothing else was touched.

#include <map>
#include <string>
#include <vector>

namespace marquelo::test {

class FileSnapshot {
public:
    // Every regular file below `root`, by its path relative to `root` (raw bytes of the name kept).
    static FileSnapshot of(const std::string& root);

    std::size_t size() const { return m_hashes.size(); }
    bool contains(const std::string& relative) const { return m_hashes.count(relative) != 0; }
    const std::map<std::string, std::string>& hashes() const { return m_hashes; }

    // The files of `before` that are missing or different in this snapshot, except those in `allowed`.
    std::vector<std::string> changedSince(const FileSnapshot& before,
                                          const std::vector<std::string>& allowed = {}) const;

private:
    std::map<std::string, std::string> m_hashes;
};

// SHA-256 of a whole file, hex; empty when it cannot be read.
std::string sha256OfFile(const std::string& path);

} // namespace marquelo::test
