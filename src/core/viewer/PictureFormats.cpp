#include "core/viewer/PictureFormats.h"

#include "core/settings/AppConfig.h"
#include "media/RegularFile.h"

#include <cstring>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace marquelo {

namespace {

constexpr std::array<std::string_view, 25> kRawExtensions = {
    "3fr", "ari", "arw", "cr2", "cr3", "crw", "dcr", "dng", "erf", "iiq", "k25", "kdc", "mef",
    "mos", "mrw", "nef", "nrw", "orf", "pef", "raf", "rw2", "rwl", "sr2", "srf", "srw"};

constexpr std::array<std::string_view, 3> kJpegExtensions = {"jpg", "jpeg", "jpe"};

constexpr std::array<std::string_view, 6> kNotForBrowsers = {"heic", "heif", "hif", "tif", "tiff", "jxl"};

template <std::size_t N> bool contains(const std::array<std::string_view, N>& list, std::string_view value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

std::string lowerExtension(std::string_view name)
{
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    std::string ext(name.substr(dot + 1));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return ext;
}

bool isRawName(std::string_view name)
{
    return contains(kRawExtensions, lowerExtension(name));
}

unsigned char foldAsciiCase(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool matchesPattern(std::string_view pattern, std::string_view name)
{
    if (pattern.empty())
        return false;
    // Iterative wildcard match with one backtrack point: linear in practice, no recursion on hostile names.
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || foldAsciiCase(static_cast<unsigned char>(pattern[p])) ==
                                             foldAsciiCase(static_cast<unsigned char>(name[n])))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<std::string> splitPatterns(std::string_view otherExtensions)
{
    std::vector<std::string> patterns;
    if (otherExtensions.empty())
        return patterns;
    std::size_t start = 0;
    for (;;) {
        const std::size_t semi = otherExtensions.find(';', start);
        patterns.emplace_back(otherExtensions.substr(start, semi - start));
        if (semi == std::string_view::npos)
            break;
        start = semi + 1;
    }
    return patterns;
}

bool listedByDefault(std::string_view name)
{
    if (isJpegName(name))
        return true;
    const SettingDef* pictures = findSetting("PictureExtensions");
    if (!pictures)
        return false;
    for (const std::string& pattern : splitPatterns(pictures->textDefault))
        if (matchesPattern(pattern, name))
            return true;
    return false;
}

bool isJpegName(std::string_view name)
{
    return contains(kJpegExtensions, lowerExtension(name));
}

bool isPublishedAsJpeg(std::string_view name)
{
    return isRawName(name) || contains(kNotForBrowsers, lowerExtension(name));
}

std::string_view nameStem(std::string_view name)
{
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

bool isAnimatedWebp(const std::string& path)
{
    const media::RegularFile file(path);
    unsigned char head[21] = {};
    if (!file.isOpen() || ::pread(file.fd(), head, sizeof head, 0) != ssize_t(sizeof head))
        return false;
    // RIFF, size, WEBP, then an extended header whose flags carry the animation bit.
    return std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBPVP8X", 8) == 0 && (head[20] & 0x02) != 0;
}

} // namespace marquelo
