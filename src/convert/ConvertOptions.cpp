#include "convert/ConvertOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <string_view>

namespace marquelo::convert {

namespace {

enum class Switch { Crop, Resample, AspectRatio, JpegQuality, RotateLeft, RotateRight, HFlip, VFlip, Convert, Also };

struct SwitchDef {
    std::string_view name;
    Switch id;
    bool takesValue;
    std::string_view help;
};

// Every switch, with the help text --help prints for it.
constexpr SwitchDef kSwitches[] = {
    {"crop", Switch::Crop, true, "/crop=(l,t,w,h)    cut the rectangle at left,top of width x height pixels"},
    {"resample", Switch::Resample, true, "/resample=(w,h)    resample to w x h pixels (0: follow the aspect ratio)"},
    {"aspectratio", Switch::AspectRatio, false, "/aspectratio       keep the aspect ratio: fit into the /resample box"},
    {"jpgq", Switch::JpegQuality, true, "/jpgq=N            JPEG quality 1..100 (default 85)"},
    {"rotate_l", Switch::RotateLeft, false, "/rotate_l          turn a quarter to the left"},
    {"rotate_r", Switch::RotateRight, false, "/rotate_r          turn a quarter to the right"},
    {"hflip", Switch::HFlip, false, "/hflip             mirror left to right"},
    {"vflip", Switch::VFlip, false, "/vflip             flip top to bottom"},
    {"convert", Switch::Convert, true, "/convert=OUTPUT    write the result to OUTPUT (required)"},
    {"also", Switch::Also, true,
     "/also=(w,h,OUTPUT) also write the cut at w x h to OUTPUT, from the same decode (may be repeated)"},
};

std::string lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

// "/name" or "/name=value" with a plain word as name; an absolute path such as /home/x.jpg is not one.
bool looksLikeSwitch(std::string_view arg, std::string_view& name, std::string_view& value, bool& hasValue)
{
    if (arg.size() < 2 || arg[0] != '/')
        return false;
    const std::size_t eq = arg.find('=');
    name = arg.substr(1, eq == std::string_view::npos ? std::string_view::npos : eq - 1);
    if (name.empty() ||
        !std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isalnum(c) || c == '_'; }))
        return false;
    hasValue = eq != std::string_view::npos;
    value = hasValue ? arg.substr(eq + 1) : std::string_view{};
    return true;
}

// A list of integers "(a,b,...)" or "a,b,..."; false when anything else is in it.
bool parseIntegers(std::string_view text, std::vector<long long>& out)
{
    if (text.size() >= 2 && text.front() == '(' && text.back() == ')')
        text = text.substr(1, text.size() - 2);
    out.clear();
    while (true) {
        const std::size_t comma = text.find(',');
        std::string_view part = text.substr(0, comma);
        while (!part.empty() && part.front() == ' ')
            part.remove_prefix(1);
        while (!part.empty() && part.back() == ' ')
            part.remove_suffix(1);
        if (!part.empty() && part.front() == '+')
            part.remove_prefix(1);
        long long v = 0;
        const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), v);
        if (part.empty() || ec != std::errc() || end != part.data() + part.size())
            return false;
        out.push_back(v);
        if (comma == std::string_view::npos)
            return true;
        text.remove_prefix(comma + 1);
    }
}

constexpr long long kMaxSide = 1 << 20;

// "(w,h,path)": two sizes as /resample takes them, then the output path, which may hold anything.
bool parseAlso(std::string_view value, ExtraOutput& out, std::string& error)
{
    const auto bad = [&](std::string why) {
        error = "bad /also '" + std::string(value) + "': " + std::move(why);
        return false;
    };
    if (value.size() < 2 || value.front() != '(' || value.back() != ')')
        return bad("expected (width,height,OUTPUT)");
    const std::string_view inner = value.substr(1, value.size() - 2);
    const std::size_t first = inner.find(',');
    const std::size_t second = first == std::string_view::npos ? first : inner.find(',', first + 1);
    if (second == std::string_view::npos)
        return bad("expected (width,height,OUTPUT)");
    std::vector<long long> numbers;
    if (!parseIntegers(inner.substr(0, second), numbers) || numbers.size() != 2)
        return bad("expected (width,height,OUTPUT)");
    if (numbers[0] < 0 || numbers[1] < 0 || numbers[0] > kMaxSide || numbers[1] > kMaxSide ||
        (numbers[0] == 0 && numbers[1] == 0))
        return bad("sides must be 0 to 1048576, not both 0");
    out.size = ResampleSize{int(numbers[0]), int(numbers[1])};
    out.output = std::string(inner.substr(second + 1));
    if (out.output.empty())
        return bad("no output file name");
    return true;
}

} // namespace

ParseResult parseArguments(const std::vector<std::string>& args)
{
    ParseResult r;
    auto fail = [&r](std::string message) {
        r.action = ParseResult::Error;
        r.error = std::move(message);
        return r;
    };
    bool haveQuality = false, haveOutput = false, haveInput = false;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h" || arg == "/?")
            return ParseResult{ParseResult::Help, {}, {}};
        if (arg == "--version")
            return ParseResult{ParseResult::Version, {}, {}};
        std::string_view name, value;
        bool hasValue = false;
        if (!looksLikeSwitch(arg, name, value, hasValue)) {
            if (arg.empty())
                return fail("empty argument");
            if (haveInput)
                return fail("more than one input: '" + r.options.input + "' and '" + arg + "'");
            r.options.input = arg;
            haveInput = true;
            continue;
        }
        const std::string key = lower(name);
        const auto def = std::find_if(std::begin(kSwitches), std::end(kSwitches),
                                      [&key](const SwitchDef& d) { return d.name == key; });
        if (def == std::end(kSwitches))
            return fail("unknown switch '" + arg + "'");
        if (def->takesValue && !hasValue)
            return fail("switch '/" + key + "' needs a value");
        if (!def->takesValue && hasValue)
            return fail("switch '/" + key + "' takes no value");
        std::vector<long long> numbers;
        switch (def->id) {
        case Switch::Crop:
            if (r.options.crop)
                return fail("/crop given twice");
            if (!parseIntegers(value, numbers) || numbers.size() != 4)
                return fail("bad crop '" + std::string(value) + "': expected (left,top,width,height)");
            if (numbers[2] <= 0 || numbers[3] <= 0 || numbers[2] > kMaxSide || numbers[3] > kMaxSide ||
                std::llabs(numbers[0]) > kMaxSide || std::llabs(numbers[1]) > kMaxSide)
                return fail("bad crop '" + std::string(value) + "': width and height must be 1 to 1048576");
            r.options.crop = CropBox{numbers[0], numbers[1], numbers[2], numbers[3]};
            break;
        case Switch::Resample:
            if (r.options.resample)
                return fail("/resample given twice");
            if (!parseIntegers(value, numbers) || numbers.size() != 2)
                return fail("bad size '" + std::string(value) + "': expected (width,height)");
            if (numbers[0] < 0 || numbers[1] < 0 || numbers[0] > kMaxSide || numbers[1] > kMaxSide ||
                (numbers[0] == 0 && numbers[1] == 0))
                return fail("bad size '" + std::string(value) + "': sides must be 0 to 1048576, not both 0");
            r.options.resample = ResampleSize{int(numbers[0]), int(numbers[1])};
            break;
        case Switch::AspectRatio: r.options.keepAspect = true; break;
        case Switch::JpegQuality:
            if (haveQuality)
                return fail("/jpgq given twice");
            if (!parseIntegers(value, numbers) || numbers.size() != 1 || numbers[0] < 1 || numbers[0] > 100)
                return fail("bad JPEG quality '" + std::string(value) + "': expected 1 to 100");
            r.options.jpegQuality = int(numbers[0]);
            haveQuality = true;
            break;
        case Switch::RotateLeft: r.options.turns.push_back(Turn::RotateLeft); break;
        case Switch::RotateRight: r.options.turns.push_back(Turn::RotateRight); break;
        case Switch::HFlip: r.options.turns.push_back(Turn::Mirror); break;
        case Switch::VFlip: r.options.turns.push_back(Turn::Flip); break;
        case Switch::Convert:
            if (haveOutput)
                return fail("/convert given twice");
            if (value.empty())
                return fail("/convert needs an output file name");
            r.options.output = std::string(value);
            haveOutput = true;
            break;
        case Switch::Also: {
            ExtraOutput extra;
            std::string error;
            if (!parseAlso(value, extra, error))
                return fail(error);
            r.options.also.push_back(std::move(extra));
            break;
        }
        }
    }
    if (!haveInput)
        return fail("no input file given");
    if (!haveOutput)
        return fail("no output file given (/convert=OUTPUT)");
    r.action = ParseResult::Convert;
    return r;
}

std::string helpText()
{
    std::string text = "usage: marquelo-convert INPUT [switches] /convert=OUTPUT\n"
                       "Cuts, resamples, turns and compresses a photo; switches may come in any order.\n"
                       "Coordinates are those of the picture as a viewer shows it (EXIF orientation applied).\n"
                       "Reads JPEG, PNG, WebP, AVIF, HEIF/HEIC, TIFF, JPEG XL and GIF (first frame), and camera RAW\n"
                       "files (.dng .cr2 .cr3 .crw .nef .arw .orf .rw2 .raf .pef .srw ...) through their largest\n"
                       "embedded preview. Turning in place is lossless for JPEG (where the size allows), PNG, TIFF\n"
                       "and lossless WebP; lossy WebP, HEIF/AVIF, JPEG XL, GIF and RAW files are refused.\n\n";
    for (const SwitchDef& d : kSwitches)
        text += "  " + std::string(d.help) + "\n";
    text += "  --help             show this text\n"
            "  --version          show the version\n";
    return text;
}

} // namespace marquelo::convert
