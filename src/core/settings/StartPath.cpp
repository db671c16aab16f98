#include "core/settings/StartPath.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace marquelo {

std::string joinArguments(const std::vector<std::string>& argv)
{
    std::string joined;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        if (i > 1)
            joined += ' ';
        joined += argv[i];
    }
    return joined;
}

StartPath splitStartPath(std::string_view path)
{
    if (path.empty())
        return {};
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {".", std::string(path)};
    const auto dot = path.rfind('.');
    if (dot != std::string_view::npos && dot > slash)
        return {std::string(path.substr(0, slash)), std::string(path.substr(slash + 1))};
    return {std::string(path), {}};
}

StartPath resolveStartPath(const std::string& argument)
{
    std::error_code ec;
    // "Open with" from a file manager hands a folder over without a trailing '/', and folders are
    // often named like "2024.06 Trip": the split rule alone would take that for a photo's name.
    if (!argument.empty() && fs::is_directory(fs::path(argument), ec))
        return {argument, {}};
    return splitStartPath(argument);
}

std::string absoluteFolder(const std::string& directory)
{
    std::error_code ec;
    fs::path path = fs::absolute(fs::path(directory), ec);
    if (ec)
        path = fs::path(directory);
    std::string result = path.lexically_normal().string();
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

} // namespace marquelo
