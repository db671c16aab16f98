#include "core/tools/EditedCopy.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace marquelo {

std::string editedName(std::string_view original, std::string_view suffix)
{
    const std::string_view s = suffix.empty() ? std::string_view("_edit") : suffix;
    std::string out;
    for (const char c : original) {
        if (c == '.')
            out.append(s);
        out.push_back(c);
    }
    if (original.find('.') == std::string_view::npos)
        out.append(s);
    return out;
}

namespace {

// Closes a descriptor on every way out.
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace

// POSIX calls on the names' own bytes: a name that is not UTF-8 would come back from QString as its
// look-alike, and the copy would read or replace a neighbour.
bool copyFileReplacing(const std::string& source, const std::string& destination, std::string& error)
{
    const auto failed = [&error](int code) {
        error = std::strerror(code);
        return false;
    };
    Descriptor in{::open(source.c_str(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0)
        return failed(errno);
    const std::size_t slash = destination.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : destination.substr(0, slash);
    std::string temporary = folder + "/.marquelo-copy-XXXXXX";
    Descriptor out{::mkostemp(temporary.data(), O_CLOEXEC)};
    if (out.fd < 0)
        return failed(errno);
    const auto abandon = [&](int code) {
        ::unlink(temporary.c_str());
        return failed(code);
    };
    char buffer[1 << 16];
    while (true) {
        const ssize_t n = ::read(in.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return abandon(errno);
        if (n == 0)
            break;
        if (!writeAll(out.fd, buffer, std::size_t(n)))
            return abandon(errno ? errno : ENOSPC);
    }
    // The copy gets the permissions a new file of the user's gets, not mkstemp's owner-only ones.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(out.fd, 0666 & ~mask) != 0 || ::fsync(out.fd) != 0)
        return abandon(errno);
    if (::close(std::exchange(out.fd, -1)) != 0)
        return abandon(errno);
    if (::rename(temporary.c_str(), destination.c_str()) != 0)
        return abandon(errno);
    return true;
}

} // namespace marquelo
