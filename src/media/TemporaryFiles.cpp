#include "media/TemporaryFiles.h"

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace marquelo::media {

namespace {

constexpr std::string_view kPrefix = ".marquelo-";
constexpr std::string_view kSuffix = ".tmp";

bool writerRunning(long pid)
{
    // EPERM: the process exists but belongs to someone else, which still makes it a live writer.
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

} // namespace

int createTemporaryFile(const std::string& folder, std::string& path, unsigned mode)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string token;
        for (int i = 0; i < 8; ++i)
            token.push_back(digits[random() % 36]);
        path = folder + "/" + std::string(kPrefix) + std::to_string(::getpid()) + "-" + token + std::string(kSuffix);
        // 0666 through the umask by default: a finished copy must not be owner-only like mkstemp's files.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode_t(mode));
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

std::optional<long> temporaryFileWriter(std::string_view name)
{
    if (name.size() <= kPrefix.size() + kSuffix.size() || name.substr(0, kPrefix.size()) != kPrefix ||
        name.substr(name.size() - kSuffix.size()) != kSuffix)
        return std::nullopt;
    const std::string_view middle = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    const std::size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 10 || dash + 1 == middle.size())
        return std::nullopt;
    long pid = 0;
    for (const char c : middle.substr(0, dash)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        pid = pid * 10 + (c - '0');
    }
    for (const char c : middle.substr(dash + 1))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return std::nullopt;
    return pid;
}

int removeStaleTemporaryFiles(const std::string& folder, std::chrono::seconds idle)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return 0;
    const auto now = std::chrono::system_clock::now();
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::optional<long> writer = temporaryFileWriter(entry->d_name);
        if (!writer)
            continue;
        struct stat st {};
        const std::string path = folder + "/" + entry->d_name;
        // Only plain files: a folder or link that happens to carry our pattern is not ours.
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const auto written =
            std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
        if (writerRunning(*writer) && now - written < idle)
            continue;
        if (::unlink(path.c_str()) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace marquelo::media
