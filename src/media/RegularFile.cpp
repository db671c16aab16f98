#include "media/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marquelo::media {

namespace {
std::string systemReason(int error)
{
    return std::strerror(error);
}
} // namespace

RegularFile::RegularFile(const std::string& path)
{
    // O_NONBLOCK keeps open() of a FIFO without a writer from waiting; it is cleared again once
    // fstat has shown a regular file, where it has no meaning anyway.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error_ = systemReason(errno);
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error_ = systemReason(errno);
        ::close(fd);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        error_ = S_ISDIR(st.st_mode) ? "is a folder, not a file" : "not a regular file";
        ::close(fd);
        return;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
}

RegularFile::~RegularFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool isRegularFile(const std::string& path, std::string* error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (error)
            *error = systemReason(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        if (error)
            *error = S_ISDIR(st.st_mode) ? "is a folder, not a file" : "not a regular file";
        return false;
    }
    return true;
}

std::vector<unsigned char> readHead(int fd, std::size_t count)
{
    std::vector<unsigned char> data(count);
    std::size_t got = 0;
    while (fd >= 0 && got < count) {
        const ssize_t n = ::pread(fd, data.data() + got, count - got, off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    data.resize(got);
    return data;
}

FileBytes readRegularFile(const std::string& path, std::size_t maxBytes)
{
    FileBytes result;
    RegularFile file(path);
    if (!file.isOpen()) {
        result.error = file.error();
        return result;
    }
    if (file.size() > maxBytes) {
        result.error = "file too large";
        return result;
    }
    result.bytes.resize(static_cast<std::size_t>(file.size()));
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        const ssize_t got = ::read(file.fd(), result.bytes.data() + done, result.bytes.size() - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.error = systemReason(errno);
            result.bytes.clear();
            return result;
        }
        if (got == 0) {
            result.error = "the file ends early (it was cut short while being read)";
            result.bytes.clear();
            return result;
        }
        done += static_cast<std::size_t>(got);
    }
    result.ok = true;
    return result;
}

} // namespace marquelo::media
