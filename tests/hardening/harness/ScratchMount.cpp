#include "harness/ScratchMount.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

namespace marquelo::test {

std::unique_ptr<ScratchMount> ScratchMount::tmpfs(const std::string& path, int kibibytes)
{
    const std::string options = "size=" + std::to_string(kibibytes) + "k,mode=0755";
    if (::mount("marquelo-test", path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
        return nullptr;
    return std::unique_ptr<ScratchMount>(new ScratchMount(path, kibibytes));
}

ScratchMount::~ScratchMount()
{
    // A lazy unmount still succeeds when a program started by the test holds a file open there.
    if (::umount2(m_path.c_str(), 0) != 0)
        ::umount2(m_path.c_str(), MNT_DETACH);
}

bool ScratchMount::setReadOnly(bool readOnly)
{
    const std::string options = "size=" + std::to_string(m_kibibytes) + "k";
    const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    return ::mount("marquelo-test", m_path.c_str(), "tmpfs", flags, options.c_str()) == 0;
}

std::string fillFileSystem(const std::string& folder)
{
    const std::string filler = folder + "/.filler";
    std::FILE* f = std::fopen(filler.c_str(), "wb");
    if (!f)
        return filler;
    std::vector<char> zeros(4096, 0);
    // Block by block to the last free byte, then single bytes for the tail the blocks did not fit.
    while (std::fwrite(zeros.data(), 1, zeros.size(), f) == zeros.size() && std::fflush(f) == 0) {
    }
    std::clearerr(f);
    while (std::fputc(0, f) != EOF && std::fflush(f) == 0) {
    }
    std::fclose(f);
    return filler;
}

} // namespace marquelo::test
