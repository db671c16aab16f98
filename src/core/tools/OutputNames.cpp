#include "core/tools/OutputNames.h"

#include <filesystem>

namespace marquelo {

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

    const std::lock_guard lock(m_mutex);
    for (int n = 1;; ++n) {
        const std::string candidate = n == 1 ? stem + extension : stem + "-" + std::to_string(n) + extension;
        const std::string key = directory + "/" + candidate;
        std::error_code ec;
        const bool onDisk = std::filesystem::exists(std::filesystem::path(key), ec) ||
                            std::filesystem::is_symlink(std::filesystem::path(key), ec);
        if (!onDisk && !m_handedOut.contains(key)) {
            m_handedOut.insert(key);
            return candidate;
        }
    }
}

void OutputNames::clear()
{
    const std::lock_guard lock(m_mutex);
    m_handedOut.clear();
}

} // namespace marquelo
