#include "ViewerTestFiles.h"
#include "core/viewer/PictureDecoder.h"
#include "core/viewer/VipsPictureDecoder.h"
#include "media/Exiv2Library.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QtEndian>

#include <vips/vips8>

namespace marquelo {
namespace {

using test::PhotoFolder;

QByteArray corpusBytes(const std::string& name)
{
    QFile f(QString::fromStdString(test::photo("formats/" + name)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const std::string& path, const QByteArray& bytes)
{
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xffffffffu;
    for (char ch : data) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray typed = QByteArray(type, 4) + data;
    QByteArray out(4, '\0');
    qToBigEndian(quint32(data.size()), out.data());
    QByteArray crc(4, '\0');
    qToBigEndian(crc32(typed), crc.data());
    return out + typed + crc;
}

// A valid PNG header declaring `width` x `height` RGB pixels, with a few compressed rows of zeros
// behind it: tiny on disk, enormous once decoded.
QByteArray pngBomb(quint32 width, quint32 height)
{
    QByteArray ihdr(13, '\0');
    qToBigEndian(width, ihdr.data());
    qToBigEndian(height, ihdr.data() + 4);
    ihdr[8] = 8;                                                            // bits
    ihdr[9] = 2;                                                            // RGB
    const QByteArray rows = qCompress(QByteArray(1 << 16, '\0'), 9).mid(4); // zlib stream only
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", rows) +
           pngChunk("IEND", QByteArray());
}

// A little-endian TIFF declaring `width` x `height` grey pixels in one strip of ten bytes.
QByteArray tiffBomb(quint32 width, quint32 height)
{
    QByteArray t("II*\0\x08\0\0\0", 8);
    struct Entry {
        quint16 tag, type;
        quint32 count, value;
    };
    const Entry entries[] = {{256, 4, 1, width}, {257, 4, 1, height}, {258, 3, 1, 8},
                             {259, 3, 1, 1},     {262, 3, 1, 1},      {273, 4, 1, 200},
                             {277, 3, 1, 1},     {278, 4, 1, height}, {279, 4, 1, 10}};
    QByteArray ifd(2, '\0');
    qToLittleEndian(quint16(std::size(entries)), ifd.data());
    for (const Entry& e : entries) {
        QByteArray raw(12, '\0');
        qToLittleEndian(e.tag, raw.data());
        qToLittleEndian(e.type, raw.data() + 2);
        qToLittleEndian(e.count, raw.data() + 4);
        if (e.type == 3)
            qToLittleEndian(quint16(e.value), raw.data() + 8);
        else
            qToLittleEndian(e.value, raw.data() + 8);
        ifd += raw;
    }
    ifd += QByteArray(4, '\0');
    t += ifd;
    t.resize(200, '\0');
    return t + QByteArray(10, '\0');
}

// Every "ispe" (image spatial extent) box of a HEIF file rewritten to declare `side` x `side`.
QByteArray heifBomb(quint32 side)
{
    // Any HEIF will do; the checkout carries only the iPhone's.
    QByteArray heif = corpusBytes(test::havePhoto("formats/libheif_example_two_images.heic")
                                      ? "libheif_example_two_images.heic"
                                      : "apple_iphone13pro_grid_irot270_p3.heic");
    EXPECT_FALSE(heif.isEmpty());
    for (qsizetype at = heif.indexOf("ispe"); at >= 0; at = heif.indexOf("ispe", at + 4)) {
        if (at + 16 > heif.size())
            break;
        qToBigEndian(side, heif.data() + at + 8);
        qToBigEndian(side, heif.data() + at + 12);
    }
    return heif;
}

TEST(BadPictureInput, DecompressionBombsAreRefusedBeforeDecoding)
{
    EXPECT_FALSE(PictureDecoder::decode(pngBomb(100000, 100000), QSize(1920, 1080)).ok);
    // Small enough for the PNG library's own limits, too large for the bound.
    EXPECT_FALSE(PictureDecoder::decode(pngBomb(20000, 20000), QSize(1920, 1080)).ok);
    EXPECT_FALSE(PictureDecoder::decode(tiffBomb(100000, 100000), QSize(1920, 1080)).ok);
    EXPECT_FALSE(PictureDecoder::decode(heifBomb(100000), QSize(1920, 1080)).ok);
    // The crafted headers are sound: at a modest size the same files are read.
    EXPECT_TRUE(VipsPictureDecoder::recognises(pngBomb(64, 64)));
    EXPECT_TRUE(PictureDecoder::decode(tiffBomb(10, 1), QSize()).ok);
}

TEST(BadPictureInput, TruncatedAndCorruptFilesOfEveryFormatFailCleanly)
{
    for (const char* file :
         {"apple_iphone13pro_grid_irot270_p3.heic", "canon_eos70d.avif", "nikon_coolpix_p7000_orient6_lossy.webp",
          "weld_16bit.png", "weld_16bit_rgb_deflate.tif", "bicycles.jxl", "animation_lossy.webp"}) {
        if (!test::havePhoto("formats/" + std::string(file)))
            continue; // only in the large corpus
        const QByteArray whole = corpusBytes(file);
        ASSERT_FALSE(whole.isEmpty()) << file;
        EXPECT_FALSE(PictureDecoder::decode(whole.left(whole.size() / 3), QSize(1920, 1080)).ok) << file;
        // The first kilobytes intact, the rest overwritten.
        QByteArray scrambled = whole;
        for (qsizetype i = 2048; i < scrambled.size(); i += 7)
            scrambled[i] = char(scrambled[i] ^ 0x5a);
        (void)PictureDecoder::decode(scrambled, QSize(1920, 1080)); // must come back, either way
    }
}

TEST(BadPictureInput, NamesDoNotDecideTheFormatButRawNeedsAPreview)
{
    PhotoFolder folder;
    // A JPEG called .heic is still a picture; text called .png is none.
    folder.jpeg("photo.heic", 64, 48);
    write(folder.file("notes.png"), "just some text, no picture at all");
    EXPECT_TRUE(PictureDecoder::decodeFile(folder.file("photo.heic"), QSize()).ok);
    EXPECT_FALSE(PictureDecoder::decodeFile(folder.file("notes.png"), QSize()).ok);

    // A RAW name is shown through its preview only: a TIFF without one shows the placeholder.
    write(folder.file("no_preview.nef"), tiffBomb(10, 1));
    EXPECT_FALSE(PictureDecoder::decodeFile(folder.file("no_preview.nef"), QSize()).ok);
    const QByteArray cr3 = corpusBytes("canon_eos_r6_pruned.cr3");
    write(folder.file("cut.cr3"), cr3.left(cr3.size() / 4));
    EXPECT_FALSE(PictureDecoder::decodeFile(folder.file("cut.cr3"), QSize()).ok);
    EXPECT_TRUE(media::largestRawPreview("garbage", 7).bytes.empty());
}

} // namespace
} // namespace marquelo
