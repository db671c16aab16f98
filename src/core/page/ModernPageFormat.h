#pragma once
// The Modern page style as text: an HTML5 page that fits any screen, with each photo a figure whose
// image comes in two densities and links to a large copy. Like PageFormat, pure functions only; the
// page-information comment and the CR LF lines are the same as on a Classic page.

#include "core/page/PageFormat.h"
#include "core/tools/ToolTemplates.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marquelo {

enum class PageStyle : int { Classic = 0, Modern = 1 };

// Every Modern page names its generator in a lower-case meta element, which no Classic page writes
// (its generator line is upper case); that line is how a page tells which style it was made in.
inline constexpr std::string_view kModernGeneratorPrefix = "<meta name=\"generator\" content=\"Marquelo v1.";

// The ending of a Modern page; close appends it as one line, reopening cuts it out again.
inline constexpr std::string_view kModernEnding = "</main>\r\n</body>\r\n</html>";

// The long side of the large copy a Modern photo links to, at most.
inline constexpr int kLargeCopyLongSide = 2560;

// The long side of the large copy of a crop whose long side is `cropLongSide`: the crop itself up to
// kLargeCopyLongSide, and above it the largest of a half, three eighths, a quarter and an eighth of it
// that fits. A JPEG decoder scales by these in the inverse DCT for less than a full decode costs, so the
// large copy comes straight out of the decode without a resampling pass over the whole photo. (Five to
// seven eighths would come closer to the limit, but the decoder has no fast path for them: they cost more
// than decoding the full size.) The copy then has a long side between half the limit and the limit.
int largeCopyLongSide(int cropLongSide);

// The style a page was made in, read from the page itself.
PageStyle pageStyleOf(std::string_view page);

// True when the page keeps the colours it is offered (black, cyan, the derived link colour, no background
// picture): the user chose none, so the page follows the reader's light or dark preference instead.
bool usesDefaultColours(const PageHeader& header);

// The address of a page named `fileName` in `subdirectory` of the folder published as `baseUrl`: each
// name percent-encoded, and "index.html" left out (a server gives it for the folder).
std::string pageAddress(std::string_view baseUrl, std::string_view subdirectory, std::string_view fileName);

// The header of a new Modern page. `language` is the BCP 47 tag of the html element. With an address,
// the page names its title, type and address for link previews; the picture follows with the first photo.
std::string modernHeaderText(const PageHeader& header, std::string_view language);

// The sizes of one photo's copies, all from the same crop: the page's own size, twice that (for 2x
// screens), three times that (for 3x phones) and the large copy behind the click. None is larger than
// the crop; a copy that would not be larger than the one below it is not made (its width is 0), the link
// then goes to the largest made. A 3x copy is made only when the crop has three times the page size in
// full (a smaller one would be an upscaled 2x copy by another name) and the large copy is smaller than
// that; a large copy of 3x or more is the 3x screens' choice itself.
struct ModernCopySizes {
    TargetSize page;
    TargetSize twice;
    TargetSize thrice;
    TargetSize large;
};
ModernCopySizes modernCopySizes(TargetSize page, int cropWidth, int cropHeight);

// The density a copy has for a page size, as srcset writes it, truncated to hundredths: "3x", "3.9x".
std::string densityText(TargetSize copy, TargetSize page);

// The copy name beside `name` with `suffix` before its extension: ("a.jpg", "@2x") gives "a@2x.jpg".
std::string copyNameWithSuffix(std::string_view name, std::string_view suffix);

// What one figure shows.
struct ModernFigure {
    std::int64_t number = 0;
    FragmentKind kind = FragmentKind::Center;
    std::string src; // the page-size copy
    TargetSize size;
    std::string twiceSrc;  // empty: no 2x copy
    std::string thriceSrc; // empty: none for 3x screens (the 3x copy, or the large copy when it has 3x)
    std::string thriceDensity = "3x";
    std::string largeSrc; // the copy the image links to
    std::string caption;  // as typed
    bool first = false;   // the page's first photo loads at once, the others when scrolled near
    bool showNumber = false;
    std::vector<std::string> details; // camera, lens, exposure, ... as read from the photo; shown as plain text
};

// Text from a photo's metadata made safe for a page: markup shown as text, control characters dropped,
// invalid UTF-8 replaced, at most `maxChars` characters.
std::string plainHtmlText(std::string_view text, int maxChars = 200);

// The page as it is with the link-preview picture added to its head: the absolute address of `name`
// beside the page, its size, the caption as the description and the large-picture card. nullopt when the
// page has no address of its own (made without one) or names a picture already.
struct SharePicture {
    std::string name;
    TargetSize size;
    std::string caption;
};
std::optional<std::string> withSharePicture(std::string_view page, const SharePicture& picture);

// The empty line and the figure of one photo, numbered like a Classic anchor.
std::string modernPictureFragmentText(const ModernFigure& figure);

// The figure of a movie (or any other file): a link to it with the caption and its size in kB.
std::string modernMovieFragmentText(std::int64_t number, std::string_view fileName, std::string_view caption,
                                    std::uint64_t sizeInBytes);

// The highest figure number of a Modern page, at least 1; the next photo takes one more.
std::int64_t highestFigureNumber(std::string_view page);

// How many photos and movies a page of either style holds: its figures, or its numbered anchors.
int pageImageCount(std::string_view page);

// The number of the next image of a page of either style: its highest anchor or figure number plus one.
std::int64_t nextImageNumberOf(std::string_view page);

} // namespace marquelo
