// A cut without shrink-on-load left libvips' option list behind; LeakSanitizer (the ASan build of this
// suite) reports it at exit when it comes back. The reproducer kept from fuzzing runs here too.
#include "convert/Converter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>

namespace marquelo::test {
namespace {

TEST(ConvertLeakRegression, CutWithoutShrinkOnLoadFreesItsOptions)
{
    QTemporaryDir dir;
    convert::ConvertOptions o;
    o.input = photo("orientation/Landscape_1.jpg");
    o.output = dir.filePath(QStringLiteral("cut.jpg")).toStdString();
    o.crop = convert::CropBox{10, 10, 200, 100};
    std::string error;
    EXPECT_TRUE(convert::convertImage(o, error)) << error;
    EXPECT_TRUE(std::filesystem::exists(o.output));
}

TEST(ConvertLeakRegression, FuzzReproducerConvertsWithoutLeaking)
{
    QTemporaryDir dir;
    convert::ConvertOptions o;
    // The input the fuzzer kept: a 32 x 32 PNG, which libvips loads without shrinking.
    o.input = sourceDir() + "/tests/fuzz/regressions/fuzz_convert_image/leak-unused-shrink-options";
    o.output = dir.filePath(QStringLiteral("out.jpg")).toStdString();
    o.resample = convert::ResampleSize{16, 0};
    std::string error;
    EXPECT_TRUE(convert::convertImage(o, error)) << error;
    EXPECT_TRUE(std::filesystem::exists(o.output));
}

} // namespace
} // namespace marquelo::test
