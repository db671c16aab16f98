#include "convert/InputFormat.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace marquelo::convert {

namespace {

using Head = std::span<const unsigned char>;

bool startsWith(Head head, std::string_view signature, std::size_t at = 0)
{
    return head.size() >= at + signature.size() &&
           std::equal(signature.begin(), signature.end(), head.begin() + std::ptrdiff_t(at),
                      [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
}

bool isJpegHead(Head h)
{
    return startsWith(h, "\xFF\xD8\xFF");
}

bool isPngHead(Head h)
{
    return startsWith(h, "\x89PNG\r\n\x1A\n");
}

bool isGifHead(Head h)
{
    return startsWith(h, "GIF87a") || startsWith(h, "GIF89a");
}

bool isWebpHead(Head h)
{
    return startsWith(h, "RIFF") && startsWith(h, "WEBP", 8);
}

bool isTiffHead(Head h)
{
    // Classic TIFF and BigTIFF, either byte order.
    using namespace std::string_view_literals;
    return startsWith(h, "II*\0"sv) || startsWith(h, "MM\0*"sv) || startsWith(h, "II+\0"sv) || startsWith(h, "MM\0+"sv);
}

// An ISO media file whose major brand is one of the HEIF still-image brands (AVIF included). Other
// ISO media files (movies, a camera's CR3) are not pictures for this tool.
bool isHeifHead(Head h)
{
    if (!startsWith(h, "ftyp", 4))
        return false;
    static constexpr std::array<std::string_view, 10> kBrands = {"heic", "heix", "hevc", "hevx", "heim",
                                                                 "heis", "mif1", "msf1", "avif", "avis"};
    return std::any_of(kBrands.begin(), kBrands.end(), [h](std::string_view brand) { return startsWith(h, brand, 8); });
}

bool isJxlHead(Head h)
{
    using namespace std::string_view_literals;
    return startsWith(h, "\xFF\x0A"sv) || startsWith(h, "\0\0\0\x0CJXL \r\n\x87\n"sv);
}

constexpr InputFormat kFormats[] = {
    {"jpeg", "jpegload", isJpegHead}, {"png", "pngload", isPngHead},    {"webp", "webpload", isWebpHead},
    {"tiff", "tiffload", isTiffHead}, {"heif", "heifload", isHeifHead}, {"jxl", "jxlload", isJxlHead},
    {"gif", "gifload", isGifHead},
};

} // namespace

std::span<const InputFormat> inputFormats()
{
    return kFormats;
}

const InputFormat* detectInputFormat(std::span<const unsigned char> head)
{
    for (const InputFormat& format : kFormats) {
        if (format.matches(head))
            return &format;
    }
    return nullptr;
}

} // namespace marquelo::convert
