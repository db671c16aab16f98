#include "core/viewer/FileProbe.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marquelo {

namespace {

FileStatus statusOf(const struct stat& info)
{
    FileStatus status;
    if (S_ISDIR(info.st_mode))
        status.kind = FileKind::Directory;
    else if (S_ISREG(info.st_mode))
        status.kind = FileKind::Regular;
    else
        status.kind = FileKind::Other;
    status.stamp.lastWriteNs = std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    status.stamp.size = status.kind == FileKind::Regular ? std::uint64_t(info.st_size) : 0;
    return status;
}

// O_NONBLOCK: a FIFO swapped in after the look-up must not hold the open until a writer comes.
// O_NOCTTY: a terminal device must never become the program's controlling terminal.
int openWithoutBlocking(const std::string& path)
{
    int fd;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

FileStatus statFile(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return FileStatus();
    return statusOf(info);
}

bool opensForReading(const std::string& path)
{
    if (statFile(path).kind != FileKind::Regular)
        return false;
    const int fd = openWithoutBlocking(path);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

FileContents readRegularFile(const std::string& path, std::int64_t maxBytes)
{
    FileContents out;
    out.status = statFile(path);
    // Opening some devices has effects of its own (a tape rewinds when closed), so only what looks
    // like a regular file is opened at all.
    if (out.status.kind != FileKind::Regular)
        return out;
    const int fd = openWithoutBlocking(path);
    if (fd < 0)
        return out;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return out;
    }
    out.status = statusOf(info);
    if (out.status.kind == FileKind::Regular && info.st_size > 0 && info.st_size <= maxBytes) {
        QByteArray bytes;
        bytes.resize(qsizetype(info.st_size));
        qsizetype have = 0;
        while (have < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + have, size_t(bytes.size() - have));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            have += got;
        }
        if (have == bytes.size()) {
            out.bytes = std::move(bytes);
            out.ok = true;
        }
    }
    ::close(fd);
    return out;
}

} // namespace marquelo
