#include "convert/InputFile.h"

#include "media/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace marquelo::convert {

InputFile::~InputFile()
{
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
    return media::readHead(m_fd, count);
}

std::span<const unsigned char> InputFile::bytes(std::string& reason)
{
    if (m_read)
        return m_bytes;
    if (m_fd < 0 || m_size == 0) {
        reason = "empty file";
        return {};
    }
    // Read through the name of the open handle, so it is this very file even if the path was replaced.
    media::FileBytes file = media::readRegularFile(m_path, std::size_t(m_size));
    if (!file.ok) {
        reason = file.error == "file too large" ? "the file changed while it was read" : file.error;
        return {};
    }
    if (file.bytes.size() != m_size) {
        reason = "the file ends early (it was cut short while being read)";
        return {};
    }
    m_bytes = std::move(file.bytes);
    m_read = true;
    return m_bytes;
}

void InputFile::dropBytes()
{
    m_bytes = {};
    m_read = false;
}

} // namespace marquelo::convert
