#include "core/tools/TurnCheck.h"

// The rules are plain C++ shared with the tool itself, so both always agree.
#include "convert/TurnRules.h"

#include <filesystem>
#include <fstream>
#include <vector>

namespace marquelo {

std::string turnRefusal(const std::string& application, const std::string& path)
{
    if (std::filesystem::path(application).filename() != "marquelo-convert")
        return {};
    std::vector<unsigned char> head(1 << 16);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {}; // the tool reports a missing file itself
    in.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
    head.resize(std::size_t(in.gcount()));
    const convert::TurnVerdict verdict = convert::turnVerdict(path, head.data(), head.size());
    if (verdict.kind != convert::TurnKind::Refused)
        return {};
    return "marquelo-convert: unable to turn '" + path + "': " + verdict.reason;
}

} // namespace marquelo
