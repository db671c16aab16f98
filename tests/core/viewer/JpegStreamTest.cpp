#include "core/viewer/JpegStream.h"
#include "core/viewer/PictureColour.h"
#include "core/viewer/PictureDecoder.h"
#include "core/viewer/WorkPools.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QSemaphore>
#include <QThreadPool>

#include <turbojpeg.h>

#include <cstring>
#include <vector>

namespace marquelo {
namespace {

const QSize kScreen(1920, 1080);

QByteArray corpusJpeg(const char* name)
{
    QFile f(QString::fromStdString(test::photo(std::string("formats/") + name)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The JPEG without its ICC profile segments: the same pixels, taken as sRGB.
QByteArray withoutProfile(const QByteArray& jpeg)
{
    QByteArray out = jpeg.left(2);
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size() && uchar(jpeg[pos]) == 0xFF && uchar(jpeg[pos + 1]) != 0xDA) {
        const int length = (uchar(jpeg[pos + 2]) << 8) | uchar(jpeg[pos + 3]);
        if (!(uchar(jpeg[pos + 1]) == 0xE2 && jpeg.mid(pos + 4, 11) == "ICC_PROFILE"))
            out += jpeg.mid(pos, 2 + length);
        pos += 2 + length;
    }
    return out + jpeg.mid(pos);
}

struct Rows {
    bool ok = false;
    std::vector<unsigned char> pixels;
    std::vector<std::pair<int, int>> bands;
};

Rows streamed(const QByteArray& jpeg, JpegScale scale, int width, int height, int bandRows)
{
    Rows r;
    r.pixels.assign(std::size_t(width) * std::size_t(height) * 4, 0);
    r.ok = decodeJpegRows(reinterpret_cast<const unsigned char*>(jpeg.constData()), std::size_t(jpeg.size()), scale,
                          r.pixels.data(), width * 4, width, height, bandRows,
                          [&](int first, int count) { r.bands.emplace_back(first, count); });
    return r;
}

TEST(JpegStream, RowsAreTurboJpegsAndEveryBandIsReportedOnceInOrder)
{
    struct Case {
        const char* file;
        JpegScale scale;
    };
    for (const Case& c : {Case{"apple_iphone13pro_p3_orient6.jpg", {3, 8}}, Case{"canon_eos7d_adobergb.jpg", {1, 1}},
                          Case{"apple_iphone13mini_p3_gainmap.jpg", {1, 2}}}) {
        if (!test::havePhoto("formats/" + std::string(c.file)))
            continue; // only in the large corpus
        const QByteArray jpeg = corpusJpeg(c.file);
        ASSERT_FALSE(jpeg.isEmpty()) << c.file;
        tjhandle tj = tjInitDecompress();
        auto* data = reinterpret_cast<unsigned char*>(const_cast<char*>(jpeg.constData()));
        int w = 0, h = 0, sub = 0, space = 0;
        ASSERT_EQ(tjDecompressHeader3(tj, data, (unsigned long)jpeg.size(), &w, &h, &sub, &space), 0);
        const tjscalingfactor factor{c.scale.num, c.scale.denom};
        const int width = TJSCALED(w, factor), height = TJSCALED(h, factor);
        std::vector<unsigned char> whole(std::size_t(width) * std::size_t(height) * 4);
        ASSERT_EQ(
            tjDecompress2(tj, data, (unsigned long)jpeg.size(), whole.data(), width, width * 4, height, TJPF_BGRX, 0),
            0);
        tjDestroy(tj);

        const Rows rows = streamed(jpeg, c.scale, width, height, 50);
        ASSERT_TRUE(rows.ok) << c.file;
        EXPECT_EQ(std::memcmp(rows.pixels.data(), whole.data(), whole.size()), 0) << c.file;
        int next = 0;
        for (const auto& [first, count] : rows.bands) {
            EXPECT_EQ(first, next) << c.file;
            EXPECT_GE(count, 1) << c.file;
            next = first + count;
        }
        EXPECT_EQ(next, height) << c.file;
        EXPECT_GT(rows.bands.size(), std::size_t(height / 60)) << c.file << ": bands must come while decoding";
    }
}

TEST(JpegStream, DamagedProgressiveAndMismatchedFilesAreLeftToTheWholeDecode)
{
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray baseline, progressive;
    {
        QBuffer buffer(&baseline);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(picture.save(&buffer, "JPEG", 90));
    }
    {
        QBuffer buffer(&progressive);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        ASSERT_TRUE(writer.write(picture));
    }
    EXPECT_TRUE(streamed(baseline, {1, 1}, 64, 48, 16).ok);
    EXPECT_FALSE(streamed(baseline.left(baseline.size() / 2), {1, 1}, 64, 48, 16).ok) << "a short file warns";
    EXPECT_FALSE(streamed(progressive, {1, 1}, 64, 48, 16).ok);
    EXPECT_FALSE(streamed(baseline, {1, 1}, 32, 48, 16).ok) << "a size other than the caller's buffer";
    EXPECT_FALSE(streamed("not a jpeg at all", {1, 1}, 64, 48, 16).ok);
}

TEST(PictureColour, ConvertingWhileDecodingEqualsConvertingTheDecodedPicture)
{
    for (const char* file :
         {"apple_iphone13pro_p3_orient6.jpg", "canon_eos7d_adobergb.jpg", "apple_iphone13mini_p3_gainmap.jpg"}) {
        if (!test::havePhoto("formats/" + std::string(file)))
            continue; // only in the large corpus
        const QByteArray jpeg = corpusJpeg(file);
        const QByteArray icc = PictureColour::jpegIccProfile(jpeg);
        ASSERT_FALSE(icc.isEmpty()) << file;
        const DecodedPicture shown = PictureDecoder::decode(jpeg, kScreen);
        DecodedPicture plain = PictureDecoder::decode(withoutProfile(jpeg), kScreen);
        ASSERT_TRUE(shown.ok && plain.ok) << file;
        ASSERT_TRUE(PictureColour::toDisplay(plain.image, icc)) << file;
        ASSERT_EQ(shown.image.size(), plain.image.size()) << file;
        ASSERT_EQ(shown.image.format(), plain.image.format()) << file;
        // Every row converted exactly once: a band missed or converted twice would differ.
        EXPECT_TRUE(shown.image == plain.image) << file;

        // With no pool thread free the decoding thread converts every band itself.
        QThreadPool* pool = &workpools::parts();
        const int threads = pool->maxThreadCount();
        pool->setMaxThreadCount(1);
        QSemaphore hold, held;
        pool->start([&] {
            held.release();
            hold.acquire();
        });
        held.acquire();
        const DecodedPicture alone = PictureDecoder::decode(jpeg, kScreen);
        hold.release();
        pool->waitForDone();
        pool->setMaxThreadCount(threads);
        EXPECT_TRUE(alone.ok && alone.image == plain.image) << file;
    }
}

TEST(PictureColour, RowConversionOnlyWhenTheSpacesDiffer)
{
    const QByteArray p3 = PictureColour::jpegIccProfile(corpusJpeg("apple_iphone13mini_p3_gainmap.jpg"));
    ASSERT_FALSE(p3.isEmpty());
    EXPECT_EQ(PictureColour::rowConversion(QByteArray()), nullptr) << "sRGB on an sRGB screen";
    EXPECT_EQ(PictureColour::rowConversion("not a profile"), nullptr);
    const auto fromP3 = PictureColour::rowConversion(p3);
    ASSERT_NE(fromP3, nullptr);

    // One band converted in place equals the whole picture converted.
    QImage image(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            image.setPixel(x, y, qRgb(x * 6, y * 8, (x * y) & 255));
    QImage whole = image;
    ASSERT_TRUE(PictureColour::toDisplay(whole, p3));
    QImage banded = image;
    fromP3->run(banded.scanLine(10), 40, 20, banded.bytesPerLine());
    for (int y = 0; y < 30; ++y)
        EXPECT_EQ(std::memcmp(banded.constScanLine(y), (y < 10 ? image : whole).constScanLine(y), 40 * 4), 0)
            << "row " << y;

    PictureColour::setDisplayProfile(p3);
    EXPECT_EQ(PictureColour::rowConversion(p3), nullptr) << "a P3 picture on a P3 screen";
    EXPECT_NE(PictureColour::rowConversion(QByteArray()), nullptr) << "an sRGB picture on a P3 screen";
    PictureColour::setDisplayProfile(QByteArray());
}

} // namespace
} // namespace marquelo
