#include "core/settings/PreferencesFieldLimits.h"

#include <charconv>
#include <limits>

namespace marquelo {

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<std::int64_t> parseWhole(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string tooManyCharactersMessage(int maxChars)
{
    return "Please enter no more than " + std::to_string(maxChars) + " characters.";
}

std::string integerRangeMessage(std::int32_t low, std::int32_t high)
{
    return "Please enter an integer between " + std::to_string(low) + " and " + std::to_string(high) + ".";
}

std::string cacheDepthMessage()
{
    return "Please enter a cache depth between 1 and " + std::to_string(kMaxCacheDepth);
}

std::size_t characterCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

std::optional<std::int32_t> parseIntegerInRange(std::string_view text, std::int32_t low, std::int32_t high)
{
    const auto value = parseWhole(text);
    if (!value || *value < low || *value > high)
        return std::nullopt;
    return std::int32_t(*value);
}

std::optional<std::int32_t> parseNonNegativeInteger(std::string_view text)
{
    const std::string_view t = trimmed(text);
    if (!t.empty() && t.front() == '-')
        return std::nullopt;
    return parseIntegerInRange(t, 0, std::numeric_limits<std::int32_t>::max());
}

std::string toShownLineBreaks(std::string_view stored)
{
    std::string shown;
    shown.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\r') {
            shown += '\n';
            if (i + 1 < stored.size() && stored[i + 1] == '\n')
                ++i;
        } else {
            shown += stored[i];
        }
    }
    return shown;
}

} // namespace marquelo
