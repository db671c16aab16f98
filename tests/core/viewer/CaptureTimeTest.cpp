// The capture-time order: EXIF times with their offsets, sub-seconds and the cameras' clock offsets.
#include "core/viewer/CaptureTime.h"
#include "ViewerTestFiles.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/ImageOrder.h"
#include "media/Exiv2Library.h"

#include <QDateTime>

#include <exiv2/exiv2.hpp>

#include <gtest/gtest.h>

namespace marquelo {
namespace {

using test::PhotoFolder;

struct Shot {
    std::string make, model, when, offset, subSec;
};

// A small JPEG with the capture fields of `shot` (those not empty), written by libexiv2 as a camera would.
void shoot(const PhotoFolder& folder, const std::string& name, const Shot& shot)
{
    folder.jpeg(name, 8, 8);
    media::startExiv2();
    auto photo = Exiv2::ImageFactory::open(folder.file(name));
    photo->readMetadata();
    Exiv2::ExifData exif;
    if (!shot.make.empty())
        exif["Exif.Image.Make"] = shot.make;
    if (!shot.model.empty())
        exif["Exif.Image.Model"] = shot.model;
    if (!shot.when.empty())
        exif["Exif.Photo.DateTimeOriginal"] = shot.when;
    if (!shot.offset.empty())
        exif["Exif.Photo.OffsetTimeOriginal"] = shot.offset;
    if (!shot.subSec.empty())
        exif["Exif.Photo.SubSecTimeOriginal"] = shot.subSec;
    photo->setExifData(exif);
    photo->writeMetadata();
}

std::int64_t utcNs(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC).toMSecsSinceEpoch() * 1'000'000;
}

std::vector<std::string> names(const ImageList& list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list.count(); ++i)
        out.push_back(list.at(i).files[kOriginal].name);
    return out;
}

TEST(CaptureTime, OffsetsOfTheCamerasAreParsedOrRefusedWithTheLine)
{
    const ClockOffsetsParse good =
        parseClockOffsets("# cameras on home time\r\nCanon  EOS 80D = -3600\r\n\r\nOLYMPUS E-M5=+7200\nPixel 7 = 0");
    EXPECT_EQ(good.badLine, 0);
    ASSERT_EQ(good.offsets.size(), 3u);
    EXPECT_EQ(clockOffsetFor(good.offsets, "Canon", "EOS 80D"), -3600); // make and model, blanks and case folded
    EXPECT_EQ(clockOffsetFor(good.offsets, "OLYMPUS IMAGING CORP.", "E-M5"), 0);
    EXPECT_EQ(clockOffsetFor(good.offsets, "olympus", "e-m5"), 7200);
    EXPECT_EQ(clockOffsetFor(good.offsets, "Google", "Pixel 7"), 0);
    EXPECT_EQ(clockOffsetFor(parseClockOffsets("E-M5 = 60").offsets, "OLYMPUS IMAGING CORP.", "E-M5"), 60);
    EXPECT_EQ(parseClockOffsets("").badLine, 0);

    for (const char* bad : {"Canon EOS 80D", "= 30", "Canon = one hour", "Canon = 3600s", "Canon = 99999999999",
                            "Canon = 1.5", "Canon = "}) {
        const ClockOffsetsParse parse = parseClockOffsets(std::string("Pixel 7 = 0\n") + bad);
        EXPECT_EQ(parse.badLine, 2) << bad;
        EXPECT_TRUE(parse.offsets.empty()) << bad;
        EXPECT_NE(parse.error.find("line 2"), std::string::npos) << parse.error;
        EXPECT_NE(parse.error.find("Make Model = seconds"), std::string::npos) << parse.error;
    }
}

TEST(CaptureTime, OffsetSubSecondsAndTheCamerasClockPlaceTheTime)
{
    media::ExifCaptureFields fields;
    fields.dateTimeOriginal = "2024:07:05 14:30:00";
    fields.offsetTimeOriginal = "+02:00";
    EXPECT_EQ(captureTimeNs(fields, {}), utcNs(2024, 7, 5, 12, 30, 0));
    fields.offsetTimeOriginal = "-05:30";
    EXPECT_EQ(captureTimeNs(fields, {}), utcNs(2024, 7, 5, 20, 0, 0));
    fields.subSecTimeOriginal = "25";
    EXPECT_EQ(captureTimeNs(fields, {}), utcNs(2024, 7, 5, 20, 0, 0) + 250'000'000);

    // Without an offset the time is this computer's local time, as a file time is shown.
    media::ExifCaptureFields local;
    local.dateTimeOriginal = "2024:07:05 14:30:00";
    EXPECT_EQ(captureTimeNs(local, {}), QDateTime(QDate(2024, 7, 5), QTime(14, 30)).toMSecsSinceEpoch() * 1'000'000);
    // An offset that is no offset is ignored, not misread.
    local.offsetTimeOriginal = "+2";
    EXPECT_EQ(captureTimeNs(local, {}), QDateTime(QDate(2024, 7, 5), QTime(14, 30)).toMSecsSinceEpoch() * 1'000'000);

    fields.make = "Canon";
    fields.model = "Canon EOS 80D";
    EXPECT_EQ(captureTimeNs(fields, parseClockOffsets("Canon EOS 80D = -3600").offsets),
              utcNs(2024, 7, 5, 19, 0, 0) + 250'000'000);

    for (const char* none : {"", "0000:00:00 00:00:00", "    :  :     :  :  ", "2024:13:01 10:00:00", "2024:07:05"}) {
        media::ExifCaptureFields unset;
        unset.dateTimeOriginal = none;
        EXPECT_FALSE(captureTimeNs(unset, {})) << none;
    }
}

TEST(CaptureTime, APhoneAndACameraOnHomeTimeWalkInTheOrderTheyWereTaken)
{
    PhotoFolder folder;
    // The phone knows its zone (+02:00), the camera says +00:00; the file names interleave.
    shoot(folder, "IMG_0002.jpg", {"Google", "Pixel 7", "2024:07:05 10:00:00", "+02:00", ""});
    shoot(folder, "IMG_0001.jpg", {"Google", "Pixel 7", "2024:07:05 12:00:00", "+02:00", ""});
    // A burst within one second: the sub-seconds order it, not the names.
    shoot(folder, "P0003.jpg", {"OLYMPUS", "E-M5", "2024:07:05 09:00:05", "+00:00", "9"});
    shoot(folder, "P0004.jpg", {"OLYMPUS", "E-M5", "2024:07:05 09:00:05", "+00:00", "15"});
    shoot(folder, "P0005.jpg", {"OLYMPUS", "E-M5", "2024:07:05 09:00:05", "+00:00", "4"});
    // No EXIF time: placed by its file time, years before the trip.
    folder.jpeg("scan.jpg", 8, 8);
    folder.setWriteTime("scan.jpg", -4000 * 24 * 3600);

    AppConfig config;
    config.Sorting = kSortByCaptureTime;
    config.BundleEditedImages = false;
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), config));
    // Camera shots at 09:00:05 UTC; phone shots at 08:00 and 10:00 UTC.
    EXPECT_EQ(names(list), (std::vector<std::string>{"scan.jpg", "IMG_0002.jpg", "P0004.jpg", "P0005.jpg", "P0003.jpg",
                                                     "IMG_0001.jpg"}));

    // The camera's clock was two hours fast: its shots now come before the phone's first one.
    config.CameraClockOffsets = "OLYMPUS E-M5 = -7200";
    ASSERT_TRUE(list.scanDirectory(folder.path(), config));
    EXPECT_EQ(names(list), (std::vector<std::string>{"scan.jpg", "P0004.jpg", "P0005.jpg", "P0003.jpg", "IMG_0002.jpg",
                                                     "IMG_0001.jpg"}));

    // A photo the program was started on lands where its capture time places it.
    shoot(folder, "late.jpg", {"Google", "Pixel 7", "2024:07:05 11:00:00", "+02:00", ""});
    const auto found = list.addUnlisted("late.jpg", config);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->index, 5);
}

TEST(CaptureTime, OldStoredOrdersStillListAsBefore)
{
    PhotoFolder folder;
    folder.touch("b.jpg");
    folder.touch("a.jpg");
    AppConfig config;
    config.Sorting = 1;
    ImageList list;
    ASSERT_TRUE(list.scanDirectory(folder.path(), config));
    EXPECT_EQ(names(list), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    // A value no version wrote lists unsorted, as it always did, rather than as capture time.
    config.Sorting = 7;
    ASSERT_TRUE(list.scanDirectory(folder.path(), config));
    EXPECT_EQ(list.count(), 2);
}

TEST(CaptureTime, CaptureFieldsSurviveHostileBlocks)
{
    // IFD0 with Make whose text lies past the block, and an EXIF IFD pointing back at IFD0.
    const unsigned char tiff[] = {'I',  'I',  42, 0, 8,  0, 0, 0,                // header, IFD0 at 8
                                  2,    0,                                       // two entries
                                  0x0F, 0x01, 2,  0, 20, 0, 0, 0, 0xF0, 0, 0, 0, // Make: 20 chars at 240
                                  0x69, 0x87, 4,  0, 1,  0, 0, 0, 8,    0, 0, 0, // EXIF IFD at 8 (itself)
                                  0,    0,    0,  0};
    const media::ExifCaptureFields fields = media::exifCaptureFields(tiff);
    EXPECT_EQ(fields.make, "");
    EXPECT_EQ(fields.dateTimeOriginal, "");
    EXPECT_EQ(media::exifCaptureFields({}).make, "");
    // Files that are no photos, or not there, have no capture time and take their file time.
    PhotoFolder folder;
    folder.touch("x.jpg");
    EXPECT_EQ(captureTimeOrFileTime(folder.file("x.jpg"), 42, {}), 42);
    EXPECT_EQ(captureTimeOrFileTime(folder.file("missing.jpg"), 43, {}), 43);
}

} // namespace
} // namespace marquelo
