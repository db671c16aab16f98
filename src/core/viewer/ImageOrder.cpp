#include "core/viewer/ImageOrder.h"

#include "core/viewer/ImageList.h"
#include "core/viewer/PictureFormats.h"

#include <algorithm>
#include <chrono>

namespace marquelo {

namespace {

// Unsigned byte-wise comparison with A-Z folded; a prefix sorts first.
int compareFolded(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char ca = foldAsciiCase(static_cast<unsigned char>(a[i]));
        const unsigned char cb = foldAsciiCase(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

} // namespace

std::int64_t nanosecondsSince1970(std::filesystem::file_time_type time)
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(file_clock::to_sys(time).time_since_epoch()).count();
}

std::string digitText(std::string_view name)
{
    std::string digits;
    for (char c : name)
        if (c >= '0' && c <= '9')
            digits.push_back(c);
    return digits;
}

bool lessByNumber(const FileRecord& a, const FileRecord& b)
{
    // Digit text compares as bytes: "100" < "99", and a name without digits sorts first.
    return digitText(a.name) < digitText(b.name);
}

bool lessByName(const FileRecord& a, const FileRecord& b)
{
    return compareFolded(a.name, b.name) < 0;
}

bool lessByFileTime(const FileRecord& a, const FileRecord& b)
{
    return a.lastWriteNs < b.lastWriteNs;
}

bool lessByCaptureTime(const FileRecord& a, const FileRecord& b)
{
    if (a.captureNs != b.captureNs)
        return a.captureNs < b.captureNs;
    return lessByName(a, b);
}

std::optional<std::string> originalNameOf(std::string_view name, std::string_view suffix)
{
    if (suffix.empty())
        return std::nullopt;
    std::string rest;
    int occurrences = 0;
    std::size_t pos = 0;
    while (pos <= name.size()) {
        const std::size_t hit = name.find(suffix, pos);
        if (hit == std::string_view::npos) {
            rest.append(name.substr(pos));
            break;
        }
        rest.append(name.substr(pos, hit - pos));
        pos = hit + suffix.size();
        ++occurrences;
    }
    if (occurrences != 1 || rest.empty())
        return std::nullopt;
    return rest;
}

} // namespace marquelo
