// What the page builder tells the user besides its dialogs: the add notice, the refusal of a photo that
// could not be read, and the capture date as the page date.
#include "PageFixture.h"

#include "core/viewer/PhotoDetails.h"
#include "support/TestSupport.h"

namespace marquelo::test {
namespace {

TEST_F(PageTest, EachAdditionSaysWhichPageNowHoldsHowManyPhotos)
{
    confirmSetup("Summer");
    add("first");
    add("second");
    ASSERT_EQ(host.passingNotices.size(), 2u);
    EXPECT_EQ(host.passingNotices[0], "Added to 'Summer' (1 photos)");
    EXPECT_EQ(host.passingNotices[1], "Added to 'Summer' (2 photos)");
    EXPECT_EQ(session.openPageTitle(), "Summer");
}

TEST_F(PageTest, APhotoThatCouldNotBeReadIsNotAddedButAMovieIs)
{
    host.unreadable = true;
    add("never written");
    EXPECT_EQ(host.captionStarts, 0);
    EXPECT_FALSE(exists(session.pagePath()));
    EXPECT_TRUE(launches.empty());
    ASSERT_EQ(host.passingNotices.size(), 1u);
    EXPECT_EQ(host.passingNotices[0], "Cannot add 'DSC01234.JPG': the picture could not be read");

    // A movie is never decoded, so it has no picture to miss.
    addPhoto("MOV00001.AVI", false, 5000);
    images.setCurrent(1);
    confirmSetup("Clips");
    add("a movie");
    EXPECT_NE(readFile(session.pagePath()).find("a movie"), std::string::npos);
    EXPECT_EQ(host.passingNotices.back(), "Added to 'Clips' (1 photos)");
}

TEST_F(PageTest, PageDateIsTheCaptureDateWhenThePhotoHasOne)
{
    // A copy made today still says when the photo was taken.
    ASSERT_TRUE(QFile::copy(QString::fromStdString(photo("camera/canon_eos5d.jpg")),
                            QString::fromStdString(photos + "/copy.jpg")));
    addPhoto("plain.jpg", true, 100, localTimeNs(2006, 7, 5));
    entries.front().files[0] = FileRecord{"copy.jpg", localTimeNs(2024, 1, 2), 2009540};
    images.assign(photos, entries);

    QDate offered;
    host.pageSetup = [&offered](PageSetupValues& v, bool) {
        offered = v.date;
        v.title = "Taken";
        v.subdirectory = "taken";
        return true;
    };
    add("with EXIF");
    EXPECT_EQ(offered, QDate(2005, 9, 25));

    // Without EXIF the file time stays the page date.
    session.closePage();
    images.setCurrent(1);
    offered = {};
    add("without");
    EXPECT_EQ(offered, QDate(2006, 7, 5));
}

} // namespace
} // namespace marquelo::test
