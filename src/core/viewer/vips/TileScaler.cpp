#include "core/viewer/vips/TileScaler.h"

#include <algorithm>
#include <cmath>

namespace marquelo {

bool ycbcrToRgb(int matrixCoefficients, bool fullRange, YcbcrToRgb& out)
{
    double kr = 0, kb = 0;
    switch (matrixCoefficients) {
    case 1: // BT.709
        kr = 0.2126, kb = 0.0722;
        break;
    case 2: // unspecified: what libheif takes it for
    case 5:
    case 6: // BT.601
        kr = 0.299, kb = 0.114;
        break;
    case 4: // FCC
        kr = 0.30, kb = 0.11;
        break;
    case 7: // SMPTE 240M
        kr = 0.212, kb = 0.087;
        break;
    case 9:
    case 10: // BT.2020; the constant-luminance variant differs only for deeper samples
        kr = 0.2627, kb = 0.0593;
        break;
    default: return false;
    }
    const double kg = 1.0 - kr - kb;
    const double luma = fullRange ? 1.0 : 255.0 / 219.0;
    const double chroma = fullRange ? 1.0 : 255.0 / 224.0;
    const double black = fullRange ? 0.0 : 16.0;
    const double matrix[9] = {
        luma,
        0.0,
        2.0 * (1.0 - kr) * chroma,
        luma,
        -2.0 * kb * (1.0 - kb) / kg * chroma,
        -2.0 * kr * (1.0 - kr) / kg * chroma,
        luma,
        2.0 * (1.0 - kb) * chroma,
        0.0,
    };
    std::copy(std::begin(matrix), std::end(matrix), out.matrix);
    for (int row = 0; row < 3; ++row) {
        const double* m = &out.matrix[row * 3];
        // Half a step more, so that cutting off the fraction rounds.
        out.offset[row] = 0.5 - m[0] * black - (m[1] + m[2]) * 128.0;
    }
    return true;
}

TileScaler::Axis TileScaler::makeAxis(int samples, int lumaSamples, int shift, int target)
{
    Axis axis;
    axis.covers.resize(std::size_t(samples));
    axis.total.assign(std::size_t(target), 0.0f);
    // A plane sample spans this much of the target (at most 2: a halved chroma plane at full size).
    const double span = double(target) * double(1 << shift) / double(lumaSamples);
    for (int i = 0; i < samples; ++i) {
        const double from = i * span;
        const double to = std::min((i + 1) * span, double(target));
        Cover& cover = axis.covers[std::size_t(i)];
        cover.first = std::min(int(std::floor(from)), target - 1);
        for (int o = cover.first; o < to && cover.count < 3; ++o) {
            const double overlap = std::min(to, o + 1.0) - std::max(from, double(o));
            if (overlap <= 0)
                break;
            cover.weight[cover.count++] = float(overlap);
            axis.total[std::size_t(o)] += float(overlap);
        }
    }
    return axis;
}

TileScaler::TileScaler(int width, int height, int targetWidth, int targetHeight, int chromaShiftX, int chromaShiftY,
                       bool grey)
    : m_width(width), m_height(height), m_targetWidth(targetWidth), m_targetHeight(targetHeight),
      m_shiftX(chromaShiftX), m_shiftY(chromaShiftY), m_grey(grey)
{
    m_lumaX = makeAxis(width, width, 0, targetWidth);
    m_lumaY = makeAxis(height, height, 0, targetHeight);
    const std::size_t area = std::size_t(targetWidth) * std::size_t(targetHeight);
    m_sums[0].assign(area, 0.0f);
    if (!grey) {
        m_chromaX = makeAxis((width + (1 << chromaShiftX) - 1) >> chromaShiftX, width, chromaShiftX, targetWidth);
        m_chromaY = makeAxis((height + (1 << chromaShiftY) - 1) >> chromaShiftY, height, chromaShiftY, targetHeight);
        m_sums[1].assign(area, 0.0f);
        m_sums[2].assign(area, 0.0f);
    }
}

void TileScaler::add(int x, int y, int width, int height, const std::uint8_t* const planes[3], const int strides[3])
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    width = std::min(width, m_width - x);
    height = std::min(height, m_height - y);
    addPlane(0, x, y, width, height, planes[0], strides[0]);
    if (m_grey)
        return;
    // The chroma samples of the tile's columns and rows, up to the plane's end.
    const int cx = x >> m_shiftX, cy = y >> m_shiftY;
    const int cw = std::min(int(m_chromaX.covers.size()), (x + width + (1 << m_shiftX) - 1) >> m_shiftX) - cx;
    const int ch = std::min(int(m_chromaY.covers.size()), (y + height + (1 << m_shiftY) - 1) >> m_shiftY) - cy;
    addPlane(1, cx, cy, cw, ch, planes[1], strides[1]);
    addPlane(2, cx, cy, cw, ch, planes[2], strides[2]);
}

void TileScaler::addPlane(int plane, int x, int y, int width, int height, const std::uint8_t* samples, int stride)
{
    if (width <= 0 || height <= 0)
        return;
    const Axis& across = plane == 0 ? m_lumaX : m_chromaX;
    const Axis& down = plane == 0 ? m_lumaY : m_chromaY;
    const Cover& lastColumn = across.covers[std::size_t(x + width - 1)];
    const Cover& lastRow = down.covers[std::size_t(y + height - 1)];
    const int left = across.covers[std::size_t(x)].first, right = lastColumn.first + std::max(1, lastColumn.count);
    const int top = down.covers[std::size_t(y)].first, bottom = lastRow.first + std::max(1, lastRow.count);
    const int localWidth = right - left;
    // The tile's share of its target pixels, summed here first so that the shared sums are locked once.
    std::vector<float> local(std::size_t(localWidth) * std::size_t(bottom - top), 0.0f);
    std::vector<float> row(static_cast<std::size_t>(localWidth));
    for (int r = 0; r < height; ++r) {
        std::fill(row.begin(), row.end(), 0.0f);
        const std::uint8_t* in = samples + std::ptrdiff_t(r) * stride;
        const Cover* cover = &across.covers[std::size_t(x)];
        for (int c = 0; c < width; ++c, ++cover) {
            const float value = in[c];
            float* to = &row[std::size_t(cover->first - left)];
            for (int k = 0; k < cover->count; ++k)
                to[k] += value * cover->weight[k];
        }
        const Cover& rowCover = down.covers[std::size_t(y + r)];
        for (int k = 0; k < rowCover.count; ++k) {
            float* to = &local[std::size_t(rowCover.first - top + k) * std::size_t(localWidth)];
            const float weight = rowCover.weight[k];
            for (int c = 0; c < localWidth; ++c)
                to[c] += weight * row[std::size_t(c)];
        }
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    for (int r = top; r < bottom; ++r) {
        float* to = &m_sums[plane][std::size_t(r) * std::size_t(m_targetWidth) + std::size_t(left)];
        const float* from = &local[std::size_t(r - top) * std::size_t(localWidth)];
        for (int c = 0; c < localWidth; ++c)
            to[c] += from[c];
    }
}

void TileScaler::toRgb(const YcbcrToRgb& conversion, int firstRow, int rows, std::uint8_t* out,
                       std::ptrdiff_t stride) const
{
    const double* m = conversion.matrix;
    const double* offset = conversion.offset;
    auto level = [](double value) { return std::uint8_t(std::clamp(value, 0.0, 255.0)); };
    for (int r = firstRow; r < firstRow + rows; ++r) {
        const std::size_t at = std::size_t(r) * std::size_t(m_targetWidth);
        const float lumaRow = m_lumaY.total[std::size_t(r)];
        const float chromaRow = m_grey ? 1.0f : m_chromaY.total[std::size_t(r)];
        std::uint8_t* to = out + std::ptrdiff_t(r - firstRow) * stride;
        for (int c = 0; c < m_targetWidth; ++c, to += 3) {
            const float lumaWeight = lumaRow * m_lumaX.total[std::size_t(c)];
            const double y = lumaWeight > 0 ? m_sums[0][at + std::size_t(c)] / lumaWeight : 0.0;
            double cb = 128.0, cr = 128.0;
            if (!m_grey) {
                const float chromaWeight = chromaRow * m_chromaX.total[std::size_t(c)];
                if (chromaWeight > 0) {
                    cb = m_sums[1][at + std::size_t(c)] / chromaWeight;
                    cr = m_sums[2][at + std::size_t(c)] / chromaWeight;
                }
            }
            to[0] = level(m[0] * y + m[1] * cb + m[2] * cr + offset[0]);
            to[1] = level(m[3] * y + m[4] * cb + m[5] * cr + offset[1]);
            to[2] = level(m[6] * y + m[7] * cb + m[8] * cr + offset[2]);
        }
    }
}

} // namespace marquelo
