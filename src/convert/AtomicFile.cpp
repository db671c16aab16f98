#include "convert/AtomicFile.h"

#include "core/tools/TemporaryFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace marquelo::convert {

bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& data, std::string& error)
{
    const fs::path target(path);
    const std::string dir = target.has_parent_path() ? target.parent_path().string() : std::string(".");
    // Named like every temporary file of the program (a dot name the folder scan never lists, short
    // enough beside the longest photo name), and what a killed run left here is cleared first.
    removeStaleTemporaryFiles(dir);
    std::string tempName;
    const int fd = createTemporaryFile(dir, tempName);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const fs::path temp(tempName);
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        error = std::strerror(errno);
        ::close(fd);
        std::error_code ec;
        fs::remove(temp, ec);
        return false;
    }
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size() && std::fflush(f) == 0;
#ifndef _WIN32
    ok = ok && ::fsync(fileno(f)) == 0;
#endif
    const int writeErrno = errno;
    ok = (std::fclose(f) == 0) && ok;
    std::error_code ec;
    if (!ok) {
        error = std::strerror(writeErrno ? writeErrno : EIO);
        fs::remove(temp, ec);
        return false;
    }
    const fs::file_status old = fs::status(target, ec);
    if (!ec && fs::exists(old))
        fs::permissions(temp, old.permissions(), ec);
    fs::rename(temp, target, ec);
    if (ec) {
        error = ec.message();
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

} // namespace marquelo::convert
