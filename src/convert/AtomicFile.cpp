#include "convert/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace marquelo::convert {

bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& data, std::string& error)
{
    const fs::path target(path);
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::random_device seed;
    std::mt19937 random(seed());
    std::FILE* f = nullptr;
    fs::path temp;
    for (int attempt = 0; attempt < 16 && !f; ++attempt) {
        // A dot name without the photo's extension: the viewer's folder scan never lists it.
        temp = dir / ("." + target.filename().string() + "." + std::to_string(random() % 1000000) + ".tmp");
        f = std::fopen(temp.c_str(), "wbx");
        if (!f && errno != EEXIST)
            break;
    }
    if (!f) {
        error = std::strerror(errno);
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
