#include "core/tools/OutputNames.h"

#include "core/tools/ToolTemplates.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marquelo {

namespace {

enum class Claim { Taken, Reserved, Unwritable };

// Creates `path` exclusively: only one process can ever get Reserved for it.
Claim claim(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0) {
        ::close(fd);
        return Claim::Reserved;
    }
    if (errno == EEXIST)
        return Claim::Taken;
    // Something named so (a dangling link, a folder) counts as taken; a folder we may not write is left
    // to the copy itself to report.
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? Claim::Taken : Claim::Unwritable;
}

} // namespace

OutputNames& OutputNames::instance()
{
    static OutputNames names;
    return names;
}

std::string OutputNames::reserve(const std::string& directory, std::string_view normalizedName)
{
    std::string name(normalizedName);
    // The extension is the part from the last dot; a leading dot alone is an extension without a stem.
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        dot = name.size();
    std::string stem = name.substr(0, dot);
    const std::string extension = name.substr(dot);
    if (stem.empty())
        stem = "image";
    // A name already longer than the limit (an extension that fills it) is not shortened any further.
    const std::size_t limit = std::max(kOutputNameLimit, name.size());

    const std::lock_guard lock(m_mutex);
    for (int n = 1;; ++n) {
        const std::string number = n == 1 ? std::string() : "-" + std::to_string(n);
        const std::size_t room =
            limit > extension.size() + number.size() ? limit - extension.size() - number.size() : 1;
        const std::string candidate = stem.substr(0, std::max<std::size_t>(room, 1)) + number + extension;
        const std::string key = directory + "/" + candidate;
        if (m_handedOut.contains(key))
            continue;
        const Claim claimed = claim(key);
        if (claimed == Claim::Taken)
            continue;
        m_handedOut.insert(key);
        return candidate;
    }
}

void OutputNames::release(const std::string& directory, const std::string& name)
{
    const std::string path = directory + "/" + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0)
        ::unlink(path.c_str());
    const std::lock_guard lock(m_mutex);
    m_handedOut.erase(path);
}

void OutputNames::clear()
{
    const std::lock_guard lock(m_mutex);
    m_handedOut.clear();
}

} // namespace marquelo
