#include "media/FileMove.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marquelo::media {

int renameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS)
        return error;
    // Some network and FUSE file systems refuse the flag. link() fails atomically on a taken name too,
    // so a regular file can still be moved safely; anything else is not risked.
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return error;
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno == EPERM || errno == ENOTSUP ? error : errno;
    if (::unlink(from.c_str()) != 0) {
        const int unlinkError = errno;
        ::unlink(to.c_str());
        return unlinkError;
    }
    return 0;
}

} // namespace marquelo::media
