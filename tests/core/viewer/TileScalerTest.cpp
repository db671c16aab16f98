#include "core/viewer/vips/TileScaler.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace marquelo {
namespace {

// A picture of three planes, chroma halved both ways, with samples that differ everywhere.
struct Planes {
    int width, height;
    std::vector<std::uint8_t> plane[3];

    Planes(int w, int h) : width(w), height(h)
    {
        plane[0].resize(std::size_t(w * h));
        for (int i = 0; i < w * h; ++i)
            plane[0][std::size_t(i)] = std::uint8_t((i * 37 + i / w * 11) % 251);
        const int cw = (w + 1) / 2, ch = (h + 1) / 2;
        for (int p = 1; p < 3; ++p) {
            plane[p].resize(std::size_t(cw * ch));
            for (int i = 0; i < cw * ch; ++i)
                plane[p][std::size_t(i)] = std::uint8_t((i * (p == 1 ? 13 : 29) + 40) % 256);
        }
    }

    // The tile at (x, y) of tile x tile luma samples, as a decoder hands it over: its own planes,
    // padded with other samples where it reaches past the picture.
    void addTile(TileScaler& scaler, int x, int y, int tile) const
    {
        std::vector<std::uint8_t> own[3];
        const std::uint8_t* planes[3];
        int strides[3];
        for (int p = 0; p < 3; ++p) {
            const int shift = p ? 1 : 0;
            const int size = tile >> shift, px = x >> shift, py = y >> shift;
            const int pw = p ? (width + 1) / 2 : width, ph = p ? (height + 1) / 2 : height;
            own[p].assign(std::size_t(size * size), 255);
            for (int r = 0; r < size && py + r < ph; ++r)
                for (int c = 0; c < size && px + c < pw; ++c)
                    own[p][std::size_t(r * size + c)] = plane[p][std::size_t((py + r) * pw + px + c)];
            planes[p] = own[p].data();
            strides[p] = size;
        }
        scaler.add(x, y, tile, tile, planes, strides);
    }
};

std::vector<std::uint8_t> rgbOf(const TileScaler& scaler, const YcbcrToRgb& conversion)
{
    std::vector<std::uint8_t> out(std::size_t(scaler.targetWidth() * scaler.targetHeight() * 3));
    scaler.toRgb(conversion, 0, scaler.targetHeight(), out.data(), scaler.targetWidth() * 3);
    return out;
}

YcbcrToRgb fullRange601()
{
    YcbcrToRgb conversion;
    EXPECT_TRUE(ycbcrToRgb(6, true, conversion));
    return conversion;
}

TEST(TileScaler, TilesGiveWhatThePictureInOnePieceGives)
{
    // Tiles whose edges fall inside target pixels, a last row and column cut off by the picture's size,
    // tiles added in any order: every target pixel still gets its whole area once.
    const Planes picture(150, 98);
    for (const auto& [targetWidth, targetHeight] : {std::pair{37, 24}, std::pair{150, 98}, std::pair{100, 65}}) {
        TileScaler whole(150, 98, targetWidth, targetHeight, 1, 1, false);
        picture.addTile(whole, 0, 0, 256);
        TileScaler tiled(150, 98, targetWidth, targetHeight, 1, 1, false);
        for (int y = 96; y >= 0; y -= 32)
            for (int x = 128; x >= 0; x -= 32)
                picture.addTile(tiled, x, y, 32);
        const std::vector<std::uint8_t> a = rgbOf(whole, fullRange601()), b = rgbOf(tiled, fullRange601());
        int off = 0;
        for (std::size_t i = 0; i < a.size(); ++i)
            off += std::abs(int(a[i]) - int(b[i])) > 1;
        EXPECT_EQ(off, 0) << targetWidth << "x" << targetHeight;
    }
}

TEST(TileScaler, EachTargetPixelIsTheMeanOfItsArea)
{
    // Grey 4x2 samples to 2x1: each target pixel the mean of a 2x2 block; to 3x1, a third of a sample
    // shared between neighbours.
    const std::uint8_t grey[8] = {10, 30, 100, 200, 50, 70, 0, 100};
    const std::uint8_t* planes[3] = {grey, nullptr, nullptr};
    const int strides[3] = {4, 0, 0};
    TileScaler half(4, 2, 2, 1, 0, 0, true);
    half.add(0, 0, 4, 2, planes, strides);
    const std::vector<std::uint8_t> h = rgbOf(half, fullRange601());
    EXPECT_EQ(h[0], 40);
    EXPECT_EQ(h[3], 100);
    EXPECT_EQ(h[4], 100) << "grey stays grey";
    TileScaler third(4, 2, 3, 1, 0, 0, true);
    third.add(0, 0, 4, 2, planes, strides);
    const std::vector<std::uint8_t> t = rgbOf(third, fullRange601());
    // Column means 30, 50, 50, 150; a target pixel covers 1 + 1/3, 2/3 + 2/3, 1/3 + 1 of them.
    EXPECT_EQ(t[0], 35);
    EXPECT_EQ(t[3], 50);
    EXPECT_EQ(t[6], 125);
}

TEST(TileScaler, SamplesBecomeRgbByTheirMatrixAndRange)
{
    auto one = [](std::uint8_t y, std::uint8_t cb, std::uint8_t cr, const YcbcrToRgb& conversion) {
        const std::uint8_t* planes[3] = {&y, &cb, &cr};
        const int strides[3] = {1, 1, 1};
        TileScaler scaler(1, 1, 1, 1, 0, 0, false);
        scaler.add(0, 0, 1, 1, planes, strides);
        return rgbOf(scaler, conversion);
    };
    YcbcrToRgb limited709;
    ASSERT_TRUE(ycbcrToRgb(1, false, limited709));
    EXPECT_EQ(one(16, 128, 128, limited709), (std::vector<std::uint8_t>{0, 0, 0})) << "limited range black";
    EXPECT_EQ(one(235, 128, 128, limited709), (std::vector<std::uint8_t>{255, 255, 255})) << "limited range white";
    EXPECT_EQ(one(128, 128, 128, fullRange601()), (std::vector<std::uint8_t>{128, 128, 128}));
    // BT.601 red (255, 0, 0) is Y 76, Cb 85, Cr 255; BT.709 reads the same samples otherwise.
    EXPECT_EQ(one(76, 85, 255, fullRange601()), (std::vector<std::uint8_t>{254, 0, 0}));
    YcbcrToRgb full709;
    ASSERT_TRUE(ycbcrToRgb(1, true, full709));
    const std::vector<std::uint8_t> other = one(76, 85, 255, full709);
    EXPECT_GT(std::abs(int(other[1]) - 0) + std::abs(int(other[0]) - 254), 10);
    // Out of range samples are held at the ends rather than wrapped.
    EXPECT_EQ(one(255, 255, 255, fullRange601())[0], 255);
    EXPECT_EQ(one(0, 0, 0, fullRange601())[2], 0);
    YcbcrToRgb none;
    EXPECT_FALSE(ycbcrToRgb(0, true, none)) << "GBR is no YCbCr";
    EXPECT_FALSE(ycbcrToRgb(12, true, none)) << "derived from the primaries";
}

} // namespace
} // namespace marquelo
