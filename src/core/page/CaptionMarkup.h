#pragma once
// Captions are HTML the user typed: on a Modern page the markup takes effect, but no caption may break
// the page around it. These functions reduce a caption to the inline markup that is safe anywhere inside
// a paragraph, and to the plain text an alt attribute needs.

#include <string>
#include <string_view>

namespace marquelo {

// The caption with b, i, em, strong, span, br and a (with its href only) kept, every other tag shown as
// text, stray closing tags dropped and tags still open at the end closed there. Character references
// that are not valid become text ("&amp;"), control characters are dropped. With `insideLink` the
// caption will sit inside a link of its own, so its links keep only their text.
std::string inlineCaptionHtml(std::string_view caption, bool insideLink = false);

// The caption as text for an attribute value: tags removed (a line break becomes a blank), blanks
// collapsed, quotes, angle brackets and stray ampersands escaped; valid character references stay.
std::string captionAttributeText(std::string_view caption);

// The text a browser shows for `html` as far as character references go: numeric references (with or
// without their semicolon) and the named ones a caption may hold become the characters they stand for,
// in UTF-8; a number that is no character becomes U+FFFD; everything else stays as it is.
std::string decodeCharacterReferences(std::string_view html);

// Plain text (a photo's own description) as a caption that shows exactly that text: every ampersand,
// angle bracket and quote escaped, so nothing in it is read as markup or a character reference.
std::string plainTextCaption(std::string_view text);

// What a reader sees of a caption, as plain text for another program (a sidecar's description): tags
// removed, blanks collapsed, character references decoded.
std::string captionPlainText(std::string_view caption);

} // namespace marquelo
