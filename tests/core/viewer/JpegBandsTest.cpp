#include "core/viewer/JpegBands.h"
#include "core/viewer/PictureDecoder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

#include <turbojpeg.h>

#include <vector>

namespace marquelo {
namespace {

TEST(JpegScaleChoice, SmallestEighthThatStillFillsThePlace)
{
    struct Row {
        QSize photo;
        QSize place;
        double minScale;
        JpegScale expected;
    };
    for (const Row& r : {
             Row{QSize(4608, 3072), QSize(1500, 1000), 0, {3, 8}},
             Row{QSize(3072, 4608), QSize(1000, 1500), 0, {3, 8}},
             Row{QSize(4608, 3072), QSize(1920, 1080), 0, {3, 8}}, // 1080 / 3072 = 0.352
             Row{QSize(3000, 2000), QSize(1500, 1000), 0, {1, 2}}, // exactly one half
             Row{QSize(3000, 2000), QSize(1501, 1001), 0, {5, 8}}, // one pixel more no longer fits in 1/2
             Row{QSize(6000, 4000), QSize(3000, 4000), 0, {1, 2}}, // the narrower side decides
             Row{QSize(6000, 4000), QSize(5999, 3999), 0, {1, 1}},
             Row{QSize(8000, 6000), QSize(640, 480), 0, {1, 8}},     // never below 1/8
             Row{QSize(1000, 800), QSize(1920, 1080), 0, {1, 1}},    // smaller than the window: whole
             Row{QSize(4608, 3072), QSize(), 0, {1, 1}},             // no place given: whole
             Row{QSize(4608, 3072), QSize(1500, 1000), 0.6, {5, 8}}, // a zoom asks for more
             Row{QSize(4608, 3072), QSize(100, 100), 1.0, {1, 1}},
         }) {
        const JpegScale scale = chooseJpegScale(neededScale(r.photo, r.place, r.minScale));
        EXPECT_EQ(scale, r.expected) << r.photo.width() << "x" << r.photo.height() << " into " << r.place.width() << "x"
                                     << r.place.height() << " min " << r.minScale << ": got " << scale.num << "/"
                                     << scale.denom;
    }
}

QByteArray corpusFile(const char* name)
{
    QFile file(QString::fromStdString(test::photo(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<unsigned char> wholeDecode(const QByteArray& jpeg, JpegScale scale, int& width, int& height)
{
    tjhandle handle = tjInitDecompress();
    auto* data = reinterpret_cast<const unsigned char*>(jpeg.constData());
    int subsamp = 0, colorspace = 0;
    tjDecompressHeader3(handle, data, static_cast<unsigned long>(jpeg.size()), &width, &height, &subsamp, &colorspace);
    const tjscalingfactor factor{scale.num, scale.denom};
    width = TJSCALED(width, factor);
    height = TJSCALED(height, factor);
    std::vector<unsigned char> pixels(std::size_t(width) * height * 4);
    EXPECT_EQ(tjDecompress2(handle, data, static_cast<unsigned long>(jpeg.size()), pixels.data(), width, width * 4,
                            height, TJPF_BGRX, 0),
              0);
    tjDestroy(handle);
    return pixels;
}

// Restart markers every MCU row of 16 x 16 (4:2:0, so the chroma rows at the band edges need their
// neighbours), and every 4 MCUs of 16 x 8 (4:2:2).
TEST(JpegBands, GiveTheBytesOfASingleDecode)
{
    for (const char* name : {"formats/apple_iphone13pro_p3_orient6.jpg", "camera/olympus_pen_e_p3.jpg",
                             "formats/apple_iphone13mini_p3_gainmap.jpg"}) {
        if (!test::havePhoto(name))
            continue; // only in the large corpus
        const QByteArray jpeg = corpusFile(name);
        ASSERT_FALSE(jpeg.isEmpty()) << name;
        auto* data = reinterpret_cast<const unsigned char*>(jpeg.constData());
        for (JpegScale scale : {JpegScale{1, 1}, JpegScale{3, 8}, JpegScale{1, 2}, JpegScale{1, 8}}) {
            int width = 0, height = 0;
            const std::vector<unsigned char> whole = wholeDecode(jpeg, scale, width, height);
            for (int bands : {2, 3}) {
                // Filled with a colour no decode gives, so that a row no band wrote shows.
                std::vector<unsigned char> banded(whole.size(), 0x5a);
                ASSERT_TRUE(decodeJpegInBands(data, std::size_t(jpeg.size()), scale, banded.data(), width * 4,
                                              TJPF_BGRX, bands))
                    << name << " " << scale.num << "/" << scale.denom << " in " << bands;
                EXPECT_TRUE(banded == whole) << name << " " << scale.num << "/" << scale.denom << " in " << bands;
            }
        }
    }
}

TEST(JpegBands, FilesThatCannotBeSplitAreLeftToASingleDecode)
{
    MARQUELO_NEED_PHOTO("formats/apple_iphone13pro_p3_orient6.jpg");
    std::vector<unsigned char> pixels(std::size_t(4032) * 3024 * 4);
    const auto tryBands = [&](const QByteArray& jpeg) {
        return decodeJpegInBands(reinterpret_cast<const unsigned char*>(jpeg.constData()), std::size_t(jpeg.size()),
                                 {1, 8}, pixels.data(), 4032 * 4, TJPF_BGRX, 2);
    };
    EXPECT_FALSE(tryBands(corpusFile("camera/canon_eos5d.jpg"))) << "no restart markers";
    const QByteArray good = corpusFile("formats/apple_iphone13pro_p3_orient6.jpg");
    EXPECT_FALSE(tryBands(good.left(good.size() / 2))) << "cut short";
    QByteArray renumbered = good;
    // The main picture's frame (4032 x 3024), not the thumbnail's or the gain map's.
    const qsizetype frame = renumbered.indexOf(QByteArray("\xff\xc0\x00\x11\x08\x0b\xd0\x0f\xc0", 9));
    ASSERT_GT(frame, 0);
    const qsizetype marker = renumbered.indexOf("\xff\xd1", renumbered.indexOf("\xff\xda", frame));
    ASSERT_GT(marker, 0);
    renumbered[marker + 1] = char(0xd5);
    EXPECT_FALSE(tryBands(renumbered)) << "restart markers out of sequence";
    EXPECT_FALSE(tryBands(QByteArray("\xff\xd8\xff\xd9", 4)));
}

TEST(JpegBands, DecoderGivesTheSamePictureOnTwoThreads)
{
    MARQUELO_NEED_PHOTO("formats/apple_iphone13pro_p3_orient6.jpg");
    const QByteArray jpeg = corpusFile("formats/apple_iphone13pro_p3_orient6.jpg");
    const DecodedPicture one = PictureDecoder::decode(jpeg, QSize(1500, 1000), 0, PictureDecoder::kMaxDecodedBytes, 1);
    const DecodedPicture two = PictureDecoder::decode(jpeg, QSize(1500, 1000), 0, PictureDecoder::kMaxDecodedBytes, 2);
    ASSERT_TRUE(one.ok && two.ok);
    EXPECT_EQ(two.fullSize, one.fullSize);
    EXPECT_TRUE(two.image == one.image);
}

} // namespace
} // namespace marquelo
