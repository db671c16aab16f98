#pragma once
// Folders with the faults of real disks: a tiny file system that fills up, and a folder that even the
// superuser cannot write (a read-only mount). Both need the right to mount; where the test runs without
// it, make() returns null and the test is skipped rather than faked.

#include <memory>
#include <string>

namespace marquelo::test {

class ScratchMount {
public:
    // A tmpfs of `kibibytes` mounted on the existing empty folder `path`; null without the right to mount.
    static std::unique_ptr<ScratchMount> tmpfs(const std::string& path, int kibibytes);

    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    // Makes the mount read-only (files stay readable) or writable again.
    bool setReadOnly(bool readOnly);
    const std::string& path() const { return m_path; }

private:
    explicit ScratchMount(std::string path, int kibibytes) : m_path(std::move(path)), m_kibibytes(kibibytes) {}
    std::string m_path;
    int m_kibibytes;
};

// Fills the file system that holds `folder` with one file of zeros until a write fails, so that the
// next write there gets "no space". Returns the path of the filler file.
std::string fillFileSystem(const std::string& folder);

} // namespace marquelo::test
