#include "core/settings/PrivateModules.h"

#include <filesystem>
#include <system_error>

namespace marquelo {

std::vector<std::string> privateModulePlaces(const std::string& fileName, const std::string& installed,
                                             const std::string& built)
{
    std::vector<std::string> paths;
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path folder = exe.parent_path();
        paths.push_back((folder / "../lib/marquelo" / fileName).lexically_normal().string());
        if (!installed.empty())
            paths.push_back((folder / installed).lexically_normal().string());
    }
    if (!built.empty())
        paths.push_back(built);
    return paths;
}

} // namespace marquelo
