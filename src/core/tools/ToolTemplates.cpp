#include "core/tools/ToolTemplates.h"

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

// Every occurrence of `from`, left to right without overlap, each replaced once.
void replaceAll(std::string& text, std::string_view from, std::string_view to)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        const std::size_t hit = text.find(from, pos);
        if (hit == std::string::npos)
            break;
        out.append(text, pos, hit - pos);
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text, pos, std::string::npos);
    text = std::move(out);
}

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
    case kSizeSmall: l = std::min<std::int64_t>(config.SizeSmall, longest); break;
    case kSizeLarge: l = std::min<std::int64_t>(config.SizeLarge, longest); break;
    case kSizeUncompressed: l = longest; break;
    case kSizeCurrent:
        l = std::max(std::int64_t(destination.right) - destination.left + 1,
                     std::int64_t(destination.bottom) - destination.top + 1);
        break;
    default: l = std::min<std::int64_t>(config.SizeMedium, longest); break;
    }
    if (h <= w)
        return {clampToInt(l), clampToInt(h * l / w)};
    return {clampToInt(w * l / h), clampToInt(l)};
}

std::string cropText(const Rect& source)
{
    return std::to_string(source.left) + "," + std::to_string(source.top) + "," + std::to_string(source.width()) + "," +
           std::to_string(source.height());
}

std::string expandToolArguments(std::string_view tmpl, const ExpansionInput& input)
{
    std::string text(tmpl);
    replaceAll(text, "%1", input.imageDirectory);
    replaceAll(text, "%2", input.shownName);
    replaceAll(text, "%3", input.outputDirectory);
    replaceAll(text, "%4", input.outputName.empty() ? outputCopyName(input.shownName) : input.outputName);
    replaceAll(text, "%5", cropText(input.source));
    replaceAll(text, "%6", std::to_string(input.size.height));
    replaceAll(text, "%7", std::to_string(input.size.width));
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
    const QList<uint> codePoints = lower.toUcs4();
    std::string out;
    const qsizetype n = std::min<qsizetype>(codePoints.size(), 64);
    for (qsizetype i = 0; i < n; ++i) {
        const uint c = codePoints[i];
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
    return out;
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
