#include "core/viewer/PictureFormats.h"

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
