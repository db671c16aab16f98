#include "core/page/PageFile.h"

#include "core/tools/FileCopy.h"
#include "media/TemporaryFiles.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace marquelo {

namespace {

// Waits a little for another program's addition to finish; one that holds the lock for longer (a
// stuck process) is not waited for: the page is written without the lock then.
void lockBriefly(int fd)
{
    using namespace std::chrono_literals;
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)
            return;
        std::this_thread::sleep_for(10ms);
    }
}

// True when `fd` is still the file that `path` names (a rewrite renames a new file over the page).
bool stillNamedBy(int fd, const std::string& path)
{
    struct stat open {
    }, named{};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

// Opens and locks the page; with `create` it is made when missing. -1 when it cannot be opened or is
// no regular file.
int openLocked(const std::string& path, bool create)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int flags = O_RDWR | O_APPEND | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (create ? O_CREAT : 0);
        const int fd = ::open(path.c_str(), flags, 0666);
        if (fd < 0)
            return -1;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            errno = EINVAL;
            return -1;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        lockBriefly(fd);
        if (stillNamedBy(fd, path))
            return fd;
        ::close(fd); // replaced while we waited: lock the new one
    }
    return -1;
}

} // namespace

PageFile::~PageFile()
{
    close();
}

bool PageFile::open(const std::string& path)
{
    close();
    m_failed = false;
    m_error.clear();
    media::removeStaleTemporaryFiles(media::folderOf(path));
    errno = 0;
    m_fd = openLocked(path, true);
    m_path = path;
    if (m_fd < 0) {
        // openLocked refuses anything but a regular file with EINVAL, and gives up without an error of
        // its own when the name keeps being replaced while it waits for the lock.
        m_error = errno == EINVAL ? "not a regular file"
                  : errno != 0    ? std::strerror(errno)
                                  : "the file kept being replaced";
    }
    return m_fd >= 0;
}

std::string PageFile::readAll()
{
    std::string content;
    if (m_fd < 0)
        return content;
    char buffer[1 << 16];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(m_fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        content.append(buffer, std::size_t(n));
        at += n;
    }
    return content;
}

bool PageFile::writeLine(std::string_view text)
{
    return write(text) && write("\r\n");
}

bool PageFile::write(std::string_view text)
{
    if (m_fd < 0)
        return false;
    const char* data = text.data();
    std::size_t size = text.size();
    while (size > 0 && !m_failed) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_failed = true;
            m_error = n < 0 ? std::strerror(errno) : "nothing could be written";
            break;
        }
        data += n;
        size -= std::size_t(n);
    }
    return !m_failed;
}

bool PageFile::replaceAll(std::string_view content)
{
    if (m_fd < 0 || m_failed)
        return false;
    FileProblem problem;
    if (!replaceFileContent(m_path, std::string(content), problem)) {
        m_failed = true;
        m_error = problem.reason;
        return false;
    }
    // A program waiting for the lock finds the name taken by the new file and locks that one instead.
    return close();
}

bool PageFile::close()
{
    if (m_fd < 0)
        return !m_failed;
    // Closing drops the lock.
    if (::close(m_fd) != 0) {
        m_failed = true;
        m_error = std::strerror(errno);
    }
    m_fd = -1;
    return !m_failed;
}

std::optional<std::string> PageFile::read(const std::string& path)
{
    return readRegularFile(path);
}

bool PageFile::readable(const std::string& path)
{
    std::int64_t size = 0;
    FileProblem problem;
    const int fd = openRegularFile(path, size, problem);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool PageFile::rewrite(const std::string& path, std::string_view content, std::string* reason)
{
    // Under the lock, so that no addition of another program lands in the file being replaced.
    const int fd = openLocked(path, false);
    FileProblem problem;
    const bool ok = replaceFileContent(path, std::string(content), problem);
    if (fd >= 0)
        ::close(fd);
    if (!ok && reason)
        *reason = problem.reason;
    return ok;
}

} // namespace marquelo
