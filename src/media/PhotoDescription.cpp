#include "media/PhotoDescription.h"

#include "media/Exiv2Library.h"
#include "media/XmpSidecar.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <array>
#include <cstdint>

namespace marquelo::media {

namespace {

// What cameras and their software write into ImageDescription (and sometimes the other places) when
// nobody typed anything. Compared without letter case after the blanks are trimmed.
constexpr std::array<std::string_view, 20> kBoilerplate = {{
    "OLYMPUS DIGITAL CAMERA",
    "SONY DSC",
    "DIGITAL CAMERA",
    "KODAK DIGITAL CAMERA",
    "KONICA MINOLTA DIGITAL CAMERA",
    "MINOLTA DIGITAL CAMERA",
    "SAMSUNG DIGITAL CAMERA",
    "SANYO DIGITAL CAMERA",
    "SEIKO EPSON CORP.",
    "CASIO DIGITAL CAMERA",
    "CASIO COMPUTER CO.,LTD",
    "NIKON DIGITAL CAMERA",
    "PENTAX DIGITAL CAMERA",
    "RICOH DIGITAL CAMERA",
    "LEICA DIGITAL CAMERA",
    "PANASONIC DIGITAL CAMERA",
    "FUJIFILM DIGITAL CAMERA",
    "EXIF_PICTURE",
    "CREATOR: GD-JPEG",
    "MY BEAUTIFUL PICTURE",
}};

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The length of the valid UTF-8 sequence at `at` (1..4), 0 when the bytes there are not one.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and numbers past Unicode are not characters.
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

bool isValidUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = utf8SequenceLength(text, at);
        if (n == 0)
            return false;
        at += n;
    }
    return true;
}

std::string latin1ToUtf8(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(char(0xC0 | b >> 6));
            out.push_back(char(0x80 | (b & 0x3F)));
        }
    }
    return out;
}

std::string sidecarDescription(const std::string& photoPath)
{
    const std::optional<std::string> text = readSidecarDescription(photoPath);
    return text ? usableDescription(*text) : std::string();
}

} // namespace

bool isCameraBoilerplate(std::string_view text)
{
    text = trimmed(text);
    return std::any_of(kBoilerplate.begin(), kBoilerplate.end(), [&](std::string_view known) {
        return known.size() == text.size() &&
               std::equal(known.begin(), known.end(), text.begin(), [](char a, char b) { return a == upper(b); });
    });
}

std::string usableDescription(std::string_view raw, bool latin1Fallback)
{
    std::string repaired;
    if (latin1Fallback && !isValidUtf8(raw))
        repaired = latin1ToUtf8(raw);
    else
        repaired = std::string(raw);
    std::string out;
    out.reserve(std::min(repaired.size(), kMaxDescriptionCharacters * 4));
    std::size_t characters = 0;
    for (std::size_t at = 0; at < repaired.size() && characters < kMaxDescriptionCharacters;) {
        const std::size_t n = utf8SequenceLength(repaired, at);
        const auto lead = static_cast<unsigned char>(repaired[at]);
        if (n == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD for each byte that starts no character
            ++at;
        } else if (lead < 0x20 || lead == 0x7F) {
            // A line break or tab would end the one-line box early; other control characters show nothing.
            if (!out.empty() && out.back() != ' ')
                out.push_back(' ');
            ++at;
            continue;
        } else if (n == 2 && lead == 0xC2 && static_cast<unsigned char>(repaired[at + 1]) < 0xA0) {
            at += 2; // C1 control characters
            continue;
        } else {
            out.append(repaired, at, n);
            at += n;
        }
        ++characters;
    }
    const std::string_view kept = trimmed(out);
    if (kept.empty() || isCameraBoilerplate(kept))
        return {};
    return std::string(kept);
}

std::string chooseDescription(const DescriptionPlaces& places)
{
    for (const std::string* place : {&places.sidecarXmp, &places.embeddedXmp, &places.iptc, &places.exif})
        if (!place->empty())
            return *place;
    return {};
}

PhotoDescription readPhotoDescription(const std::string& photoPath)
{
    PhotoDescription result;
    DescriptionPlaces places;
    places.sidecarXmp = sidecarDescription(photoPath);
    if (!places.sidecarXmp.empty()) {
        result.text = places.sidecarXmp;
        return result; // the first place wins; the photo need not be opened
    }
    const MetadataImage opened = openMetadataFile(photoPath);
    if (!opened) {
        result.problem = opened.error;
        return result;
    }
    try {
        if (const auto xmp = xmpText(opened.image->xmpData(), "Xmp.dc.description"))
            places.embeddedXmp = usableDescription(*xmp);
        const Exiv2::IptcData& iptc = opened.image->iptcData();
        const auto caption = iptc.findKey(Exiv2::IptcKey("Iptc.Application2.Caption"));
        if (caption != iptc.end())
            // IPTC text is UTF-8 only when the record says so; older writers used Latin-1.
            places.iptc = usableDescription(caption->toString(), true);
        if (const auto exif = exifText(opened.image->exifData(), "Exif.Image.ImageDescription"))
            places.exif = usableDescription(*exif);
    } catch (const std::exception& e) {
        result.problem = e.what();
    }
    result.text = chooseDescription(places);
    return result;
}

} // namespace marquelo::media
