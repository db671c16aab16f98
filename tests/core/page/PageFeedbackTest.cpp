// What the page builder tells the user besides its dialogs: the add notice, the refusal of a photo that
// could not be read, and the capture date as the page date.
#include "PageFixture.h"

#include "core/viewer/PhotoDetails.h"
#include "support/TestSupport.h"

#include <QCoreApplication>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace marquelo::test {
namespace {

TEST_F(PageTest, EachAdditionSaysWhichPageNowHoldsHowManyPhotos)
{
    confirmSetup("Summer");
    add("first");
    add("second");
    ASSERT_EQ(host.passingNotices.size(), 2u);
    EXPECT_EQ(host.passingNotices[0], "Added to 'Summer' (1 photo)");
    EXPECT_EQ(host.passingNotices[1], "Added to 'Summer' (2 photos)");
    EXPECT_EQ(session.openPageTitle(), "Summer");
}

// A Modern page counts its figures and shows its title as typed, not as escaped for the page.
TEST_F(PageTest, TheNoticeCountsAndNamesAPageOfEitherStyle)
{
    addPhoto("b.jpg");
    addPhoto("c.jpg");
    config.PageStyle = 1;
    confirmSetup("Lisbon & Porto");
    add("one");
    add("two");
    EXPECT_EQ(host.passingNotices, (std::vector<std::string>{"Added to 'Lisbon & Porto' (1 photo)",
                                                             "Added to 'Lisbon & Porto' (2 photos)"}));
    EXPECT_EQ(session.openPageTitle(), "Lisbon & Porto");

    // A Classic page without a title.
    session.closePage();
    config.PageStyle = 0;
    host.pageSetup = [](PageSetupValues& v, bool) {
        v.title.clear();
        v.subdirectory = "untitled";
        return true;
    };
    add("three");
    EXPECT_EQ(host.passingNotices.back(), "Added to the page (1 photo)");
}

// The copies of a Modern photo come from one run of the bundled tool; when it fails (a full disk), that
// is told over the picture as for a Classic page, not left behind a cheerful "Added".
TEST_F(PageTest, AFailedModernCopyIsTold)
{
    const QString tool = tmp.path() + "/marquelo-convert";
    writeFile(tool.toStdString(), "#!/bin/sh\necho 'No space left on device' >&2\nexit 1\n");
    ASSERT_TRUE(QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    config.ImageCompressApp = tool.toStdString();
    config.PageStyle = 1;
    confirmSetup("Summer");
    PageSession watched{config, images, geometry, ui, host}; // starts and watches real programs
    watched.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    watched.startCaption();
    host.caption = "one";
    watched.addImage(false);

    const std::string told = "Copy of DSC01234.JPG failed: No space left on device";
    for (int waited = 0; waited < 10000 && (host.passingNotices.empty() || host.passingNotices.back() != told);
         waited += 20) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(host.passingNotices, (std::vector<std::string>{"Added to 'Summer' (1 photo)", told}));
}

// A FIFO where the page should be never holds up the window, and the title follows the page's changes.
TEST_F(PageTest, TheTitleNeverWaitsOnAFifoAndFollowsThePage)
{
    const std::string page = session.pagePath();
    ASSERT_EQ(::mkfifo(page.c_str(), 0600), 0);
    // Should the title open the FIFO, this writer lets it go again after three seconds.
    std::thread writer([&page] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const int fd = ::open(page.c_str(), O_RDWR | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session.openPageTitle(), "");
    EXPECT_FALSE(session.isPageOpen());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    writer.join();

    ::unlink(page.c_str());
    writeFile(page, "<html><title>First</title>");
    EXPECT_EQ(session.openPageTitle(), "First");
    writeFile(page + ".new", "<html><title>Second &#8211; and more</title>");
    ASSERT_EQ(::rename((page + ".new").c_str(), page.c_str()), 0);
    EXPECT_EQ(session.openPageTitle(), "Second \xe2\x80\x93 and more");
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
    EXPECT_EQ(host.passingNotices.back(), "Added to 'Clips' (1 photo)");
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
