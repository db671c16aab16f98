// /also: several sizes of one cut from one decode, each as a run of its own would make it.
#include "convert/ConvertOptions.h"
#include "convert/Converter.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <vips/vips8>

namespace marquelo::convert {
namespace {

using vips::VImage;

double meanDifference(const VImage& a, const VImage& b)
{
    return (a.cast(VIPS_FORMAT_FLOAT) - b.cast(VIPS_FORMAT_FLOAT)).abs().avg();
}

TEST(ParseAlso, SizesThenAPathThatMayHoldAnything)
{
    const ParseResult r = parseArguments({"/in.jpg", "/resample=(512,341)", "/convert=/o/a.jpg",
                                          "/also=(1024,682,/o/My (1), copy/a@2x.jpg)", "/ALSO=( 0 ,1706,/o/l.jpg)"});
    ASSERT_EQ(r.action, ParseResult::Convert) << r.error;
    ASSERT_EQ(r.options.also.size(), 2u);
    EXPECT_EQ(r.options.also[0].size.width, 1024);
    EXPECT_EQ(r.options.also[0].size.height, 682);
    EXPECT_EQ(r.options.also[0].output, "/o/My (1), copy/a@2x.jpg");
    EXPECT_EQ(r.options.also[1].size.width, 0);
    EXPECT_EQ(r.options.also[1].output, "/o/l.jpg");

    for (const char* bad : {"/also=(1,2)", "/also=1,2,x.jpg", "/also=(0,0,x.jpg)", "/also=(-1,2,x.jpg)", "/also=(1,2,)",
                            "/also=(a,2,x.jpg)", "/also"}) {
        SCOPED_TRACE(bad);
        const ParseResult e = parseArguments({"/in.jpg", "/convert=/o.jpg", bad});
        EXPECT_EQ(e.action, ParseResult::Error);
        EXPECT_FALSE(e.error.empty());
    }
}

class SeveralSizes : public ::testing::Test {
protected:
    void SetUp() override { startImageLibrary(); }
    std::string out(const std::string& name) const { return dir.path().toStdString() + "/" + name; }
    bool convert(const std::vector<std::string>& args, std::string& error)
    {
        const ParseResult parsed = parseArguments(args);
        EXPECT_EQ(parsed.action, ParseResult::Convert) << parsed.error;
        return convertImage(parsed.options, error);
    }
    QTemporaryDir dir;
};

TEST_F(SeveralSizes, EverySizeLooksLikeItsOwnRun)
{
    // An oriented photo, so the cut and the sizes are in the picture as the viewer shows it.
    const std::string photo = test::corpusDir() + "/orientation/Landscape_6.jpg";
    const std::vector<std::string> common = {photo, "/crop=(100,50,1000,600)", "/aspectratio", "/jpgq=90"};
    std::string error;
    std::vector<std::string> args = common;
    args.insert(args.end(), {"/resample=(250,150)", "/convert=" + out("a.jpg"),
                             "/also=(500,300," + out("a@2x.jpg") + ")", "/also=(1000,600," + out("a-large.jpg") + ")"});
    ASSERT_TRUE(convert(args, error)) << error;

    const struct {
        const char* name;
        int width, height;
    } sizes[] = {{"a.jpg", 250, 150}, {"a@2x.jpg", 500, 300}, {"a-large.jpg", 1000, 600}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(s.name);
        std::vector<std::string> single = common;
        single.insert(single.end(), {"/resample=(" + std::to_string(s.width) + "," + std::to_string(s.height) + ")",
                                     "/convert=" + out(std::string("single-") + s.name)});
        ASSERT_TRUE(convert(single, error)) << error;
        const VImage together = VImage::new_from_file(out(s.name).c_str());
        const VImage alone = VImage::new_from_file(out(std::string("single-") + s.name).c_str());
        ASSERT_EQ(together.width(), s.width);
        ASSERT_EQ(together.height(), s.height);
        // Upright pixels: no orientation left for a viewer to apply a second time.
        EXPECT_TRUE(!together.get_typeof(VIPS_META_ORIENTATION) || together.get_int(VIPS_META_ORIENTATION) == 1);
        EXPECT_LT(meanDifference(together, alone), 3.0);
    }
}

TEST_F(SeveralSizes, AnUnwritableTypeIsRefusedBeforeAnythingIsWritten)
{
    const std::string photo = test::corpusDir() + "/camera/canon_eos5d.jpg";
    std::string error;
    EXPECT_FALSE(convert(
        {photo, "/resample=(100,0)", "/convert=" + out("a.jpg"), "/also=(200,0," + out("b.nope") + ")"}, error));
    EXPECT_NE(error.find("b.nope"), std::string::npos) << error;
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

} // namespace
} // namespace marquelo::convert
