#include "core/page/CaptionMarkup.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <optional>
#include <vector>

namespace marquelo {

namespace {

// The value of one digit of a numeric character reference, -1 for a character that ends it.
int referenceDigit(char c, bool hex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (hex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiAlnum(char c)
{
    return isAsciiAlpha(c) || (c >= '0' && c <= '9');
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

// Named references a caption is likely to hold; any other name is not trusted to be one the HTML
// checker knows, so it is shown as typed.
constexpr std::array<std::string_view, 24> kNamedReferences = {
    "amp",   "lt",    "gt",    "quot",  "apos",  "nbsp",  "copy", "reg",   "trade", "hellip", "ndash",  "mdash",
    "lsquo", "rsquo", "ldquo", "rdquo", "laquo", "raquo", "euro", "pound", "deg",   "times",  "middot", "shy"};

// The length of a valid character reference at `text[at]` (which is '&'), or 0.
std::size_t referenceLength(std::string_view text, std::size_t at)
{
    const std::size_t semicolon = text.find(';', at + 1);
    if (semicolon == std::string_view::npos || semicolon - at > 12)
        return 0;
    const std::string_view body = text.substr(at + 1, semicolon - at - 1);
    if (body.size() >= 2 && body[0] == '#') {
        const bool hex = body[1] == 'x' || body[1] == 'X';
        const std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty())
            return 0;
        unsigned long value = 0;
        for (char c : digits) {
            const int d = referenceDigit(c, hex);
            if (d < 0)
                return 0;
            value = value * (hex ? 16 : 10) + unsigned(d);
            if (value > 0x10FFFF)
                return 0;
        }
        const bool control = value < 0x20 ? value != '\t' && value != '\n' : (value >= 0x7F && value < 0xA0);
        if (control || (value >= 0xD800 && value <= 0xDFFF))
            return 0;
        return semicolon - at + 1;
    }
    return std::find(kNamedReferences.begin(), kNamedReferences.end(), body) != kNamedReferences.end()
               ? semicolon - at + 1
               : 0;
}

// Text as it may stand in an element or a double-quoted attribute.
void appendEscaped(std::string& out, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '&') {
            const std::size_t n = referenceLength(text, i);
            if (n == 0) {
                out += "&amp;";
            } else {
                out.append(text.substr(i, n));
                i += n - 1;
            }
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if ((unsigned char)c < 0x20 && c != '\t') {
            out += ' '; // line breaks and control characters have no place in one caption line
        } else {
            out += c;
        }
    }
}

struct Tag {
    std::size_t end = 0; // one past '>'
    bool closing = false;
    std::string name; // lower case
    std::optional<std::string> href;
};

// A tag starting at `text[at]` ('<'); nullopt when it is not one (then the '<' is text).
std::optional<Tag> readTag(std::string_view text, std::size_t at)
{
    Tag tag;
    std::size_t i = at + 1;
    if (i < text.size() && text[i] == '/') {
        tag.closing = true;
        ++i;
    }
    const std::size_t nameStart = i;
    while (i < text.size() && isAsciiAlnum(text[i]))
        ++i;
    if (i == nameStart || !isAsciiAlpha(text[nameStart]))
        return std::nullopt;
    tag.name = lower(text.substr(nameStart, i - nameStart));
    // Attributes up to the '>' outside quotes.
    while (i < text.size()) {
        while (i < text.size() && (isSpace(text[i]) || text[i] == '/'))
            ++i;
        if (i >= text.size())
            return std::nullopt;
        if (text[i] == '>') {
            tag.end = i + 1;
            return tag;
        }
        const std::size_t attrStart = i;
        while (i < text.size() && !isSpace(text[i]) && text[i] != '=' && text[i] != '>' && text[i] != '/')
            ++i;
        const std::string attr = lower(text.substr(attrStart, i - attrStart));
        while (i < text.size() && isSpace(text[i]))
            ++i;
        std::string value;
        if (i < text.size() && text[i] == '=') {
            ++i;
            while (i < text.size() && isSpace(text[i]))
                ++i;
            if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
                const char quote = text[i];
                const std::size_t close = text.find(quote, i + 1);
                if (close == std::string_view::npos)
                    return std::nullopt;
                value = std::string(text.substr(i + 1, close - i - 1));
                i = close + 1;
            } else {
                const std::size_t valueStart = i;
                while (i < text.size() && !isSpace(text[i]) && text[i] != '>')
                    ++i;
                value = std::string(text.substr(valueStart, i - valueStart));
            }
        }
        if (attr == "href")
            tag.href = value;
        if (attrStart == i)
            ++i; // a lone '=' cannot stop the scan
    }
    return std::nullopt;
}

bool isInline(const std::string& name)
{
    return name == "b" || name == "i" || name == "em" || name == "strong" || name == "span" || name == "a";
}

// The schemes a caption's link may use; any other could run script or hand the reader's browser to a
// program.
bool isAllowedScheme(std::string_view scheme)
{
    return scheme == "http" || scheme == "https" || scheme == "mailto";
}

// An href as it may stand in the page, or nullopt for one that could run anything. The address is
// checked as the browser will see it: references decoded and the characters a browser drops from a
// URL (blanks and controls around it, tabs and line breaks in it) dropped first, so that no spelling of
// a script scheme ("&#106;avascript:", "java&#9;script:", "javascript&#58;") slips through. The address
// is then written back with only its own characters escaped, so the page holds exactly what was checked.
std::optional<std::string> safeHref(std::string_view href)
{
    const std::string decoded = decodeCharacterReferences(href);
    std::string_view trimmed = decoded;
    while (!trimmed.empty() && (unsigned char)trimmed.front() <= 0x20)
        trimmed.remove_prefix(1);
    while (!trimmed.empty() && (unsigned char)trimmed.back() <= 0x20)
        trimmed.remove_suffix(1);
    std::string address;
    for (char c : trimmed)
        if ((unsigned char)c >= 0x20 && c != 0x7F)
            address += c;

    const std::size_t end = address.find_first_of(":/?#");
    if (end != std::string::npos && address[end] == ':' && !isAllowedScheme(lower(address.substr(0, end))))
        return std::nullopt;

    std::string out;
    for (char c : address) {
        switch (c) {
        case ' ': out += "%20"; break;
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The characters of kNamedReferences, in the same order.
constexpr std::array<char32_t, 24> kNamedCharacters = {U'&',   U'<',   U'>',   U'"',   U'\'',  0x00A0, 0x00A9, 0x00AE,
                                                       0x2122, 0x2026, 0x2013, 0x2014, 0x2018, 0x2019, 0x201C, 0x201D,
                                                       0x00AB, 0x00BB, 0x20AC, 0x00A3, 0x00B0, 0x00D7, 0x00B7, 0x00AD};

} // namespace

std::string decodeCharacterReferences(std::string_view html)
{
    std::string out;
    out.reserve(html.size());
    for (std::size_t i = 0; i < html.size(); ++i) {
        if (html[i] != '&') {
            out += html[i];
            continue;
        }
        if (i + 1 < html.size() && html[i + 1] == '#') {
            std::size_t j = i + 2;
            const bool hex = j < html.size() && (html[j] == 'x' || html[j] == 'X');
            if (hex)
                ++j;
            const std::size_t digitsStart = j;
            std::uint32_t value = 0;
            for (; j < html.size(); ++j) {
                const char c = html[j];
                const int d = referenceDigit(c, hex);
                if (d < 0)
                    break;
                value = std::min<std::uint32_t>(value * (hex ? 16 : 10) + std::uint32_t(d), 0x110000);
            }
            if (j > digitsStart) {
                if (j < html.size() && html[j] == ';')
                    ++j;
                const bool invalid = value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF);
                appendUtf8(out, invalid ? char32_t(0xFFFD) : char32_t(value));
                i = j - 1;
                continue;
            }
        } else {
            const std::size_t semicolon = html.find(';', i + 1);
            if (semicolon != std::string_view::npos && semicolon - i <= 8) {
                const std::string_view name = html.substr(i + 1, semicolon - i - 1);
                const auto it = std::find(kNamedReferences.begin(), kNamedReferences.end(), name);
                if (it != kNamedReferences.end()) {
                    appendUtf8(out, kNamedCharacters[std::size_t(it - kNamedReferences.begin())]);
                    i = semicolon;
                    continue;
                }
            }
        }
        out += '&';
    }
    return out;
}

std::string inlineCaptionHtml(std::string_view caption, bool insideLink)
{
    std::string out;
    std::vector<std::string> open;
    std::size_t textStart = 0;
    auto flushText = [&](std::size_t upTo) { appendEscaped(out, caption.substr(textStart, upTo - textStart)); };
    for (std::size_t i = 0; i < caption.size();) {
        if (caption[i] != '<') {
            ++i;
            continue;
        }
        const std::optional<Tag> tag = readTag(caption, i);
        if (!tag || (tag->name != "br" && !isInline(tag->name))) {
            ++i; // shown as text, '<' and all
            continue;
        }
        flushText(i);
        textStart = i = tag->end;
        const std::string& name = tag->name;
        const bool linkInLink = name == "a" && (insideLink || std::find(open.begin(), open.end(), "a") != open.end());
        if (name == "br") {
            if (!tag->closing)
                out += "<br>";
        } else if (!tag->closing) {
            if (linkInLink)
                continue;
            if (name == "a") {
                const std::optional<std::string> href = tag->href ? safeHref(*tag->href) : std::nullopt;
                out += href ? "<a href=\"" + *href + "\">" : std::string("<a>");
            } else {
                out += "<" + name + ">";
            }
            open.push_back(name);
        } else {
            const auto it = std::find(open.rbegin(), open.rend(), name);
            if (it == open.rend())
                continue; // nothing of that name is open: dropped
            // Closing an outer element closes whatever is still open inside it.
            const std::size_t keep = std::size_t(open.rend() - it) - 1;
            while (open.size() > keep) {
                out += "</" + open.back() + ">";
                open.pop_back();
            }
        }
    }
    flushText(caption.size());
    while (!open.empty()) {
        out += "</" + open.back() + ">";
        open.pop_back();
    }
    return out;
}

std::string captionAttributeText(std::string_view caption)
{
    std::string text;
    for (std::size_t i = 0; i < caption.size();) {
        if (caption[i] == '<') {
            if (const std::optional<Tag> tag = readTag(caption, i)) {
                if (tag->name == "br")
                    text += ' ';
                i = tag->end;
                continue;
            }
        }
        text += caption[i++];
    }
    std::string collapsed;
    for (char c : text) {
        const bool blank = isSpace(c) || (unsigned char)c < 0x20;
        if (blank) {
            if (!collapsed.empty() && collapsed.back() != ' ')
                collapsed += ' ';
        } else {
            collapsed += c;
        }
    }
    if (!collapsed.empty() && collapsed.back() == ' ')
        collapsed.pop_back();
    std::string out;
    appendEscaped(out, collapsed);
    return out;
}

std::string plainTextCaption(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += (unsigned char)c < 0x20 || c == 0x7F ? ' ' : c;
        }
    }
    return out;
}

std::string captionPlainText(std::string_view caption)
{
    return decodeCharacterReferences(captionAttributeText(caption));
}

} // namespace marquelo
