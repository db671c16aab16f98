#include "core/viewer/VipsPictureDecoder.h"
#include "core/viewer/PictureColour.h"
#include "core/viewer/PictureDecoder.h"
#include "core/viewer/vips/HeifGeometry.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <libheif/heif.h>
#include <vips/vips8>

#include <cmath>

namespace marquelo {
namespace {

const QSize kScreen(1920, 1080);

std::string formatsFile(const std::string& name)
{
    return test::photo("formats/" + name);
}

QByteArray readAll(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Mean absolute difference per sample of two pictures brought to one small size.
double difference(const QImage& a, const QImage& b)
{
    const QImage x =
        a.scaled(64, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    const QImage y =
        b.scaled(64, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < 48; ++row)
        for (int col = 0; col < 64; ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (64 * 48 * 3);
}

// A reference rendering made by libvips alone: autorotated, 8-bit sRGB through its own icc_transform.
// The program's libvips lives in its module; the tests' own use of it starts it here, so that no test
// depends on another one having run first.
bool testVipsStarted()
{
    static const bool started = VIPS_INIT("marquelo-test") == 0;
    return started;
}

QImage vipsReference(const std::string& path)
{
    EXPECT_TRUE(testVipsStarted());
    vips::VImage image = vips::VImage::new_from_file(path.c_str()).autorot();
    if (image.get_typeof(VIPS_META_ICC_NAME) != 0)
        image = image.icc_transform("srgb", vips::VImage::option()->set("embedded", true));
    else
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    image = image.cast(VIPS_FORMAT_UCHAR);
    if (image.bands() > 3)
        image = image.extract_band(0, vips::VImage::option()->set("n", 3));
    size_t size = 0;
    void* data = image.write_to_memory(&size);
    QImage out =
        QImage(static_cast<const uchar*>(data), image.width(), image.height(), image.width() * 3, QImage::Format_RGB888)
            .convertToFormat(QImage::Format_RGB32);
    g_free(data);
    return out;
}

struct FormatCase {
    const char* file;
    QSize upright;
};

class EachFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(EachFormat, DecodesUprightNoLargerThanTheScreenNeeds)
{
    const FormatCase& c = GetParam();
    MARQUELO_NEED_PHOTO("formats/" + std::string(c.file));
    const DecodedPicture d = PictureDecoder::decodeFile(formatsFile(c.file), kScreen);
    ASSERT_TRUE(d.ok) << c.file;
    EXPECT_EQ(d.fullSize, c.upright) << c.file;
    // Same shape as the upright picture (a turned or cropped one would not be).
    EXPECT_NEAR(double(d.image.width()) / d.image.height(), double(c.upright.width()) / c.upright.height(), 0.01);
    const bool fitsScreen = c.upright.width() <= kScreen.width() && c.upright.height() <= kScreen.height();
    if (fitsScreen)
        EXPECT_EQ(d.image.size(), c.upright);
    else
        EXPECT_TRUE(d.image.width() >= kScreen.width() || d.image.height() >= kScreen.height() ||
                    d.image.size() == c.upright)
            << c.file << ": " << d.image.width() << "x" << d.image.height();
    EXPECT_TRUE(d.image.format() == QImage::Format_RGB32 || d.image.format() == QImage::Format_ARGB32_Premultiplied);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, EachFormat,
    ::testing::Values(
        FormatCase{"apple_iphone13pro_grid_irot270_p3.heic", {3024, 4032}},
        FormatCase{"samsung_galaxy_s10_irot270.heic", {3024, 4032}},
        FormatCase{"hmd_nokia_8_3_irot270_exif1.heif", {3456, 4608}},
        FormatCase{"sony_a7s3_10bit_422.hif", {4240, 2832}}, FormatCase{"libheif_example_two_images.heic", {1280, 854}},
        FormatCase{"canon_eos70d.avif", {5472, 3648}}, FormatCase{"pixel4a_seine_10bit_pq_rec2020.avif", {400, 300}},
        FormatCase{"nikon_coolpix_p7000_orient6_lossy.webp", {2736, 3648}},
        FormatCase{"nikon_d3100_lossless.webp", {1600, 1067}}, FormatCase{"animation_lossy.webp", {320, 240}},
        FormatCase{"weld_16bit.png", {1024, 684}}, FormatCase{"leaves_apple_display_icc_rgba.png", {640, 513}},
        FormatCase{"olympus_d450_camera.tif", {1280, 960}}, FormatCase{"parrot_sequoia_16bit_grey.tif", {1280, 964}},
        FormatCase{"weld_16bit_rgb_deflate.tif", {1024, 684}}, FormatCase{"bench_oriented_brg_icc.jxl", {606, 500}},
        FormatCase{"bicycles.jxl", {1024, 631}}, FormatCase{"canon_eos1000d_jpeg_recompressed.jxl", {2592, 3888}},
        FormatCase{"canon_eos_r6_pruned.cr3", {1620, 1080}}, FormatCase{"canon_powershot_g2.crw", {640, 480}}),
    test::NameByFile());

TEST(VipsPictureDecoder, LooksLikeLibvipsOwnRendering)
{
    // Orientation (EXIF 6 WebP, HEIF irot), 16-bit and grey samples, and profiles all agree with an
    // independent rendering by libvips itself.
    for (const char* file : {"nikon_coolpix_p7000_orient6_lossy.webp", "samsung_galaxy_s10_irot270.heic",
                             "weld_16bit.png", "parrot_sequoia_16bit_grey.tif", "bench_oriented_brg_icc.jxl",
                             "canon_eos7d_adobergb.jpg", "apple_iphone13pro_grid_irot270_p3.heic"}) {
        if (!test::havePhoto("formats/" + std::string(file)))
            continue; // only in the large corpus
        const DecodedPicture d = PictureDecoder::decodeFile(formatsFile(file), QSize(800, 800));
        ASSERT_TRUE(d.ok) << file;
        const QImage reference = vipsReference(formatsFile(file));
        EXPECT_LT(difference(d.image, reference), 3.0) << file;
        EXPECT_GT(difference(d.image, reference.mirrored(true, false)), 8.0) << file << ": the measure cannot tell";
    }
}

TEST(VipsPictureDecoder, SixteenBitPngAndTiffOfOnePictureDecodeAlike)
{
    MARQUELO_NEED_PHOTO("formats/weld_16bit.png");
    MARQUELO_NEED_PHOTO("formats/weld_16bit_rgb_deflate.tif");
    const DecodedPicture png = PictureDecoder::decodeFile(formatsFile("weld_16bit.png"), QSize());
    const DecodedPicture tif = PictureDecoder::decodeFile(formatsFile("weld_16bit_rgb_deflate.tif"), QSize());
    ASSERT_TRUE(png.ok && tif.ok);
    EXPECT_TRUE(png.fullResolution);
    EXPECT_EQ(png.image, tif.image);
}

TEST(VipsPictureDecoder, AlphaIsKeptForTheBackgroundToShowThrough)
{
    // Left half clear, right half opaque red, in PNG and in lossless WebP.
    QImage source(8, 4, QImage::Format_ARGB32);
    source.fill(Qt::transparent);
    for (int y = 0; y < 4; ++y)
        for (int x = 4; x < 8; ++x)
            source.setPixel(x, y, qRgba(255, 0, 0, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(source.save(&buffer, "PNG"));
    void* webpData = nullptr;
    size_t webpSize = 0;
    ASSERT_TRUE(testVipsStarted());
    vips::VImage::new_from_buffer(png.constData(), size_t(png.size()), "")
        .write_to_buffer(".webp", &webpData, &webpSize, vips::VImage::option()->set("lossless", true));
    const QByteArray webp(static_cast<const char*>(webpData), qsizetype(webpSize));
    g_free(webpData);
    for (const QByteArray& bytes : {png, webp}) {
        const DecodedPicture d = PictureDecoder::decode(bytes, QSize());
        ASSERT_TRUE(d.ok);
        ASSERT_TRUE(d.image.hasAlphaChannel());
        EXPECT_EQ(qAlpha(d.image.pixel(1, 1)), 0);
        EXPECT_EQ(d.image.pixel(6, 2), qRgba(255, 0, 0, 255));
    }
}

TEST(VipsPictureDecoder, ZoomDecodesMoreDetail)
{
    const std::string file = formatsFile("nikon_coolpix_p7000_orient6_lossy.webp");
    const DecodedPicture fitted = PictureDecoder::decodeFile(file, QSize(640, 480));
    const DecodedPicture detail = PictureDecoder::decodeFile(file, QSize(640, 480), 1.0);
    ASSERT_TRUE(fitted.ok && detail.ok);
    EXPECT_LT(fitted.image.height(), 1000);
    EXPECT_FALSE(fitted.fullResolution);
    EXPECT_EQ(detail.image.size(), QSize(2736, 3648));
    EXPECT_TRUE(detail.fullResolution);
}

// libheif's own decode of a HEIF's primary picture, upright, in the display's colours: what a
// decoder of its own must show too.
QImage libheifReference(const QByteArray& bytes)
{
    heif_context* context = heif_context_alloc();
    QImage out;
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    if (heif_context_read_from_memory_without_copy(context, bytes.constData(), size_t(bytes.size()), nullptr).code ==
            heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok &&
        heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code ==
            heif_error_Ok) {
        QByteArray icc;
        if (heif_image_handle_get_color_profile_type(handle) == heif_color_profile_type_prof) {
            icc.resize(qsizetype(heif_image_handle_get_raw_color_profile_size(handle)));
            heif_image_handle_get_raw_color_profile(handle, icc.data());
        }
        int stride = 0;
        const std::uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
        out = PictureColour::fromInterleaved(plane, heif_image_get_primary_width(image),
                                             heif_image_get_primary_height(image), stride, 3, 8, icc);
        heif_image_release(image);
    }
    if (handle)
        heif_image_handle_release(handle);
    heif_context_free(context);
    return out;
}

// The mean difference of each channel (how far the colours lean one way) and the mean absolute
// difference of all samples, of a decode against a reference brought to its size.
struct Deviation {
    double lean[3] = {};
    double absolute = 0;
};

Deviation deviation(const QImage& decoded, const QImage& reference)
{
    const QImage a = decoded.convertToFormat(QImage::Format_RGB32);
    const QImage b = reference.scaled(decoded.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB32);
    Deviation out;
    const double samples = double(a.width()) * a.height();
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int d[3] = {qRed(p[x]) - qRed(q[x]), qGreen(p[x]) - qGreen(q[x]), qBlue(p[x]) - qBlue(q[x])};
            for (int c = 0; c < 3; ++c) {
                out.lean[c] += d[c] / samples;
                out.absolute += std::abs(d[c]) / (3 * samples);
            }
        }
    }
    return out;
}

TEST(VipsPictureDecoder, PhotosOfPhonesLookAsLibheifDecodesThem)
{
    // A grid's tiles (HEIC) and an AV1 picture (AVIF) decoded and scaled to the screen here: same
    // colours (matrix, range, profile) and same turn. Decodes in full go through libheif's planes,
    // held against libheif in EveryChromaLayoutLooksAsLibheifDecodesIt.
    for (const char* file : {"apple_iphone13pro_grid_irot270_p3.heic", "canon_eos70d.avif"}) {
        MARQUELO_NEED_PHOTO("formats/" + std::string(file));
        const QByteArray bytes = readAll(formatsFile(file));
        const QImage reference = libheifReference(bytes);
        ASSERT_FALSE(reference.isNull()) << file;
        // Two threads, as the picture on screen gets: the tiles or bands shared out over the cores.
        const DecodedPicture d = PictureDecoder::decode(bytes, kScreen, 0, PictureDecoder::kMaxDecodedBytes, 2);
        ASSERT_TRUE(d.ok) << file << ": " << d.error.toStdString();
        EXPECT_FALSE(d.fullResolution);
        EXPECT_EQ(d.fullSize, reference.size()) << file;
        EXPECT_NEAR(double(d.image.width()) / d.image.height(), double(reference.width()) / reference.height(), 0.01)
            << file;
        const Deviation off = deviation(d.image, reference);
        for (int c = 0; c < 3; ++c)
            EXPECT_LT(std::abs(off.lean[c]), 1.0) << file << " channel " << c;
        EXPECT_LT(off.absolute, 3.0) << file;
        EXPECT_GT(deviation(d.image, reference.mirrored(true, false)).absolute, 10.0) << "the measure cannot tell";
    }
}

heif_error appendTo(heif_context*, const void* data, size_t size, void* bytes)
{
    static_cast<QByteArray*>(bytes)->append(static_cast<const char*>(data), qsizetype(size));
    return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

// A picture of colour gradients encoded by libheif itself, `width` x `height`, from planes of `chroma`.
QByteArray encodedByLibheif(heif_compression_format codec, heif_colorspace space, heif_chroma chroma, int width,
                            int height)
{
    QByteArray out;
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* image = nullptr;
    heif_image_handle* handle = nullptr;
    if (heif_context_get_encoder_for_format(context, codec, &encoder).code == heif_error_Ok &&
        heif_image_create(width, height, space, chroma, &image).code == heif_error_Ok) {
        heif_encoder_set_lossy_quality(encoder, 95);
        const int shift = chroma == heif_chroma_420 ? 1 : 0;
        const int planes = space == heif_colorspace_monochrome ? 1 : 3;
        const heif_channel channels[3] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
        for (int p = 0; p < planes; ++p) {
            const int w = p ? (width + shift) >> shift : width, h = p ? (height + shift) >> shift : height;
            heif_image_add_plane(image, channels[p], w, h, 8);
            int stride = 0;
            std::uint8_t* samples = heif_image_get_plane(image, channels[p], &stride);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    samples[y * stride + x] = std::uint8_t(p == 0   ? 30 + 190 * x / w
                                                           : p == 1 ? 70 + 110 * y / h
                                                                    : 200 - 120 * (x + y) / (w + h));
        }
        heif_writer writer{1, appendTo};
        if (heif_context_encode_image(context, image, encoder, nullptr, &handle).code == heif_error_Ok)
            heif_context_write(context, &writer, &out);
    }
    if (handle)
        heif_image_handle_release(handle);
    if (image)
        heif_image_release(image);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(context);
    return out;
}

TEST(VipsPictureDecoder, EveryChromaLayoutLooksAsLibheifDecodesIt)
{
    // Pictures of one piece: AV1 decoded here, HEVC through libheif's planes; grey and full chroma
    // too, each scaled down and in full.
    struct Case {
        heif_compression_format codec;
        heif_colorspace space;
        heif_chroma chroma;
    };
    for (const Case& c : {Case{heif_compression_AV1, heif_colorspace_YCbCr, heif_chroma_420},
                          Case{heif_compression_AV1, heif_colorspace_YCbCr, heif_chroma_444},
                          Case{heif_compression_AV1, heif_colorspace_monochrome, heif_chroma_monochrome},
                          Case{heif_compression_HEVC, heif_colorspace_YCbCr, heif_chroma_420},
                          Case{heif_compression_HEVC, heif_colorspace_YCbCr, heif_chroma_444}}) {
        const QByteArray bytes = encodedByLibheif(c.codec, c.space, c.chroma, 96, 64);
        const std::string name = std::to_string(int(c.codec)) + "/" + std::to_string(int(c.chroma));
        ASSERT_FALSE(bytes.isEmpty()) << name;
        const QImage reference = libheifReference(bytes);
        ASSERT_FALSE(reference.isNull()) << name;
        for (const double minScale : {0.0, 1.0}) {
            const DecodedPicture d = PictureDecoder::decode(bytes, QSize(48, 48), minScale);
            ASSERT_TRUE(d.ok) << name << ": " << d.error.toStdString();
            EXPECT_EQ(d.image.width(), minScale >= 1.0 ? 96 : 48) << name;
            const Deviation off = deviation(d.image, reference);
            for (int channel = 0; channel < 3; ++channel)
                EXPECT_LT(std::abs(off.lean[channel]), 1.5) << name << " channel " << channel << " at " << minScale;
            EXPECT_LT(off.absolute, 3.0) << name << " at " << minScale;
        }
    }
}

TEST(VipsPictureDecoder, DamagedTilesAreRefusedWithAReason)
{
    MARQUELO_NEED_PHOTO("formats/apple_iphone13pro_grid_irot270_p3.heic");
    const QByteArray good = readAll(formatsFile("apple_iphone13pro_grid_irot270_p3.heic"));
    const std::optional<HeifGrid> grid =
        heifPrimaryHevcGrid(reinterpret_cast<const std::uint8_t*>(good.constData()), std::size_t(good.size()));
    ASSERT_TRUE(grid);
    const qsizetype tile = reinterpret_cast<const char*>(grid->tiles[20].data) - good.constData();

    QByteArray longNal = good; // the first NAL unit of a tile claims more bytes than the tile holds
    longNal[tile] = char(0x7f);
    const QByteArray cut = good.left(tile + 100); // the file ends inside a tile
    for (const QByteArray& bytes : {longNal, cut}) {
        const DecodedPicture d = PictureDecoder::decode(bytes, kScreen, 0, PictureDecoder::kMaxDecodedBytes, 2);
        EXPECT_FALSE(d.ok);
        EXPECT_FALSE(d.error.isEmpty());
    }
    // Coded bytes that are nonsense: shown as far as the codec makes sense of them, as libheif does,
    // or refused with a reason.
    QByteArray garbage = good;
    for (qsizetype i = tile + 8; i < tile + qsizetype(grid->tiles[20].size); ++i)
        garbage[i] = char(i * 7);
    const DecodedPicture d = PictureDecoder::decode(garbage, kScreen);
    EXPECT_TRUE(d.ok || !d.error.isEmpty());
    EXPECT_TRUE(PictureDecoder::decode(good, kScreen).ok);
}

TEST(VipsPictureDecoder, DamagedAv1PicturesAreRefusedWithAReason)
{
    MARQUELO_NEED_PHOTO("formats/canon_eos70d.avif");
    const QByteArray good = readAll(formatsFile("canon_eos70d.avif"));
    const std::optional<HeifCodedPicture> picture =
        heifPrimaryAv1(reinterpret_cast<const std::uint8_t*>(good.constData()), std::size_t(good.size()));
    ASSERT_TRUE(picture);
    const qsizetype start = reinterpret_cast<const char*>(picture->data) - good.constData();
    QByteArray noHeader = good; // the sequence header overwritten: nothing to decode by
    for (qsizetype i = start; i < start + 64; ++i)
        noHeader[i] = char(0xff);
    const QByteArray cut = good.left(start + 1000);
    for (const QByteArray& bytes : {noHeader, cut}) {
        const DecodedPicture d = PictureDecoder::decode(bytes, kScreen, 0, PictureDecoder::kMaxDecodedBytes, 2);
        EXPECT_FALSE(d.ok);
        EXPECT_FALSE(d.error.isEmpty());
    }
}

TEST(PictureColour, DisplayP3PatchConvertsAsLcmsThroughLibvipsSays)
{
    // Every iPhone since the 7 embeds the same Display P3 profile.
    const QByteArray p3 = PictureColour::jpegIccProfile(readAll(formatsFile("apple_iphone13mini_p3_gainmap.jpg")));
    ASSERT_GT(p3.size(), 100);
    // Saturated and mid colours, one per pixel.
    const std::vector<QRgb> patch = {qRgb(255, 0, 0),    qRgb(0, 255, 0),     qRgb(0, 0, 255),
                                     qRgb(200, 120, 60), qRgb(128, 128, 128), qRgb(20, 200, 180)};
    QImage image(int(patch.size()), 1, QImage::Format_RGB32);
    for (int i = 0; i < int(patch.size()); ++i)
        image.setPixel(i, 0, patch[std::size_t(i)]);
    QImage converted = image;
    ASSERT_TRUE(PictureColour::toDisplay(converted, p3));

    std::vector<unsigned char> rgb;
    for (QRgb c : patch)
        rgb.insert(rgb.end(), {uchar(qRed(c)), uchar(qGreen(c)), uchar(qBlue(c))});
    vips::VImage source =
        vips::VImage::new_from_memory(rgb.data(), rgb.size(), int(patch.size()), 1, 3, VIPS_FORMAT_UCHAR);
    source.set(VIPS_META_ICC_NAME, nullptr, const_cast<char*>(p3.constData()), size_t(p3.size()));
    vips::VImage expected = source.icc_transform(
        "srgb", vips::VImage::option()->set("embedded", true)->set("intent", VIPS_INTENT_RELATIVE));
    for (int i = 0; i < int(patch.size()); ++i) {
        const std::vector<double> want = expected.getpoint(i, 0);
        const QRgb got = converted.pixel(i, 0);
        EXPECT_NEAR(qRed(got), want[0], 2) << "patch " << i;
        EXPECT_NEAR(qGreen(got), want[1], 2) << "patch " << i;
        EXPECT_NEAR(qBlue(got), want[2], 2) << "patch " << i;
    }
    // A warm P3 colour shown as stored would be visibly duller than it is.
    const QRgb warm = converted.pixel(3, 0);
    EXPECT_GT(std::abs(qRed(warm) - 200) + std::abs(qGreen(warm) - 120) + std::abs(qBlue(warm) - 60), 15);
}

TEST(PictureColour, ProfiledJpegsAreShownInTrueColour)
{
    for (const char* file : {"apple_iphone13pro_p3_orient6.jpg", "canon_eos7d_adobergb.jpg"}) {
        if (!test::havePhoto("formats/" + std::string(file)))
            continue; // only in the large corpus
        const DecodedPicture d = PictureDecoder::decodeFile(formatsFile(file), QSize(800, 800));
        ASSERT_TRUE(d.ok) << file;
        const QImage reference = vipsReference(formatsFile(file));
        const double matching = difference(d.image, reference);
        EXPECT_LT(matching, 1.5) << file;
        // The stored values without the profile differ visibly.
        const QImage rawValues = QImage::fromData(readAll(formatsFile(file))).scaled(reference.size());
        if (std::string(file).find("orient6") == std::string::npos) {
            EXPECT_GT(difference(rawValues, reference), matching + 2) << file;
        }
    }
}

TEST(PictureColour, JpegProfilePiecesMustAddUp)
{
    auto segment = [](int seq, int count, const QByteArray& data) {
        QByteArray body = QByteArray("ICC_PROFILE", 12) + char(seq) + char(count) + data;
        const int length = int(body.size()) + 2;
        return QByteArray("\xFF\xE2", 2) + char(length >> 8) + char(length & 0xff) + body;
    };
    const QByteArray soi("\xFF\xD8", 2), sos("\xFF\xDA\x00\x02", 4);
    EXPECT_EQ(PictureColour::jpegIccProfile(soi + segment(2, 2, "world") + segment(1, 2, "hello ") + sos),
              QByteArray("hello world"));
    EXPECT_TRUE(PictureColour::jpegIccProfile(soi + segment(1, 3, "a") + segment(3, 3, "c") + sos).isEmpty());
    EXPECT_TRUE(PictureColour::jpegIccProfile(soi + segment(1, 1, "a").left(10)).isEmpty());
    EXPECT_TRUE(PictureColour::jpegIccProfile("not a jpeg").isEmpty());
}

} // namespace
} // namespace marquelo
