#include "core/viewer/vips/HeifGeometry.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

#include <string>

namespace marquelo {
namespace {

std::string box(const std::string& type, const std::string& body)
{
    const std::size_t size = body.size() + 8;
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((size >> shift) & 0xff);
    return out + type + body;
}

std::string fullBox(const std::string& type, int version, int flags, const std::string& body)
{
    return box(type, std::string{char(version), char(flags >> 16), char(flags >> 8), char(flags)} + body);
}

// A file whose primary item 1 has the properties `properties` (in 'ipco' order) associated as listed
// by `associations` (indices from 1), as 'ipma' writes them with narrow or wide indices.
std::string heifFile(const std::string& properties, const std::string& associations, bool wide = false)
{
    std::string entries = std::string{0, 0, 0, 1} + std::string{0, 1} + char(associations.size());
    for (const char index : associations)
        entries += wide ? std::string{char(0x80), index} : std::string{char(0x80 | index)};
    const std::string iprp = box("iprp", box("ipco", properties) + fullBox("ipma", 0, wide ? 1 : 0, entries));
    return box("ftyp", "heicmif1heic") + fullBox("meta", 0, 0, fullBox("pitm", 0, 0, std::string{0, 1}) + iprp);
}

std::optional<int> turnsOf(const std::string& file)
{
    return heifPrimaryQuarterTurns(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
}

const std::string kSize = fullBox("ispe", 0, 0, std::string(8, '\x10'));

TEST(HeifGeometry, RotationAloneIsReadOtherwiseLeftToLibheif)
{
    EXPECT_EQ(turnsOf(heifFile(kSize, "\x01")), 0);
    EXPECT_EQ(turnsOf(heifFile(kSize + box("irot", "\x01"), std::string("\x01\x02", 2))), 1);
    EXPECT_EQ(turnsOf(heifFile(kSize + box("irot", "\x03"), std::string("\x01\x02", 2), true)), 3)
        << "wide property indices";
    EXPECT_EQ(turnsOf(heifFile(kSize + box("irot", "\x02"), "\x01")), 0) << "a rotation of another item";
    EXPECT_EQ(turnsOf(heifFile(kSize + box("irot", "\x01") + box("imir", "\x01"), std::string("\x01\x02\x03", 3))),
              std::nullopt)
        << "a mirror: libheif applies it";
    EXPECT_EQ(turnsOf(heifFile(kSize + box("clap", std::string(32, '\0')), std::string("\x01\x02", 2))), std::nullopt)
        << "a crop";
    EXPECT_EQ(turnsOf(heifFile(kSize, std::string("\x01\x05", 2))), std::nullopt) << "an index past the properties";
}

TEST(HeifGeometry, DamagedBoxesAreNeverReadPast)
{
    const std::string good = heifFile(kSize + box("irot", "\x01"), std::string("\x01\x02", 2));
    for (std::size_t length = 0; length < good.size(); ++length)
        EXPECT_EQ(turnsOf(good.substr(0, length)), std::nullopt) << "cut at " << length;
    std::string tooLong = good;
    tooLong[3] = char(0x7f); // ftyp claims more than the file holds
    EXPECT_EQ(turnsOf(tooLong), std::nullopt);
    std::string huge = good;
    huge.replace(0, 4, std::string{0, 0, 0, 1}); // a 64-bit size follows, read from the type's bytes
    EXPECT_EQ(turnsOf(huge), std::nullopt);
    EXPECT_EQ(turnsOf(std::string()), std::nullopt);
}

TEST(HeifGeometry, PhonePhotosTurnedAsTheirFilesSay)
{
    for (const char* name : {"apple_iphone13pro_grid_irot270_p3.heic", "samsung_galaxy_s10_irot270.heic",
                             "hmd_nokia_8_3_irot270_exif1.heif"}) {
        if (!test::havePhoto("formats/" + std::string(name)))
            continue; // only in the large corpus
        QFile file(QString::fromStdString(test::photo("formats/" + std::string(name))));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        const QByteArray bytes = file.readAll();
        EXPECT_EQ(turnsOf(bytes.toStdString()), 3) << name;
    }
}

std::string be(std::uint64_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += char((value >> (8 * i)) & 0xff);
    return out;
}

std::string infe(int id, const std::string& type)
{
    return fullBox("infe", 2, 0, be(id, 2) + be(0, 2) + type);
}

// An 'hvcC' body with no parameter sets: enough for the layout to be read.
const std::string kHvcc = box("hvcC", std::string(16, '\0') + "\x01\x00\x00" + std::string(2, '\0') + "\x03\x00");

// A primary grid item 1 of `rows` x `columns` tiles of 64x64 (items 2...) cut to `width` x `height`,
// its descriptor in 'idat', the tiles' bytes (4 each, "T0..", "T1..") in 'mdat' at the end.
std::string gridFile(int rows, int columns, int width, int height, int references = -1)
{
    const int tiles = rows * columns;
    if (references < 0)
        references = tiles;
    std::string items = infe(1, "grid");
    for (int t = 0; t < tiles; ++t)
        items += infe(2 + t, "hvc1");
    const std::string iinf = fullBox("iinf", 0, 0, be(tiles + 1, 2) + items);
    std::string dimg = be(1, 2) + be(references, 2);
    for (int t = 0; t < references; ++t)
        dimg += be(2 + t, 2);
    const std::string iref = fullBox("iref", 0, 0, box("dimg", dimg));
    const std::string tileSize = fullBox("ispe", 0, 0, be(64, 4) + be(64, 4));
    std::string ipma = be(tiles, 4);
    for (int t = 0; t < tiles; ++t)
        ipma += be(2 + t, 2) + char(2) + char(0x81) + char(0x82);
    const std::string iprp = box("iprp", box("ipco", kHvcc + tileSize) + fullBox("ipma", 0, 0, ipma));
    const std::string descriptor = std::string{0, 0, char(rows - 1), char(columns - 1)} + be(width, 2) + be(height, 2);
    const std::string idat = box("idat", descriptor);
    // 'iloc' version 1, 4-byte offsets and lengths, no base offset; its length is fixed, so the
    // offset of 'mdat' can be worked out before it is written.
    auto iloc = [&](std::size_t mdatData) {
        std::string entries = be(1, 2) + be(1, 2) + be(0, 2) + be(1, 2) + be(0, 4) + be(descriptor.size(), 4);
        for (int t = 0; t < tiles; ++t)
            entries += be(2 + t, 2) + be(0, 2) + be(0, 2) + be(1, 2) + be(mdatData + 4 * std::size_t(t), 4) + be(4, 4);
        return fullBox("iloc", 1, 0, std::string{0x44, 0x00} + be(tiles + 1, 2) + entries);
    };
    const std::string ftyp = box("ftyp", "heicmif1heic");
    auto meta = [&](std::size_t mdatData) {
        return fullBox("meta", 0, 0, fullBox("pitm", 0, 0, be(1, 2)) + iinf + iloc(mdatData) + iref + iprp + idat);
    };
    const std::size_t mdatData = ftyp.size() + meta(0).size() + 8;
    std::string data;
    for (int t = 0; t < tiles; ++t)
        data += "T" + be(t, 1) + "..";
    return ftyp + meta(mdatData) + box("mdat", data);
}

std::optional<HeifGrid> gridOf(const std::string& file)
{
    return heifPrimaryHevcGrid(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
}

TEST(HeifGrid, TilesAreFoundRowByRowWithTheirConfiguration)
{
    const std::string file = gridFile(2, 3, 150, 100);
    const std::optional<HeifGrid> grid = gridOf(file);
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->rows, 2);
    EXPECT_EQ(grid->columns, 3);
    EXPECT_EQ(grid->width, 150);
    EXPECT_EQ(grid->height, 100);
    EXPECT_EQ(grid->tileWidth, 64);
    EXPECT_EQ(grid->tileHeight, 64);
    ASSERT_EQ(grid->tiles.size(), 6u);
    for (std::size_t t = 0; t < 6; ++t) {
        ASSERT_EQ(grid->tiles[t].size, 4u);
        EXPECT_EQ(grid->tiles[t].data[0], 'T');
        EXPECT_EQ(grid->tiles[t].data[1], t) << "in the order of the references";
        EXPECT_EQ(grid->tiles[t].configSize, kHvcc.size() - 8);
    }
}

TEST(HeifGrid, GridsThatDoNotAddUpAreLeftToLibheif)
{
    EXPECT_FALSE(gridOf(gridFile(2, 3, 150, 100, 5))) << "a tile missing";
    EXPECT_FALSE(gridOf(gridFile(2, 3, 200, 100))) << "tiles that do not cover the width";
    EXPECT_FALSE(gridOf(gridFile(2, 3, 150, 60))) << "a row of tiles wholly outside";
    EXPECT_FALSE(gridOf(gridFile(2, 3, 0, 100))) << "no size";
    std::string notGrid = gridFile(2, 3, 150, 100);
    notGrid.replace(notGrid.find("grid"), 4, "iovl");
    EXPECT_FALSE(gridOf(notGrid)) << "an overlay";
}

TEST(HeifGrid, DamagedBoxesAreNeverReadPast)
{
    const std::string good = gridFile(2, 2, 128, 128);
    ASSERT_TRUE(gridOf(good));
    // Cut anywhere, the tiles' bytes or the boxes describing them are missing.
    for (std::size_t length = 0; length < good.size(); ++length)
        EXPECT_FALSE(gridOf(good.substr(0, length))) << "cut at " << length;
    // A tile said to lie past the end of the file.
    std::string pastTheEnd = good;
    const std::size_t lastOffset = pastTheEnd.find("iref") - 4 - 8; // the last extent's offset
    pastTheEnd.replace(lastOffset, 4, be(0xfffffff0u, 4));
    EXPECT_FALSE(gridOf(pastTheEnd));
}

TEST(HeifGrid, PhonePhotosAreGridsOfTiles)
{
    struct Case {
        const char* name;
        int rows, columns, width, height;
    };
    for (const Case& c : {Case{"apple_iphone13pro_grid_irot270_p3.heic", 6, 8, 4032, 3024},
                          Case{"samsung_galaxy_s10_irot270.heic", 6, 8, 4032, 3024}}) {
        if (!test::havePhoto("formats/" + std::string(c.name)))
            continue; // only in the large corpus
        QFile file(QString::fromStdString(test::photo("formats/" + std::string(c.name))));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.name;
        const std::optional<HeifGrid> grid = gridOf(file.readAll().toStdString());
        ASSERT_TRUE(grid) << c.name;
        EXPECT_EQ(grid->rows, c.rows);
        EXPECT_EQ(grid->columns, c.columns);
        EXPECT_EQ(grid->width, c.width);
        EXPECT_EQ(grid->height, c.height);
        EXPECT_EQ(grid->tiles.size(), std::size_t(c.rows * c.columns));
    }
}

TEST(HeifGrid, AnAvifIsOneAv1Picture)
{
    MARQUELO_NEED_PHOTO("formats/canon_eos70d.avif");
    QFile file(QString::fromStdString(test::photo("formats/canon_eos70d.avif")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string avif = file.readAll().toStdString();
    const auto* data = reinterpret_cast<const std::uint8_t*>(avif.data());
    const std::optional<HeifCodedPicture> picture = heifPrimaryAv1(data, avif.size());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 5472);
    EXPECT_EQ(picture->height, 3648);
    EXPECT_GT(picture->size, 200000u);
    EXPECT_LE(std::size_t(picture->data - data) + picture->size, avif.size());
    EXPECT_FALSE(heifPrimaryHevcGrid(data, avif.size()));
    // The file cut short: the picture's bytes would run past its end.
    const std::size_t end = std::size_t(picture->data - data) + picture->size;
    EXPECT_TRUE(heifPrimaryAv1(data, end));
    EXPECT_FALSE(heifPrimaryAv1(data, end - 1));
    EXPECT_FALSE(heifPrimaryAv1(data, end - picture->size + 10));
    EXPECT_FALSE(heifPrimaryAv1(reinterpret_cast<const std::uint8_t*>(gridFile(1, 1, 64, 64).data()), 200))
        << "a grid of HEVC tiles";
}

} // namespace
} // namespace marquelo
