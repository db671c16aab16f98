#include "launch/EarlyPixels.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace marquelo {

namespace {

// The source pixels that output pixel i covers along one axis, with their shares in fixed point
// (summing to exactly `one`).
struct Span {
    int first = 0;
    std::vector<std::uint32_t> weights;
};

std::vector<Span> spans(int from, int to, std::uint32_t one)
{
    std::vector<Span> result(std::size_t(std::max(to, 0)));
    const double step = double(from) / to;
    for (int i = 0; i < to; ++i) {
        const double a = i * step;
        const double b = std::min(double(from), (i + 1) * step);
        Span& span = result[std::size_t(i)];
        span.first = std::min(int(a), from - 1);
        const int last = std::clamp(int(std::ceil(b)) - 1, span.first, from - 1);
        std::uint32_t given = 0;
        for (int s = span.first; s <= last; ++s) {
            const double covered = std::min(b, s + 1.0) - std::max(a, double(s));
            const auto weight =
                s == last ? one - given : std::uint32_t(std::lround(std::max(covered, 0.0) / (b - a) * one));
            span.weights.push_back(std::min(weight, one - given));
            given += span.weights.back();
        }
    }
    return result;
}

} // namespace

RowScaler::RowScaler(int width, int height, int toWidth, int toHeight, RowDone row)
    : m_width(width), m_toWidth(toWidth), m_row(std::move(row))
{
    if (width <= 0 || height <= 0 || toWidth <= 0 || toHeight <= 0) {
        m_width = 0;
        return;
    }
    // Across in 14-bit shares into 16-bit values (the colour times 256), then down in 12-bit shares:
    // neither pass can overflow 32 bits.
    const std::vector<Span> across = spans(width, toWidth, 1u << 14);
    for (const Span& span : across)
        m_maxTaps = std::max(m_maxTaps, int(span.weights.size()));
    m_firstColumn.resize(std::size_t(toWidth));
    m_columnCount.resize(std::size_t(toWidth));
    m_columnWeights.assign(std::size_t(toWidth) * std::size_t(m_maxTaps), 0);
    for (int x = 0; x < toWidth; ++x) {
        const Span& span = across[std::size_t(x)];
        m_firstColumn[std::size_t(x)] = span.first;
        m_columnCount[std::size_t(x)] = int(span.weights.size());
        for (std::size_t k = 0; k < span.weights.size(); ++k)
            m_columnWeights[std::size_t(x) * std::size_t(m_maxTaps) + k] = std::uint16_t(span.weights[k]);
    }
    const std::vector<Span> down = spans(height, toHeight, 1u << 12);
    m_rowShares.resize(std::size_t(height));
    m_lastSourceRow.resize(std::size_t(toHeight));
    std::size_t rowsUnderWay = 1;
    for (int y = 0; y < toHeight; ++y) {
        const Span& span = down[std::size_t(y)];
        for (std::size_t k = 0; k < span.weights.size(); ++k)
            m_rowShares[std::size_t(span.first) + k].push_back({y, span.weights[k]});
        m_lastSourceRow[std::size_t(y)] = span.first + int(span.weights.size()) - 1;
    }
    for (const auto& shares : m_rowShares)
        rowsUnderWay = std::max(rowsUnderWay, shares.size() + 1);
    m_sums.assign(rowsUnderWay, std::vector<std::uint32_t>(std::size_t(toWidth) * 3, 0));
    m_across.resize(std::size_t(toWidth) * 3);
    m_out.resize(std::size_t(toWidth));
}

void RowScaler::push(const std::uint32_t* in)
{
    if (m_width == 0 || m_next >= int(m_rowShares.size()))
        return;
    const int sourceRow = m_next++;
    const int taps = m_maxTaps;
    for (int x = 0; x < m_toWidth; ++x) {
        const std::uint32_t* from = in + m_firstColumn[std::size_t(x)];
        const std::uint16_t* weights = m_columnWeights.data() + std::size_t(x) * std::size_t(taps);
        const int count = m_columnCount[std::size_t(x)];
        std::uint32_t r = 0, g = 0, b = 0;
        for (int k = 0; k < count; ++k) {
            const std::uint32_t p = from[k];
            const std::uint32_t w = weights[k];
            r += ((p >> 16) & 0xff) * w;
            g += ((p >> 8) & 0xff) * w;
            b += (p & 0xff) * w;
        }
        m_across[std::size_t(3 * x)] = std::uint16_t((r + (1u << 5)) >> 6);
        m_across[std::size_t(3 * x + 1)] = std::uint16_t((g + (1u << 5)) >> 6);
        m_across[std::size_t(3 * x + 2)] = std::uint16_t((b + (1u << 5)) >> 6);
    }
    for (const Share& share : m_rowShares[std::size_t(sourceRow)]) {
        std::vector<std::uint32_t>& sums = m_sums[std::size_t(share.row) % m_sums.size()];
        for (std::size_t v = 0; v < sums.size(); ++v)
            sums[v] += m_across[v] * share.weight;
        if (m_lastSourceRow[std::size_t(share.row)] != sourceRow)
            continue;
        for (int x = 0; x < m_toWidth; ++x) {
            const auto channel = [&](int c) {
                return std::min((sums[std::size_t(3 * x + c)] + (1u << 19)) >> 20, 255u);
            };
            m_out[std::size_t(x)] = 0xff000000u | (channel(0) << 16) | (channel(1) << 8) | channel(2);
        }
        std::fill(sums.begin(), sums.end(), 0u);
        m_row(share.row, m_out.data());
    }
}

RowScalerThread::RowScalerThread(int width, int height, int toWidth, int toHeight, RowScaler::RowDone row)
    : m_scaler(width, height, toWidth, toHeight, std::move(row)), m_width(std::max(width, 0)), m_batches(4)
{
    m_thread = std::thread([this] { run(); });
}

RowScalerThread::~RowScalerThread()
{
    finish();
}

void RowScalerThread::push(const std::uint32_t* rows, int count)
{
    if (count <= 0)
        return;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_filled < m_batches.size(); });
    Batch& batch = m_batches[(m_first + m_filled) % m_batches.size()];
    lock.unlock();
    // Only this thread writes a batch that is not yet counted as filled.
    batch.rows.assign(rows, rows + std::size_t(m_width) * std::size_t(count));
    batch.count = count;
    lock.lock();
    ++m_filled;
    m_changed.notify_all();
}

void RowScalerThread::finish()
{
    {
        const std::lock_guard lock(m_mutex);
        m_finishing = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void RowScalerThread::run()
{
    for (;;) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_filled > 0 || m_finishing; });
        if (m_filled == 0)
            return;
        Batch& batch = m_batches[m_first];
        lock.unlock();
        for (int k = 0; k < batch.count; ++k)
            m_scaler.push(batch.rows.data() + std::size_t(m_width) * std::size_t(k));
        lock.lock();
        m_first = (m_first + 1) % m_batches.size();
        --m_filled;
        m_changed.notify_all();
    }
}

XrgbPicture scaledByArea(const std::uint32_t* pixels, int width, int height, std::ptrdiff_t stride, int toWidth,
                         int toHeight)
{
    XrgbPicture out;
    if (!pixels || width <= 0 || height <= 0 || toWidth <= 0 || toHeight <= 0)
        return out;
    out.width = toWidth;
    out.height = toHeight;
    out.pixels.resize(std::size_t(toWidth) * std::size_t(toHeight));
    RowScaler scaler(width, height, toWidth, toHeight, [&out](int y, const std::uint32_t* row) {
        std::copy_n(row, out.width, out.pixels.data() + std::size_t(y) * std::size_t(out.width));
    });
    const auto* bytes = reinterpret_cast<const unsigned char*>(pixels);
    for (int y = 0; y < height; ++y)
        scaler.push(reinterpret_cast<const std::uint32_t*>(bytes + stride * y));
    return out;
}

XrgbPicture oriented(XrgbPicture picture, const media::Orientation& orientation)
{
    if (orientation.isIdentity() || picture.empty())
        return picture;
    const media::OrientationSteps steps = orientation.steps();
    const int w = picture.width, h = picture.height;
    XrgbPicture out;
    out.width = steps.quarterRight ? h : w;
    out.height = steps.quarterRight ? w : h;
    out.pixels.resize(picture.pixels.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // Mirrored and flipped first, then a quarter turn clockwise.
            const int mx = steps.mirror ? w - 1 - x : x;
            const int my = steps.flip ? h - 1 - y : y;
            const int ox = steps.quarterRight ? h - 1 - my : mx;
            const int oy = steps.quarterRight ? mx : my;
            out.pixels[std::size_t(oy) * std::size_t(out.width) + std::size_t(ox)] =
                picture.pixels[std::size_t(y) * std::size_t(w) + std::size_t(x)];
        }
    }
    return out;
}

} // namespace marquelo
