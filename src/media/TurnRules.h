#pragma once
// Which photos can be turned (rotated, flipped, mirrored) in place without losing quality, told from
// their first bytes and name. Plain C++ with no library, so the viewer asks the same rules before it
// starts the tool and shows the same one-line reason.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace marquelo::media {

enum class TurnKind {
    Jpeg,     // DCT-domain transform (or re-encoded at /jpgq when the size forbids it)
    Lossless, // PNG, TIFF, lossless still WebP: decoded, turned and saved losslessly with its metadata
    Refused,  // would lose quality or frames, or is a camera RAW file: never rewritten
    Other,    // not a format named here: left to the decoder
};

struct TurnVerdict {
    TurnKind kind = TurnKind::Other;
    std::string reason; // for Refused: why, to follow "unable to turn 'NAME': "
};

namespace detail {

inline std::string lowerExtension(std::string_view name)
{
    const auto dot = name.rfind('.');
    const auto slash = name.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot))
        return {};
    std::string ext(name.substr(dot + 1));
    for (char& c : ext)
        c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    return ext;
}

inline bool rawExtension(const std::string& ext)
{
    static constexpr std::string_view kRaw[] = {"3fr", "ari", "arw", "cr2", "cr3", "crw", "dcr", "dng", "erf",
                                                "iiq", "k25", "kdc", "mef", "mos", "mrw", "nef", "nrw", "orf",
                                                "pef", "raf", "rw2", "rwl", "sr2", "srf", "srw"};
    return std::find(std::begin(kRaw), std::end(kRaw), ext) != std::end(kRaw);
}

inline bool startsWith(const unsigned char* data, std::size_t size, std::size_t at, std::string_view text)
{
    return size >= at + text.size() && std::memcmp(data + at, text.data(), text.size()) == 0;
}

} // namespace detail

// `head` holds the file's first bytes (64 kB are plenty; the whole file is fine).
inline TurnVerdict turnVerdict(std::string_view name, const unsigned char* head, std::size_t size)
{
    using detail::startsWith;
    if (detail::rawExtension(detail::lowerExtension(name)))
        return {TurnKind::Refused, "a camera RAW file is never rewritten"};
    if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
        return {TurnKind::Jpeg, {}};
    if (startsWith(head, size, 0, "\x89PNG\r\n\x1a\n")) {
        // An animated PNG would keep only its first frame.
        const auto* end = head + size;
        if (std::search(head, end, reinterpret_cast<const unsigned char*>("acTL"),
                        reinterpret_cast<const unsigned char*>("acTL") + 4) != end)
            return {TurnKind::Refused, "an animated picture would lose its frames"};
        return {TurnKind::Lossless, {}};
    }
    if (startsWith(head, size, 0, "II*") || startsWith(head, size, 0, "MM\0*"))
        return {TurnKind::Lossless, {}};
    if (startsWith(head, size, 0, "RIFF") && startsWith(head, size, 8, "WEBP")) {
        // Walk the chunks: VP8L alone is lossless; VP8 (lossy) or ANIM (frames) are not turned.
        bool lossless = false;
        for (std::size_t at = 12; at + 8 <= size;) {
            const std::string_view tag(reinterpret_cast<const char*>(head + at), 4);
            const std::size_t length = std::size_t(head[at + 4]) | std::size_t(head[at + 5]) << 8 |
                                       std::size_t(head[at + 6]) << 16 | std::size_t(head[at + 7]) << 24;
            if (tag == "ANIM")
                return {TurnKind::Refused, "an animated picture would lose its frames"};
            if (tag == "VP8 ")
                return {TurnKind::Refused, "a lossy WebP cannot be turned without losing quality"};
            if (tag == "VP8L")
                lossless = true;
            at += 8 + length + (length & 1);
        }
        if (lossless)
            return {TurnKind::Lossless, {}};
        return {TurnKind::Refused, "a lossy WebP cannot be turned without losing quality"};
    }
    if (startsWith(head, size, 4, "ftyp"))
        return {TurnKind::Refused, "a HEIF/AVIF picture cannot be turned without losing quality"};
    if (startsWith(head, size, 0, "\xFF\x0A") || startsWith(head, size, 4, "JXL "))
        return {TurnKind::Refused, "a JPEG XL picture cannot be turned without losing quality"};
    if (startsWith(head, size, 0, "GIF8"))
        return {TurnKind::Refused, "a GIF would lose its palette or frames"};
    return {TurnKind::Other, {}};
}

} // namespace marquelo::media
