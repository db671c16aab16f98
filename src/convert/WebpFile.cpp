#include "convert/WebpFile.h"

#include <cstdint>
#include <cstring>

namespace marquelo::convert {

namespace {

std::uint32_t le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void putLe32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = (unsigned char)(v >> (8 * i));
}

constexpr unsigned char kExifFlag = 0x08, kXmpFlag = 0x04;

} // namespace

bool dropWebpMetadata(Bytes& webp)
{
    if (webp.size() < 12 || std::memcmp(webp.data(), "RIFF", 4) != 0 || std::memcmp(webp.data() + 8, "WEBP", 4) != 0)
        return false;
    Bytes kept(webp.begin(), webp.begin() + 12);
    std::size_t at = 12;
    while (at < webp.size()) {
        if (webp.size() - at < 8)
            return false;
        const std::uint64_t payload = le32(webp.data() + at + 4);
        const std::uint64_t chunk = 8 + payload + (payload & 1);
        if (chunk > webp.size() - at)
            return false;
        const bool metadata =
            std::memcmp(webp.data() + at, "EXIF", 4) == 0 || std::memcmp(webp.data() + at, "XMP ", 4) == 0;
        if (!metadata)
            kept.insert(kept.end(), webp.begin() + std::ptrdiff_t(at), webp.begin() + std::ptrdiff_t(at + chunk));
        at += std::size_t(chunk);
    }
    if (kept.size() >= 21 && std::memcmp(kept.data() + 12, "VP8X", 4) == 0)
        kept[20] &= (unsigned char)~(kExifFlag | kXmpFlag);
    putLe32(kept.data() + 4, std::uint32_t(kept.size() - 8));
    webp = std::move(kept);
    return true;
}

} // namespace marquelo::convert
