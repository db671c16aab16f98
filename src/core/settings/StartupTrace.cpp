#include "core/settings/StartupTrace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <link.h>
#include <mutex>
#include <set>
#include <string>
#include <unistd.h>

namespace marquelo::startup {

namespace {

struct Trace {
    int fd = -1;
    std::mutex lock;
    std::set<std::string> marked;

    Trace()
    {
        const char* path = std::getenv("MARQUELO_STARTUP_TRACE");
        if (path && *path)
            fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    }
};

Trace& trace()
{
    static Trace instance;
    return instance;
}

int loadedLibraries()
{
    int count = 0;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            // The program itself and the kernel's vDSO have no file name of a library.
            if (info->dlpi_name && info->dlpi_name[0] && std::strstr(info->dlpi_name, "linux-vdso") == nullptr)
                ++*static_cast<int*>(data);
            return 0;
        },
        &count);
    return count;
}

} // namespace

void mark(const char* step)
{
    Trace& t = trace();
    if (t.fd < 0)
        return;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const std::lock_guard guard(t.lock);
    if (!t.marked.insert(step).second)
        return;
    char line[256];
    const int length =
        std::snprintf(line, sizeof line, "%s\t%lld\t%d\n", step,
                      static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec, loadedLibraries());
    if (length > 0 && ::write(t.fd, line, std::size_t(std::min<int>(length, int(sizeof line) - 1))) < 0) {
        // A trace that cannot be written is given up: the program does not depend on it.
        ::close(t.fd);
        t.fd = -1;
    }
}

} // namespace marquelo::startup
