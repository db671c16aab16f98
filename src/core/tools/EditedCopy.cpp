#include "core/tools/EditedCopy.h"

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

} // namespace marquelo
