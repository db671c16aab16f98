#include "convert/InputFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace marquelo::convert {

InputFile::~InputFile()
{
    if (m_map)
        ::munmap(m_map, m_mapped);
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InputFile::open(const std::string& path, std::string& reason)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (m_fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = "not a regular file";
        return false;
    }
    m_size = std::uint64_t(st.st_size);
    // Reads of a regular file ignore the flag, but libvips and libjpeg are better off without surprises.
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
    m_path = ::access("/proc/self/fd", R_OK) == 0 ? "/proc/self/fd/" + std::to_string(m_fd) : path;
    return true;
}

std::vector<unsigned char> InputFile::head(std::size_t count) const
{
    std::vector<unsigned char> data(count);
    std::size_t got = 0;
    while (m_fd >= 0 && got < count) {
        const ssize_t n = ::pread(m_fd, data.data() + got, count - got, off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    data.resize(got);
    return data;
}

std::span<const unsigned char> InputFile::bytes(std::string& reason)
{
    if (m_map)
        return {static_cast<const unsigned char*>(m_map), m_mapped};
    if (m_fd < 0 || m_size == 0) {
        reason = "empty file";
        return {};
    }
    void* map = ::mmap(nullptr, std::size_t(m_size), PROT_READ, MAP_PRIVATE, m_fd, 0);
    if (map == MAP_FAILED) {
        reason = std::strerror(errno);
        return {};
    }
    m_map = map;
    m_mapped = std::size_t(m_size);
    return {static_cast<const unsigned char*>(m_map), m_mapped};
}

} // namespace marquelo::convert
