// What marquelo-convert accepts as input: only the picture formats it lists, each by its own loader
// whatever the file is called, and no progressive JPEG whose scans would keep it busy for minutes.
#include "convert/ConvertOptions.h"
#include "convert/Converter.h"
#include "convert/InputFormat.h"
#include "convert/JpegFile.h"
#include "convert/JpegRegion.h"

#include "support/ConvertRun.h"
#include "support/HostilePictures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <vips/vips8>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace marquelo::convert {
namespace {

using test::convert;

using namespace std::string_literals;

std::vector<unsigned char> bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::string formatOf(const std::string& head)
{
    const InputFormat* format = detectInputFormat(bytesOf(head));
    return format ? std::string(format->name) : "-";
}

TEST(InputFormat, TellsTheListedFormatsByTheirFirstBytesOnly)
{
    struct Row {
        std::string head;
        const char* format;
    };
    const Row rows[] = {
        {"\xFF\xD8\xFF\xE1"s, "jpeg"},
        {"\x89PNG\r\n\x1A\n"s, "png"},
        {"GIF89a"s, "gif"},
        {"GIF87a"s, "gif"},
        {"RIFF\x10\0\0\0WEBPVP8 "s, "webp"},
        {"II*\0"s, "tiff"},
        {"MM\0*"s, "tiff"},
        {"II+\0"s, "tiff"},
        {"\0\0\0\030ftypheic"s, "heif"},
        {"\0\0\0\034ftypmif1"s, "heif"},
        {"\0\0\0 ftypavif"s, "heif"},
        {"\xFF\x0A"s, "jxl"},
        {"\0\0\0\x0CJXL \r\n\x87\n"s, "jxl"},
        // Not pictures for this tool, whatever their names say.
        {""s, "-"},
        {"\xFF\xD8"s, "-"},
        {"RIFF\x10\0\0\0AVI "s, "-"},
        {"\0\0\0\030ftypcrx "s, "-"}, // a camera's raw file
        {"\0\0\0\030ftypqt  "s, "-"}, // a movie
        {"BM6\0\0\0"s, "-"},
        {"P6\n2 2\n255\n"s, "-"},
        {"%PDF-1.4"s, "-"},
        {"<svg xmlns=\"http://www.w3.org/2000/svg\"/>"s, "-"},
        {"\0\0\x02\0\0\0\0\0\0\0\0\0\x02\0\x02\0\x18\0"s, "-"}, // a TGA header
    };
    for (const Row& row : rows)
        EXPECT_EQ(formatOf(row.head), row.format) << testing::PrintToString(row.head);
    // Every row of the table has a loader that this libvips knows.
    startImageLibrary();
    for (const InputFormat& format : inputFormats())
        EXPECT_NE(vips_type_find("VipsOperation", std::string(format.loader).c_str()), 0u) << format.loader;
}

class InputLimits : public ::testing::Test {
protected:
    void SetUp() override { startImageLibrary(); }
    QTemporaryDir dir;
    std::string path(const std::string& name) const { return dir.path().toStdString() + "/" + name; }
    void write(const std::string& name, const std::vector<unsigned char>& bytes)
    {
        std::ofstream(path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
};

TEST_F(InputLimits, EveryListedFormatIsReadWhateverItsName)
{
    const char* files[] = {"leaves_apple_display_icc_rgba.png", "olympus_d450_camera.tif",
                           "htc_one_pan_animated.gif",          "nikon_d3100_lossless.webp",
                           "libheif_example_two_images.heic",   "bicycles.jxl",
                           "canon_eos7d_adobergb.jpg"};
    for (const char* file : files)
        MARQUELO_NEED_PHOTO(std::string("formats/") + file);
    for (const char* file : files) {
        SCOPED_TRACE(file);
        // Named like a JPEG, as a renamed download would be: the bytes decide.
        fs::copy_file(test::photo(std::string("formats/") + file), path("in.jpg"),
                      fs::copy_options::overwrite_existing);
        std::string error;
        EXPECT_TRUE(convert({path("in.jpg"), "/resample=(64,0)", "/convert=" + path("out.jpg")}, error)) << error;
        EXPECT_EQ(vips::VImage::new_from_file(path("out.jpg").c_str()).width(), 64);
        fs::remove(path("out.jpg"));
    }
}

// Files that libvips could hand to a loader of its own (its PPM and SVG readers, ImageMagick's BMP)
// never reach one: the tool reads only what it lists.
TEST_F(InputLimits, OtherFormatsNeverReachALoader)
{
    std::vector<unsigned char> bmp = bytesOf("BM"s + std::string(52, '\0'));
    const auto put32 = [&bmp](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bmp[at + std::size_t(i)] = static_cast<unsigned char>(v >> (8 * i));
    };
    put32(2, 54 + 16);
    put32(10, 54);
    put32(14, 40);
    put32(18, 2);
    put32(22, 2);
    bmp[26] = 1;
    bmp[28] = 24;
    bmp.resize(54 + 16, 0x80);
    struct Row {
        const char* name;
        std::vector<unsigned char> bytes;
    };
    const Row rows[] = {
        {"ppm", bytesOf("P6\n2 2\n255\n"s + std::string(12, '\x80'))},
        {"bmp", bmp},
        {"svg", bytesOf("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\"><rect width=\"8\" "
                        "height=\"8\"/></svg>")},
        {"empty", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        write("in.jpg", row.bytes);
        std::string error;
        EXPECT_FALSE(convert({path("in.jpg"), "/resample=(4,0)", "/convert=" + path("out.png")}, error));
        EXPECT_NE(error.find("not a picture this tool can read"), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(path("out.png")));
    }
}

// More scans than libjpeg-turbo's limit is refused by every way the tool decodes a JPEG: the region
// decoder (a cut), libvips (the whole picture resampled) and the lossless turn; fewer pass everywhere.
TEST_F(InputLimits, ScanBombsAreRefusedOnEveryDecodePath)
{
    ASSERT_GT(test::progressiveScans(10), kMaxJpegScans);
    ASSERT_LT(test::progressiveScans(6), kMaxJpegScans);
    const std::vector<std::vector<std::string>> paths = {
        {"/crop=(8,8,40,40)", "/convert=OUT.jpg"},
        {"/resample=(32,0)", "/convert=OUT.jpg"},
        {"/rotate_r", "/jpgq=95", "/convert=OUT.jpg"},
        {"/hflip", "/convert=OUT.png"},
    };
    for (const int refinements : {10, 6}) {
        const std::vector<unsigned char> jpeg = test::progressiveJpeg(64, 64, refinements);
        EXPECT_EQ(countJpegScans(jpeg, 10000), test::progressiveScans(refinements));
        write("bomb.jpg", jpeg);
        // The decoders keep the limit by themselves too, not only behind the count.
        vips::VImage region;
        EXPECT_EQ(decodeJpegRegion(path("bomb.jpg"), 8, EdgeRect{8, 8, 48, 48}, region),
                  refinements == 10 ? RegionDecode::Refused : RegionDecode::Decoded);
        Bytes turned;
        std::string reason;
        EXPECT_EQ(losslessTransform(jpeg, orientationOf(Turn::RotateRight), turned, reason), refinements != 10)
            << reason;
        for (std::vector<std::string> args : paths) {
            SCOPED_TRACE(std::to_string(refinements) + " " + args.front());
            std::string& output = args.back();
            const std::string out = path("out") + output.substr(output.find('.'));
            output = "/convert=" + out;
            args.insert(args.begin(), path("bomb.jpg"));
            std::string error;
            const bool converted = convert(args, error);
            if (refinements == 10) {
                EXPECT_FALSE(converted);
                EXPECT_NE(error.find("scans"), std::string::npos) << error;
                EXPECT_FALSE(fs::exists(out));
            } else {
                EXPECT_TRUE(converted) << error;
                fs::remove(out);
            }
        }
    }
}

} // namespace
} // namespace marquelo::convert
