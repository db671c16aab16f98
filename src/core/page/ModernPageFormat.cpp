#include "core/page/ModernPageFormat.h"

#include "core/page/CaptionMarkup.h"

#include <algorithm>
#include <climits>

namespace marquelo {

namespace {

void addLine(std::string& out, std::string_view text)
{
    out.append(text);
    out.append(kLineEnd);
}

// The layouts' rules: one column on a narrow screen, image and caption side by side from 40em. All
// four layouts are in every page, since later additions follow whatever layout is set then.
constexpr std::string_view kLayoutRules[] = {
    "header{text-align:center;font-style:italic;margin:1.5em 0 2.5em}",
    "h1{font-size:2.5em;font-weight:normal;line-height:1.2;margin:0}",
    "header p{font-size:1.25em;margin:.25em 0}",
    "figure{margin:0 0 3em;display:flex;flex-direction:column;align-items:center;gap:1em}",
    "figure>a{max-width:100%}",
    "figure img{display:block;max-width:100%;height:auto}",
    "figcaption{max-width:40em}",
    ".left figcaption,.right figcaption{font-weight:bold;font-style:italic}",
    ".number{font-size:.75em;margin-right:.5em}",
    "@media (min-width:40em){",
    ".left,.right{flex-direction:row;gap:2em}",
    ".right{flex-direction:row-reverse}",
    ".left>a,.right>a,.left figcaption,.right figcaption{flex:1 1 50%;min-width:0}",
    ".left>a{display:flex;justify-content:flex-end}",
    ".right figcaption{text-align:right}",
    "}",
};

std::string number(std::int64_t n)
{
    return std::to_string(n);
}

std::string dimension(int value)
{
    return std::to_string(value);
}

int longSide(TargetSize s)
{
    return std::max(s.width, s.height);
}

// The crop scaled so that its long side is `side` (never more than the crop), the short side keeping
// the aspect truncated, as the page size is worked out.
TargetSize scaledCrop(int cropWidth, int cropHeight, int side)
{
    const long long w = cropWidth, h = cropHeight;
    const long long l = std::min<long long>(side, std::max(w, h));
    if (h <= w)
        return {int(l), int(h * l / w)};
    return {int(w * l / h), int(l)};
}

} // namespace

PageStyle pageStyleOf(std::string_view page)
{
    return page.find(kModernGeneratorPrefix) != std::string_view::npos ? PageStyle::Modern : PageStyle::Classic;
}

std::string modernHeaderText(const PageHeader& header, std::string_view language)
{
    std::string out;
    if (header.info)
        out += pageInfoText(*header.info, header.promoName);

    const std::string titleText = captionAttributeText(header.title);
    const std::string dateText = captionAttributeText(header.dateText);
    std::string description = titleText;
    if (!dateText.empty())
        description += (description.empty() ? "" : ", ") + dateText;

    addLine(out, "<!DOCTYPE html>");
    addLine(out, "<html lang=\"" + std::string(language) + "\">");
    addLine(out, "<head>");
    addLine(out, "<meta charset=\"utf-8\">");
    addLine(out, "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">");
    addLine(out, std::string(kModernGeneratorPrefix) + std::to_string(kProgramVersion) + "\">");
    // A page needs a title; without one the date stands in, and without that the program's name.
    addLine(out, "<title>" +
                     (!titleText.empty()  ? titleText
                      : !dateText.empty() ? dateText
                                          : std::string(kAppName)) +
                     "</title>");
    if (!description.empty())
        addLine(out, "<meta name=\"description\" content=\"" + description + "\">");
    // No favicon request, so a page served from a plain folder logs no missing file.
    addLine(out, "<link rel=\"icon\" href=\"data:,\">");
    addLine(out, "<style>");
    std::string body = "body{margin:0 auto;max-width:80em;padding:0 1em;overflow-wrap:anywhere;"
                       "font:1.125em/1.5 Georgia,\"Times New Roman\",Times,serif;color:" +
                       colourHex(header.textColor) + ";background:" + colourHex(header.bgColor);
    if (!header.backgroundName.empty())
        body += " url(\"" + header.backgroundName + "\")";
    addLine(out, body + "}");
    addLine(out, "a{color:" + colourHex(header.linkColor) + "}");
    for (std::string_view rule : kLayoutRules)
        addLine(out, rule);
    addLine(out, "</style>");
    addLine(out, "</head>");
    addLine(out, "<body>");
    if (!header.templateBegin2.empty())
        addLine(out, header.templateBegin2);
    addLine(out, "<header>");
    const std::string title = inlineCaptionHtml(header.title);
    if (!title.empty())
        addLine(out, "<h1>" + title + "</h1>");
    const std::string date = inlineCaptionHtml(header.dateText);
    if (!date.empty())
        addLine(out, "<p>" + date + "</p>");
    if (header.info && !header.info->location.empty())
        addLine(out, "<p>" + inlineCaptionHtml(header.info->location) + "</p>");
    addLine(out, "</header>");
    addLine(out, "<main>");
    return out;
}

int largeCopyLongSide(int cropLongSide)
{
    if (cropLongSide <= kLargeCopyLongSide)
        return cropLongSide;
    for (const int eighths : {4, 3, 2, 1}) {
        const long long side = (long long)cropLongSide * eighths / 8;
        if (side <= kLargeCopyLongSide)
            return int(side);
    }
    return kLargeCopyLongSide; // beyond eight times the limit: resampled down to it
}

ModernCopySizes modernCopySizes(TargetSize page, int cropWidth, int cropHeight)
{
    ModernCopySizes sizes{page, {}, {}};
    if (cropWidth <= 0 || cropHeight <= 0)
        return sizes;
    const long long doubled = std::min<long long>(2LL * longSide(page), INT_MAX);
    const TargetSize twice = scaledCrop(cropWidth, cropHeight, int(doubled));
    if (longSide(twice) > longSide(page))
        sizes.twice = twice;
    const TargetSize large = scaledCrop(cropWidth, cropHeight, largeCopyLongSide(std::max(cropWidth, cropHeight)));
    if (longSide(large) > std::max(longSide(page), longSide(sizes.twice)))
        sizes.large = large;
    return sizes;
}

std::string copyNameWithSuffix(std::string_view name, std::string_view suffix)
{
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        dot = name.size();
    return std::string(name.substr(0, dot)) + std::string(suffix) + std::string(name.substr(dot));
}

std::string modernPictureFragmentText(const ModernFigure& f)
{
    static constexpr std::string_view kClasses[] = {"center", "left", "right"};
    std::string alt = captionAttributeText(f.caption);
    // The image is the link's only content, so its text must never be empty.
    if (alt.empty())
        alt = "Photo " + number(f.number);

    std::string img = "<img src=\"" + f.src + "\"";
    if (!f.twiceSrc.empty())
        img += " srcset=\"" + f.src + " 1x, " + f.twiceSrc + " 2x\"";
    img += " width=\"" + dimension(f.size.width) + "\" height=\"" + dimension(f.size.height) + "\" alt=\"" + alt + "\"";
    img += f.first ? " fetchpriority=\"high\" decoding=\"async\">" : " loading=\"lazy\" decoding=\"async\">";

    std::string caption = inlineCaptionHtml(f.caption);
    if (f.showNumber)
        caption = "<span class=\"number\">" + number(f.number) + "</span>" + caption;

    std::string out;
    addLine(out, "");
    addLine(out, "<figure id=\"" + number(f.number) + "\" class=\"" +
                     std::string(kClasses[std::clamp(int(f.kind), 0, 2)]) + "\">");
    addLine(out, "<a href=\"" + (f.largeSrc.empty() ? f.src : f.largeSrc) + "\">" + img + "</a>");
    addLine(out, "<figcaption>" + caption + "</figcaption>");
    addLine(out, "</figure>");
    return out;
}

std::string modernMovieFragmentText(std::int64_t n, std::string_view fileName, std::string_view caption,
                                    std::uint64_t sizeInBytes)
{
    const std::uint32_t kilobytes = std::uint32_t(sizeInBytes & 0xffffffffu) / 1024;
    std::string text = inlineCaptionHtml(caption, /*insideLink=*/true);
    text += std::string(text.empty() ? "" : " ") + "<small>(" + std::to_string(kilobytes) + " kB movie file)</small>";
    std::string out;
    addLine(out, "");
    addLine(out, "<figure id=\"" + number(n) + "\" class=\"movie\">");
    addLine(out, "<a href=\"" + std::string(fileName) + "\">" + text + "</a>");
    addLine(out, "</figure>");
    return out;
}

std::int64_t highestFigureNumber(std::string_view page)
{
    constexpr std::string_view kFigure = "<figure id=\"";
    std::int64_t highest = 1;
    for (std::size_t at = page.find(kFigure); at != std::string_view::npos; at = page.find(kFigure, at + 1)) {
        std::int64_t value = 0;
        for (std::size_t i = at + kFigure.size(); i < page.size() && page[i] >= '0' && page[i] <= '9'; ++i)
            value = std::min<std::int64_t>(value * 10 + (page[i] - '0'), INT_MAX);
        highest = std::max(highest, value);
    }
    return highest;
}

int pageImageCount(std::string_view page)
{
    if (pageStyleOf(page) != PageStyle::Modern)
        return pagePhotoCount(page);
    constexpr std::string_view kFigure = "<figure id=\"";
    int count = 0;
    for (std::size_t at = page.find(kFigure); at != std::string_view::npos; at = page.find(kFigure, at + 1))
        ++count;
    return count;
}

std::int64_t nextImageNumberOf(std::string_view page)
{
    return (pageStyleOf(page) == PageStyle::Modern ? highestFigureNumber(page) : highestAnchor(page)) + 1;
}

} // namespace marquelo
