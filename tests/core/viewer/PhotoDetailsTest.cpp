// A photo's camera details as the image information shows them, read from the corpus's camera photos.
#include "core/viewer/PhotoDetails.h"

#include "ViewerTestFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace marquelo {
namespace {

TEST(PhotoDetails, CameraExposureAndDateOfACameraPhoto)
{
    const PhotoDetails d = readPhotoDetails(test::photo("camera/canon_eos5d.jpg"));
    EXPECT_EQ(d.camera, QStringLiteral("Canon EOS 5D")); // the maker is not said twice
    EXPECT_EQ(d.exposureTime, QStringLiteral("1/160 s"));
    EXPECT_EQ(d.fNumber, QStringLiteral("f/5"));
    EXPECT_EQ(d.focalLength, QStringLiteral("105 mm"));
    EXPECT_EQ(d.taken, QDateTime(QDate(2005, 9, 25), QTime(0, 31)));
    EXPECT_FALSE(d.hasGps());
    EXPECT_FALSE(d.empty());
}

TEST(PhotoDetails, PositionOfAPhotoWithGps)
{
    const PhotoDetails d = readPhotoDetails(test::photo("camera/nikon_coolpix_p6000_gps.jpg"));
    EXPECT_EQ(d.camera, QStringLiteral("NIKON COOLPIX P6000"));
    EXPECT_EQ(d.exposureTime, QStringLiteral("1/75 s"));
    EXPECT_EQ(d.fNumber, QStringLiteral("f/5.9"));
    ASSERT_TRUE(d.hasGps());
    // 43° 28' 2.814" N, 11° 53' 6.456" E
    EXPECT_NEAR(*d.latitude, 43.467448, 1e-5);
    EXPECT_NEAR(*d.longitude, 11.885127, 1e-5);
    EXPECT_EQ(gpsText(*d.latitude, *d.longitude), QStringLiteral("43.467448\u00b0 N, 11.885127\u00b0 E"));
    EXPECT_EQ(gpsText(-1.5, -70.25), QStringLiteral("1.500000\u00b0 S, 70.250000\u00b0 W"));
    EXPECT_TRUE(mapAddress(*d.latitude, *d.longitude).contains(QStringLiteral("43.467448")));
}

TEST(PhotoDetails, FilesWithoutDetailsOrNotReadableHaveNone)
{
    test::PhotoFolder folder;
    folder.jpeg("plain.jpg", 20, 10);
    EXPECT_TRUE(readPhotoDetails(folder.file("plain.jpg")).empty());
    for (const char* broken : {"zero_length.jpg", "sharp_corrupt_header.jpg"})
        EXPECT_TRUE(readPhotoDetails(test::photo(std::string("broken/") + broken)).empty()) << broken;
    EXPECT_TRUE(readPhotoDetails(folder.file("missing.jpg")).empty());
}

// A FIFO named like a photo has no writer: opening it the ordinary way would wait for ever.
TEST(PhotoDetails, AFifoNamedLikeAPhotoHasNoneAndNeverBlocks)
{
    test::PhotoFolder folder;
    const std::string fifo = folder.file("pipe.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto details = std::async(std::launch::async, [&] { return readPhotoDetails(fifo); });
    const bool finished = details.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!finished) {
        // Let the blocked reader go, so that the failure is reported instead of hanging the run.
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    EXPECT_TRUE(finished);
    EXPECT_TRUE(details.get().empty());
}

} // namespace
} // namespace marquelo
