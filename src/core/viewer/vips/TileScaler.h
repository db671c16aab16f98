#pragma once
// A picture that arrives tile by tile as YCbCr planes, made smaller by averaging each screen pixel's
// area of samples as each tile comes, and turned into RGB once all have come. A tile is taken as soon
// as it is decoded, on any thread, so the scaling runs beside the decoding of the other tiles, and no
// full-size copy of the picture is ever made: only the screen's pixels are converted.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace marquelo {

// How YCbCr samples become R'G'B': rgb = matrix * (y, cb, cr) + offset, from the picture's matrix
// coefficients and range (ITU-T H.273).
struct YcbcrToRgb {
    double matrix[9] = {};
    double offset[3] = {};
};

// For the matrix coefficients of ITU-T H.273 that a still picture uses; false for the others (the
// identity, YCgCo, those derived from the primaries).
bool ycbcrToRgb(int matrixCoefficients, bool fullRange, YcbcrToRgb& out);

class TileScaler {
public:
    // A picture of `width` x `height` luma samples, made `targetWidth` x `targetHeight` (no larger);
    // its chroma planes hold every (1 << chromaShiftX)-th column and (1 << chromaShiftY)-th row; grey
    // pictures have none.
    TileScaler(int width, int height, int targetWidth, int targetHeight, int chromaShiftX, int chromaShiftY, bool grey);

    // A tile whose top-left luma sample lies at (x, y) of the picture, `width` x `height` luma samples
    // (those outside the picture are left out); planes[1] and planes[2] are Cb and Cr. Safe to call
    // from several threads at once.
    void add(int x, int y, int width, int height, const std::uint8_t* const planes[3], const int strides[3]);

    // Target rows [firstRow, firstRow + rows) as interleaved 8-bit RGB. Several threads may convert
    // rows of their own at once, after the last add.
    void toRgb(const YcbcrToRgb& conversion, int firstRow, int rows, std::uint8_t* out, std::ptrdiff_t stride) const;

    int targetWidth() const { return m_targetWidth; }
    int targetHeight() const { return m_targetHeight; }

private:
    // Which target samples one plane sample covers, and by how much of each.
    struct Cover {
        int first = 0;
        int count = 0;
        float weight[3] = {};
    };
    struct Axis {
        std::vector<Cover> covers; // by plane sample
        std::vector<float> total;  // by target sample: the weight it received, to divide by
    };
    static Axis makeAxis(int samples, int lumaSamples, int shift, int target);
    void addPlane(int plane, int x, int y, int width, int height, const std::uint8_t* samples, int stride);

    int m_width, m_height, m_targetWidth, m_targetHeight;
    int m_shiftX, m_shiftY;
    bool m_grey;
    Axis m_lumaX, m_lumaY, m_chromaX, m_chromaY;
    std::mutex m_mutex;
    std::vector<float> m_sums[3]; // by plane, target-sized
};

} // namespace marquelo
