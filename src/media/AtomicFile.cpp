#include "media/AtomicFile.h"

#include "media/FileMove.h"
#include "media/TemporaryFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace marquelo::media {

AtomicFile::AtomicFile(std::string destination, AtomicWriteOptions options)
    : destination_(std::move(destination)), options_(options)
{
    const std::string folder = folderOf(destination_);
    if (options_.clearLeftovers)
        removeStaleTemporaryFiles(folder);
    fd_ = createTemporaryFile(folder, temporary_, options_.ownerOnly ? 0600 : 0666);
    if (fd_ < 0) {
        temporary_.clear();
        fail(errno);
    }
}

AtomicFile::~AtomicFile()
{
    abandon();
}

bool AtomicFile::fail(int code)
{
    error_ = std::strerror(code ? code : EIO);
    return false;
}

void AtomicFile::abandon()
{
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    if (!temporary_.empty())
        ::unlink(std::exchange(temporary_, std::string()).c_str());
}

bool AtomicFile::write(const void* data, std::size_t size)
{
    if (fd_ < 0 || !error_.empty())
        return false;
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, at, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n == 0 ? ENOSPC : errno);
        at += n;
        size -= std::size_t(n);
    }
    return true;
}

bool AtomicFile::commit()
{
    if (fd_ < 0 || !error_.empty()) {
        abandon();
        if (error_.empty())
            fail(EBADF);
        return false;
    }
    const auto failAndAbandon = [this](int code) {
        fail(code);
        abandon();
        return false;
    };
    if (options_.keepPermissions) {
        struct stat old {};
        if (::stat(destination_.c_str(), &old) == 0 && ::fchmod(fd_, old.st_mode & 07777) != 0)
            return failAndAbandon(errno);
    }
    if (options_.sync && ::fsync(fd_) != 0)
        return failAndAbandon(errno);
    if (::close(std::exchange(fd_, -1)) != 0)
        return failAndAbandon(errno);
    if (options_.replace) {
        if (::rename(temporary_.c_str(), destination_.c_str()) != 0)
            return failAndAbandon(errno);
    } else if (const int code = renameNoReplace(temporary_, destination_); code != 0) {
        return failAndAbandon(code);
    }
    temporary_.clear();
    return true;
}

bool writeFileAtomically(const std::string& path, const void* data, std::size_t size, std::string& error,
                         const AtomicWriteOptions& options)
{
    AtomicFile file(path, options);
    if (file.write(data, size) && file.commit())
        return true;
    error = file.error();
    return false;
}

} // namespace marquelo::media
