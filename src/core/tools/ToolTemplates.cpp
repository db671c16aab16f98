#include "core/tools/ToolTemplates.h"

#include "core/settings/UsableNumbers.h"
#include "core/tools/Launcher.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/PictureFormats.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace marquelo {

namespace {

int g_imageSizeChoice = kSizeSmall; // user-interface thread only

int clampToInt(std::int64_t v)
{
    return int(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

int imageSizeChoice()
{
    return g_imageSizeChoice;
}

void setImageSizeChoice(int choice)
{
    g_imageSizeChoice = choice;
}

TargetSize targetSize(const Rect& source, const Rect& destination, int sizeChoice, const AppConfig& config)
{
    // 64-bit intermediates: a huge picture must not wrap around into a negative size.
    const std::int64_t w = std::int64_t(source.right) - source.left + 1;
    const std::int64_t h = std::int64_t(source.bottom) - source.top + 1;
    if (w <= 0 || h <= 0)
        return {};
    const std::int64_t longest = std::max(w, h);
    std::int64_t l = 0;
    switch (sizeChoice) {
    case kSizeSmall: l = std::min<std::int64_t>(usableSizeSmall(config), longest); break;
    case kSizeLarge: l = std::min<std::int64_t>(usableSizeLarge(config), longest); break;
    case kSizeUncompressed: l = longest; break;
    case kSizeCurrent:
        l = std::max(std::int64_t(destination.right) - destination.left + 1,
                     std::int64_t(destination.bottom) - destination.top + 1);
        break;
    default: l = std::min<std::int64_t>(usableSizeMedium(config), longest); break;
    }
    // A sliver of a picture still gets one pixel across: a side of 0 would hide it on the page.
    if (h <= w)
        return {clampToInt(l), clampToInt(std::max<std::int64_t>(1, h * l / w))};
    return {clampToInt(std::max<std::int64_t>(1, w * l / h)), clampToInt(l)};
}

std::string cropText(const Rect& source)
{
    return std::to_string(source.left) + "," + std::to_string(source.top) + "," + std::to_string(source.width()) + "," +
           std::to_string(source.height());
}

std::string expandToolArguments(std::string_view tmpl, const ExpansionInput& input)
{
    // One pass over the template: what a placeholder inserts is never read again, so a photo named
    // "p%5.jpg" stays that photo instead of naming "p0,0,427,640.jpg".
    std::string text;
    text.reserve(tmpl.size() + 256);
    for (std::size_t i = 0; i < tmpl.size(); ++i) {
        const char next = i + 1 < tmpl.size() ? tmpl[i + 1] : '\0';
        if (tmpl[i] != '%' || next < '1' || next > '7') {
            text.push_back(tmpl[i]);
            continue;
        }
        ++i;
        switch (next) {
        case '1': text += input.imageDirectory; break;
        case '2': text += input.shownName; break;
        case '3': text += input.outputDirectory; break;
        case '4': text += input.outputName.empty() ? outputCopyName(input.shownName) : input.outputName; break;
        case '5': text += cropText(input.source); break;
        case '6': text += std::to_string(input.size.height); break;
        default: text += std::to_string(input.size.width); break;
        }
    }
    return text;
}

std::vector<std::string> expandToolArgumentList(std::string_view tmpl, const ExpansionInput& input)
{
    std::vector<std::string> arguments = splitCommandLine(tmpl);
    for (std::string& argument : arguments)
        argument = expandToolArguments(argument, input);
    return arguments;
}

std::string normalizeOutputName(std::string_view name)
{
    const QString lower = QString::fromUtf8(name.data(), qsizetype(name.size())).toLower();
    std::string out;
    for (const uint c : lower.toUcs4()) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '@' || c == '+' || c == '=' ||
            c == '.' || c == '-')
            out.push_back(char(c));
        else if (c == ' ')
            out.push_back('_');
        else if (c == 0xE4 || c == 0xE5)
            out.push_back('a');
        else if (c == 0xF6)
            out.push_back('o');
        else if (c == 0xFC || c == 0xB5)
            out.push_back('u');
    }
    return shortenOutputName(out, kOutputNameLimit);
}

std::string shortenOutputName(std::string_view name, std::size_t limit)
{
    if (name.size() <= limit)
        return std::string(name);
    // The tool chooses the format by the extension and the page names the copy with it, so a long name
    // loses the end of its stem, never its extension. An "extension" that leaves no stem is no extension.
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name.size() - dot >= limit)
        return std::string(name.substr(0, limit));
    const std::string_view extension = name.substr(dot);
    return std::string(name.substr(0, limit - extension.size())) + std::string(extension);
}

ExpansionInput expansionFor(const ImageList& images, const ViewGeometry& geometry, const AppConfig& config,
                            std::string outputDirectory, int sizeChoice, std::string outputName)
{
    ExpansionInput in;
    in.imageDirectory = images.directory();
    in.shownName = images.currentName();
    in.outputDirectory = std::move(outputDirectory);
    in.outputName = std::move(outputName);
    in.source = geometry.source;
    in.size = targetSize(geometry.source, geometry.destination, sizeChoice, config);
    return in;
}

std::string outputCopyName(std::string_view shownName)
{
    std::string name = normalizeOutputName(shownName);
    if (!isPublishedAsJpeg(shownName))
        return name;
    // The normalized name may have lost the extension to the length limit: then ".jpg" is added.
    const std::string ext = lowerExtension(shownName);
    if (name.size() > ext.size() && lowerExtension(name) == ext)
        name.resize(name.size() - ext.size() - 1);
    return name + ".jpg";
}

} // namespace marquelo
