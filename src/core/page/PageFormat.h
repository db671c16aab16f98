#pragma once
// The page file format as text: the header, the image and movie fragments, the anchors that number the
// images and the ending. Pure functions over strings, so every byte a page can hold is decided here and
// nowhere else; PageSession only adds the files and the user around them.

#include "core/settings/AppConfig.h"

#include <QDate>
#include <QLocale>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace marquelo {

// Every line of a page ends with these two bytes, whatever the platform.
inline constexpr std::string_view kLineEnd = "\r\n";

// The layouts a page can have (PageLayoutStyle).
enum class PageLayout : int { Center = 0, Left = 1, Right = 2, LeftRight = 3 };

// How one image sits on the page.
enum class FragmentKind : int { Center = 0, ImageLeft = 1, ImageRight = 2 };

// The alignment a user can pick for one image; each gives the fragment kind of the same name.
enum class Side : int { Left = 0, Center = 1, Right = 2 };

FragmentKind fragmentKindOf(Side side);

// What the page-information comment records (only written when PageInfo is on).
struct PageInfoValues {
    std::string title;
    QDate date;
    std::string category;
    std::string country;
    std::string location;
};

// What the header needs; colours are those of the page properties.
struct PageHeader {
    std::optional<PageInfoValues> info; // with the comment when set
    std::string promoName;              // safe name of the image that opens the page
    std::string templateBegin1;
    std::string templateBegin2;
    std::string title;
    std::string dateText; // the free text, or the picker's date formatted by formatPageDate
    ColourRef bgColor = 0;
    ColourRef textColor = 0;
    ColourRef linkColor = 0;
    std::string backgroundName; // file name of the background copy beside the page; empty: none
    std::string address;        // Modern only: where the page will be read on the web; empty: unknown
};

// The folder name a title suggests: its safe output name with every "." removed.
std::string subdirectoryForTitle(std::string_view title);

// "#rrggbb" in lower-case hex from a stored 0x00BBGGRR colour.
std::string colourHex(ColourRef colour);

// The link colour derived from the text colour: red and green halved, blue full.
ColourRef autoLinkColour(ColourRef textColour);

// "MMMM d, yyyy" in the given locale (the system locale in the program).
std::string formatPageDate(const QDate& date, const QLocale& locale);

// The page-information comment and the empty line after it, as every page style opens with it.
std::string pageInfoText(const PageInfoValues& info, std::string_view promoName);

// The header lines of a new page, each ending with CR LF, exactly as they go into the file.
std::string headerText(const PageHeader& header);

// The empty line and the numbered anchor that open every fragment.
std::string anchorText(std::int64_t number);

// The tag of an image followed by its visible number ("<font size=-2>N</font>") when that is shown.
std::string imageText(std::string_view imageTag, std::int64_t number, bool showNumber);

// The lines that place an image and its caption.
std::string pictureFragmentText(FragmentKind kind, std::string_view imageText, std::string_view caption);

// The link that stands in for a movie (or any file that is not a photo); sizeInBytes uses its low 32 bits.
std::string movieFragmentText(PageLayout layout, std::string_view fileName, std::string_view caption,
                              std::uint64_t sizeInBytes);

// The highest number read after every "<a name=" of a page, at least 1; the next image takes one more.
// Line feeds are dropped before the search, so an anchor broken over lines still counts.
std::int64_t highestAnchor(std::string_view page);

// The page's title, the text of its first <title> element ("" when it has none).
std::string pageTitle(std::string_view page);
// The same title as the reader sees it: its character references decoded ("Lisbon &amp; Porto" is
// "Lisbon & Porto").
std::string pageTitleText(std::string_view page);
// How many photos and movies the page holds: the anchors written for them (numbered 2 and up).
int pagePhotoCount(std::string_view page);

// True when `content` is an HTML page that additions can continue: text (no NUL byte) with an html,
// body, title or doctype tag in it. A photo or any other file chosen by mistake is not.
bool looksLikeHtmlPage(std::string_view content);

// The page rebuilt line by line with CR LF ends (LF-only and CR LF input alike) and the one occurrence of
// `ending` cut out. nullopt when the ending is empty or does not occur exactly once.
std::optional<std::string> withoutEnding(std::string_view page, std::string_view ending);

} // namespace marquelo
