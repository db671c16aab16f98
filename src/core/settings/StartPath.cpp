#include "core/settings/StartPath.h"

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

} // namespace marquelo
