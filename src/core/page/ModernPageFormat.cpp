#include "core/page/ModernPageFormat.h"

#include "core/page/CaptionMarkup.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

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
    ".details{display:block;font-size:.875em;font-style:normal;font-weight:normal}",
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

// The colours a page with the offered ones shows a reader who prefers light pages; the offered
// colours themselves are the dark scheme. Both well above the contrast readers need.
constexpr std::string_view kLightText = "#1a1a1a";
constexpr std::string_view kLightBackground = "#ffffff";
constexpr std::string_view kLightLink = "#0645ad";

constexpr std::string_view kOgUrl = "<meta property=\"og:url\" content=\"";

// One name of an address, percent-encoded (all but letters, digits, -._~ and the @ of "a@2x.jpg").
std::string encodedName(std::string_view name)
{
    return QUrl::toPercentEncoding(QString::fromUtf8(name.data(), qsizetype(name.size())), "@").toStdString();
}

// An address in an attribute: the quote and the ampersand, the only characters that could end or
// change it there.
std::string attributeAddress(std::string_view address)
{
    std::string out;
    for (char c : address) {
        if (c == '&')
            out += "&amp;";
        else if (c == '"')
            out += "%22";
        else
            out += c;
    }
    return out;
}

} // namespace

bool usesDefaultColours(const PageHeader& header)
{
    const AppConfig offered;
    return header.bgColor == offered.PageBgColor && header.textColor == offered.PageTextColor &&
           header.linkColor == autoLinkColour(offered.PageTextColor) && header.backgroundName.empty();
}

std::string pageAddress(std::string_view baseUrl, std::string_view subdirectory, std::string_view fileName)
{
    std::string address(baseUrl);
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    address += '/';
    for (std::size_t at = 0; at < subdirectory.size();) {
        std::size_t slash = subdirectory.find('/', at);
        if (slash == std::string_view::npos)
            slash = subdirectory.size();
        if (slash > at)
            address += encodedName(subdirectory.substr(at, slash - at)) + "/";
        at = slash + 1;
    }
    if (fileName != "index.html")
        address += encodedName(fileName);
    return address;
}

std::string plainHtmlText(std::string_view text, int maxChars)
{
    // Invalid UTF-8 becomes U+FFFD here; controls and runs of blanks become one space.
    const QString decoded = QString::fromUtf8(text.data(), qsizetype(text.size()));
    QString clean;
    int count = 0;
    bool blank = false;
    for (const char32_t c : decoded.toUcs4()) {
        const bool control = c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0x2028 || c == 0x2029;
        if (control || c == ' ') {
            blank = !clean.isEmpty();
            continue;
        }
        if (count + (blank ? 2 : 1) > maxChars)
            break;
        if (blank) {
            clean += u' ';
            ++count;
            blank = false;
        }
        clean += QString::fromUcs4(&c, 1);
        ++count;
    }
    return clean.toHtmlEscaped().replace(u'\'', QLatin1String("&#39;")).toStdString();
}

std::optional<std::string> withSharePicture(std::string_view page, const SharePicture& picture)
{
    const std::size_t headEnd = page.find("</head>");
    if (headEnd == std::string_view::npos)
        return std::nullopt;
    const std::string_view head = page.substr(0, headEnd);
    const std::size_t urlAt = head.find(kOgUrl);
    if (urlAt == std::string_view::npos || head.find("<meta property=\"og:image\"") != std::string_view::npos)
        return std::nullopt;
    const std::size_t valueAt = urlAt + kOgUrl.size();
    const std::size_t valueEnd = head.find('"', valueAt);
    const std::string_view url = head.substr(valueAt, valueEnd == std::string_view::npos ? 0 : valueEnd - valueAt);
    const std::size_t slash = url.rfind('/');
    if (slash == std::string_view::npos)
        return std::nullopt;

    std::string tags;
    addLine(tags, "<meta property=\"og:image\" content=\"" + std::string(url.substr(0, slash + 1)) +
                      encodedName(picture.name) + "\">");
    addLine(tags, "<meta property=\"og:image:width\" content=\"" + dimension(picture.size.width) + "\">");
    addLine(tags, "<meta property=\"og:image:height\" content=\"" + dimension(picture.size.height) + "\">");
    const std::string description = captionAttributeText(picture.caption);
    if (!description.empty())
        addLine(tags, "<meta property=\"og:description\" content=\"" + description + "\">");
    addLine(tags, "<meta name=\"twitter:card\" content=\"summary_large_image\">");
    std::string out(page.substr(0, headEnd));
    out += tags;
    out.append(page.substr(headEnd));
    return out;
}

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
    const std::string pageTitle = !titleText.empty() ? titleText : !dateText.empty() ? dateText : std::string(kAppName);
    addLine(out, "<title>" + pageTitle + "</title>");
    if (!description.empty())
        addLine(out, "<meta name=\"description\" content=\"" + description + "\">");
    if (!header.address.empty()) {
        addLine(out, "<meta property=\"og:type\" content=\"website\">");
        addLine(out, "<meta property=\"og:title\" content=\"" + pageTitle + "\">");
        addLine(out, std::string(kOgUrl) + attributeAddress(header.address) + "\">");
    }
    const bool followReader = usesDefaultColours(header);
    if (followReader)
        addLine(out, "<meta name=\"color-scheme\" content=\"light dark\">");
    // No favicon request, so a page served from a plain folder logs no missing file.
    addLine(out, "<link rel=\"icon\" href=\"data:,\">");
    addLine(out, "<style>");
    std::string body = "body{margin:0 auto;max-width:80em;padding:0 1em;overflow-wrap:anywhere;"
                       "font:1.125em/1.5 Georgia,\"Times New Roman\",Times,serif;color:" +
                       (followReader ? std::string(kLightText) : colourHex(header.textColor)) +
                       ";background:" + (followReader ? std::string(kLightBackground) : colourHex(header.bgColor));
    if (!header.backgroundName.empty())
        body += " url(\"" + header.backgroundName + "\")";
    addLine(out, body + "}");
    addLine(out, "a{color:" + (followReader ? std::string(kLightLink) : colourHex(header.linkColor)) + "}");
    if (followReader) {
        addLine(out, "@media (prefers-color-scheme:dark){");
        addLine(out, "body{color:" + colourHex(header.textColor) + ";background:" + colourHex(header.bgColor) + "}");
        addLine(out, "a{color:" + colourHex(header.linkColor) + "}");
        addLine(out, "}");
    }
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
    ModernCopySizes sizes{page, {}, {}, {}};
    if (cropWidth <= 0 || cropHeight <= 0)
        return sizes;
    const long long doubled = std::min<long long>(2LL * longSide(page), INT_MAX);
    const TargetSize twice = scaledCrop(cropWidth, cropHeight, int(doubled));
    if (longSide(twice) > longSide(page))
        sizes.twice = twice;
    const TargetSize large = scaledCrop(cropWidth, cropHeight, largeCopyLongSide(std::max(cropWidth, cropHeight)));
    // A large copy of three times the page or more serves 3x screens itself: a copy of its own would cost
    // another resampling and encoding per photo for little less to download.
    const long long tripled = std::min<long long>(3LL * longSide(page), INT_MAX);
    if (std::max(cropWidth, cropHeight) >= tripled && tripled > longSide(sizes.twice) && longSide(large) < tripled)
        sizes.thrice = scaledCrop(cropWidth, cropHeight, int(tripled));
    if (longSide(large) > std::max({longSide(page), longSide(sizes.twice), longSide(sizes.thrice)}))
        sizes.large = large;
    return sizes;
}

std::string densityText(TargetSize copy, TargetSize page)
{
    const long long hundredths = longSide(page) > 0 ? 100LL * longSide(copy) / longSide(page) : 0;
    std::string text = std::to_string(hundredths / 100);
    if (const long long rest = hundredths % 100; rest != 0)
        text += "." + std::string(rest < 10 ? "0" : "") + std::to_string(rest % 10 == 0 ? rest / 10 : rest);
    return text + "x";
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
        img += " srcset=\"" + f.src + " 1x, " + f.twiceSrc + " 2x" +
               (f.thriceSrc.empty() ? "" : ", " + f.thriceSrc + " " + f.thriceDensity) + "\"";
    img += " width=\"" + dimension(f.size.width) + "\" height=\"" + dimension(f.size.height) + "\" alt=\"" + alt + "\"";
    img += f.first ? " fetchpriority=\"high\" decoding=\"async\">" : " loading=\"lazy\" decoding=\"async\">";

    std::string caption = inlineCaptionHtml(f.caption);
    if (f.showNumber)
        caption = "<span class=\"number\">" + number(f.number) + "</span>" + caption;
    // Read from the photo, so never trusted as markup; the place it was taken is never among them.
    std::string details;
    for (const std::string& part : f.details) {
        const std::string text = plainHtmlText(part, 100);
        if (!text.empty())
            details += (details.empty() ? "" : " \xc2\xb7 ") + text;
    }
    if (!details.empty())
        caption += "<span class=\"details\">" + details + "</span>";

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
