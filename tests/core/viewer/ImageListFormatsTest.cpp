#include "ViewerTestFiles.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/PictureFormats.h"

#include <gtest/gtest.h>

namespace marquelo {
namespace {

using test::PhotoFolder;

constexpr const char* kDefaultPictures =
    "*.heic;*.heif;*.avif;*.webp;*.png;*.tif;*.tiff;*.jxl;*.dng;*.cr2;*.cr3;*.nef;*.arw;*.orf;*.rw2;*.raf;*.pef;*.srw";

AppConfig formatsConfig(bool bundleRaw = true, const char* pictures = kDefaultPictures)
{
    AppConfig config;
    config.Sorting = 1; // by name, so the expected order reads plainly
    config.EditFileSuffix = "_edit";
    config.OtherExtensions = "*.mpg;*.mpeg;*.mov;*.wmv;*.avi;*.gif";
    config.PictureExtensions = pictures;
    config.BundleRawImages = bundleRaw;
    return config;
}

struct Listed {
    std::string name;
    bool isPicture;
    std::string raw;
    bool operator==(const Listed&) const = default;
};

void PrintTo(const Listed& l, std::ostream* os)
{
    *os << l.name << (l.isPicture ? " picture" : " other") << (l.raw.empty() ? "" : " + " + l.raw);
}

std::vector<Listed> listing(const std::vector<std::string>& files, const AppConfig& config)
{
    PhotoFolder folder;
    for (const std::string& f : files)
        folder.touch(f);
    ImageList list;
    EXPECT_TRUE(list.scanDirectory(folder.path(), config));
    std::vector<Listed> out;
    for (int i = 0; i < list.count(); ++i) {
        const ImageEntry& e = list.at(i);
        out.push_back({e.files[kOriginal].name, e.isPicture, e.rawCompanion});
    }
    return out;
}

TEST(ImageListFormats, TodaysFormatsAreListedAsPicturesInAnyLetterCase)
{
    EXPECT_EQ(listing({"a.jpg", "b.HEIC", "c.png", "d.WebP", "e.avif", "f.tif", "g.JXL", "h.txt", "i.avi", "j.gif"},
                      formatsConfig()),
              (std::vector<Listed>{{"a.jpg", true, ""},
                                   {"b.HEIC", true, ""},
                                   {"c.png", true, ""},
                                   {"d.WebP", true, ""},
                                   {"e.avif", true, ""},
                                   {"f.tif", true, ""},
                                   {"g.JXL", true, ""},
                                   {"i.avi", false, ""},
                                   {"j.gif", false, ""}}));
}

TEST(ImageListFormats, AnEmptyValueListsJpegOnlyAsBefore)
{
    EXPECT_EQ(listing({"a.jpg", "b.heic", "c.png", "d.avi"}, formatsConfig(true, "")),
              (std::vector<Listed>{{"a.jpg", true, ""}, {"d.avi", false, ""}}));
}

TEST(ImageListFormats, PicturePatternsComeBetweenJpegAndOtherExtensions)
{
    // Unsorted (a Sorting past the known orders keeps the enumeration order of the patterns): JPEG, then
    // today's formats, then movies. A .png that OtherExtensions also names is listed twice, as for any two
    // patterns.
    AppConfig config = formatsConfig(true, "*.png");
    config.Sorting = 9;
    config.OtherExtensions = "*.avi;*.png";
    EXPECT_EQ(
        listing({"m.avi", "p.png", "j.jpg"}, config),
        (std::vector<Listed>{{"j.jpg", true, ""}, {"p.png", true, ""}, {"m.avi", false, ""}, {"p.png", false, ""}}));
}

TEST(ImageListFormats, RawFilesRideWithTheirJpegTwin)
{
    const std::vector<std::string> files = {"IMG_1.CR2", "IMG_1.JPG", "IMG_2.NEF", "IMG_3.jpeg",
                                            "IMG_3.cr3", "img_4.CR2", "IMG_4.jpg"};
    // The twin shares the stem exactly; the JPEG extension may be in any case.
    EXPECT_EQ(listing(files, formatsConfig()), (std::vector<Listed>{{"IMG_1.JPG", true, "IMG_1.CR2"},
                                                                    {"IMG_2.NEF", true, ""},
                                                                    {"IMG_3.jpeg", true, "IMG_3.cr3"},
                                                                    {"img_4.CR2", true, ""},
                                                                    {"IMG_4.jpg", true, ""}}));
    // Off: every file is an entry of its own.
    EXPECT_EQ(listing(files, formatsConfig(false)).size(), files.size());
}

TEST(ImageListFormats, SecondRawOfAStemStaysListedAndEditedCopiesStillPair)
{
    const std::vector<Listed> got = listing({"x.jpg", "x.CR2", "x.DNG", "x_edit.jpg"}, formatsConfig());
    ASSERT_EQ(got.size(), 2u);
    // One RAW rides with x.jpg, the other stays visible: no file vanishes from the list.
    EXPECT_EQ(got[1].name, "x.jpg");
    EXPECT_TRUE(got[1].raw == "x.CR2" || got[1].raw == "x.DNG") << got[1].raw;
    EXPECT_TRUE(got[0].name == "x.CR2" || got[0].name == "x.DNG");
    EXPECT_NE(got[0].name, got[1].raw);
}

TEST(ImageListFormats, EditedPairingKeepsTheRawCompanion)
{
    PhotoFolder folder;
    for (const char* f : {"IMG_5.jpg", "IMG_5_edit.jpg", "IMG_5.ARW"})
        folder.touch(f);
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), formatsConfig()));
    ASSERT_EQ(list.count(), 1);
    EXPECT_TRUE(list.at(0).hasEdited);
    EXPECT_EQ(list.at(0).rawCompanion, "IMG_5.ARW");
}

TEST(ImageListFormats, NewSettingsListEveryInCameraFormatTheViewerShows)
{
    const SettingDef* pictures = findSetting("PictureExtensions");
    ASSERT_NE(pictures, nullptr);
    const std::vector<std::string> camera = {"a.hif", "b.CRW", "c.cr2", "d.cr3", "e.nef", "f.NRW", "g.arw", "h.srf",
                                             "i.sr2", "j.dng", "k.orf", "l.rw2", "m.raf", "n.pef", "o.srw"};
    const std::string defaults(pictures->textDefault);
    const std::vector<Listed> listed = listing(camera, formatsConfig(false, defaults.c_str()));
    ASSERT_EQ(listed.size(), camera.size());
    for (std::size_t i = 0; i < camera.size(); ++i) {
        EXPECT_EQ(listed[i].name, camera[i]);
        EXPECT_TRUE(listed[i].isPicture) << camera[i];
        // Every RAW kind listed is one the viewer draws through its preview, not decoded as a whole.
        if (i > 0) {
            EXPECT_TRUE(isRawName(camera[i])) << camera[i];
        }
    }
}

TEST(ImageListFormats, UnlistedStartPhotoJoinsWhereItsOrderPlacesIt)
{
    PhotoFolder folder;
    for (const char* name : {"IMG_1.jpg", "IMG_3.jpg", "IMG_2.cam", "notes.txt"})
        folder.touch(name);
    AppConfig config = formatsConfig();
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), config));
    ASSERT_EQ(list.count(), 2);
    const std::optional<ImageList::Found> found = list.addUnlisted("IMG_2.cam", config);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->index, 1);
    EXPECT_EQ(list.at(1).files[kOriginal].name, "IMG_2.cam");
    EXPECT_TRUE(list.at(1).isPicture);
    EXPECT_EQ(list.at(1).files[kOriginal].size, 1u);
    EXPECT_EQ(list.findByName("IMG_2.cam")->index, 1);
    // Only a file of the folder itself.
    EXPECT_FALSE(list.addUnlisted("missing.cam", config));
    EXPECT_FALSE(list.addUnlisted("../IMG_1.jpg", config));
    EXPECT_EQ(list.count(), 3);
}

TEST(PictureFormats, NamesTellRawJpegAndBrowserFormats)
{
    EXPECT_TRUE(isRawName("a.CR3"));
    EXPECT_TRUE(isRawName("a.b.dng"));
    EXPECT_FALSE(isRawName("cr2"));
    EXPECT_FALSE(isRawName("a.tif"));
    EXPECT_TRUE(isRawName("a.SRF"));
    EXPECT_TRUE(isJpegName("A.JPEG"));
    EXPECT_FALSE(isJpegName("a.jpg.heic"));
    for (const char* shown : {"a.jpg", "a.PNG", "a.webp", "a.avif", "a.gif", "clip.avi", "noextension"})
        EXPECT_FALSE(isPublishedAsJpeg(shown)) << shown;
    for (const char* converted : {"a.heic", "a.HEIF", "a.hif", "a.tif", "a.tiff", "a.jxl", "a.nef", "a.CR3"})
        EXPECT_TRUE(isPublishedAsJpeg(converted)) << converted;
    EXPECT_EQ(nameStem("IMG_1.x.CR2"), "IMG_1.x");
}

} // namespace
} // namespace marquelo
