#include "core/viewer/StartPicture.h"
#include "ViewerTestFiles.h"
#include "core/viewer/PictureCache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <thread>

namespace marquelo {
namespace {

using test::PhotoFolder;

const QSize kScreen(400, 300);

void waitUntilFinished(const StartPicture& start)
{
    while (!start.finished())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// The cache's first load takes the picture decoded at start-up: the file is rewritten in place after
// that decode, and the cache still shows what was read first (the change check then sees the rewrite).
TEST(StartPicture, TheFirstLoadTakesTheDecodeStartedBeforeTheWindow)
{
    PhotoFolder folder;
    folder.jpeg("a.jpg", 1600, 1200, Qt::red);
    folder.jpeg("b.jpg", 64, 48);
    StartPicture start(folder.file("a.jpg"));
    ASSERT_TRUE(start.started());
    start.screenKnown(kScreen);
    waitUntilFinished(start);
    folder.jpeg("a.jpg", 1600, 1200, Qt::blue);

    AppConfig config;
    config.Sorting = 1;
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), config));
    PictureCache cache(list, config);
    cache.setViewSize(kScreen);
    ASSERT_TRUE(cache.waitForCurrent());
    const ShownPicture shown = cache.shown();
    ASSERT_TRUE(shown.loaded);
    EXPECT_EQ(shown.image.size(), QSize(400, 300)) << "decoded for the screen, not at full size";
    EXPECT_EQ(shown.fullSize, QSize(1600, 1200));
    EXPECT_GT(qRed(shown.image.pixel(200, 150)), 200);
    EXPECT_LT(qBlue(shown.image.pixel(200, 150)), 50);

    EXPECT_FALSE(StartPicture::claim(folder.file("a.jpg"), kScreen)) << "taken once";
}

TEST(StartPicture, AnotherFileOrAnotherScreenGetsNothing)
{
    PhotoFolder folder;
    folder.jpeg("a.jpg", 640, 480);
    folder.jpeg("b.jpg", 640, 480);
    {
        StartPicture start(folder.file("a.jpg"));
        EXPECT_FALSE(StartPicture::claim(folder.file("b.jpg"), kScreen));
        EXPECT_FALSE(StartPicture::claim(folder.file("a.jpg"), kScreen)) << "withdrawn by the first claim";
        waitUntilFinished(start); // withdrawn before the screen was known: it decodes nothing
    }
    {
        StartPicture start(folder.file("a.jpg"));
        start.screenKnown(QSize(200, 150));
        EXPECT_FALSE(StartPicture::claim(folder.file("a.jpg"), kScreen)) << "decoded too small for this screen";
    }
    {
        // Told the screen by the window system before Qt ran: a larger screen decodes more detail than
        // Qt's screen needs, never less, and Qt's later word changes nothing.
        StartPicture start(folder.file("a.jpg"), [] {
            return std::optional<StartPicture::Screen>(StartPicture::Screen{QSize(320, 240), QByteArray()});
        });
        waitUntilFinished(start);
        start.screenKnown(QSize(1920, 1080));
        const auto claimed = StartPicture::claim(folder.file("a.jpg"), QSize(160, 120));
        ASSERT_TRUE(claimed);
        EXPECT_EQ(claimed->get().image.size(), QSize(320, 240));
    }
    {
        // Named relative to the folder start-up was run in, claimed after it moved to the photo's folder.
        std::error_code ec;
        const std::filesystem::path before = std::filesystem::current_path(ec); // an earlier test may have removed it
        std::filesystem::current_path(folder.path());
        StartPicture start("b.jpg");
        std::filesystem::current_path(ec ? std::filesystem::temp_directory_path() : before);
        const auto claimed = StartPicture::claim(folder.file("b.jpg"), kScreen);
        ASSERT_TRUE(claimed);
        const DecodedPicture decoded = claimed->get();
        EXPECT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.image.size(), QSize(400, 300));
    }
    {
        StartPicture start(folder.file("a.jpg"));
    } // never claimed: its end withdraws the offer and waits for the thread
    EXPECT_FALSE(StartPicture::claim(folder.file("a.jpg"), kScreen));
}

TEST(StartPicture, OnlyAPictureFileIsRead)
{
    PhotoFolder folder;
    folder.touch("clip.avi");
    folder.touch("notes.txt");
    std::filesystem::create_directory(folder.file("sub.jpg"));
    for (const std::string name : {"clip.avi", "notes.txt", "sub.jpg", "missing.jpg"})
        EXPECT_FALSE(StartPicture(folder.file(name)).started()) << name;
    EXPECT_FALSE(StartPicture("").started());
    folder.touch("phone.HEIC");
    EXPECT_TRUE(StartPicture(folder.file("phone.HEIC")).started()) << "the default picture types, any case";
}

} // namespace
} // namespace marquelo
