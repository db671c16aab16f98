#include "core/tools/FileCopy.h"

#include "core/settings/Logging.h"
#include "media/AtomicFile.h"

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

// Writes `content` as `destination` through one of the program's temporary files and a rename.
bool writeThrough(const std::string& destination, const std::string& content, const media::AtomicWriteOptions& options,
                  FileProblem& problem)
{
    media::AtomicFile out(destination, options);
    if (out.write(content.data(), content.size()) && out.commit())
        return true;
    problem.reason = out.error();
    return false;
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
    media::AtomicFile out(destination);
    const bool copied =
        copyBounded(in.fd, size, [&out](const char* data, std::size_t n) { return out.write(data, n); });
    if (!copied && out.error().empty())
        return fail(problem, errno); // the source could not be read
    if (copied && out.commit())
        return true;
    problem.reason = out.error();
    return false;
}

bool writeCopy(const std::string& destination, const std::string& content, FileProblem& problem)
{
    return writeThrough(destination, content, {}, problem);
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
    return writeThrough(target, content, {.keepPermissions = true}, problem);
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
