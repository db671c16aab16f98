#include "core/tools/TurnCheck.h"

// The rules are plain C++ shared with the tool itself, so both always agree.
#include "media/RegularFile.h"
#include "media/TurnRules.h"

#include <filesystem>
#include <vector>

namespace marquelo {

std::string turnRefusal(const std::string& application, const std::string& path)
{
    if (std::filesystem::path(application).filename() != "marquelo-convert")
        return {};
    // Never blocks on a FIFO named like a photo; the tool reports a missing or odd file itself.
    const media::RegularFile file(path);
    if (!file.isOpen())
        return {};
    const std::vector<unsigned char> head = media::readHead(file.fd(), 1 << 16);
    const media::TurnVerdict verdict = media::turnVerdict(path, head.data(), head.size());
    if (verdict.kind != media::TurnKind::Refused)
        return {};
    return "marquelo-convert: unable to turn '" + path + "': " + verdict.reason;
}

} // namespace marquelo
