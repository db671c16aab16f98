#include "core/viewer/JpegBands.h"

#include "core/settings/Logging.h"
#include "core/viewer/WorkPools.h"
#include "media/ExceptionText.h"
#include "media/JpegSegments.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <numeric>
#include <optional>
#include <vector>

namespace marquelo {

namespace {

unsigned be16(const unsigned char* p)
{
    return (unsigned(p[0]) << 8) | p[1];
}

// Where the parts of a single-scan JPEG are, as far as splitting it into bands needs them.
struct ScanLayout {
    std::size_t heightOffset = 0; // the frame height's two bytes in the SOF segment
    int width = 0;
    int height = 0;
    int mcuWidth = 0;
    int mcuHeight = 0;
    int restartInterval = 0;          // in MCUs
    std::size_t entropyStart = 0;     // first byte after the SOS segment
    std::size_t entropyEnd = 0;       // the EOI marker
    std::vector<std::size_t> markers; // the restart markers, in order

    int mcusPerRow() const { return (width + mcuWidth - 1) / mcuWidth; }
    int mcuRows() const { return (height + mcuHeight - 1) / mcuHeight; }
};

// Reads the markers up to the one scan and walks its entropy-coded data to EOI. Anything else than
// one interleaved (or single-component) baseline Huffman scan with restart markers in their proper
// sequence gives nothing: those files are decoded whole.
std::optional<ScanLayout> readLayout(const unsigned char* data, std::size_t size)
{
    ScanLayout layout;
    int components = 0;
    bool scanRead = false;
    bool refused = false;
    media::JpegWalk how;
    how.throughScans = true;
    how.restart = [&](std::size_t at, unsigned char marker) {
        if (marker != 0xD0 + layout.markers.size() % 8)
            refused = true;
        layout.markers.push_back(at);
    };
    // False ends the walk: at the end of the one scan (EOI is all that may follow it) or on anything
    // that refuses bands.
    auto segment = [&](const media::JpegSegment& s) {
        if (scanRead) {
            if (s.marker == 0xD9)
                layout.entropyEnd = s.at;
            else
                refused = true; // a second scan, or damage
            return false;
        }
        const unsigned char* body = data + s.bodyAt;
        const std::size_t bodyLength = s.bodyLength;
        if (s.marker == 0xC0 || s.marker == 0xC1) {
            if (components != 0 || bodyLength < 6 || body[0] != 8)
                return !(refused = true);
            layout.heightOffset = s.bodyAt + 1;
            layout.height = int(be16(body + 1));
            layout.width = int(be16(body + 3));
            components = body[5];
            if (layout.height <= 0 || layout.width <= 0 || components <= 0 || bodyLength < 6 + 3u * components)
                return !(refused = true);
            int hMax = 1, vMax = 1;
            for (int c = 0; c < components; ++c) {
                const int h = body[7 + 3 * c] >> 4, v = body[7 + 3 * c] & 15;
                if (h < 1 || h > 4 || v < 1 || v > 4)
                    return !(refused = true);
                hMax = std::max(hMax, h);
                vMax = std::max(vMax, v);
            }
            // A one-component scan is not interleaved: its MCU is one block whatever the sampling says.
            layout.mcuWidth = components == 1 ? 8 : 8 * hMax;
            layout.mcuHeight = components == 1 ? 8 : 8 * vMax;
        } else if (s.marker >= 0xC2 && s.marker <= 0xCF && s.marker != 0xC4 && s.marker != 0xC8 && s.marker != 0xCC) {
            return !(refused = true); // progressive, lossless, hierarchical or arithmetic coding
        } else if (s.marker == 0xDD) {
            if (bodyLength < 2)
                return !(refused = true);
            layout.restartInterval = int(be16(body));
        } else if (s.marker == 0xDA) {
            if (components == 0 || bodyLength < 1 || body[0] != components || layout.restartInterval <= 0)
                return !(refused = true);
            layout.entropyStart = s.end();
            scanRead = true;
        } else if (s.marker == 0xD9) {
            return !(refused = true);
        }
        return true;
    };
    if (media::walkJpeg({data, size}, segment, how) != media::JpegWalkEnd::EndOfImage || refused || !scanRead ||
        layout.entropyEnd == 0)
        return std::nullopt;
    const std::int64_t mcus = std::int64_t(layout.mcusPerRow()) * layout.mcuRows();
    if (std::int64_t(layout.markers.size()) != (mcus - 1) / layout.restartInterval)
        return std::nullopt;
    return layout;
}

// A stand-alone JPEG of MCU rows [first, last): the headers with the frame height cut down, the
// restart intervals of those rows with their markers numbered from RST0 again, and EOI.
std::vector<unsigned char> bandFile(const unsigned char* data, const ScanLayout& layout, int first, int last)
{
    const std::int64_t perRow = layout.mcusPerRow();
    const std::size_t intervals = layout.markers.size() + 1;
    const auto firstInterval = std::size_t(first * perRow / layout.restartInterval);
    const std::size_t endInterval =
        last == layout.mcuRows() ? intervals : std::size_t(last * perRow / layout.restartInterval);
    const std::size_t from = firstInterval == 0 ? layout.entropyStart : layout.markers[firstInterval - 1] + 2;
    const std::size_t to = endInterval == intervals ? layout.entropyEnd : layout.markers[endInterval - 1];

    std::vector<unsigned char> band;
    band.reserve(layout.entropyStart + (to - from) + 2);
    band.insert(band.end(), data, data + layout.entropyStart);
    const int height = std::min(layout.height, last * layout.mcuHeight) - first * layout.mcuHeight;
    band[layout.heightOffset] = static_cast<unsigned char>(height >> 8);
    band[layout.heightOffset + 1] = static_cast<unsigned char>(height & 0xFF);
    band.insert(band.end(), data + from, data + to);
    for (std::size_t i = firstInterval; i + 1 < endInterval; ++i)
        band[layout.entropyStart + (layout.markers[i] - from) + 1] =
            static_cast<unsigned char>(0xD0 + (i - firstInterval) % 8);
    band.push_back(0xFF);
    band.push_back(0xD9);
    return band;
}

struct Band {
    int keepFirst = 0; // MCU rows this band puts into the picture
    int keepLast = 0;
    int first = 0; // MCU rows it decodes: one more on each inner side, so that the chroma upsampling
    int last = 0;  // at the band's edges sees the same neighbours as in a whole decode
    std::vector<unsigned char> file;
    std::vector<unsigned char> pixels; // all bands but the first decode into a buffer of their own
    bool ok = false;
};

bool decodeBand(const Band& band, int scaledWidth, int scaledHeight, unsigned char* out, int pitch, int pixelFormat)
{
    tjhandle handle = tjInitDecompress();
    if (!handle)
        return false;
    const int result = tjDecompress2(handle, band.file.data(), static_cast<unsigned long>(band.file.size()), out,
                                     scaledWidth, pitch, scaledHeight, pixelFormat, 0);
    tjDestroy(handle);
    return result == 0;
}

} // namespace

double neededScale(QSize upright, QSize fitInto, double minScale)
{
    double scale = 1.0;
    if (!fitInto.isEmpty() && !upright.isEmpty())
        scale = std::min({1.0, double(fitInto.width()) / upright.width(), double(fitInto.height()) / upright.height()});
    return std::clamp(std::max(scale, minScale), 0.0, 1.0);
}

JpegScale chooseJpegScale(double needed)
{
    JpegScale best;
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; factors && i < count; ++i) {
        const JpegScale candidate{factors[i].num, factors[i].denom};
        if (candidate.value() <= 1.0 && candidate.value() >= needed - 1e-9 && candidate.value() < best.value())
            best = candidate;
    }
    return best;
}

bool decodeJpegInBands(const unsigned char* data, std::size_t size, JpegScale scale, unsigned char* dst, int pitch,
                       int pixelFormat, int bands)
{
    if (bands < 2 || !data || !dst)
        return false;
    const std::optional<ScanLayout> layout = readLayout(data, size);
    if (!layout)
        return false;
    // Band edges can only fall on MCU rows that start a restart interval.
    const int perRow = layout->mcusPerRow();
    const int rows = layout->mcuRows();
    const int step = layout->restartInterval / std::gcd(perRow, layout->restartInterval);
    // Each band decodes one step more on each inner side; that waste must stay small.
    if (std::int64_t(step) * bands * 4 > rows)
        return false;

    const tjscalingfactor factor{scale.num, scale.denom};
    const int scaledWidth = TJSCALED(layout->width, factor);
    const int scaledHeight = TJSCALED(layout->height, factor);
    const int scaledMcuHeight = layout->mcuHeight * scale.num / scale.denom;
    const int bytesPerPixel = tjPixelSize[pixelFormat];
    const auto scaledRow = [&](int mcuRow) { return std::min(scaledHeight, mcuRow * scaledMcuHeight); };

    std::vector<Band> plan(static_cast<std::size_t>(bands));
    for (int i = 0; i < bands; ++i) {
        Band& band = plan[std::size_t(i)];
        band.keepFirst = i == 0 ? 0 : int(std::lround(double(rows) * i / bands / step)) * step;
        band.keepLast = i + 1 == bands ? rows : int(std::lround(double(rows) * (i + 1) / bands / step)) * step;
        if (band.keepLast <= band.keepFirst)
            return false;
        band.first = std::max(0, band.keepFirst - step);
        band.last = std::min(rows, band.keepLast + step);
        band.file = bandFile(data, *layout, band.first, band.last);
        if (i > 0)
            band.pixels.resize(std::size_t(scaledRow(band.last) - scaledRow(band.first)) * scaledWidth *
                               std::size_t(bytesPerPixel));
    }

    const auto run = [&](Band& band, bool intoDestination) {
        const int height = scaledRow(band.last) - scaledRow(band.first);
        band.ok = intoDestination ? decodeBand(band, scaledWidth, height, dst, pitch, pixelFormat)
                                  : decodeBand(band, scaledWidth, height, band.pixels.data(),
                                               scaledWidth * bytesPerPixel, pixelFormat);
    };
    // The first band goes straight into the picture on this thread, the others at once on the parts
    // pool (or after it, here, when no pool thread is free).
    std::vector<std::function<void()>> pieces;
    pieces.reserve(plan.size());
    for (std::size_t i = 0; i < plan.size(); ++i)
        pieces.emplace_back([&run, &band = plan[i], i] { run(band, i == 0); });
    workpools::runSplit(pieces);
    if (!std::all_of(plan.begin(), plan.end(), [](const Band& b) { return b.ok; }))
        return false;

    // The first band wrote its rows and its lower context straight into the picture; the others'
    // rows replace that context now that every band has ended.
    const std::size_t rowBytes = std::size_t(scaledWidth) * std::size_t(bytesPerPixel);
    for (std::size_t i = 1; i < plan.size(); ++i) {
        const Band& band = plan[i];
        for (int row = scaledRow(band.keepFirst); row < scaledRow(band.keepLast); ++row)
            std::memcpy(dst + std::size_t(row) * std::size_t(pitch),
                        band.pixels.data() + std::size_t(row - scaledRow(band.first)) * rowBytes, rowBytes);
    }
    return true;
}

} // namespace marquelo
