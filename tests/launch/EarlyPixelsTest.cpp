// The early window's pixels must look like the viewer's: the same area averages, the same orientation.
#include "launch/EarlyPixels.h"

#include "core/viewer/Upright.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdint>
#include <random>
#include <vector>

namespace marquelo {
namespace {

std::uint32_t grey(int level)
{
    return 0xff000000u | std::uint32_t(level) * 0x010101u;
}

int red(std::uint32_t p)
{
    return int(p >> 16) & 0xff;
}

TEST(EarlyPixels, EachPixelIsTheAverageOfTheAreaItCovers)
{
    // Whole blocks: 4 x 2 onto 2 x 1.
    const std::vector<std::uint32_t> blocks{grey(0),  grey(100), grey(200), grey(40),
                                            grey(20), grey(80),  grey(0),   grey(0)};
    const XrgbPicture half = scaledByArea(blocks.data(), 4, 2, 16, 2, 1);
    ASSERT_EQ(half.pixels.size(), 2u);
    EXPECT_EQ(red(half.pixels[0]), 50); // (0 + 100 + 20 + 80) / 4
    EXPECT_EQ(red(half.pixels[1]), 60); // (200 + 40 + 0 + 0) / 4
    // Parts of pixels: three onto two, each output pixel covering one and a half.
    const std::vector<std::uint32_t> row{grey(0), grey(90), grey(180)};
    const XrgbPicture two = scaledByArea(row.data(), 3, 1, 12, 2, 1);
    EXPECT_EQ(red(two.pixels[0]), 30);  // (0 + 90 / 2) / 1.5
    EXPECT_EQ(red(two.pixels[1]), 150); // (90 / 2 + 180) / 1.5
    // The channels stay apart, and a plain colour stays what it is at any scale.
    const std::vector<std::uint32_t> plain(7 * 5, 0xff123456u);
    for (const XrgbPicture& scaled :
         {scaledByArea(plain.data(), 7, 5, 28, 3, 2), scaledByArea(plain.data(), 7, 5, 28, 9, 8)})
        for (const std::uint32_t p : scaled.pixels)
            EXPECT_EQ(p, 0xff123456u);
}

TEST(EarlyPixels, RowsComeOutOnceInOrderAsSoonAsTheirSourceIsIn)
{
    constexpr int kWidth = 16, kHeight = 37, kToHeight = 10;
    std::vector<int> done;
    int pushed = 0;
    RowScaler scaler(kWidth, kHeight, 5, kToHeight, [&](int y, const std::uint32_t*) {
        done.push_back(y);
        // Output row y covers source rows up to (y + 1) * 3.7: none later is needed.
        EXPECT_LE(pushed, (y + 1) * kHeight / kToHeight + 1) << y;
    });
    const std::vector<std::uint32_t> row(kWidth, grey(9));
    for (; pushed < kHeight;) {
        ++pushed;
        scaler.push(row.data());
    }
    ASSERT_EQ(done.size(), std::size_t(kToHeight));
    for (int y = 0; y < kToHeight; ++y)
        EXPECT_EQ(done[std::size_t(y)], y);
}

TEST(EarlyPixels, TheScalerOnItsOwnThreadMakesTheSamePicture)
{
    constexpr int kWidth = 301, kHeight = 203, kToWidth = 167, kToHeight = 112;
    std::mt19937 random(7);
    std::vector<std::uint32_t> pixels(std::size_t(kWidth) * kHeight);
    for (std::uint32_t& p : pixels)
        p = 0xff000000u | (random() & 0xffffffu);
    const XrgbPicture whole = scaledByArea(pixels.data(), kWidth, kHeight, kWidth * 4, kToWidth, kToHeight);
    std::vector<std::uint32_t> threaded(std::size_t(kToWidth) * kToHeight);
    {
        RowScalerThread scaler(kWidth, kHeight, kToWidth, kToHeight, [&](int y, const std::uint32_t* row) {
            std::copy_n(row, kToWidth, threaded.data() + std::size_t(y) * kToWidth);
        });
        // In uneven batches, as libjpeg hands them out.
        for (int y = 0; y < kHeight;) {
            const int count = std::min(1 + y % 7, kHeight - y);
            scaler.push(pixels.data() + std::size_t(y) * kWidth, count);
            y += count;
        }
        scaler.finish();
    }
    EXPECT_EQ(threaded, whole.pixels);
}

TEST(EarlyPixels, EveryOrientationTurnsAsTheViewerTurns)
{
    constexpr int kWidth = 5, kHeight = 3;
    XrgbPicture stored{kWidth, kHeight, {}};
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            stored.pixels.push_back(0xff000000u | std::uint32_t(y * kWidth + x));
            image.setPixel(x, y, stored.pixels.back());
        }
    for (int exif = 1; exif <= 8; ++exif) {
        const media::Orientation orientation = media::Orientation::fromExif(exif);
        const XrgbPicture turned = oriented(stored, orientation);
        const QImage expected = upright(image, orientation);
        ASSERT_EQ(turned.width, expected.width()) << exif;
        ASSERT_EQ(turned.height, expected.height()) << exif;
        for (int y = 0; y < turned.height; ++y)
            for (int x = 0; x < turned.width; ++x)
                EXPECT_EQ(turned.pixels[std::size_t(y * turned.width + x)], expected.pixel(x, y))
                    << "orientation " << exif << " at " << x << "," << y;
    }
}

} // namespace
} // namespace marquelo
