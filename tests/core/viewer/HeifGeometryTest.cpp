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

} // namespace
} // namespace marquelo
