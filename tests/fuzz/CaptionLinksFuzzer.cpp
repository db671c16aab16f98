// A Modern page's captions on whatever a user may type or paste: no link that comes out may run script,
// however its address is spelled, and nothing but the inline tags a caption keeps may come out as markup.
#include "FuzzCheck.h"

#include "core/page/CaptionMarkup.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool isAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// An attribute value as a browser decodes it, more generously than the page needs: numeric references
// with or without their semicolon, and the named ones that spell parts of a scheme, with or without it.
// Only the ASCII outcome matters for the scheme, so any other character becomes '?'.
std::string browserDecoded(std::string_view value)
{
    static constexpr struct {
        std::string_view name;
        char c;
    } kNames[] = {{"amp", '&'},   {"lt", '<'},    {"gt", '>'},       {"quot", '"'}, {"apos", '\''},
                  {"colon", ':'}, {"tab", '\t'},  {"newline", '\n'}, {"nbsp", '?'}, {"sol", '/'},
                  {"num", '#'},   {"quest", '?'}, {"period", '.'}};
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '&') {
            out += value[i];
            continue;
        }
        std::size_t j = i + 1;
        if (j < value.size() && value[j] == '#') {
            ++j;
            const bool hex = j < value.size() && lower(value[j]) == 'x';
            if (hex)
                ++j;
            const std::size_t start = j;
            unsigned long code = 0;
            for (; j < value.size(); ++j) {
                const char c = lower(value[j]);
                const int d = isDigit(c) ? c - '0' : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
                if (d < 0)
                    break;
                code = code * (hex ? 16 : 10) + unsigned(d);
                if (code > 0x10FFFF)
                    code = 0x110000;
            }
            if (j > start) {
                if (j < value.size() && value[j] == ';')
                    ++j;
                out += code < 0x80 && code > 0 ? char(code) : '?';
                i = j - 1;
                continue;
            }
            out += '&';
            continue;
        }
        bool matched = false;
        for (const auto& named : kNames) {
            std::string candidate;
            for (std::size_t k = j; k < value.size() && k - j < named.name.size(); ++k)
                candidate += lower(value[k]);
            if (candidate == named.name) {
                out += named.c;
                std::size_t end = j + named.name.size();
                if (end < value.size() && value[end] == ';')
                    ++end;
                i = end - 1;
                matched = true;
                break;
            }
        }
        if (!matched)
            out += '&';
    }
    return out;
}

// The scheme of an address as a URL parser finds it after dropping what it ignores ("" for none).
std::string schemeOf(const std::string& decoded)
{
    std::string_view v = decoded;
    while (!v.empty() && (unsigned char)v.front() <= 0x20)
        v.remove_prefix(1);
    std::string url;
    for (char c : v)
        if (c != '\t' && c != '\n' && c != '\r')
            url += c;
    if (url.empty() || !isAlpha(url[0]))
        return {};
    std::string scheme;
    for (char c : url) {
        if (c == ':')
            return scheme;
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
            return {};
        scheme += lower(c);
    }
    return {};
}

// Every '<' of the output opens or closes a tag the caption may keep, and every link's address is safe.
void checkMarkup(const std::string& html)
{
    constexpr std::string_view kTags[] = {"b>", "i>", "em>", "strong>", "span>", "a>", "br>"};
    for (std::size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
        std::string_view rest = std::string_view(html).substr(at + 1);
        if (rest.rfind("a href=\"", 0) == 0) {
            const std::size_t close = rest.find('"', 8);
            MARQUELO_FUZZ_CHECK(close != std::string_view::npos && close + 1 < rest.size() && rest[close + 1] == '>');
            const std::string_view value = rest.substr(8, close - 8);
            MARQUELO_FUZZ_CHECK(value.find_first_of("<>") == std::string_view::npos);
            const std::string scheme = schemeOf(browserDecoded(value));
            MARQUELO_FUZZ_CHECK(scheme.empty() || scheme == "http" || scheme == "https" || scheme == "mailto");
            continue;
        }
        if (!rest.empty() && rest[0] == '/')
            rest.remove_prefix(1);
        bool known = false;
        for (std::string_view tag : kTags)
            known = known || rest.rfind(tag, 0) == 0;
        MARQUELO_FUZZ_CHECK(known);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string caption(reinterpret_cast<const char*>(data), size);
    checkMarkup(marquelo::inlineCaptionHtml(caption));
    checkMarkup(marquelo::inlineCaptionHtml(caption, /*insideLink=*/true));
    // The alt text keeps no markup at all.
    MARQUELO_FUZZ_CHECK(marquelo::captionAttributeText(caption).find_first_of("<>\"") == std::string::npos);
    return 0;
}
