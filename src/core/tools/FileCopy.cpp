#include "core/tools/FileCopy.h"

#include "core/settings/Logging.h"
#include "core/tools/TemporaryFiles.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace marquelo {

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

bool fail(FileProblem& problem, int code)
{
    problem.reason = std::strerror(code ? code : EIO);
    return false;
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

// Reads up to `limit` bytes of `in` into `out` (written through `sink`); false with errno on failure.
template <typename Sink> bool copyBounded(int in, std::int64_t limit, Sink&& sink)
{
    char buffer[1 << 16];
    while (limit > 0) {
        const ssize_t n = ::read(in, buffer, std::size_t(std::min<std::int64_t>(limit, sizeof buffer)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break; // the file shrank: what is there is the copy
        if (!sink(buffer, std::size_t(n)))
            return false;
        limit -= n;
    }
    return true;
}

// Finishes a temporary file written through `fd` and renames it to `destination`; on failure the
// temporary file is removed.
bool commit(Descriptor& out, const std::string& temporary, const std::string& destination, mode_t mode, bool keepMode,
            FileProblem& problem)
{
    const auto abandon = [&](int code) {
        ::unlink(temporary.c_str());
        return fail(problem, code);
    };
    if ((keepMode && ::fchmod(out.fd, mode & 07777) != 0) || ::fsync(out.fd) != 0)
        return abandon(errno);
    if (::close(std::exchange(out.fd, -1)) != 0)
        return abandon(errno);
    if (::rename(temporary.c_str(), destination.c_str()) != 0)
        return abandon(errno);
    return true;
}

} // namespace

int openRegularFile(const std::string& path, std::int64_t& size, FileProblem& problem)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        fail(problem, errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int code = errno;
        ::close(fd);
        problem.notRegular = code == 0 || !S_ISREG(st.st_mode);
        problem.reason = problem.notRegular ? "not a regular file" : std::strerror(code);
        return -1;
    }
    // Blocking reads from here on: a regular file never waits for a writer.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size = st.st_size;
    return fd;
}

std::optional<std::string> readRegularFile(const std::string& path, FileProblem* problem)
{
    FileProblem local;
    FileProblem& p = problem ? *problem : local;
    std::int64_t size = 0;
    Descriptor in{openRegularFile(path, size, p)};
    if (in.fd < 0)
        return std::nullopt;
    std::string content;
    content.reserve(std::size_t(size));
    const bool ok = copyBounded(in.fd, size, [&content](const char* data, std::size_t n) {
        content.append(data, n);
        return true;
    });
    if (!ok) {
        fail(p, errno);
        return std::nullopt;
    }
    return content;
}

bool copyRegularFile(const std::string& source, const std::string& destination, FileProblem& problem)
{
    std::int64_t size = 0;
    Descriptor in{openRegularFile(source, size, problem)};
    if (in.fd < 0)
        return false;
    const std::string folder = folderOf(destination);
    removeStaleTemporaryFiles(folder);
    std::string temporary;
    Descriptor out{createTemporaryFile(folder, temporary)};
    if (out.fd < 0)
        return fail(problem, errno);
    const bool copied =
        copyBounded(in.fd, size, [&out](const char* data, std::size_t n) { return writeAll(out.fd, data, n); });
    if (!copied) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return fail(problem, code);
    }
    return commit(out, temporary, destination, 0, false, problem);
}

bool writeCopy(const std::string& destination, const std::string& content, FileProblem& problem)
{
    const std::string folder = folderOf(destination);
    removeStaleTemporaryFiles(folder);
    std::string temporary;
    Descriptor out{createTemporaryFile(folder, temporary)};
    if (out.fd < 0)
        return fail(problem, errno);
    if (!writeAll(out.fd, content.data(), content.size())) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return fail(problem, code);
    }
    return commit(out, temporary, destination, 0, false, problem);
}

bool replaceFileContent(const std::string& path, const std::string& content, FileProblem& problem)
{
    // A page reached through a link stays a link: its target is what gets the new content.
    std::string target = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved))
            target = resolved;
    }
    const std::string folder = folderOf(target);
    removeStaleTemporaryFiles(folder);
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    std::string temporary;
    Descriptor out{createTemporaryFile(folder, temporary)};
    if (out.fd < 0)
        return fail(problem, errno);
    if (!writeAll(out.fd, content.data(), content.size())) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return fail(problem, code);
    }
    return commit(out, temporary, target, old.st_mode, existed, problem);
}

std::string copyFailureMessage(const std::string& source, const std::string& destination, const FileProblem& problem)
{
    // The message keeps its words; the system's reason goes to the log.
    qCWarning(lcTools).noquote() << "cannot copy" << QString::fromStdString(source) << "to"
                                 << QString::fromStdString(destination) << "-"
                                 << QString::fromStdString(problem.reason);
    std::string text = "Failed to copy '" + source + "' to '" + destination + "'";
    if (problem.notRegular)
        text += "\n\n'" + source + "' is not a regular file.";
    else if (problem.keepsMetadata)
        text += "\n\n" + problem.reason;
    return text;
}

} // namespace marquelo
