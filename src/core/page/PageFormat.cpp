#include "core/page/PageFormat.h"

#include "core/page/CaptionMarkup.h"
#include "core/tools/ToolTemplates.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace marquelo {

namespace {

void addLine(std::string& out, std::string_view text)
{
    out.append(text);
    out.append(kLineEnd);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A decimal number as the C library's atoi reads it (blanks, one sign, digits), saturating instead of
// overflowing so that a silly anchor cannot wrap the numbering around.
std::int64_t readNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), INT_MAX);
    return negative ? -value : value;
}

// A typed value as it may stand inside the page-information comment: "--" would end the comment (as
// "-->" or "--!>") and let the rest of the value into the page as markup, so runs of hyphens become one.
std::string commentSafe(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value)
        if (c != '-' || out.empty() || out.back() != '-')
            out += c;
    return out;
}

} // namespace

FragmentKind fragmentKindOf(Side side)
{
    switch (side) {
    case Side::Left: return FragmentKind::ImageLeft;
    case Side::Right: return FragmentKind::ImageRight;
    case Side::Center: break;
    }
    return FragmentKind::Center;
}

std::string subdirectoryForTitle(std::string_view title)
{
    std::string name = normalizeOutputName(title);
    std::erase(name, '.');
    return name;
}

std::string colourHex(ColourRef colour)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", colourRed(colour), colourGreen(colour), colourBlue(colour));
    return buffer;
}

ColourRef autoLinkColour(ColourRef textColour)
{
    return makeColour(colourRed(textColour) / 2, colourGreen(textColour) / 2, 255);
}

std::string formatPageDate(const QDate& date, const QLocale& locale)
{
    return locale.toString(date, QStringLiteral("MMMM d, yyyy")).toStdString();
}

std::string pageInfoText(const PageInfoValues& info, std::string_view promoName)
{
    std::string out;
    char date[32];
    std::snprintf(date, sizeof date, "%04d/%02d/%02d", info.date.year(), info.date.month(), info.date.day());
    addLine(out, "<!-- Quorvant page information");
    addLine(out, "TITLE");
    addLine(out, commentSafe(info.title));
    addLine(out, "DATE");
    addLine(out, date);
    addLine(out, "PROMOIMAGE");
    addLine(out, promoName);
    addLine(out, "CATEGORY");
    addLine(out, commentSafe(info.category));
    addLine(out, "COUNTRY");
    addLine(out, commentSafe(info.country));
    addLine(out, "LOCATION");
    addLine(out, commentSafe(info.location));
    addLine(out, "-->");
    addLine(out, "");
    return out;
}

std::string headerText(const PageHeader& header)
{
    std::string out;
    if (header.info)
        out += pageInfoText(*header.info, header.promoName);
    addLine(out, header.templateBegin1);
    addLine(out, "<META name=\"generator\" content=\"Marquelo v1." + std::to_string(kProgramVersion) + "\">");
    addLine(out, "<title>" + header.title + "</title>");
    addLine(out, "</head>\r\n");
    const std::string link = colourHex(header.linkColor);
    std::string body = "<body bgcolor=\"" + colourHex(header.bgColor) + "\" text=\"" + colourHex(header.textColor) +
                       "\" link=\"" + link + "\" vlink=\"" + link + "\" alink=\"" + link + "\"";
    if (!header.backgroundName.empty())
        body += " background=\"" + header.backgroundName + "\"";
    addLine(out, body + ">");
    addLine(out, header.templateBegin2);
    addLine(out, "<p align=\"center\"><font face=\"Georgia, Times New Roman, Times, serif\" size=\"+1\"><i>");
    addLine(out, "<font size=\"+3\">" + header.title + "</font>");
    addLine(out, "<br><font size=\"+1\">" + header.dateText + "</font>");
    return out;
}

std::string anchorText(std::int64_t number)
{
    std::string out;
    addLine(out, "\r\n<br><br><a name=" + std::to_string(number) + "></a>");
    return out;
}

std::string imageText(std::string_view imageTag, std::int64_t number, bool showNumber)
{
    std::string out(imageTag);
    if (showNumber)
        out += "<font size=-2>" + std::to_string(number) + "</font>";
    return out;
}

std::string pictureFragmentText(FragmentKind kind, std::string_view image, std::string_view caption)
{
    const std::string img(image);
    const std::string cap(caption);
    std::string out;
    switch (kind) {
    case FragmentKind::Center:
        addLine(out, "<br>" + img + "<br><br>");
        addLine(out, cap);
        break;
    case FragmentKind::ImageLeft:
        addLine(out,
                "<table width=\"100%\" border=\"0\"><tr>\r\n<td width=\"50%\"><p align=right>" + img + "</p></td>");
        addLine(out, "<td width=\"50%\"><blockquote><p><b><i>\r\n" + cap +
                         "\r\n</i></b></p></blockquote></td></tr></table>");
        break;
    case FragmentKind::ImageRight:
        addLine(out,
                "<table width=\"100%\" border=\"0\"><tr>\r\n<td width=\"50%\"><blockquote><p align=right><b><i>\r\n" +
                    cap + "\r\n</i></b></p></blockquote></td>");
        addLine(out, "<td width=\"50%\">" + img + "</td></tr></table>");
        break;
    }
    return out;
}

std::string movieFragmentText(PageLayout layout, std::string_view fileName, std::string_view caption,
                              std::uint64_t sizeInBytes)
{
    const std::uint32_t kilobytes = std::uint32_t(sizeInBytes & 0xffffffffu) / 1024;
    const std::string link = "<a href=\"" + std::string(fileName) + "\">\r\n" + std::string(caption) +
                             "\r\n<font size=0> (" + std::to_string(kilobytes) + " kB movie file)</font></a>";
    std::string out;
    if (layout == PageLayout::Center)
        addLine(out, "<br>" + link);
    else
        addLine(out, "<br><p align=center>" + link + "</p>");
    return out;
}

std::int64_t highestAnchor(std::string_view page)
{
    std::string joined;
    joined.reserve(page.size());
    for (std::size_t start = 0;;) {
        const std::size_t lf = page.find('\n', start);
        joined.append(page.substr(start, lf == std::string_view::npos ? std::string_view::npos : lf - start));
        if (lf == std::string_view::npos)
            break;
        start = lf + 1;
    }

    constexpr std::string_view kAnchor = "<a name=";
    std::int64_t highest = 1;
    for (std::size_t at = joined.find(kAnchor); at != std::string::npos; at = joined.find(kAnchor, at + 1))
        highest = std::max(highest, readNumber(std::string_view(joined).substr(at + kAnchor.size())));
    return highest;
}

std::string pageTitle(std::string_view page)
{
    constexpr std::string_view kOpen = "<title>";
    const std::size_t start = page.find(kOpen);
    if (start == std::string_view::npos)
        return {};
    const std::size_t from = start + kOpen.size();
    const std::size_t end = page.find("</title>", from);
    return std::string(page.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
}

std::string pageTitleText(std::string_view page)
{
    return decodeCharacterReferences(pageTitle(page));
}

int pagePhotoCount(std::string_view page)
{
    constexpr std::string_view kAnchor = "<a name=";
    int count = 0;
    for (std::size_t at = page.find(kAnchor); at != std::string_view::npos; at = page.find(kAnchor, at + 1))
        if (readNumber(page.substr(at + kAnchor.size())) >= 2)
            ++count;
    return count;
}

bool looksLikeHtmlPage(std::string_view content)
{
    if (content.find('\0') != std::string_view::npos)
        return false;
    std::string lowered(content);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    for (std::string_view tag : {"<html", "<!doctype html", "<body", "<title"})
        if (lowered.find(tag) != std::string::npos)
            return true;
    return false;
}

std::optional<std::string> withoutEnding(std::string_view page, std::string_view ending)
{
    if (ending.empty())
        return std::nullopt;
    std::string content;
    content.reserve(page.size() + page.size() / 16);
    std::size_t start = 0;
    while (start < page.size()) {
        std::size_t end = page.find('\n', start);
        std::string_view line =
            page.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (end != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        addLine(content, line);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }

    const std::size_t first = content.find(ending);
    if (first == std::string::npos || content.find(ending, first + ending.size()) != std::string::npos)
        return std::nullopt;
    content.erase(first, ending.size());
    return content;
}

} // namespace marquelo
