#include "core/viewer/CaptureTime.h"

#include <QDateTime>
#include <QString>

#include <charconv>
#include <limits>

namespace marquelo {

namespace {

// A year of seconds either way is more than any clock left on the wrong zone or date needs.
constexpr std::int64_t kMaxOffsetSeconds = 366LL * 24 * 3600;

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Lower case with every run of blanks as one blank, so "Canon  EOS 80D" and "canon eos 80d" are one camera.
std::string folded(std::string_view name)
{
    std::string out;
    for (const char c : trimmed(name)) {
        if (c == ' ' || c == '\t') {
            if (!out.empty() && out.back() != ' ')
                out.push_back(' ');
        } else {
            out.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
        }
    }
    return out;
}

std::optional<int> digits(std::string_view text, std::size_t at, std::size_t count)
{
    if (at + count > text.size())
        return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "+HH:MM" or "-HH:MM" as seconds east of UTC.
std::optional<int> offsetSeconds(std::string_view text)
{
    text = trimmed(text);
    if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':')
        return std::nullopt;
    const auto hours = digits(text, 1, 2), minutes = digits(text, 4, 2);
    if (!hours || !minutes || *hours > 14 || *minutes > 59)
        return std::nullopt;
    const int seconds = *hours * 3600 + *minutes * 60;
    return text[0] == '-' ? -seconds : seconds;
}

// The fraction of a second the digits stand for, in nanoseconds ("5" is half a second); 0 when they are
// not digits.
std::int64_t subSecondNs(std::string_view text)
{
    text = trimmed(text);
    std::int64_t ns = 0;
    std::int64_t scale = 100'000'000;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        ns += (c - '0') * scale;
        scale /= 10;
    }
    return ns;
}

} // namespace

ClockOffsetsParse parseClockOffsets(std::string_view text)
{
    ClockOffsetsParse parse;
    int lineNumber = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = trimmed(text.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t equals = line.rfind('=');
        const std::string camera = equals == std::string_view::npos ? std::string() : folded(line.substr(0, equals));
        std::string_view number =
            equals == std::string_view::npos ? std::string_view() : trimmed(line.substr(equals + 1));
        if (!number.empty() && number.front() == '+')
            number.remove_prefix(1);
        std::int64_t seconds = 0;
        const auto [past, problem] = std::from_chars(number.data(), number.data() + number.size(), seconds);
        if (camera.empty() || number.empty() || problem != std::errc() || past != number.data() + number.size() ||
            seconds < -kMaxOffsetSeconds || seconds > kMaxOffsetSeconds) {
            parse.offsets.clear();
            parse.badLine = lineNumber;
            parse.error = "Camera clock offsets, line " + std::to_string(lineNumber) + ": \"" +
                          std::string(line.substr(0, 60)) +
                          "\" is not a camera and its offset.\n\nWrite one camera a line as \"Make Model = seconds\", "
                          "for example \"Canon EOS 80D = -3600\" for a camera whose clock was an hour ahead "
                          "(at most a year: 31622400 seconds).";
            return parse;
        }
        parse.offsets.push_back({camera, seconds});
    }
    return parse;
}

std::int64_t clockOffsetFor(const ClockOffsets& offsets, std::string_view make, std::string_view model)
{
    if (offsets.empty())
        return 0;
    const std::string full = folded(std::string(make) + " " + std::string(model));
    const std::string modelOnly = folded(model);
    for (const ClockOffset& offset : offsets)
        if (offset.camera == full || (!modelOnly.empty() && offset.camera == modelOnly))
            return offset.seconds;
    return 0;
}

std::optional<std::int64_t> captureTimeNs(const media::ExifCaptureFields& fields, const ClockOffsets& offsets)
{
    const std::string_view text = trimmed(fields.dateTimeOriginal);
    // "YYYY:MM:DD HH:MM:SS"; some writers use "-" in the date or "T" between date and time.
    if (text.size() < 19)
        return std::nullopt;
    const auto year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
    const auto hour = digits(text, 11, 2), minute = digits(text, 14, 2), second = digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const QDate date(*year, *month, *day);
    const QTime time(*hour, *minute, std::min(*second, 59));
    if (*year == 0 || !date.isValid() || !time.isValid())
        return std::nullopt; // "0000:00:00 00:00:00": a camera whose clock was never set

    std::int64_t ms = 0;
    if (const auto offset = offsetSeconds(fields.offsetTimeOriginal))
        ms = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch() - std::int64_t(*offset) * 1000;
    else
        ms = QDateTime(date, time, Qt::LocalTime).toMSecsSinceEpoch();
    ms += clockOffsetFor(offsets, fields.make, fields.model) * 1000;
    return ms * 1'000'000 + subSecondNs(fields.subSecTimeOriginal);
}

std::int64_t captureTimeOrFileTime(const std::string& path, std::int64_t fileTimeNs, const ClockOffsets& offsets)
{
    return captureTimeNs(media::readCaptureFields(path), offsets).value_or(fileTimeNs);
}

} // namespace marquelo
