#pragma once
// The limits the preferences pages enforce each time they read their fields, with the standard messages
// that refuse an entry. Texts are UTF-8; lengths count characters, not bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace marquelo {

// The whole text, spaces and tabs around it aside, as one decimal integer with an optional sign; nothing
// for the empty text, junk or a number out of 64-bit range.
std::optional<std::int64_t> parseWhole(std::string_view text);

// Most path and template fields; the multi-line page templates allow more, the image tag less.
inline constexpr int kPathFieldMaxChars = 258;
inline constexpr int kTemplateFieldMaxChars = 25000;
inline constexpr int kImageTagMaxChars = 150;
inline constexpr std::int32_t kMinImageSize = 1;
inline constexpr std::int32_t kMaxImageSize = 100000;
inline constexpr std::int32_t kMaxCacheDepth = 4;

inline constexpr std::string_view kPositiveIntegerMessage = "Please enter a positive integer.";

// "Please enter no more than %1 characters." filled in.
std::string tooManyCharactersMessage(int maxChars);
// "Please enter an integer between %1 and %2." filled in.
std::string integerRangeMessage(std::int32_t low, std::int32_t high);
// "Please enter a cache depth between 1 and %d" filled in with kMaxCacheDepth.
std::string cacheDepthMessage();

// Number of characters (code points) of a UTF-8 text.
std::size_t characterCount(std::string_view utf8);

// An integer between low and high inclusive, spaces around it allowed; nothing for any other text.
std::optional<std::int32_t> parseIntegerInRange(std::string_view text, std::int32_t low, std::int32_t high);

// A non-negative integer that fits a setting's 32-bit number; nothing for any other text, the empty one included.
std::optional<std::int32_t> parseNonNegativeInteger(std::string_view text);

// Multi-line fields show lines separated by '\n'; the settings keep CR LF between lines.
std::string toShownLineBreaks(std::string_view stored);

} // namespace marquelo
