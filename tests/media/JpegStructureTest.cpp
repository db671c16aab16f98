// The media floor's readers of JPEG structure: the header through libjpeg's marker code, the segment
// walk for what libjpeg cannot tell, the EXIF orientation and its meaning.
#include "media/ExifTiff.h"
#include "media/JpegHeader.h"
#include "media/JpegSegments.h"
#include "media/Orientation.h"
#include "support/HostilePictures.h"
#include "support/JpegWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace marquelo::media;
using Bytes = std::vector<unsigned char>;

namespace {

void put16(Bytes& b, unsigned v, bool big)
{
    b.push_back(static_cast<unsigned char>(big ? v >> 8 : v));
    b.push_back(static_cast<unsigned char>(big ? v : v >> 8));
}

void put32(Bytes& b, std::uint32_t v, bool big)
{
    put16(b, big ? v >> 16 : v & 0xFFFF, big);
    put16(b, big ? v & 0xFFFF : v >> 16, big);
}

struct Field {
    unsigned tag, type;
    std::uint32_t count, value;
};

// A TIFF structure with IFD0 holding `ifd0` and, when given, an IFD1 holding `ifd1`; SHORT values are
// stored left-justified in the value field, as TIFF wants.
Bytes tiff(const std::vector<Field>& ifd0, bool big, const std::vector<Field>& ifd1 = {}, std::size_t pad = 0)
{
    Bytes b;
    b.push_back(big ? 'M' : 'I');
    b.push_back(big ? 'M' : 'I');
    put16(b, 42, big);
    put32(b, 8, big);
    auto ifd = [&](const std::vector<Field>& fields, std::uint32_t next) {
        put16(b, unsigned(fields.size()), big);
        for (const Field& f : fields) {
            put16(b, f.tag, big);
            put16(b, f.type, big);
            put32(b, f.count, big);
            if (f.type == 3) {
                put16(b, f.value, big);
                put16(b, 0, big);
            } else {
                put32(b, f.value, big);
            }
        }
        put32(b, next, big);
    };
    const std::uint32_t ifd1At = ifd1.empty() ? 0 : std::uint32_t(8 + 2 + 12 * ifd0.size() + 4);
    ifd(ifd0, ifd1At);
    if (!ifd1.empty())
        ifd(ifd1, 0);
    b.insert(b.end(), pad, 0x55);
    return b;
}

struct Segment {
    int marker;
    Bytes body;
};

// A small colour JPEG written by libjpeg, with `segments` and the profile `icc` after SOI and JFIF.
Bytes jpeg(int width, int height, const std::vector<Segment>& segments, const Bytes& icc = {}, bool progressive = false)
{
    return marquelo::test::writeJpeg(
        width, height, 3,
        [&](jpeg_compress_struct& info) {
            if (progressive)
                jpeg_simple_progression(&info);
        },
        [&](jpeg_compress_struct& info) {
            for (const Segment& s : segments)
                jpeg_write_marker(&info, s.marker, s.body.data(), unsigned(s.body.size()));
            if (!icc.empty())
                jpeg_write_icc_profile(&info, icc.data(), unsigned(icc.size()));
        });
}

Segment exifSegment(const Bytes& tiffBytes)
{
    Bytes body(6 + tiffBytes.size());
    std::memcpy(body.data(), "Exif\0", 6);
    std::copy(tiffBytes.begin(), tiffBytes.end(), body.begin() + 6);
    return {JPEG_APP0 + 1, body};
}

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(JpegHeader, ReadsFrameAndMetadataBlocks)
{
    const Bytes exif = tiff({{0x0112, 3, 1, 6}}, true);
    const std::string packet = "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>";
    Segment xmp{JPEG_APP0 + 1, Bytes()};
    const std::string ns = "http://ns.adobe.com/xap/1.0/";
    xmp.body.assign(ns.begin(), ns.end());
    xmp.body.push_back(0);
    xmp.body.insert(xmp.body.end(), packet.begin(), packet.end());
    // Larger than one APP2 segment holds: libjpeg writes it in two chunks.
    Bytes icc(70000);
    for (std::size_t i = 0; i < icc.size(); ++i)
        icc[i] = static_cast<unsigned char>(i * 31 + i / 256);

    const Bytes file = jpeg(33, 17, {exifSegment(exif), xmp}, icc);
    const JpegHeader header = readJpegHeader(file);
    ASSERT_TRUE(header.ok) << header.error;
    EXPECT_EQ(header.width, 33);
    EXPECT_EQ(header.height, 17);
    EXPECT_EQ(header.components, 3);
    EXPECT_EQ(header.colours, JpegColours::YCbCr);
    EXPECT_TRUE(header.jfif);
    EXPECT_FALSE(header.adobe);
    EXPECT_FALSE(header.progressive);
    EXPECT_EQ(header.exif, exif);
    EXPECT_EQ(std::string(header.xmp.begin(), header.xmp.end()), packet);
    EXPECT_EQ(header.icc, icc);
    EXPECT_EQ(exifOrientation(header.exif), 6);

    const JpegHeader progressive = readJpegHeader(jpeg(64, 48, {}, {}, true));
    ASSERT_TRUE(progressive.ok);
    EXPECT_TRUE(progressive.progressive);
    EXPECT_TRUE(progressive.icc.empty());
    EXPECT_TRUE(progressive.exif.empty());
    // Every coefficient of a 4:2:0 picture: 8x6 luma blocks and 4x3 of each chroma, 128 bytes a block.
    EXPECT_EQ(progressive.coefficientBytes, (8 * 6 + 2 * 4 * 3) * 128);
}

TEST(JpegHeader, RefusesWhatIsNoPictureWithReason)
{
    const Bytes file = jpeg(40, 30, {exifSegment(tiff({{0x0112, 3, 1, 3}}, false))});
    // Cut inside the EXIF block, before the frame: libjpeg finds the end before any picture.
    const Bytes cut(file.begin(), file.begin() + 40);
    const JpegHeader header = readJpegHeader(cut);
    EXPECT_FALSE(header.ok);
    EXPECT_FALSE(header.error.empty());
    EXPECT_FALSE(readJpegHeader(Bytes{'G', 'I', 'F', '8', '9', 'a'}).ok);
    EXPECT_FALSE(readJpegHeader(Bytes{}).ok);
}

TEST(JpegHeader, ProfileWithMissingOrRepeatedChunksIsNone)
{
    // The corpus files with chunk counts that do not add up, next to one whose chunks are out of order.
    const Bytes mismatch = readFile(marquelo::test::dataDir() + "/broken/icc_chunk_count_mismatch.jpeg");
    ASSERT_FALSE(mismatch.empty());
    const JpegHeader header = readJpegHeader(mismatch);
    EXPECT_TRUE(header.icc.empty());
}

TEST(ExifOrientation, ChecksTypeCountAndRange)
{
    for (const bool big : {false, true}) {
        for (int v = 1; v <= 8; ++v)
            EXPECT_EQ(exifOrientation(tiff({{0x0100, 4, 1, 640}, {0x0112, 3, 1, std::uint32_t(v)}}, big)), v);
        EXPECT_EQ(exifOrientation(tiff({{0x0112, 4, 1, 6}}, big)), 1) << "a LONG is not an orientation";
        EXPECT_EQ(exifOrientation(tiff({{0x0112, 3, 2, 6}}, big)), 1) << "two values are not one";
        EXPECT_EQ(exifOrientation(tiff({{0x0112, 3, 1, 9}}, big)), 1);
        EXPECT_EQ(exifOrientation(tiff({{0x0112, 3, 1, 0}}, big)), 1);
        EXPECT_EQ(exifOrientation(tiff({}, big)), 1);
    }
    // IFD0 beyond the block, and an entry count running past its end.
    Bytes far = tiff({{0x0112, 3, 1, 6}}, false);
    far[4] = 0xF0;
    EXPECT_EQ(exifOrientation(far), 1);
    Bytes many = tiff({{0x0112, 3, 1, 6}}, false);
    many[8] = 0xFF;
    EXPECT_EQ(exifOrientation(many), 6) << "the entries before the block's end still count";
    EXPECT_EQ(exifOrientation(Bytes(many.begin(), many.begin() + 20)), 1);
    EXPECT_EQ(exifOrientation(Bytes{'I', 'I'}), 1);
}

TEST(ExifOrientation, FieldIsFoundWhereItCanBeReset)
{
    const Bytes block = tiff({{0x0100, 4, 1, 640}, {0x0112, 3, 1, 8}}, true);
    const auto field = findExifOrientation(block);
    ASSERT_TRUE(field);
    EXPECT_TRUE(field->bigEndian);
    EXPECT_EQ(block[field->at], 0);
    EXPECT_EQ(block[field->at + 1], 8);

    // Through the file: the same block found in place among the other segments.
    const Bytes file = jpeg(16, 16, {{JPEG_APP0 + 1, Bytes{'x', 'm', 'p'}}, exifSegment(block)});
    const auto range = findJpegExif(file);
    ASSERT_TRUE(range);
    EXPECT_EQ(
        Bytes(file.begin() + std::ptrdiff_t(range->offset), file.begin() + std::ptrdiff_t(range->offset + range->size)),
        block);
}

TEST(ExifThumbnail, FoundInIfd1OnlyWhenInsideTheBlock)
{
    const std::size_t headerBytes = 8 + (2 + 12 + 4) + (2 + 24 + 4);
    const Bytes ok =
        tiff({{0x0112, 3, 1, 1}}, false, {{0x0201, 4, 1, std::uint32_t(headerBytes)}, {0x0202, 4, 1, 10}}, 10);
    const auto place = findExifThumbnail(ok);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->offset, headerBytes);
    EXPECT_EQ(place->size, 10u);
    EXPECT_TRUE(
        findExifThumbnail(tiff({}, true, {{0x0201, 3, 1, std::uint32_t(headerBytes - 12)}, {0x0202, 3, 1, 10}}, 10)));
    EXPECT_FALSE(
        findExifThumbnail(tiff({}, false, {{0x0201, 4, 1, std::uint32_t(headerBytes)}, {0x0202, 4, 1, 11}}, 10)));
    EXPECT_FALSE(findExifThumbnail(tiff({}, false, {{0x0201, 4, 1, 0xFFFFFFF0u}, {0x0202, 4, 1, 0x20}}, 10)));
    EXPECT_FALSE(findExifThumbnail(tiff({{0x0112, 3, 1, 1}}, false)));
}

TEST(Orientation, StepsAreQtsReadingOfTheEightValues)
{
    // QImageIOHandler's transformations for EXIF 1..8: mirror, flip, then a quarter turn clockwise.
    struct Expected {
        bool mirror, flip, quarter;
    };
    const Expected table[] = {{false, false, false}, {true, false, false}, {true, true, false}, {false, true, false},
                              {false, true, true},   {false, false, true}, {true, false, true}, {true, true, true}};
    for (int exif = 1; exif <= 8; ++exif) {
        const Orientation o = Orientation::fromExif(exif);
        const OrientationSteps s = o.steps();
        const Expected& e = table[exif - 1];
        EXPECT_EQ(s.mirror, e.mirror) << exif;
        EXPECT_EQ(s.flip, e.flip) << exif;
        EXPECT_EQ(s.quarterRight, e.quarter) << exif;
        // The steps put together again give the orientation.
        Orientation again;
        if (s.mirror)
            again = Orientation::mirror().after(again);
        if (s.flip)
            again = Orientation::flip().after(again);
        if (s.quarterRight)
            again = Orientation::quarterRight().after(again);
        EXPECT_EQ(again, o) << exif;
        EXPECT_EQ(o.swapsSides(), exif >= 5);
        EXPECT_TRUE(o.after(o.inverse()).isIdentity());
    }
    EXPECT_TRUE(Orientation::fromExif(0).isIdentity());
    EXPECT_TRUE(Orientation::fromExif(9).isIdentity());
}

TEST(JpegSegments, CountsScansAndStopsEarly)
{
    const Bytes bomb = marquelo::test::progressiveJpeg(16, 16, 3);
    EXPECT_EQ(countJpegScans(bomb, 10000), marquelo::test::progressiveScans(3));
    EXPECT_EQ(countJpegScans(bomb, 5), 5);
    EXPECT_EQ(countJpegScans(jpeg(16, 16, {}), 10), 1);
    EXPECT_EQ(countJpegScans(Bytes{0xFF, 0xD8}, 10), 0);
}

TEST(JpegSegments, WalksToTheEndAndRefusesSegmentsPastIt)
{
    const Bytes file = jpeg(24, 24, {exifSegment(tiff({}, false))});
    std::vector<unsigned char> markers;
    JpegWalk how;
    how.throughScans = true;
    EXPECT_EQ(walkJpeg(
                  file,
                  [&](const JpegSegment& s) {
                      markers.push_back(s.marker);
                      return true;
                  },
                  how),
              JpegWalkEnd::EndOfImage);
    ASSERT_GE(markers.size(), 4u);
    EXPECT_EQ(markers.front(), 0xE0); // JFIF
    EXPECT_EQ(markers[1], 0xE1);
    EXPECT_EQ(markers.back(), 0xD9);

    // A segment claiming more bytes than there are.
    Bytes cut(file.begin(), file.begin() + 30);
    EXPECT_EQ(walkJpeg(cut, [](const JpegSegment&) { return true; }), JpegWalkEnd::Broken);
    // Stray bytes end a strict walk; a tolerant one steps over them as the decoders do.
    Bytes stray = file;
    stray.insert(stray.begin() + 2, {0x12, 0x34});
    EXPECT_EQ(walkJpeg(stray, [](const JpegSegment&) { return true; }), JpegWalkEnd::Broken);
    EXPECT_EQ(countJpegScans(stray, 10), 1);
}
